@ Text backgrounds: the four screen sizes, scrolling across their seams, flips, 16 and 256
@ colours, priorities.
@
@ Every map tile is a letter on a 7 by 7 square with a clear last column and row, so the clear
@ edge shows where a tile was flipped to. Each 32 by 32 screen block shows its own digit in its
@ own colour (block 0 red "0", block 1 green "1", block 2 blue "2", block 3 yellow "3"), and the
@ first row and the first column of a block are white, so a seam between blocks shows as a
@ change of digit with a white line behind it. Each background fills only the map rows that
@ reach its band of the screen; elsewhere its tiles are clear.
@
@ Lines 0-39, BG0: 256x256, 16 colours, priority 0, scrolled to X 159 (the line starts with
@   the last pixel of a tile). Red "F" tiles flipped by column: none, horizontal, vertical, both.
@   The map's first column (white) comes round again at screen column 97.
@ Lines 40-79, BG1: 512x256, 16 colours, priority 3, scrolled to (141, 200): the red "0"
@   block meets the green "1" block at column 115, and the map wraps from its last row to its
@   first (white) row at line 56.
@ Lines 76-123, BG2: 256x512, 256 colours (a gradient in every tile), priority 2, scrolled to
@   (2, 156), flipped by column: the upper "0" block meets the lower "1" block at line 100.
@   Its lines 76-79 cover BG1, whose priority is lower (3).
@ Lines 116-159, BG3: 512x512, 256 colours, priority 2, scrolled to (139, 116): the four blocks
@   meet at column 117 and line 140. On lines 116-123 BG2, of the same priority, is in front.
        .include "picture.inc"
        .arm
        .global _start
_start:
        PIC_BEGIN

        @ Palettes: backdrop, the 16-colour banks 1-5, the 256-colour gradients at 160.
        COPY_DATA PAL_BG, palette16, palette16_end
        COPY_DATA PAL_BG + 160 * 2, palette256, palette256_end

        @ 16-colour tiles at character block 0: 1-4 the digits, 5 the letter F.
        TILES4  VRAM + 1 * 32, digits, 1, 2
        TILES4  VRAM + 5 * 32, letter_f, 1, 2
        @ 256-colour tiles at character block 1: 1-4 the digits with gradients, 5-8 the same
        @ digits black on white (the block edges).
        TILES8  VRAM + 0x4000 + 1 * 64, digit0, 0xA8, 0xA0, 1
        TILES8  VRAM + 0x4000 + 2 * 64, digit1, 0xB8, 0xB0, 1
        TILES8  VRAM + 0x4000 + 3 * 64, digit2, 0xC8, 0xC0, 1
        TILES8  VRAM + 0x4000 + 4 * 64, digit3, 0xD8, 0xD0, 1
        TILES8  VRAM + 0x4000 + 5 * 64, digits, 0x51, 0x52, 0
        POOL

        @ BG0: screen block 16; rows 0-4.
        .equ SB16, VRAM + 16 * 0x800
        .equ F_RED, 5 | (1 << PAL_SHIFT)
        .equ F_WHITE, 5 | (5 << PAL_SHIFT)
        MAPROW  SB16 + 0 * 64, F_WHITE, F_WHITE, 1
        MAPROW  SB16 + 1 * 64, F_RED, F_WHITE, 1
        MAPROW  SB16 + 2 * 64, F_RED, F_WHITE, 1
        MAPROW  SB16 + 3 * 64, F_RED, F_WHITE, 1
        MAPROW  SB16 + 4 * 64, F_RED, F_WHITE, 1
        POOL

        @ BG1: screen blocks 17 (left) and 18 (right); rows 30, 31, 0, 1, 2.
        .equ SB17, VRAM + 17 * 0x800
        .equ SB18, VRAM + 18 * 0x800
        .equ D0, 1 | (1 << PAL_SHIFT)
        .equ D0_EDGE, 1 | (5 << PAL_SHIFT)
        .equ D1, 2 | (2 << PAL_SHIFT)
        .equ D1_EDGE, 2 | (5 << PAL_SHIFT)
        MAPROW  SB17 + 30 * 64, D0, D0_EDGE, 0
        MAPROW  SB17 + 31 * 64, D0, D0_EDGE, 0
        MAPROW  SB17 + 0 * 64, D0_EDGE, D0_EDGE, 0
        MAPROW  SB17 + 1 * 64, D0, D0_EDGE, 0
        MAPROW  SB17 + 2 * 64, D0, D0_EDGE, 0
        MAPROW  SB18 + 30 * 64, D1, D1_EDGE, 0
        MAPROW  SB18 + 31 * 64, D1, D1_EDGE, 0
        MAPROW  SB18 + 0 * 64, D1_EDGE, D1_EDGE, 0
        MAPROW  SB18 + 1 * 64, D1, D1_EDGE, 0
        MAPROW  SB18 + 2 * 64, D1, D1_EDGE, 0
        POOL

        @ BG2: screen blocks 19 (upper half) and 20 (lower half); rows 29-31 and 0-2.
        .equ SB19, VRAM + 19 * 0x800
        .equ SB20, VRAM + 20 * 0x800
        MAPROW  SB19 + 29 * 64, 1, 5, 1
        MAPROW  SB19 + 30 * 64, 1, 5, 1
        MAPROW  SB19 + 31 * 64, 1, 5, 1
        MAPROW  SB20 + 0 * 64, 6, 6, 1
        MAPROW  SB20 + 1 * 64, 2, 6, 1
        MAPROW  SB20 + 2 * 64, 2, 6, 1
        POOL

        @ BG3: screen blocks 21-24 (upper left, upper right, lower left, lower right).
        .equ SB21, VRAM + 21 * 0x800
        .equ SB22, VRAM + 22 * 0x800
        .equ SB23, VRAM + 23 * 0x800
        .equ SB24, VRAM + 24 * 0x800
        MAPROW  SB21 + 29 * 64, 1, 5, 0
        MAPROW  SB21 + 30 * 64, 1, 5, 0
        MAPROW  SB21 + 31 * 64, 1, 5, 0
        MAPROW  SB22 + 29 * 64, 2, 6, 0
        MAPROW  SB22 + 30 * 64, 2, 6, 0
        MAPROW  SB22 + 31 * 64, 2, 6, 0
        POOL
        MAPROW  SB23 + 0 * 64, 7, 7, 0
        MAPROW  SB23 + 1 * 64, 3, 7, 0
        MAPROW  SB23 + 2 * 64, 3, 7, 0
        MAPROW  SB24 + 0 * 64, 8, 8, 0
        MAPROW  SB24 + 1 * 64, 4, 8, 0
        MAPROW  SB24 + 2 * 64, 4, 8, 0
        POOL

        SETREG  BG0CNT, BG_PRIO0 | (0 << CHAR_SHIFT) | (16 << SCREEN_SHIFT) | BG_SIZE0
        SETREG  BG1CNT, BG_PRIO3 | (0 << CHAR_SHIFT) | (17 << SCREEN_SHIFT) | BG_SIZE1
        SETREG  BG2CNT, BG_PRIO2 | (1 << CHAR_SHIFT) | BG_256 | (19 << SCREEN_SHIFT) | BG_SIZE2
        SETREG  BG3CNT, BG_PRIO2 | (1 << CHAR_SHIFT) | BG_256 | (21 << SCREEN_SHIFT) | BG_SIZE3
        SETREG  BG0HOFS, 159
        SETREG  BG0VOFS, 0
        SETREG  BG1HOFS, 141
        SETREG  BG1VOFS, 200
        SETREG  BG2HOFS, 2
        SETREG  BG2VOFS, 156
        SETREG  BG3HOFS, 139
        SETREG  BG3VOFS, 116
        PIC_SHOW MODE_0 | SHOW_BG0 | SHOW_BG1 | SHOW_BG2 | SHOW_BG3
        PIC_WAIT
        .ltorg

        TEXT    digits, "0123"
        TEXT    digit0, "0"
        TEXT    digit1, "1"
        TEXT    digit2, "2"
        TEXT    digit3, "3"
        TEXT    letter_f, "F"

        .equ BLACK, 0
        .equ WHITE, 31 | (31 << 5) | (31 << 10)

        .balign 4
palette16:
        .hword  3 | (4 << 5) | (8 << 10), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0
        @ bank 1, red: ink, paper
        .hword  0, 8, 31 | (12 << 5) | (10 << 10), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0
        @ bank 2, green
        .hword  0, 8 << 5, 12 | (28 << 5) | (10 << 10), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0
        @ bank 3, blue
        .hword  0, 10 << 10, 10 | (16 << 5) | (31 << 10), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0
        @ bank 4, yellow
        .hword  0, 10 | (8 << 5), 31 | (28 << 5) | (6 << 10), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0
        @ bank 5, the block edges: black on white (also entries 0x51 and 0x52 of the 256 colours)
        .hword  0, BLACK, WHITE, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0
palette16_end:

@ GRADIENT r, g, b, dr, dg, db: eight colours from (r, g, b), each step adding (dr, dg, db).
.macro GRADIENT r, g, b, dr, dg, db
        .set gi, 0
        .rept 8
        .hword  ((\r) + gi * (\dr)) | (((\g) + gi * (\dg)) << 5) | (((\b) + gi * (\db)) << 10)
        .set gi, gi + 1
        .endr
.endm

        .balign 4
palette256:
        GRADIENT 31, 4, 4, 0, 2, 2          @ 0xA0: the "0" squares
        GRADIENT 10, 0, 0, 1, 0, 0          @ 0xA8: the "0" letters
        GRADIENT 4, 24, 4, 2, 1, 1          @ 0xB0
        GRADIENT 0, 8, 0, 0, 1, 0           @ 0xB8
        GRADIENT 4, 8, 31, 2, 2, 0          @ 0xC0
        GRADIENT 0, 0, 10, 0, 0, 1          @ 0xC8
        GRADIENT 31, 24, 0, 0, 1, 3         @ 0xD0
        GRADIENT 10, 8, 0, 1, 1, 0          @ 0xD8
palette256_end:
