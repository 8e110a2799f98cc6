@ Writes a fixed word into SRAM and waits: the smallest cartridge the runner can check.
        .include "common.inc"
        .arm
        .global _start
_start:
        ldr     r0, =SRAM
        mov     r1, #0x5A
        strb    r1, [r0]
1:      b       1b
        .pool
