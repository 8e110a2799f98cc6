@ Sprites: the twelve shapes and sizes, 16 colours, 1D mapping, and wrapping at the screen's
@ edges.
@
@ Every sprite shows the same drawing at its own size: a white border, a yellow triangle in
@ its top-left corner, a black diagonal from the top-left to the bottom-right corner, and a
@ checkerboard of 8x8 squares (one per tile) under them. Squares are red (palette 0), wide
@ sprites green (palette 1), tall ones blue (palette 2); the squares' and the tall sprites'
@ checkerboards have clear squares, through which the grey backdrop shows.
@
@ Row at line 8: square 64x64 (x 8), 32x32 (x 80), 16x16 (x 120), 8x8 (x 144); tall 8x16
@   (x 160), 8x32 (x 176), 16x32 (x 192).
@ Line 48: wide 16x8 (x 80), 32x8 (x 104), 32x16 (x 144).
@ Line 80: tall 32x64 (x 24), wide 64x32 (x 64).
@ Wrapping (orange, palette 3): a 32x32 square at X 496 shows its right half at columns 0-15
@   of lines 120-151; a 16x16 square at Y 248 shows its lower half on lines 0-7 at column 216;
@   a 16x16 square at (504, 252) shows its lower-right corner at columns 0-7 of lines 0-11.
        .include "picture.inc"
        .arm
        .global _start
_start:
        PIC_BEGIN
        COPY_DATA PAL_BG, backdrop, backdrop_end
        PIC_OBJ_PALETTES

        @ The drawings, in sprite tiles (32 bytes each, from 0x06010000); 1D mapping puts a
        @ sprite's tile rows one after the other, each as wide as the sprite.
        .equ T_SQ64, 0
        .equ T_SQ32, 64
        .equ T_SQ16, 80
        .equ T_SQ8, 84
        .equ T_W16x8, 86
        .equ T_W32x8, 88
        .equ T_W32x16, 92
        .equ T_W64x32, 100
        .equ T_T8x16, 132
        .equ T_T8x32, 134
        .equ T_T16x32, 138
        .equ T_T32x64, 146
        OBJ_IMAGE OBJ_VRAM + T_SQ64 * 32, 64, 64, 4, 64 * 4, 1, 2, 3, 4, 0, 0
        OBJ_IMAGE OBJ_VRAM + T_SQ32 * 32, 32, 32, 4, 32 * 4, 1, 2, 3, 4, 0, 0
        OBJ_IMAGE OBJ_VRAM + T_SQ16 * 32, 16, 16, 4, 16 * 4, 1, 2, 3, 4, 0, 0
        OBJ_IMAGE OBJ_VRAM + T_SQ8 * 32, 8, 8, 4, 8 * 4, 1, 2, 3, 4, 0, 0
        OBJ_IMAGE OBJ_VRAM + T_W16x8 * 32, 16, 8, 4, 16 * 4, 1, 2, 3, 4, 5, 0
        OBJ_IMAGE OBJ_VRAM + T_W32x8 * 32, 32, 8, 4, 32 * 4, 1, 2, 3, 4, 5, 0
        OBJ_IMAGE OBJ_VRAM + T_W32x16 * 32, 32, 16, 4, 32 * 4, 1, 2, 3, 4, 5, 0
        OBJ_IMAGE OBJ_VRAM + T_W64x32 * 32, 64, 32, 4, 64 * 4, 1, 2, 3, 4, 5, 0
        OBJ_IMAGE OBJ_VRAM + T_T8x16 * 32, 8, 16, 4, 8 * 4, 1, 2, 3, 4, 0, 0
        OBJ_IMAGE OBJ_VRAM + T_T8x32 * 32, 8, 32, 4, 8 * 4, 1, 2, 3, 4, 0, 0
        OBJ_IMAGE OBJ_VRAM + T_T16x32 * 32, 16, 32, 4, 16 * 4, 1, 2, 3, 4, 0, 0
        OBJ_IMAGE OBJ_VRAM + T_T32x64 * 32, 32, 64, 4, 32 * 4, 1, 2, 3, 4, 0, 0
        POOL

        @ attribute 0: Y | shape; attribute 1: X | size; attribute 2: tile | palette << 12.
        OBJ     0, 8 | OBJ_SQUARE, 8 | OBJ_SIZE3, T_SQ64 | (0 << 12)
        OBJ     1, 8 | OBJ_SQUARE, 80 | OBJ_SIZE2, T_SQ32 | (0 << 12)
        OBJ     2, 8 | OBJ_SQUARE, 120 | OBJ_SIZE1, T_SQ16 | (0 << 12)
        OBJ     3, 8 | OBJ_SQUARE, 144 | OBJ_SIZE0, T_SQ8 | (0 << 12)
        OBJ     4, 8 | OBJ_TALL, 160 | OBJ_SIZE0, T_T8x16 | (2 << 12)
        OBJ     5, 8 | OBJ_TALL, 176 | OBJ_SIZE1, T_T8x32 | (2 << 12)
        OBJ     6, 8 | OBJ_TALL, 192 | OBJ_SIZE2, T_T16x32 | (2 << 12)
        OBJ     7, 48 | OBJ_WIDE, 80 | OBJ_SIZE0, T_W16x8 | (1 << 12)
        OBJ     8, 48 | OBJ_WIDE, 104 | OBJ_SIZE1, T_W32x8 | (1 << 12)
        OBJ     9, 48 | OBJ_WIDE, 144 | OBJ_SIZE2, T_W32x16 | (1 << 12)
        POOL
        OBJ     10, 80 | OBJ_TALL, 24 | OBJ_SIZE3, T_T32x64 | (2 << 12)
        OBJ     11, 80 | OBJ_WIDE, 64 | OBJ_SIZE3, T_W64x32 | (1 << 12)
        OBJ     12, 120 | OBJ_SQUARE, 496 | OBJ_SIZE2, T_SQ32 | (3 << 12)
        OBJ     13, 248 | OBJ_SQUARE, 216 | OBJ_SIZE1, T_SQ16 | (3 << 12)
        OBJ     14, 252 | OBJ_SQUARE, 504 | OBJ_SIZE1, T_SQ16 | (3 << 12)

        PIC_SHOW MODE_0 | SHOW_OBJ | OBJ_1D
        PIC_WAIT
        .ltorg

        .balign 4
backdrop:
        .hword  6 | (6 << 5) | (8 << 10), 0
backdrop_end:
