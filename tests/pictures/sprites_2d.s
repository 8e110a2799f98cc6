@ Sprites with 2D mapping: sprite tiles form a sheet 32 tiles (1024 bytes) wide, and a
@ sprite's next tile row lies one sheet row (1024 bytes) further, in 16 and in 256 colours.
@
@ Every drawing has a white border, a yellow triangle in its top-left corner, a black diagonal
@ and a checkerboard of 8x8 squares, drawn into the sheet at its own place.
@ Line 8: a red 16-colour 32x32 sprite (tile 0) at x 8; a blue 16-colour 64x64 sprite
@   (tile 4) at x 48; a 16x16 sprite at x 120 whose first tile is tile 37 (row 1, column 5 of
@   the sheet), so it shows the blue drawing's squares 1-2 across and down, in orange
@   (palette 3); a 256-colour 32x32 sprite with a rainbow gradient (tile 12) at x 144; a
@   256-colour tall 16x32 sprite (tile 20) at x 184.
@ Line 80: a green 16-colour wide 64x32 sprite (tile 256, sheet row 8) at x 8; the 256-colour
@   32x32 drawing again at x 80, turned 30 degrees clockwise with double size (a 64x64 box).
        .include "picture.inc"
        .arm
        .global _start
_start:
        PIC_BEGIN
        COPY_DATA PAL_BG, backdrop, backdrop_end
        PIC_OBJ_PALETTES

        OBJ_IMAGE OBJ_VRAM + 0 * 32, 32, 32, 4, 1024, 1, 2, 3, 4, 5, 0
        OBJ_IMAGE OBJ_VRAM + 4 * 32, 64, 64, 4, 1024, 1, 2, 3, 4, 5, 0
        OBJ_IMAGE OBJ_VRAM + 12 * 32, 32, 32, 8, 1024, 1, 2, 3, 0x40, 0x60, 1
        OBJ_IMAGE OBJ_VRAM + 20 * 32, 16, 32, 8, 1024, 1, 2, 3, 0x40, 0x60, 1
        OBJ_IMAGE OBJ_VRAM + 256 * 32, 64, 32, 4, 1024, 1, 2, 3, 4, 5, 0
        POOL

        OBJ_GROUP 1, 222, 128, -128, 222
        OBJ     0, 8 | OBJ_SQUARE, 8 | OBJ_SIZE2, 0 | (0 << 12)
        OBJ     1, 8 | OBJ_SQUARE, 48 | OBJ_SIZE3, 4 | (2 << 12)
        OBJ     2, 8 | OBJ_SQUARE, 120 | OBJ_SIZE1, 37 | (3 << 12)
        OBJ     3, 8 | OBJ_SQUARE | OBJ_256, 144 | OBJ_SIZE2, 12
        OBJ     4, 8 | OBJ_TALL | OBJ_256, 184 | OBJ_SIZE2, 20
        POOL
        OBJ     5, 80 | OBJ_WIDE, 8 | OBJ_SIZE3, 256 | (1 << 12)
        OBJ     6, 80 | OBJ_AFFINE | OBJ_DOUBLE | OBJ_256 | OBJ_SQUARE, 80 | OBJ_SIZE2 | (1 << 9), 12

        PIC_SHOW MODE_0 | SHOW_OBJ
        PIC_WAIT
        .ltorg

        .balign 4
backdrop:
        .hword  6 | (6 << 5) | (8 << 10), 0
backdrop_end:
