@ Sprites with rotation and scaling (1D mapping), normal and double size.
@
@ Every sprite shows the same drawing: a white border, a yellow triangle in its top-left
@ corner, a black diagonal and a checkerboard of 8x8 squares (256 colours: a rainbow
@ gradient and dark purple; 16 colours: green and dark green). The backdrop is grey.
@ Rotation/scaling groups: 0 unchanged, 1 turned 30 degrees clockwise, 2 twice the size,
@ 3 half the size, 4 a quarter turn clockwise, 5 mirrored left to right.
@
@ Line 8: a 32x32 sprite with group 0 at x 8 (the same as an ordinary sprite); group 1 at
@   x 48, normal size, so its corners are cut off by its 32x32 box; group 1 at x 88 with double
@   size (a 64x64 box, 88-151 by 8-71), whole; group 2 with double size at x 160, filling its
@   64x64 box.
@ Line 80: group 3 at x 8 (16x16 in the middle of its box); group 4 at x 48 (the triangle at
@   the top right); group 5 at x 88 (the triangle at the top right, the diagonal falling to
@   the left); a 16-colour 32x32 sprite with group 1 and double size at x 128 (128-191 by
@   80-143).
@ Line 120: a 256-colour wide 32x16 sprite with group 1 and double size at x 8 (a 64x32 box).
        .include "picture.inc"
        .arm
        .global _start
_start:
        PIC_BEGIN
        COPY_DATA PAL_BG, backdrop, backdrop_end
        PIC_OBJ_PALETTES

        @ The drawings: 256-colour 32x32 at tile 0 (32 tiles of 32 bytes), 16-colour 32x32 at
        @ tile 32, 256-colour 32x16 at tile 48.
        OBJ_IMAGE OBJ_VRAM + 0 * 32, 32, 32, 8, 32 * 8, 1, 2, 3, 0x40, 0x60, 1
        OBJ_IMAGE OBJ_VRAM + 32 * 32, 32, 32, 4, 32 * 4, 1, 2, 3, 4, 5, 0
        OBJ_IMAGE OBJ_VRAM + 48 * 32, 32, 16, 8, 32 * 8, 1, 2, 3, 0x40, 0x60, 1
        POOL

        @ cos 30 = 222/256, sin 30 = 128/256.
        OBJ_GROUP 0, 256, 0, 0, 256
        OBJ_GROUP 1, 222, 128, -128, 222
        OBJ_GROUP 2, 128, 0, 0, 128
        OBJ_GROUP 3, 512, 0, 0, 512
        OBJ_GROUP 4, 0, 256, -256, 0
        OBJ_GROUP 5, -256, 0, 0, 256
        POOL

        .equ ROT256, OBJ_AFFINE | OBJ_256 | OBJ_SQUARE
        .equ DOUBLE256, OBJ_AFFINE | OBJ_DOUBLE | OBJ_256 | OBJ_SQUARE
        OBJ     0, 8 | ROT256, 8 | OBJ_SIZE2 | (0 << 9), 0
        OBJ     1, 8 | ROT256, 48 | OBJ_SIZE2 | (1 << 9), 0
        OBJ     2, 8 | DOUBLE256, 88 | OBJ_SIZE2 | (1 << 9), 0
        OBJ     3, 8 | DOUBLE256, 160 | OBJ_SIZE2 | (2 << 9), 0
        POOL
        OBJ     4, 80 | ROT256, 8 | OBJ_SIZE2 | (3 << 9), 0
        OBJ     5, 80 | ROT256, 48 | OBJ_SIZE2 | (4 << 9), 0
        OBJ     6, 80 | ROT256, 88 | OBJ_SIZE2 | (5 << 9), 0
        OBJ     7, 80 | OBJ_AFFINE | OBJ_DOUBLE | OBJ_SQUARE, 128 | OBJ_SIZE2 | (1 << 9), 32 | (1 << 12)
        OBJ     8, 120 | OBJ_AFFINE | OBJ_DOUBLE | OBJ_256 | OBJ_WIDE, 8 | OBJ_SIZE2 | (1 << 9), 48
        POOL

        PIC_SHOW MODE_0 | SHOW_OBJ | OBJ_1D
        PIC_WAIT
        .ltorg

        .balign 4
backdrop:
        .hword  10 | (10 << 5) | (12 << 10), 0
backdrop_end:
