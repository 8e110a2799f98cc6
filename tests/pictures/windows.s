@ Windows: window 0 and window 1 with their edges, WININ and WINOUT, the sprite window, and
@ the windows' masks over sprites and over the colour effect.
@
@ BG0 (priority 1): red diagonal stripes over the whole screen. BG1 (priority 2): a blue
@ checkerboard over the whole screen. The effect is brighten (EVY 10) with BG0, BG1 and
@ sprites as first targets, but it acts only where a window allows it.
@
@ Outside every window (WINOUT 0x03): BG0 and BG1, so the red stripes, no sprites, no effect.
@ Window 0, columns 16-111 by lines 16-79, both edges included (WININ 0x12): BG1 and sprites:
@   the blue checkerboard, and the part of the red 32x32 sprite at (96, 8) that falls inside
@   (columns 96-111 of lines 16-39).
@ Window 1, columns 64-191 by lines 48-127 (WININ 0x31 << 8): BG0, sprites and the effect:
@   brightened red stripes and the brightened green 32x32 sprite at (176, 90), cut off at
@   column 191. Where window 0 and window 1 overlap (64-111 by 48-79), window 0 decides.
@ The sprite window: sprite 3, a 64x64 drawing of the window mode at (160, 8), whose opaque
@   pixels (border, triangle, diagonal, every other checkerboard square) form the window
@   (WINOUT 0x22 << 8): brightened blue checkerboard there, and window 1 in front of it where
@   they meet (160-191 by 48-71).
        .include "picture.inc"
        .arm
        .global _start
_start:
        PIC_BEGIN
        COPY_DATA PAL_BG, bg_palette, bg_palette_end
        PIC_OBJ_PALETTES

        COPY_DATA VRAM + 1 * 32, stripes, stripes_end
        COPY_DATA VRAM + 2 * 32, checks, checks_end
        FILL    VRAM + 16 * 0x800, 0x00010001, 0x800
        FILL    VRAM + 17 * 0x800, (2 | (1 << PAL_SHIFT)) * 0x10001, 0x800
        POOL

        OBJ_IMAGE OBJ_VRAM + 0 * 32, 32, 32, 4, 32 * 4, 1, 2, 3, 4, 5, 0
        OBJ_IMAGE OBJ_VRAM + 16 * 32, 64, 64, 4, 64 * 4, 1, 2, 3, 4, 0, 0
        OBJ     1, 8 | OBJ_SQUARE, 96 | OBJ_SIZE2, 0 | (0 << 12)
        OBJ     2, 90 | OBJ_SQUARE, 176 | OBJ_SIZE2, 0 | (1 << 12)
        OBJ     3, 8 | OBJ_SQUARE | OBJ_WINDOW, 160 | OBJ_SIZE3, 16 | (2 << 12)
        POOL

        SETREG  BG0CNT, BG_PRIO1 | (0 << CHAR_SHIFT) | (16 << SCREEN_SHIFT)
        SETREG  BG1CNT, BG_PRIO2 | (0 << CHAR_SHIFT) | (17 << SCREEN_SHIFT)
        SETREG  WIN0H, (16 << 8) | 111
        SETREG  WIN0V, (16 << 8) | 79
        SETREG  WIN1H, (64 << 8) | 191
        SETREG  WIN1V, (48 << 8) | 127
        SETREG  WININ, 0x12 | (0x31 << 8)
        SETREG  WINOUT, 0x03 | (0x22 << 8)
        SETREG  BLDCNT, 0x01 | 0x02 | 0x10 | (2 << 6)
        SETREG  BLDY, 10
        PIC_SHOW MODE_0 | SHOW_BG0 | SHOW_BG1 | SHOW_OBJ | OBJ_1D | SHOW_WIN0 | SHOW_WIN1 | SHOW_OBJWIN
        PIC_WAIT
        .ltorg

        .balign 4
bg_palette:
        .hword  2 | (2 << 5) | (4 << 10), 24 | (4 << 5) | (4 << 10), 12 | (2 << 5) | (2 << 10), 0
        .hword  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0
        .hword  0, 4 | (20 << 5) | (24 << 10), 2 | (6 << 5) | (14 << 10), 0
        .hword  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0
bg_palette_end:

        .balign 4
@ Diagonal stripes two pixels wide, colours 1 and 2 (the left pixel in the low nibble).
stripes:
        .word   0x22112211, 0x12211221, 0x11221122, 0x21122112
        .word   0x22112211, 0x12211221, 0x11221122, 0x21122112
stripes_end:
@ 4x4 checks of colours 1 and 2.
checks:
        .word   0x22221111, 0x22221111, 0x22221111, 0x22221111
        .word   0x11112222, 0x11112222, 0x11112222, 0x11112222
checks_end:
