@ Mode 1: two text backgrounds and one rotation/scaling background.
@
@ BG0 (text, priority 0): a title bar on the first tile row, "MODE 1  BG2 TURNED 45, ZOOM 2".
@ BG1 (text, priority 3): diagonal purple stripes over the whole screen.
@ BG2 (rotation/scaling, priority 1): a 256x256 map (screen size 1), wraparound on: a green
@   grid with a yellow "+" in every other cell and clear cells between, through which BG1's
@   stripes show; the map's first row and column are white. Turned by 45 degrees clockwise and
@   shown twice its size (a step of 0.5 per pixel), texture (20, 20) on the screen's centre:
@   the white lines cross above the centre, and beyond them the map goes on with its
@   last rows and columns (wraparound), so the whole screen is covered.
        .include "picture.inc"
        .arm
        .global _start
_start:
        PIC_BEGIN
        COPY_DATA PAL_BG, palette, palette_end

        @ 16-colour tiles at character block 0: the title's letters (tiles 1-30, bank 1) and the
        @ stripes (tile 40, bank 2).
        TILES4  VRAM + 1 * 32, title, 1, 2
        COPY_DATA VRAM + 40 * 32, stripes, stripes_end
        @ The title row, then the stripes on every entry of BG1's screen block.
        MAPSEQ  VRAM + 16 * 0x800, 1 | (1 << PAL_SHIFT), 30
        FILL    VRAM + 17 * 0x800, (40 | (2 << PAL_SHIFT)) * 0x10001, 0x800
        POOL

        @ 256-colour tiles for BG2 at character block 1: 1 the grid (green), 2 the "+" (yellow on
        @ dark green, with the letters' clear last column and row), 3 the edge (white).
        FILL    VRAM + 0x4000 + 1 * 64, 0x30303030, 64
        TILES8  VRAM + 0x4000 + 2 * 64, plus, 0x32, 0x31, 0
        FILL    VRAM + 0x4000 + 3 * 64, 0x33333333, 64

        @ BG2's map, 32 by 32 bytes, built in work RAM and copied to screen block 18: grid lines
        @ on every fourth row and column, a "+" in the cells where (column / 4 + row / 4) is
        @ odd, clear tiles elsewhere, the edge on row 0 and column 0.
        .equ MAPBUF, 0x02000000
        ldr     r4, =MAPBUF
        mov     r1, #0                      @ map row
1:      mov     r0, #0                      @ map column
2:      mov     r2, r0, lsr #2
        add     r2, r2, r1, lsr #2
        and     r2, r2, #1
        add     r2, r2, r2                  @ 2 (the "+") in odd cells, 0 in even ones
        tst     r0, #3
        tstne   r1, #3
        moveq   r2, #1                      @ the grid
        cmp     r0, #0
        cmpne   r1, #0
        moveq   r2, #3                      @ the map's first row and column
        strb    r2, [r4], #1
        add     r0, r0, #1
        cmp     r0, #32
        bne     2b
        add     r1, r1, #1
        cmp     r1, #32
        bne     1b
        COPY    VRAM + 18 * 0x800, MAPBUF, 1024
        POOL

        SETREG  BG0CNT, BG_PRIO0 | (0 << CHAR_SHIFT) | (16 << SCREEN_SHIFT) | BG_SIZE0
        SETREG  BG1CNT, BG_PRIO3 | (0 << CHAR_SHIFT) | (17 << SCREEN_SHIFT) | BG_SIZE0
        SETREG  BG2CNT, BG_PRIO1 | (1 << CHAR_SHIFT) | (18 << SCREEN_SHIFT) | BG_SIZE1 | BG_WRAP
        @ A step of 0.5 turned by 45 degrees: PA = PB = PD = 0.5 cos 45 = 91/256, PC = -PB; the
        @ reference point puts texture (20, 20) on screen (120, 80), so that the map's first
        @ row and column cross near the centre, with its last rows and columns beyond them.
        SETREG  BG2PA, 91
        SETREG  BG2PB, 91
        SETREG  BG2PC, -91
        SETREG  BG2PD, 91
        SETREG32 BG2X, 20 * 256 - (91 * 120 + 91 * 80)
        SETREG32 BG2Y, 20 * 256 - (-91 * 120 + 91 * 80)
        PIC_SHOW MODE_1 | SHOW_BG0 | SHOW_BG1 | SHOW_BG2
        PIC_WAIT
        .ltorg

        TEXT    title, "MODE 1  BG2 TURNED 45, ZOOM 2 "
        TEXT    plus, "+"

        .balign 4
palette:
        .hword  1 | (2 << 5) | (5 << 10)        @ 0: backdrop
        .hword  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0
        @ bank 1: the title, white on dark blue
        .hword  0, 31 | (31 << 5) | (31 << 10), 4 | (4 << 5) | (16 << 10), 0, 0, 0, 0, 0
        .hword  0, 0, 0, 0, 0, 0, 0, 0
        @ bank 2: the stripes, two purples
        .hword  0, 20 | (8 << 5) | (24 << 10), 10 | (2 << 5) | (14 << 10), 0, 0, 0, 0, 0
        .hword  0, 0, 0, 0, 0, 0, 0, 0
        @ 0x30-0x33 (bank 3, unused by the text backgrounds): BG2's colours
        .hword  6 | (22 << 5) | (6 << 10)       @ 0x30: green
        .hword  2 | (10 << 5) | (2 << 10)       @ 0x31: dark green
        .hword  31 | (30 << 5) | (4 << 10)      @ 0x32: yellow
        .hword  31 | (31 << 5) | (31 << 10)     @ 0x33: white
palette_end:

        .balign 4
@ Diagonal stripes two pixels wide, colours 1 and 2 (the left pixel in the low nibble).
stripes:
        .word   0x22112211, 0x12211221, 0x11221122, 0x21122112
        .word   0x22112211, 0x12211221, 0x11221122, 0x21122112
stripes_end:
