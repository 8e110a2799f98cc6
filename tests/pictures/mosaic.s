@ Mosaic: text backgrounds of 16 and 256 colours, a rotation/scaling background (horizontal
@ and vertical blocks) and sprites. MOSAIC: backgrounds 5 pixels wide by 3 lines high,
@ sprites 8 wide by 4 high. Mode 1, no scrolling, so blocks start at column 0 and line 0.
@
@ Lines 0-39, BG0 (16 colours, mosaic on): five rows of "MOSAIC ON A 16-COLOUR TEXT BG",
@   blue and red letters on white, drawn in 5x3 blocks.
@ Lines 40-79, BG1 (256 colours, mosaic on): five rows of "MOSAIC ON A 256-COLOUR TEXT BG"
@   in gradients, in 5x3 blocks.
@ Lines 84-159, BG2 (rotation/scaling, 128x128 map at screen (8, 84), unscaled, wraparound
@   off, mosaic on): a teal checkerboard with "MOSAIC" across, in 5x3 blocks; its left edge
@   falls on column 10, the first block that starts inside it.
@ Sprites at x 160 (mosaic on) and x 200 (mosaic off), the same drawings: 256 colours on
@   lines 96-127, 16 colours on lines 128-159. The mosaic ones are drawn in 8x4 blocks.
        .include "picture.inc"
        .arm
        .global _start
_start:
        PIC_BEGIN
        COPY_DATA PAL_BG, bg_palette, bg_palette_end
        COPY_DATA PAL_BG + 0x80 * 2, gradient, gradient_end
        PIC_OBJ_PALETTES

        @ BG0: 16-colour letters at character block 0, map at screen block 24.
        TILES4  VRAM + 1 * 32, text16, 1, 2
        MAPSEQ  VRAM + 24 * 0x800 + 0 * 64, 1 | (1 << PAL_SHIFT), 30
        MAPSEQ  VRAM + 24 * 0x800 + 1 * 64, 1 | (2 << PAL_SHIFT), 30
        MAPSEQ  VRAM + 24 * 0x800 + 2 * 64, 1 | (1 << PAL_SHIFT), 30
        MAPSEQ  VRAM + 24 * 0x800 + 3 * 64, 1 | (2 << PAL_SHIFT), 30
        MAPSEQ  VRAM + 24 * 0x800 + 4 * 64, 1 | (1 << PAL_SHIFT), 30
        POOL
        @ BG1: 256-colour letters at character block 1, map at screen block 25, rows 5-9.
        TILES8  VRAM + 0x4000 + 1 * 64, text256, 0x90, 0x80, 1
        MAPSEQ  VRAM + 25 * 0x800 + 5 * 64, 1, 30
        MAPSEQ  VRAM + 25 * 0x800 + 6 * 64, 1, 30
        MAPSEQ  VRAM + 25 * 0x800 + 7 * 64, 1, 30
        MAPSEQ  VRAM + 25 * 0x800 + 8 * 64, 1, 30
        MAPSEQ  VRAM + 25 * 0x800 + 9 * 64, 1, 30
        POOL
        @ BG2: 256-colour tiles at character block 2 (1, 2 the checkerboard, 3-8 the word),
        @ its 16x16 map at screen block 26, built in work RAM.
        FILL    VRAM + 0x8000 + 1 * 64, 0xA0A0A0A0, 64
        FILL    VRAM + 0x8000 + 2 * 64, 0xA1A1A1A1, 64
        TILES8  VRAM + 0x8000 + 3 * 64, word, 0xA3, 0xA2, 0
        .equ MAPBUF, 0x02000000
        ldr     r4, =MAPBUF
        mov     r1, #0
1:      mov     r0, #0
2:      add     r2, r0, r1
        and     r2, r2, #1
        add     r2, r2, #1
        strb    r2, [r4], #1
        add     r0, r0, #1
        cmp     r0, #16
        bne     2b
        add     r1, r1, #1
        cmp     r1, #16
        bne     1b
        ldr     r4, =MAPBUF + 4 * 16 + 5
        mov     r2, #3
3:      strb    r2, [r4], #1
        add     r2, r2, #1
        cmp     r2, #9
        bne     3b
        COPY    VRAM + 26 * 0x800, MAPBUF, 256
        POOL

        OBJ_IMAGE OBJ_VRAM + 0 * 32, 32, 32, 8, 32 * 8, 1, 2, 3, 0x40, 0x60, 1
        OBJ_IMAGE OBJ_VRAM + 32 * 32, 32, 32, 4, 32 * 4, 1, 2, 3, 4, 5, 0
        OBJ     0, 96 | OBJ_SQUARE | OBJ_256 | OBJ_MOSAIC, 160 | OBJ_SIZE2, 0
        OBJ     1, 96 | OBJ_SQUARE | OBJ_256, 200 | OBJ_SIZE2, 0
        OBJ     2, 128 | OBJ_SQUARE | OBJ_MOSAIC, 160 | OBJ_SIZE2, 32 | (1 << 12)
        OBJ     3, 128 | OBJ_SQUARE, 200 | OBJ_SIZE2, 32 | (1 << 12)
        POOL

        SETREG  BG0CNT, BG_PRIO0 | BG_MOSAIC | (0 << CHAR_SHIFT) | (24 << SCREEN_SHIFT)
        SETREG  BG1CNT, BG_PRIO0 | BG_MOSAIC | BG_256 | (1 << CHAR_SHIFT) | (25 << SCREEN_SHIFT)
        SETREG  BG2CNT, BG_PRIO1 | BG_MOSAIC | (2 << CHAR_SHIFT) | (26 << SCREEN_SHIFT) | BG_SIZE0
        SETREG  BG2PA, 256
        SETREG  BG2PB, 0
        SETREG  BG2PC, 0
        SETREG  BG2PD, 256
        SETREG32 BG2X, -8 * 256
        SETREG32 BG2Y, -84 * 256
        SETREG  MOSAIC, 4 | (2 << 4) | (7 << 8) | (3 << 12)
        PIC_SHOW MODE_1 | SHOW_BG0 | SHOW_BG1 | SHOW_BG2 | SHOW_OBJ | OBJ_1D
        PIC_WAIT
        .ltorg

        TEXT    text16, "MOSAIC ON A 16-COLOUR TEXT BG "
        TEXT    text256, "MOSAIC ON A 256-COLOUR TEXT BG"
        TEXT    word, "MOSAIC"

        .balign 4
bg_palette:
        .hword  3 | (3 << 5) | (6 << 10), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0
        .hword  0, 4 | (6 << 5) | (24 << 10), 31 | (31 << 5) | (31 << 10), 0, 0, 0, 0, 0
        .hword  0, 0, 0, 0, 0, 0, 0, 0
        .hword  0, 24 | (4 << 5) | (4 << 10), 31 | (31 << 5) | (31 << 10), 0, 0, 0, 0, 0
        .hword  0, 0, 0, 0, 0, 0, 0, 0
bg_palette_end:

@ Entries 0x80-0x87: the letters' squares (light green to light blue); 0x90-0x97: the
@ letters (dark red to dark purple); 0xA0-0xA3: teal, dark teal, yellow, black.
        .balign 4
gradient:
        .set gi, 0
        .rept 8
        .hword  (16) | ((30 - gi * 2) << 5) | ((14 + gi * 2) << 10)
        .set gi, gi + 1
        .endr
        .hword  0, 0, 0, 0, 0, 0, 0, 0
        .set gi, 0
        .rept 8
        .hword  (16 - gi) | (0 << 5) | ((4 + gi * 2) << 10)
        .set gi, gi + 1
        .endr
        .hword  0, 0, 0, 0, 0, 0, 0, 0
        .hword  4 | (20 << 5) | (20 << 10), 2 | (10 << 5) | (12 << 10)
        .hword  31 | (28 << 5) | (8 << 10), 0
gradient_end:
