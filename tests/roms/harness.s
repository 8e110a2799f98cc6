@ The check harness itself: a few checks that must pass and a few that must fail, in
@ ARM and in THUMB state, so the runner can tell that failures are recorded and read
@ back with their values. The runner expects exactly the statuses listed here.
        .include "common.inc"
        .arm
        .global _start
_start:
        START
        mov     r0, #5
        CHECK   r0, 5, "ARM equality that holds"
        CHECK   r0, 6, "ARM equality that fails"
        CHECKR  r0, 4, 6, "ARM range that holds"
        CHECKR  r0, 6, 9, "ARM range that fails"
        CHECK   r0, 5, "the check macros keep the checked register"
        ldr     r0, =harness_thumb + 1
        bx      r0
        .ltorg
        .thumb
harness_thumb:
        movs    r1, #7
        TCHECK  r1, 7, "THUMB equality that holds"
        TCHECK  r1, 8, "THUMB equality that fails"
        TCHECKR r1, 0, 6, "THUMB range that fails"
        ldr     r0, =harness_end
        bx      r0
        .balign 4
        .ltorg
        .arm
harness_end:
        DONE
        TAMO_END
