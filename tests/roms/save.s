@ Save memory across runs: counts its runs in SRAM byte 0x100 and keeps a copy of the
@ count in the save window (cartridge address 0x0DFE0010). On its third run, with the
@ count now 3, it ends with a stop instruction, so that run must leave the save file
@ as the second run wrote it.
        .include "common.inc"
        .arm
        .global _start
_start:
        ldr     r0, =0x0E000100
        ldrb    r1, [r0]
        add     r1, r1, #1
        strb    r1, [r0]
        ldr     r2, =0x0DFE0010
        strb    r1, [r2]
        cmp     r1, #3
        beq     stop
        mov     r3, #0xA5               @ this run reached its end
        strb    r3, [r0, #1]
1:      b       1b
stop:
        .word   0xF0000000              @ condition code 15: stops the machine
        .ltorg
