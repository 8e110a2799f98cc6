@ DMA: immediate DMA3 copies of halfwords and words, fills from a fixed source, the
@ address modes, the end-of-transfer interrupt, V-blank DMA (once, and with repeat),
@ and H-blank DMA, which runs once on every one of the 228 lines of a frame.
@
@ Blanking transfers are counted with COUNT_TABLE, a table of the words 1, 2, 3, ...:
@ a channel that copies one word per run from the incrementing table to a destination
@ that reloads (mode 3) leaves in that destination the number of times it ran.
        .include "common.inc"
        .arm
        .global _start

        .equ    BUF, TEST_DATA
        .equ    FILL_VALUE, 0xEEEEEEEE

        @ DMA control words
        .equ    DMA_ENABLE,     0x80000000
        .equ    DMA_IRQ,        0x40000000
        .equ    DMA_AT_VBLANK,  0x10000000
        .equ    DMA_AT_HBLANK,  0x20000000
        .equ    DMA_TIMING_3,   0x30000000
        .equ    DMA_32BIT,      0x04000000
        .equ    DMA_REPEAT,     0x02000000
        .equ    DMA_SRC_DEC,    0x00800000
        .equ    DMA_SRC_FIXED,  0x01000000
        .equ    DMA_SRC_FIXED3, 0x01800000
        .equ    DMA_DST_DEC,    0x00200000
        .equ    DMA_DST_FIXED,  0x00400000
        .equ    DMA_DST_RELOAD, 0x00600000

@ Writes a channel's source, destination and control as words (r0, r1 used); the control write
@ starts or arms the channel.
.macro DMA_WORDS sad, source, dest, control
        ldr     r0, =\sad
        ldr     r1, =\source
        str     r1, [r0]
        ldr     r1, =\dest
        str     r1, [r0, #4]
        ldr     r1, =\control
        str     r1, [r0, #8]
.endm

_start:
        START
        ldr     r0, =BUF
        ldr     r1, =FILL_VALUE
        mov     r2, #128
        bl      fill_words

@ --- Immediate copies -------------------------------------------------------------------
        DMA_WORDS REG_DMA3SAD, SOURCE, BUF, DMA_ENABLE | DMA_32BIT | 4
        CHECKW  BUF + 0, 0x01234567, "DMA3 32-bit copy: word 0"
        CHECKW  BUF + 4, 0x89ABCDEF, "DMA3 32-bit copy: word 1"
        CHECKW  BUF + 12, 0xCAFEF00D, "DMA3 32-bit copy: word 3"
        CHECKW  BUF + 16, FILL_VALUE, "DMA3 32-bit copy: stops after 4 words"

        @ A second start without new addresses goes on where the first one ended.
        ldr     r0, =REG_DMA3CNT
        ldr     r1, =DMA_ENABLE | DMA_32BIT | 2
        str     r1, [r0]
        CHECKW  BUF + 16, 0x13579BDF, "DMA3 restarted: continues from the advanced source"
        CHECKW  BUF + 20, 0x2468ACE0, "DMA3 restarted: second word"
        CHECKW  BUF + 24, FILL_VALUE, "DMA3 restarted: stops after 2 words"

        @ 16-bit copy, started by two halfword writes of the control.
        ldr     r0, =REG_DMA3SAD
        ldr     r1, =SOURCE
        str     r1, [r0]
        ldr     r1, =BUF + 32
        str     r1, [r0, #4]
        mov     r1, #3
        strh    r1, [r0, #8]
        mov     r1, #0x8000
        strh    r1, [r0, #10]
        CHECKW  BUF + 32, 0x01234567, "DMA3 16-bit copy: halfwords 0 and 1"
        CHECKW  BUF + 36, 0xEEEECDEF, "DMA3 16-bit copy: stops after 3 halfwords"
        POOL

@ --- Fills and address modes --------------------------------------------------------
        DMA_WORDS REG_DMA3SAD, SOURCE, BUF + 64, DMA_ENABLE | DMA_SRC_FIXED | 5
        CHECKW  BUF + 64, 0x45674567, "16-bit fill from a fixed source: first halfwords"
        CHECKW  BUF + 68, 0x45674567, "16-bit fill from a fixed source: next halfwords"
        CHECKW  BUF + 72, 0xEEEE4567, "16-bit fill from a fixed source: 5 halfwords"

        DMA_WORDS REG_DMA3SAD, SOURCE, BUF + 96, DMA_ENABLE | DMA_32BIT | DMA_SRC_FIXED3 | 3
        CHECKW  BUF + 96, 0x01234567, "32-bit fill, source mode 3: word 0"
        CHECKW  BUF + 104, 0x01234567, "32-bit fill, source mode 3: word 2"
        CHECKW  BUF + 108, FILL_VALUE, "32-bit fill, source mode 3: 3 words"

        DMA_WORDS REG_DMA3SAD, SOURCE, BUF + 136, DMA_ENABLE | DMA_32BIT | DMA_DST_DEC | 3
        CHECKW  BUF + 136, 0x01234567, "decrementing destination: first word at the start"
        CHECKW  BUF + 132, 0x89ABCDEF, "decrementing destination: second word below"
        CHECKW  BUF + 128, 0xDEADBEEF, "decrementing destination: third word lowest"
        CHECKW  BUF + 124, FILL_VALUE, "decrementing destination: 3 words"
        CHECKW  BUF + 140, FILL_VALUE, "decrementing destination: nothing above the start"

        DMA_WORDS REG_DMA3SAD, SOURCE + 8, BUF + 160, DMA_ENABLE | DMA_32BIT | DMA_SRC_DEC | 3
        CHECKW  BUF + 160, 0xDEADBEEF, "decrementing source: word 2 first"
        CHECKW  BUF + 164, 0x89ABCDEF, "decrementing source: then word 1"
        CHECKW  BUF + 168, 0x01234567, "decrementing source: then word 0"
        POOL

        DMA_WORDS REG_DMA3SAD, SOURCE, BUF + 180, DMA_ENABLE | DMA_32BIT | DMA_DST_FIXED | 3
        CHECKW  BUF + 180, 0xDEADBEEF, "fixed destination keeps the last word"
        CHECKW  BUF + 184, FILL_VALUE, "fixed destination writes nothing else"

        ldr     r0, =EWRAM
        ldr     r1, =0x11111111
        str     r1, [r0]
        ldr     r1, =0x22222222
        str     r1, [r0, #4]
        DMA_WORDS REG_DMA3SAD, EWRAM + 1, BUF + 192, DMA_ENABLE | DMA_32BIT | 2
        CHECKW  BUF + 192, 0x11111111, "an unaligned source is aligned down: word 0"
        CHECKW  BUF + 196, 0x22222222, "an unaligned source is aligned down: word 1"

        @ A word write of DMA0CNT keeps 14 bits of the count: 0x4002 counts 2.
        ldr     r0, =EWRAM
        ldr     r1, =0x33333333
        str     r1, [r0, #8]
        DMA_WORDS REG_DMA0SAD, EWRAM, BUF + 228, DMA_ENABLE | DMA_32BIT | 0x4002
        CHECKW  BUF + 228, 0x11111111, "DMA0 copy: word 0"
        CHECKW  BUF + 232, 0x22222222, "DMA0 copy: word 1"
        CHECKW  BUF + 236, FILL_VALUE, "DMA0 word control write keeps a 14-bit count"

        DMA_WORDS REG_DMA3SAD, SOURCE, BUF + 200, DMA_ENABLE | DMA_32BIT | 0
        CHECKW  BUF + 200, FILL_VALUE, "a count of 0 copies nothing"
        ldr     r1, =DMA_ENABLE | DMA_TIMING_3 | DMA_32BIT | 1
        str     r1, [r0, #8]
        CHECKW  BUF + 200, FILL_VALUE, "start timing 3 copies nothing at once"
        WAIT_VCOUNT_EQ 100
        WAIT_VCOUNT_EQ 170
        CHECKW  BUF + 200, FILL_VALUE, "start timing 3 copies nothing at the blanking periods"
        POOL

@ --- End-of-transfer interrupt ------------------------------------------------------
        IRQ_INSTALL
        ldr     r0, =REG_IF
        ldr     r1, =0xFFFF
        strh    r1, [r0]
        ldr     r0, =REG_IE
        mov     r1, #IRQ_DMA3
        strh    r1, [r0]
        ldr     r0, =REG_IME
        mov     r1, #1
        strh    r1, [r0]
        DMA_WORDS REG_DMA3SAD, SOURCE, BUF + 208, DMA_ENABLE | DMA_IRQ | DMA_32BIT | 1
        WAIT_IRQ_COUNT 1
        ldr     r0, =REG_IME
        mov     r1, #0
        strh    r1, [r0]
        CHECKW  BUF + 208, 0x01234567, "the transfer with the interrupt bit copied"
        CHECKW  IRQ_VARS + IRQ_COUNT, 1, "the end of the transfer entered the handler"
        CHECKW  IRQ_VARS + IRQ_LAST_IF, IRQ_DMA3, "the handler sees the DMA3 request"
        POOL

@ --- V-blank DMA ------------------------------------------------------------------------
        @ Channel 1 copies VCOUNT once, at the V-blank.
        WAIT_VCOUNT_EQ 10
        DMA_WORDS REG_DMA1SAD, REG_VCOUNT, BUF + 256, DMA_ENABLE | DMA_AT_VBLANK | DMA_SRC_FIXED | 1
        CHECKW  BUF + 256, FILL_VALUE, "V-blank DMA waits for the V-blank"
        WAIT_VCOUNT_EQ 170
        CHECKW  BUF + 256, 0xEEEE00A0, "V-blank DMA ran at line 160 (copied VCOUNT)"
        ldr     r0, =BUF + 256
        ldr     r1, =0x5555
        strh    r1, [r0]
        WAIT_VCOUNT_EQ 100
        WAIT_VCOUNT_EQ 170
        CHECKH  BUF + 256, 0x5555, "V-blank DMA without repeat runs only once"

        @ Channel 2 with repeat: once per frame until disarmed.
        WAIT_VCOUNT_EQ 10
        DMA_WORDS REG_DMA2SAD, COUNT_TABLE, BUF + 260, DMA_ENABLE | DMA_AT_VBLANK | DMA_REPEAT | DMA_32BIT | DMA_DST_RELOAD | 1
        WAIT_VCOUNT_EQ 170
        CHECKW  BUF + 260, 1, "repeating V-blank DMA: 1 run after 1 V-blank"
        WAIT_VCOUNT_EQ 100
        WAIT_VCOUNT_EQ 170
        WAIT_VCOUNT_EQ 100
        WAIT_VCOUNT_EQ 170
        CHECKW  BUF + 260, 3, "repeating V-blank DMA: 3 runs after 3 V-blanks"
        ldr     r0, =REG_DMA2CNT_H
        mov     r1, #0
        strh    r1, [r0]
        WAIT_VCOUNT_EQ 100
        WAIT_VCOUNT_EQ 170
        CHECKW  BUF + 260, 3, "a control write with the enable bit clear disarms"
        POOL

@ --- H-blank DMA ------------------------------------------------------------------------
        @ Channel 1 with repeat, counted over one whole frame.
        WAIT_VCOUNT_EQ 10
        DMA_WORDS REG_DMA1SAD, COUNT_TABLE, BUF + 264, DMA_ENABLE | DMA_AT_HBLANK | DMA_REPEAT | DMA_32BIT | DMA_DST_RELOAD | 1
        WAIT_VCOUNT_EQ 20
        ldr     r0, =BUF + 264
        ldr     r5, [r0]
        WAIT_VCOUNT_NE 20
        WAIT_VCOUNT_EQ 20
        ldr     r0, =BUF + 264
        ldr     r6, [r0]
        ldr     r0, =REG_DMA1CNT_H
        mov     r1, #0
        strh    r1, [r0]
        sub     r6, r6, r5
        CHECKR  r5, 2, 300, "H-blank DMA ran on the lines since it was armed"
        CHECK   r6, 228, "H-blank DMA runs once on each of the 228 lines of a frame"
        ldr     r0, =BUF + 264
        ldr     r5, [r0]
        WAIT_VCOUNT_NE 20
        WAIT_VCOUNT_EQ 20
        ldr     r0, =BUF + 264
        ldr     r6, [r0]
        sub     r6, r6, r5
        CHECK   r6, 0, "disarmed H-blank DMA runs no more"

        @ Channel 3 with repeat, copying VCOUNT to a fixed destination: after the
        @ channel is disarmed the destination holds the last line it ran on.
        WAIT_VCOUNT_EQ 49
        DMA_WORDS REG_DMA3SAD, REG_VCOUNT, BUF + 272, DMA_ENABLE | DMA_AT_HBLANK | DMA_REPEAT | DMA_SRC_FIXED | DMA_DST_FIXED | 1
        WAIT_VCOUNT_EQ 59
        WAIT_VCOUNT_NE 59
        ldr     r0, =REG_DMA3CNT_H
        mov     r1, #0
        strh    r1, [r0]
        CHECKH  BUF + 272, 59, "H-blank DMA copies VCOUNT of the line just drawn"
        CHECKH  BUF + 274, 0xEEEE, "fixed destination: one halfword written"
        DONE

@ r0 = address, r1 = value, r2 = number of words.
fill_words:
        str     r1, [r0], #4
        subs    r2, r2, #1
        bne     fill_words
        bx      lr

        .balign 4
SOURCE:
        .word   0x01234567, 0x89ABCDEF, 0xDEADBEEF, 0xCAFEF00D
        .word   0x13579BDF, 0x2468ACE0, 0x0BADF00D, 0xFEEDFACE
COUNT_TABLE:
        .set    n, 1
        .rept   1024
        .word   n
        .set    n, n + 1
        .endr
        TAMO_END
