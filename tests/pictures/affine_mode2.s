@ Mode 2: two rotation/scaling backgrounds.
@
@ BG2 (priority 0): a 128x128 map (screen size 0), wraparound off: a white-framed teal
@   checkerboard with the words "TAMO" and "MODE 2" across its middle, turned 30 degrees
@   clockwise and shown at 1/1.25 of its size, its centre (64, 64) on the screen's centre
@   (120, 80). Outside the map the background is clear, so BG3 shows around the square.
@ BG3 (priority 1): a 512x512 map (screen size 2), wraparound on: an orange checkerboard
@   whose first map row and column are light blue, and the letters "BG3" at tile (2, 2);
@   shown at half size (a step of 2.0 per pixel) from the point (-40, -24), so the map's
@   first column (wrapped round from the left) stands at screen columns 20-23 and its first
@   row at lines 12-15.
        .include "picture.inc"
        .arm
        .global _start
_start:
        PIC_BEGIN
        COPY_DATA PAL_BG, palette, palette_end

        @ 256-colour tiles at character block 0: solid tiles and letters.
        FILL    VRAM + 1 * 64, 0x01010101, 64
        FILL    VRAM + 2 * 64, 0x02020202, 64
        FILL    VRAM + 3 * 64, 0x03030303, 64
        FILL    VRAM + 8 * 64, 0x08080808, 64
        FILL    VRAM + 9 * 64, 0x09090909, 64
        FILL    VRAM + 10 * 64, 0x0A0A0A0A, 64
        TILES8  VRAM + 4 * 64, word_tamo, 5, 4, 0
        TILES8  VRAM + 11 * 64, word_mode2, 5, 4, 0
        TILES8  VRAM + 17 * 64, word_bg3, 5, 1, 0
        POOL

        @ BG2's map (one byte per tile) at screen block 16.
        COPY_DATA VRAM + 16 * 0x800, bg2_map, bg2_map_end

        @ BG3's map, 64 by 64 bytes, built in work RAM (which stores single bytes) and copied
        @ to screen block 17.
        .equ MAPBUF, 0x02000000
        ldr     r4, =MAPBUF
        mov     r1, #0                      @ map row
1:      mov     r0, #0                      @ map column
2:      add     r2, r0, r1
        and     r2, r2, #1
        add     r2, r2, #8                  @ the checkerboard: tiles 8 and 9
        cmp     r0, #0
        cmpne   r1, #0
        moveq   r2, #10                     @ the first row and column
        strb    r2, [r4], #1
        add     r0, r0, #1
        cmp     r0, #64
        bne     2b
        add     r1, r1, #1
        cmp     r1, #64
        bne     1b
        ldr     r4, =MAPBUF + 2 * 64 + 2
        mov     r2, #17
        strb    r2, [r4], #1
        mov     r2, #18
        strb    r2, [r4], #1
        mov     r2, #19
        strb    r2, [r4], #1
        COPY    VRAM + 17 * 0x800, MAPBUF, 4096
        POOL

        SETREG  BG2CNT, BG_PRIO0 | (0 << CHAR_SHIFT) | (16 << SCREEN_SHIFT) | BG_SIZE0
        SETREG  BG3CNT, BG_PRIO1 | (0 << CHAR_SHIFT) | (17 << SCREEN_SHIFT) | BG_SIZE2 | BG_WRAP
        @ BG2: a texture step of 1.25 turned by 30 degrees: PA = PD = 1.25 cos 30, PB = -PC =
        @ 1.25 sin 30; the reference point puts texture (64, 64) on screen (120, 80).
        SETREG  BG2PA, 277
        SETREG  BG2PB, 160
        SETREG  BG2PC, -160
        SETREG  BG2PD, 277
        SETREG32 BG2X, 64 * 256 - (277 * 120 + 160 * 80)
        SETREG32 BG2Y, 64 * 256 - (-160 * 120 + 277 * 80)
        SETREG  BG3PA, 512
        SETREG  BG3PB, 0
        SETREG  BG3PC, 0
        SETREG  BG3PD, 512
        SETREG32 BG3X, -40 * 256
        SETREG32 BG3Y, -24 * 256
        PIC_SHOW MODE_2 | SHOW_BG2 | SHOW_BG3
        PIC_WAIT
        .ltorg

        TEXT    word_tamo, "TAMO"
        TEXT    word_mode2, "MODE 2"
        TEXT    word_bg3, "BG3"

        .balign 4
palette:
        .hword  2 | (2 << 5) | (6 << 10)        @ 0: backdrop
        .hword  31 | (31 << 5) | (31 << 10)     @ 1: white
        .hword  4 | (20 << 5) | (20 << 10)      @ 2: teal
        .hword  2 | (10 << 5) | (12 << 10)      @ 3: dark teal
        .hword  31 | (28 << 5) | (8 << 10)      @ 4: yellow
        .hword  0                               @ 5: black
        .hword  0, 0
        .hword  31 | (16 << 5) | (4 << 10)      @ 8: orange
        .hword  16 | (6 << 5) | (2 << 10)       @ 9: brown
        .hword  20 | (24 << 5) | (31 << 10)     @ 10: light blue
        .hword  0
palette_end:

        .balign 4
bg2_map:
        .byte   1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1
        .byte   1, 2, 3, 2, 3, 2, 3, 2, 3, 2, 3, 2, 3, 2, 3, 1
        .byte   1, 3, 2, 3, 2, 3, 2, 3, 2, 3, 2, 3, 2, 3, 2, 1
        .byte   1, 2, 3, 2, 3, 2, 3, 2, 3, 2, 3, 2, 3, 2, 3, 1
        .byte   1, 3, 2, 3, 2, 3, 2, 3, 2, 3, 2, 3, 2, 3, 2, 1
        .byte   1, 2, 3, 2, 3, 2, 3, 2, 3, 2, 3, 2, 3, 2, 3, 1
        .byte   1, 3, 2, 3, 2, 3, 2, 3, 2, 3, 2, 3, 2, 3, 2, 1
        .byte   1, 2, 3, 2, 3, 2, 4, 5, 6, 7, 3, 2, 3, 2, 3, 1
        .byte   1, 3, 2, 3, 2, 11, 12, 13, 14, 15, 16, 3, 2, 3, 2, 1
        .byte   1, 2, 3, 2, 3, 2, 3, 2, 3, 2, 3, 2, 3, 2, 3, 1
        .byte   1, 3, 2, 3, 2, 3, 2, 3, 2, 3, 2, 3, 2, 3, 2, 1
        .byte   1, 2, 3, 2, 3, 2, 3, 2, 3, 2, 3, 2, 3, 2, 3, 1
        .byte   1, 3, 2, 3, 2, 3, 2, 3, 2, 3, 2, 3, 2, 3, 2, 1
        .byte   1, 2, 3, 2, 3, 2, 3, 2, 3, 2, 3, 2, 3, 2, 3, 1
        .byte   1, 3, 2, 3, 2, 3, 2, 3, 2, 3, 2, 3, 2, 3, 2, 1
        .byte   1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1
bg2_map_end:
