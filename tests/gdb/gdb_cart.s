@ The cartridge that gdb debugs: ARM start-up code, then a THUMB loop that calls a routine with a
@ BL pair; the routine counts its calls in an EWRAM word and stores the same word beside it.
        .equ counter, 0x02000100
        .arm
        .global _start
_start:
        mov     r0, #1
arm_label:
        add     r0, r0, #1
        ldr     r1, =thumb_main + 1
        bx      r1

        .thumb
        .thumb_func
thumb_main:
        ldr     r2, =counter
thumb_loop:
        bl      bump
thumb_label:
        b       thumb_loop

        .thumb_func
bump:
        ldr     r3, [r2]
        add     r3, #1
        str     r3, [r2]
        str     r2, [r2, #4]
        bx      lr
        .pool
