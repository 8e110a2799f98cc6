@ The bitmap modes 3, 4 and 5, one band of the screen each: the cartridge changes DISPCNT at
@ lines 53 and 106 of every frame. The backdrop is magenta.
@
@ Lines 0-52, mode 3 (240x160, direct colour): red grows from left to right, green from top to
@   bottom, blue stays 12; columns 100-107 hold colour 0x0000, which is opaque black in this
@   mode, not the backdrop.
@ Lines 53-105, mode 4 (240x160, palette indices), frame 1 (at 0xA000): diagonal stripes 8
@   pixels wide of the fifteen colours 1-15 of a rainbow, and index 0, which shows the
@   backdrop. Frame 0 holds the mode 3 picture's bytes on these lines, so showing it would be
@   easy to tell.
@ Lines 106-159, mode 5 (160x128, direct colour), frame 1 (at 0xA000): on lines 106-127
@   columns 0-159 grow from red to blue; columns 160-239 show the backdrop, and so do lines
@   128-159, below the bitmap. Frame 0 is black on these lines.
        .include "picture.inc"
        .arm
        .global _start
_start:
        PIC_BEGIN
        COPY_DATA PAL_BG, palette, palette_end

        @ Mode 3, lines 0-52 at VRAM 0.
        ldr     r4, =VRAM
        mov     r1, #0                      @ y
1:      mov     r0, #0                      @ x
2:      mov     r2, #0
        cmp     r0, #100
        blo     3f
        cmp     r0, #108
        blo     4f                          @ columns 100-107: colour 0
3:      add     r2, r0, r0, lsl #5
        mov     r2, r2, lsr #8              @ red = x * 33 / 256, 0 to 30
        add     r3, r1, r1, lsl #1
        add     r3, r3, r1, lsl #4
        mov     r3, r3, lsr #5              @ green = y * 19 / 32, 0 to 30
        orr     r2, r2, r3, lsl #5
        orr     r2, r2, #12 << 10
4:      strh    r2, [r4], #2
        add     r0, r0, #1
        cmp     r0, #240
        bne     2b
        add     r1, r1, #1
        cmp     r1, #53
        bne     1b

        @ Mode 4, frame 1, lines 53-105: index ((x + y) / 8) AND 15, two pixels per halfword.
        ldr     r4, =VRAM + 0xA000 + 53 * 240
        mov     r1, #53
1:      mov     r0, #0
2:      add     r2, r0, r1
        mov     r2, r2, lsr #3
        and     r2, r2, #15
        add     r3, r0, r1
        add     r3, r3, #1
        mov     r3, r3, lsr #3
        and     r3, r3, #15
        orr     r2, r2, r3, lsl #8
        strh    r2, [r4], #2
        add     r0, r0, #2
        cmp     r0, #240
        bne     2b
        add     r1, r1, #1
        cmp     r1, #106
        bne     1b
        POOL

        @ Mode 5, frame 1, lines 106-127: red falls and blue grows with x; green = line - 106.
        ldr     r4, =VRAM + 0xA000 + 106 * 320
        mov     r1, #106
1:      mov     r0, #0
2:      add     r2, r0, r0, lsl #1
        add     r2, r2, r0, lsl #3
        add     r2, r2, r0, lsl #4          @ x * 27
        mov     r2, r2, lsr #7              @ blue = x * 27 / 128, 0 to 33 ...
        cmp     r2, #31
        movhi   r2, #31                     @ ... kept to 31
        rsb     r3, r2, #31                 @ red
        orr     r3, r3, r2, lsl #10
        sub     r2, r1, #106
        orr     r3, r3, r2, lsl #5
        strh    r3, [r4], #2
        add     r0, r0, #1
        cmp     r0, #160
        bne     2b
        add     r1, r1, #1
        cmp     r1, #128
        bne     1b

        SETREG  DISPCNT, MODE_3 | SHOW_BG2
        PIC_RASTER raster
        .ltorg

        .balign 4
raster:
        .hword  0, DISPCNT, MODE_3 | SHOW_BG2
        .hword  53, DISPCNT, MODE_4 | FRAME_1 | SHOW_BG2
        .hword  106, DISPCNT, MODE_5 | FRAME_1 | SHOW_BG2
        .hword  0xFFFF

        .balign 4
palette:
        .hword  20 | (4 << 5) | (20 << 10)      @ 0: the backdrop, magenta
        .hword  31 | (0 << 5) | (0 << 10)       @ 1-15: a rainbow
        .hword  31 | (10 << 5) | (0 << 10)
        .hword  31 | (20 << 5) | (0 << 10)
        .hword  31 | (31 << 5) | (0 << 10)
        .hword  20 | (31 << 5) | (0 << 10)
        .hword  10 | (31 << 5) | (0 << 10)
        .hword  0 | (31 << 5) | (0 << 10)
        .hword  0 | (31 << 5) | (15 << 10)
        .hword  0 | (31 << 5) | (31 << 10)
        .hword  0 | (20 << 5) | (31 << 10)
        .hword  0 | (10 << 5) | (31 << 10)
        .hword  0 | (0 << 5) | (31 << 10)
        .hword  10 | (0 << 5) | (31 << 10)
        .hword  20 | (0 << 5) | (31 << 10)
        .hword  31 | (31 << 5) | (31 << 10)
palette_end:
