@ DMA at the blanks. A channel that copies one word per run from a table of 1, 2, 3 ... into a
@ reloading destination (mode 3) leaves there the number of times it ran.
        .include "common.inc"
        .arm
        .global _start
.macro CHANNEL n, source, dest, control @ programs channel n through its registers
        ldr     r0, =IO + 0xB0 + 12 * \n
        ldr     r1, =\source
        ldr     r2, =\dest
        ldr     r3, =\control
        stmia   r0, {r1-r3}
.endm
.macro RECORD address
        ldr     r0, =\address
        ldr     r0, [r0]
        str     r0, [r12], #4
.endm
        .equ    VBLANK_ONCE, 0x90000001 @ a halfword at the V-blank
        .equ    VBLANK_COUNT, 0x96600001
        .equ    HBLANK_COUNT, 0xA6600001
_start: START
        WAIT_LINE 100
        CHANNEL 0, IO + 6, VARS + 0x40, VBLANK_ONCE
        RECORD  VARS + 0x40
        WAIT_LINE 170
        RECORD  VARS + 0x40             @ VCOUNT of the V-blank's first line
        ldr     r0, =VARS + 0x40
        ldr     r1, =0x5555
        str     r1, [r0]
        WAIT_LINE 100
        WAIT_LINE 170
        RECORD  VARS + 0x40             @ no repeat: ran once
        CHANNEL 1, counts, VARS + 0x44, VBLANK_COUNT
        .rept   3
        WAIT_LINE 100
        WAIT_LINE 170
        .endr
        RECORD  VARS + 0x44
        ldr     r0, =IO + 0xC6          @ enable bit clear: disarmed
        mov     r1, #0
        strh    r1, [r0]
        WAIT_LINE 100
        WAIT_LINE 170
        RECORD  VARS + 0x44
        WAIT_LINE 20
        CHANNEL 2, counts, VARS + 0x48, HBLANK_COUNT
        RECORD  VARS + 0x48
        WAIT_LINE 20, eq
        WAIT_LINE 20
        RECORD  VARS + 0x48             @ one more frame: 228 more runs
        ldr     r0, =IO + 0xD2
        mov     r1, #0
        strh    r1, [r0]
        WAIT_LINE 58
        CHANNEL 3, IO + 6, VARS + 0x4C, 0xA0000001
        WAIT_LINE 60
        RECORD  VARS + 0x4C             @ VCOUNT of the line just drawn
        CHANNEL 3, counts, VARS + 0x50, 0xB4000001
        WAIT_LINE 100
        WAIT_LINE 170
        RECORD  VARS + 0x50             @ start timing 3: never
        FINISH
counts:
        .set    n, 1
        .rept   600
        .word   n
        .set    n, n + 1
        .endr
