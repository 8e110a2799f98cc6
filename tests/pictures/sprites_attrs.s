@ Sprites: flips, 256 colours, priorities against the backgrounds and between sprites (1D
@ mapping).
@
@ Every sprite shows the same drawing: a white border, a yellow triangle in its top-left
@ corner, a black diagonal and a checkerboard of 8x8 squares. Behind everything, BG1
@ (priority 3) is a grey checkerboard; BG0 (priority 1) is a teal bar over lines 88-103; BG2
@ (priority 0) is a magenta bar over columns 176-183.
@
@ Line 4: 16-colour red 32x32 sprites at x 4, 44, 84, 124: no flip, horizontal flip (the
@   triangle top right), vertical flip (bottom left), both (bottom right).
@ Line 40: the same with 256-colour sprites whose squares are a rainbow gradient.
@ Lines 4-67, x 168: a 256-colour 64x64 sprite of priority 0, in front of BG2's bar (priority
@   0 too: a sprite is in front of a background of its own priority).
@ Line 80: green 32x32 sprites of priority 0, 1, 2, 3 at x 4, 44, 84, 124 across BG0's bar:
@   the first two in front of it, the last two behind it; all in front of BG1.
@ Line 120: sprites 20 (red), 21 (green), 22 (blue), all of priority 2, overlapping at x 8,
@   24, 40: the lower-numbered one is in front. Sprite 23 (orange, priority 3) at x 100 and
@   sprite 30 (blue, priority 0) at x 116: sprite 30 is in front, its priority counting before
@   its number.
        .include "picture.inc"
        .arm
        .global _start
_start:
        PIC_BEGIN
        COPY_DATA PAL_BG, bg_palette, bg_palette_end
        PIC_OBJ_PALETTES

        @ Background tiles (16 colours, character block 0): 1 solid teal, 2 grey checks,
        @ 3 solid magenta.
        FILL    VRAM + 1 * 32, 0x11111111, 32
        COPY_DATA VRAM + 2 * 32, checks, checks_end
        FILL    VRAM + 3 * 32, 0x44444444, 32
        @ BG0 (screen block 16): tile rows 11 and 12. BG1 (17): everywhere.
        FILL    VRAM + 16 * 0x800 + 11 * 64, 0x00010001, 128
        FILL    VRAM + 17 * 0x800, 0x00020002, 0x800
        @ BG2 (18): column 22 of every row.
        ldr     r0, =VRAM + 18 * 0x800 + 22 * 2
        mov     r1, #3
        mov     r2, #32
1:      strh    r1, [r0], #64
        subs    r2, r2, #1
        bne     1b
        POOL

        @ The drawings: 16-colour 32x32 at tile 0, 256-colour 32x32 at tile 16 (32 tiles of
        @ 32 bytes), 256-colour 64x64 at tile 48 (128 tiles).
        OBJ_IMAGE OBJ_VRAM + 0 * 32, 32, 32, 4, 32 * 4, 1, 2, 3, 4, 5, 0
        OBJ_IMAGE OBJ_VRAM + 16 * 32, 32, 32, 8, 32 * 8, 1, 2, 3, 0x40, 0x60, 1
        OBJ_IMAGE OBJ_VRAM + 48 * 32, 64, 64, 8, 64 * 8, 1, 2, 3, 0x40, 0x60, 1
        POOL

        .equ SQ32, OBJ_SQUARE
        OBJ     0, 4 | SQ32, 4 | OBJ_SIZE2, 0 | (0 << 12)
        OBJ     1, 4 | SQ32, 44 | OBJ_SIZE2 | OBJ_HFLIP, 0 | (0 << 12)
        OBJ     2, 4 | SQ32, 84 | OBJ_SIZE2 | OBJ_VFLIP, 0 | (0 << 12)
        OBJ     3, 4 | SQ32, 124 | OBJ_SIZE2 | OBJ_HFLIP | OBJ_VFLIP, 0 | (0 << 12)
        OBJ     4, 40 | SQ32 | OBJ_256, 4 | OBJ_SIZE2, 16
        OBJ     5, 40 | SQ32 | OBJ_256, 44 | OBJ_SIZE2 | OBJ_HFLIP, 16
        OBJ     6, 40 | SQ32 | OBJ_256, 84 | OBJ_SIZE2 | OBJ_VFLIP, 16
        OBJ     7, 40 | SQ32 | OBJ_256, 124 | OBJ_SIZE2 | OBJ_HFLIP | OBJ_VFLIP, 16
        POOL
        OBJ     8, 4 | SQ32 | OBJ_256, 168 | OBJ_SIZE3, 48 | (0 << 10)
        OBJ     10, 80 | SQ32, 4 | OBJ_SIZE2, 0 | (0 << 10) | (1 << 12)
        OBJ     11, 80 | SQ32, 44 | OBJ_SIZE2, 0 | (1 << 10) | (1 << 12)
        OBJ     12, 80 | SQ32, 84 | OBJ_SIZE2, 0 | (2 << 10) | (1 << 12)
        OBJ     13, 80 | SQ32, 124 | OBJ_SIZE2, 0 | (3 << 10) | (1 << 12)
        POOL
        OBJ     20, 120 | SQ32, 8 | OBJ_SIZE2, 0 | (2 << 10) | (0 << 12)
        OBJ     21, 120 | SQ32, 24 | OBJ_SIZE2, 0 | (2 << 10) | (1 << 12)
        OBJ     22, 120 | SQ32, 40 | OBJ_SIZE2, 0 | (2 << 10) | (2 << 12)
        OBJ     23, 120 | SQ32, 100 | OBJ_SIZE2, 0 | (3 << 10) | (3 << 12)
        OBJ     30, 120 | SQ32, 116 | OBJ_SIZE2, 0 | (0 << 10) | (2 << 12)
        POOL

        SETREG  BG0CNT, BG_PRIO1 | (0 << CHAR_SHIFT) | (16 << SCREEN_SHIFT)
        SETREG  BG1CNT, BG_PRIO3 | (0 << CHAR_SHIFT) | (17 << SCREEN_SHIFT)
        SETREG  BG2CNT, BG_PRIO0 | (0 << CHAR_SHIFT) | (18 << SCREEN_SHIFT)
        PIC_SHOW MODE_0 | SHOW_BG0 | SHOW_BG1 | SHOW_BG2 | SHOW_OBJ | OBJ_1D
        PIC_WAIT
        .ltorg

        .balign 4
bg_palette:
        .hword  0, 4 | (20 << 5) | (20 << 10), 8 | (8 << 5) | (10 << 10)
        .hword  11 | (11 << 5) | (13 << 10), 24 | (6 << 5) | (20 << 10), 0
bg_palette_end:

        .balign 4
checks:
        .word   0x33332222, 0x33332222, 0x33332222, 0x33332222
        .word   0x22223333, 0x22223333, 0x22223333, 0x22223333
checks_end:
