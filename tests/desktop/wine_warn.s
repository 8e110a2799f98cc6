@ Tamo.exe's message boxes: writes 0x5A to the first SRAM byte, reads BG0HOFS (a register the
@ console cannot read back: the I/O read warning) twice, then runs SWP, which is not emulated.
        .arm
        .global _start
_start:
        mov     r1, #0x0E000000
        mov     r2, #0x5A
        strb    r2, [r1]
        mov     r0, #0x04000000
        ldrh    r3, [r0, #0x10]
        ldrh    r3, [r0, #0x10]
        swp     r3, r3, [r1]
        b       .
