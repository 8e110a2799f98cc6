@ A picture-bound cartridge: four scrolling 512x512 text backgrounds (two of 16 colours, two of
@ 256 colours) and 128 sprites of mixed sizes, shapes and depths (a few of them rotated and
@ scaled) on screen, while the processor idles and a V-blank handler moves the scroll offsets.
        .arm
        .global _start
_start:
        mov     sp, #0x03000000
        add     sp, sp, #0x7F00
        mov     r12, #0x04000000
        ldr     r11, =0x2545F491        @ seed of the pattern generator (r11 = r11 * r10 + r9)
        ldr     r10, =1664525
        ldr     r9, =1013904223

@ Palette RAM: 512 random colours for backgrounds and sprites.
        mov     r0, #0x05000000
        mov     r1, #256                @ words
1:      bl      random
        str     r11, [r0], #4
        subs    r1, r1, #1
        bne     1b

@ Background tiles: 64 tiles of 16 colours at 0x06000000, 64 tiles of 256 colours at
@ 0x06004000. About one pixel in four is transparent.
        mov     r0, #0x06000000
        mov     r1, #512                @ 2 KB of 16-colour tiles
        ldr     r2, =0xF0FF0FFF
1:      bl      random
        and     r3, r11, r2
        str     r3, [r0], #4
        subs    r1, r1, #1
        bne     1b
        ldr     r0, =0x06004000
        mov     r1, #1024               @ 4 KB of 256-colour tiles
        ldr     r2, =0xFF00FFFF
1:      bl      random
        and     r3, r11, r2
        str     r3, [r0], #4
        subs    r1, r1, #1
        bne     1b

@ Four 512x512 maps (four screen blocks, 8 KB each) at 0x06008000, 0x0600A000, 0x0600C000
@ and 0x0600E000: tiles 0 to 63 with random flips and palette banks.
        ldr     r0, =0x06008000
        mov     r1, #8192               @ words: 4 maps of 4096 entries
        ldr     r2, =0xFC3FFC3F
1:      bl      random
        and     r3, r11, r2
        str     r3, [r0], #4
        subs    r1, r1, #1
        bne     1b

@ Sprite tiles: the whole 32 KB, about one pixel in four transparent.
        ldr     r0, =0x06010000
        mov     r1, #8192
        ldr     r2, =0xF0FF0FFF
1:      bl      random
        and     r3, r11, r2
        str     r3, [r0], #4
        subs    r1, r1, #1
        bne     1b

@ 128 sprites. Sprite i: shape i mod 3, size (i / 3) mod 3 (size 3 for every 16th), 256 colours
@ when bit 2 of i is set, priority i mod 4, palette i mod 16, tile 16 i; sprites 5, 21, 37, ...
@ are rotated and scaled (double size for every other one) by one of four groups.
        mov     r0, #0x07000000
        mov     r4, #0                  @ i
2:      mov     r5, r4
        mov     r6, #0                  @ i mod 3
        mov     r7, #0                  @ (i / 3) mod 3
3:      cmp     r5, #3
        blo     4f
        sub     r5, r5, #3
        add     r7, r7, #1
        cmp     r7, #3
        moveq   r7, #0
        b       3b
4:      mov     r6, r5                  @ shape
        and     r1, r4, #15
        cmp     r1, #15
        moveq   r7, #3                  @ size 3 now and then
        @ attribute 0: Y = (23 i) mod 160, rotation/scaling, 256 colours, shape
        mov     r1, #23
        mul     r2, r4, r1
5:      cmp     r2, #160
        subhs   r2, r2, #160
        bhs     5b
        tst     r4, #4
        orrne   r2, r2, #0x2000
        and     r1, r4, #15
        cmp     r1, #5
        orreq   r2, r2, #0x100          @ rotation/scaling
        tsteq   r4, #16
        orreq   r2, r2, #0x200          @ double size
        orr     r2, r2, r6, lsl #14
        strh    r2, [r0]
        @ attribute 1: X = (37 i) mod 240, size; affine group (i / 16) mod 4 for rotated ones
        mov     r1, #37
        mul     r3, r4, r1
5:      cmp     r3, #240
        subhs   r3, r3, #240
        bhs     5b
        orr     r3, r3, r7, lsl #14
        tst     r2, #0x100
        movne   r1, r4, lsr #4
        andne   r1, r1, #3
        orrne   r3, r3, r1, lsl #9
        strh    r3, [r0, #2]
        @ attribute 2: tile 16 i, priority i mod 4, palette i mod 16
        mov     r1, r4, lsl #4
        ldr     r2, =0x3FF
        and     r1, r1, r2
        and     r2, r4, #3
        orr     r1, r1, r2, lsl #10
        and     r2, r4, #15
        orr     r1, r1, r2, lsl #12
        strh    r1, [r0, #4]
        add     r0, r0, #8
        add     r4, r4, #1
        cmp     r4, #128
        bne     2b

@ Rotation/scaling groups 0 to 3: PA, PB, PC, PD as the fourth halfwords of their sprites.
        mov     r0, #0x07000000
        adr     r1, groups
        mov     r2, #16                 @ 4 groups of 4 values
1:      ldrh    r3, [r1], #2
        strh    r3, [r0, #6]
        add     r0, r0, #8
        subs    r2, r2, #1
        bne     1b

@ Backgrounds: size 3 (512x512); BG0 and BG1 16 colours from character block 0, BG2 and BG3
@ 256 colours from character block 1; maps in screen blocks 16, 20, 24, 28; priorities 0 to 3.
        ldr     r0, =0xD400D000
        str     r0, [r12, #0x08]        @ BG0CNT, BG1CNT
        ldr     r0, =0xDC87D886
        str     r0, [r12, #0x0C]        @ BG2CNT, BG3CNT
        ldr     r0, =0x1F40             @ mode 0, 1D sprites, BG0-3 and sprites on
        strh    r0, [r12]

@ The processor idles in a one-instruction loop; the V-blank interrupt handler (ARM code, as the
@ machine enters handlers in ARM state) moves the backgrounds once per frame.
        ldr     r0, =0x03007FFC         @ the interrupt vector
        adr     r1, vblank
        str     r1, [r0]
        ldr     r0, =0x04000200         @ IE: V-blank
        mov     r1, #1
        strh    r1, [r0]
        strh    r1, [r0, #8]            @ IME
        adr     r0, idle + 1            @ the idle loop is THUMB code, as most of a game's is
        bx      r0
        .thumb
idle:
        b       idle
        .arm
        .align  2

@ Moves the four backgrounds in four directions, from the frame number kept in IWRAM. The
@ machine gives the interrupted code its registers back.
vblank:
        mov     r12, #0x04000000
        ldr     r3, =0x03000000
        ldr     r8, [r3]
        add     r8, r8, #1
        str     r8, [r3]
        mov     r0, r8
        orr     r0, r0, r8, lsl #17     @ BG0: right 1, down 2 per frame
        str     r0, [r12, #0x10]
        rsb     r0, r8, #0
        ldr     r1, =0x1FF
        and     r0, r0, r1
        orr     r0, r0, r8, lsl #16     @ BG1: left 1, down 1
        str     r0, [r12, #0x14]
        mov     r0, r8, lsl #1
        and     r0, r0, r1
        rsb     r2, r8, #0
        and     r2, r2, r1
        orr     r0, r0, r2, lsl #16     @ BG2: right 2, up 1
        str     r0, [r12, #0x18]
        mov     r0, r8, lsl #2
        and     r0, r0, r1
        mov     r2, r8, lsl #16
        orr     r0, r0, r2              @ BG3: right 4, down 1
        str     r0, [r12, #0x1C]
        add     r0, r12, #0x200
        mov     r1, #1
        strh    r1, [r0, #2]            @ IF: V-blank acknowledged
        bx      lr

@ r11 = r11 * 1664525 + 1013904223
random:
        mla     r11, r10, r11, r9
        bx      lr

groups:
        .hword  0x0100, 0x0000, 0x0000, 0x0100     @ identity
        .hword  0x00B5, 0xFF4B, 0x00B5, 0x00B5     @ turned by 45 degrees
        .hword  0x0080, 0x0000, 0x0000, 0x0080     @ twice the size
        .hword  0x0180, 0x0020, 0xFFE0, 0x0140     @ smaller, slightly sheared
        .pool
