@ Tamo's demo: one screen that shows what the emulator draws, and answers the keys.
@
@ Mode 1. BG0 (text, priority 0): the title "TAMO" in big letters with a gradient and a drop
@ shadow, a line under it and the key help at the bottom, in a bold 8x8 font drawn here.
@ BG1 (text, priority 3): a field of stars that drifts to the left. BG2 (rotation/scaling,
@ priority 2): a disc of coloured rings and sectors, turning and slowly breathing in size.
@ Sprites: a little creature that the arrow keys move, six glowing stars circling round it
@ (semi-transparent, blended with what lies behind them, in front of the creature on the
@ near half of their orbit and behind it on the far half), and a translucent panel under the
@ key help that slides in once the picture has faded in from black.
@
@ Keys: the arrows move the creature (it faces the way it walks); A turns the disc faster,
@ B turns it the other way.
@
@ The program uses no firmware calls. A V-blank interrupt handler counts frames; the main
@ loop waits for the count to change and then sets up the next frame while the console is in
@ its vertical blank.

        .syntax unified

        .equ REG_BASE,      0x04000000
        .equ DISPCNT,       0x000
        .equ DISPSTAT,      0x004
        .equ BG0CNT,        0x008
        .equ BG1CNT,        0x00A
        .equ BG2CNT,        0x00C
        .equ BG1HOFS,       0x014
        .equ BG1VOFS,       0x016
        .equ BG2PA,         0x020
        .equ BG2PB,         0x022
        .equ BG2PC,         0x024
        .equ BG2PD,         0x026
        .equ BG2X,          0x028
        .equ BG2Y,          0x02C
        .equ BLDCNT,        0x050
        .equ BLDALPHA,      0x052
        .equ BLDY,          0x054
        .equ KEYINPUT,      0x130
        .equ IE,            0x200
        .equ IF,            0x202
        .equ IME,           0x208

        .equ PAL_BG,        0x05000000
        .equ PAL_OBJ,       0x05000200
        .equ VRAM,          0x06000000
        .equ OBJ_VRAM,      0x06010000
        .equ OAM,           0x07000000
        .equ IRQ_VECTOR,    0x03007FFC
        .equ STACK_TOP,     0x03007F00

        @ The demo's variables in work RAM.
        .equ VARS,          0x03000000
        .equ VAR_FRAME,     0               @ frames counted by the interrupt handler
        .equ VAR_SEEN,      4               @ the last frame the main loop set up
        .equ VAR_X,         8               @ the creature's position
        .equ VAR_Y,         12
        .equ VAR_FACE,      16              @ 0 facing right, 1 facing left
        .equ VAR_ANGLE,     20              @ the disc's angle in quarter steps (1024 a turn)

        @ Work buffers in the large work RAM (which stores single bytes, unlike VRAM).
        .equ DISC_BUF,      0x02000000      @ the disc's 128x128 texture, in tile order
        .equ LETTER_BUF,    0x02004000      @ one letter being drawn, up to 24x24 pixels

        @ Where things live in video memory.
        .equ FONT_TILES,    VRAM + 1 * 32   @ tile 1 + (character - 32), character block 0
        .equ TITLE_TILE,    80              @ the big letters, 9 tiles each
        .equ STAR_TILES,    VRAM + 0x4000   @ BG1, character block 1
        .equ DISC_TILES,    VRAM + 0x8000   @ BG2, character block 2
        .equ BG0_MAP,       VRAM + 24 * 0x800
        .equ BG1_MAP,       VRAM + 25 * 0x800
        .equ BG2_MAP,       VRAM + 26 * 0x800

        .equ DISC_CENTRE_X, 120
        .equ DISC_CENTRE_Y, 88
        .equ FADE_FRAMES,   32

        .arm
        .global _start
_start:
        ldr     sp, =STACK_TOP
        mov     r4, #REG_BASE
        mov     r0, #0x80                   @ forced blank while the picture is built
        strh    r0, [r4, #DISPCNT]

        @ Every sprite hidden.
        ldr     r0, =OAM
        mov     r1, #0x0200
        mov     r2, #128
1:      strh    r1, [r0], #8
        subs    r2, r2, #1
        bne     1b

        ldr     r0, =PAL_BG
        ldr     r1, =bg_palette
        ldr     r2, =bg_palette_end
        bl      copy_words
        ldr     r0, =PAL_BG + 0x40 * 2
        ldr     r1, =disc_palette
        ldr     r2, =disc_palette_end
        bl      copy_words
        ldr     r0, =PAL_OBJ
        ldr     r1, =obj_palette
        ldr     r2, =obj_palette_end
        bl      copy_words

        bl      build_font
        bl      build_title
        bl      build_stars
        bl      build_disc
        bl      build_sprites

        ldr     r0, =text_subtitle
        mov     r1, #5 * 32 + 2
        bl      print
        ldr     r0, =text_help
        ldr     r1, =18 * 32 + 3
        bl      print

        @ The variables: the creature in the middle of the disc, facing right.
        ldr     r4, =VARS
        mov     r0, #0
        str     r0, [r4, #VAR_FRAME]
        str     r0, [r4, #VAR_SEEN]
        str     r0, [r4, #VAR_FACE]
        str     r0, [r4, #VAR_ANGLE]
        mov     r0, #DISC_CENTRE_X - 16
        str     r0, [r4, #VAR_X]
        mov     r0, #DISC_CENTRE_Y - 8
        str     r0, [r4, #VAR_Y]

        mov     r4, #REG_BASE
        ldr     r0, =0 | (0 << 2) | (24 << 8)
        strh    r0, [r4, #BG0CNT]
        ldr     r0, =3 | (1 << 2) | (25 << 8)
        strh    r0, [r4, #BG1CNT]
        ldr     r0, =2 | (2 << 2) | (26 << 8)
        strh    r0, [r4, #BG2CNT]
        mov     r0, #0                      @ the first frame as the main loop sets it up
        bl      update

        @ The V-blank interrupt: the handler's address in the last word of work RAM,
        @ DISPSTAT's V-blank request, IE bit 0, IME.
        ldr     r0, =IRQ_VECTOR
        ldr     r1, =irq_handler
        str     r1, [r0]
        mov     r0, #0x0008
        strh    r0, [r4, #DISPSTAT]
        add     r5, r4, #IE
        mov     r0, #1
        strh    r0, [r5]
        ldr     r5, =REG_BASE + IME
        strh    r0, [r5]

        @ Mode 1, BG0-BG2 and sprites, 1D sprite mapping.
        ldr     r0, =1 | 0x0040 | 0x0100 | 0x0200 | 0x0400 | 0x1000
        strh    r0, [r4, #DISPCNT]

main_loop:
        ldr     r4, =VARS
1:      ldr     r0, [r4, #VAR_FRAME]
        ldr     r1, [r4, #VAR_SEEN]
        cmp     r0, r1
        beq     1b
        str     r0, [r4, #VAR_SEEN]
        bl      update
        b       main_loop
        .ltorg

@ The V-blank interrupt handler (ARM state; the registers it uses come back on return).
irq_handler:
        mov     r0, #REG_BASE
        add     r0, r0, #IE
        ldrh    r1, [r0, #IF - IE]
        strh    r1, [r0, #IF - IE]          @ acknowledge what was requested
        ldr     r0, =VARS
        ldr     r1, [r0, #VAR_FRAME]
        add     r1, r1, #1
        str     r1, [r0, #VAR_FRAME]
        bx      lr
        .ltorg

@ ---------------------------------------------------------------------------
@ One frame: r0 = the frames since the picture was switched on.
update:
        push    {r4-r11, lr}
        mov     r11, r0                     @ t
        ldr     r10, =VARS
        mov     r9, #REG_BASE
        ldr     r8, =sine

        @ The keys (a pressed key reads 0): the arrows move the creature by 2 pixels.
        add     r0, r9, #KEYINPUT
        ldrh    r7, [r0]
        ldr     r0, [r10, #VAR_X]
        ldr     r1, [r10, #VAR_Y]
        tst     r7, #0x10                   @ Right
        addeq   r0, r0, #2
        moveq   r2, #0
        streq   r2, [r10, #VAR_FACE]
        tst     r7, #0x20                   @ Left
        subeq   r0, r0, #2
        moveq   r2, #1
        streq   r2, [r10, #VAR_FACE]
        tst     r7, #0x40                   @ Up
        subeq   r1, r1, #2
        tst     r7, #0x80                   @ Down
        addeq   r1, r1, #2
        cmp     r0, #0
        movlt   r0, #0
        cmp     r0, #208
        movgt   r0, #208
        cmp     r1, #0
        movlt   r1, #0
        cmp     r1, #124
        movgt   r1, #124
        str     r0, [r10, #VAR_X]
        str     r1, [r10, #VAR_Y]

        @ The disc turns a quarter step per frame; A makes it four, B two steps backwards.
        ldr     r0, [r10, #VAR_ANGLE]
        add     r0, r0, #1
        tst     r7, #0x01
        addeq   r0, r0, #3
        tst     r7, #0x02
        subeq   r0, r0, #3
        str     r0, [r10, #VAR_ANGLE]

        @ BG1's stars drift left and a little up.
        mov     r0, r11
        strh    r0, [r9, #BG1HOFS]
        mov     r0, r11, lsr #2
        strh    r0, [r9, #BG1VOFS]
        @ The bright stars twinkle: BG palette bank 3, colour 1, from grey to white.
        and     r0, r11, #63
        mov     r0, r0, lsl #3
        add     r0, r8, r0
        ldrsh   r0, [r0]                    @ sine of 4t
        mov     r1, #11
        mul     r0, r1, r0
        mov     r0, r0, asr #8
        add     r0, r0, #20                 @ 9 to 31
        orr     r0, r0, r0, lsl #5
        orr     r0, r0, r0, lsl #5
        bic     r0, r0, #0x8000
        ldr     r1, =PAL_BG + (3 * 16 + 1) * 2
        strh    r0, [r1]

        @ BG2: the disc's texture step s = 330/256 breathes by 40/256 with the sine of 2t;
        @ PA = PD = s cos a, PB = -PC = s sin a; the reference point keeps the texture's
        @ centre (64, 64) on the screen point (DISC_CENTRE_X, DISC_CENTRE_Y).
        and     r0, r11, #127
        add     r0, r8, r0, lsl #2
        ldrsh   r0, [r0]
        mov     r1, #40
        mul     r0, r1, r0
        mov     r0, r0, asr #8
        add     r6, r0, #320
        add     r6, r6, #10                 @ s
        ldr     r0, [r10, #VAR_ANGLE]
        mov     r0, r0, lsr #2
        and     r0, r0, #255                @ a
        add     r1, r0, #64
        and     r1, r1, #255
        add     r1, r8, r1, lsl #1
        ldrsh   r1, [r1]                    @ cos a
        add     r0, r8, r0, lsl #1
        ldrsh   r0, [r0]                    @ sin a
        mul     r2, r1, r6
        mov     r2, r2, asr #8              @ PA = PD
        mul     r3, r0, r6
        mov     r3, r3, asr #8              @ PB = -PC
        strh    r2, [r9, #BG2PA]
        strh    r3, [r9, #BG2PB]
        rsb     r0, r3, #0
        strh    r0, [r9, #BG2PC]
        strh    r2, [r9, #BG2PD]
        @ X = 64*256 - (PA * cx + PB * cy); Y = 64*256 - (PC * cx + PD * cy)
        mov     r4, #DISC_CENTRE_X
        mov     r5, #DISC_CENTRE_Y
        mul     r0, r2, r4
        mla     r0, r3, r5, r0
        rsb     r0, r0, #64 * 256
        str     r0, [r9, #BG2X]
        rsb     r1, r3, #0
        mul     r0, r1, r4
        mla     r0, r2, r5, r0
        rsb     r0, r0, #64 * 256
        str     r0, [r9, #BG2Y]

        @ The colour effect: first a fade in from black (darken everything by 16 - t/2),
        @ then alpha blending for the semi-transparent sprites over BG1, BG2 and the
        @ backdrop.
        cmp     r11, #FADE_FRAMES
        bhs     1f
        mov     r0, #0x3F | (3 << 6)
        strh    r0, [r9, #BLDCNT]
        rsb     r0, r11, #FADE_FRAMES
        mov     r0, r0, lsr #1
        strh    r0, [r9, #BLDY]
        b       2f
1:      ldr     r0, =(1 << 6) | 0x0200 | 0x0400 | 0x2000
        strh    r0, [r9, #BLDCNT]
        ldr     r0, =16 | (8 << 8)         @ the sprite in full, half of what is behind
        strh    r0, [r9, #BLDALPHA]
2:
        @ Sprite 6, the creature: 32x32, 16 colours, palette 0, tile 0, priority 0, bobbing by
        @ two pixels with the sine of 4t, flipped when it faces left. (Sprites 0-5, the
        @ stars, have lower numbers, so those of priority 0 are in front of it.)
        ldr     r4, =OAM + 6 * 8
        ldr     r0, [r10, #VAR_X]
        ldr     r1, [r10, #VAR_Y]
        and     r2, r11, #63
        mov     r2, r2, lsl #3
        add     r2, r8, r2
        ldrsh   r2, [r2]
        mov     r2, r2, asr #7              @ -2 to 2
        add     r1, r1, r2
        and     r2, r1, #255
        strh    r2, [r4, #0]                @ square, Y
        ldr     r2, [r10, #VAR_FACE]
        orr     r3, r0, #0x8000             @ size 2 (32x32)
        cmp     r2, #0
        orrne   r3, r3, #0x1000             @ horizontal flip
        strh    r3, [r4, #2]
        mov     r3, #0
        strh    r3, [r4, #4]
        add     r6, r0, #16                 @ the creature's centre
        add     r7, r1, #16

        @ Sprites 0-5, the stars: an ellipse 30 by 10 pixels round the creature's centre,
        @ 43 steps apart, moving 3 steps a frame; in front of the creature on the near
        @ (lower) half (priority 0), behind it on the far half (priority 1). Hidden while the
        @ picture fades in.
        ldr     r4, =OAM
        mov     r5, #0                      @ k
3:      cmp     r11, #FADE_FRAMES
        movlo   r0, #0x0200
        strhlo  r0, [r4]
        blo     4f
        add     r0, r11, r11, lsl #1        @ 3t
        mov     r1, #43
        mla     r0, r1, r5, r0
        and     r0, r0, #255                @ the star's angle
        add     r1, r0, #64
        and     r1, r1, #255
        add     r1, r8, r1, lsl #1
        ldrsh   r1, [r1]                    @ cos
        add     r0, r8, r0, lsl #1
        ldrsh   r0, [r0]                    @ sin
        mov     r2, #30
        mul     r1, r2, r1
        add     r2, r6, r1, asr #8
        sub     r2, r2, #4                  @ X
        mov     r3, #10
        mul     r3, r0, r3
        add     r3, r7, r3, asr #8
        sub     r3, r3, #4                  @ Y
        and     r3, r3, #255
        orr     r3, r3, #0x0400             @ semi-transparent, square
        strh    r3, [r4, #0]
        ldr     r1, =0x1FF
        and     r2, r2, r1                  @ size 0 (8x8)
        strh    r2, [r4, #2]
        cmp     r0, #0
        ldrge   r1, =16 | (0 << 10) | (1 << 12)
        ldrlt   r1, =16 | (1 << 10) | (1 << 12)
        strh    r1, [r4, #4]
4:      add     r4, r4, #8
        add     r5, r5, #1
        cmp     r5, #6
        bne     3b

        @ Sprites 20-23, the panel: four 64x32 semi-transparent sprites behind the help
        @ line (priority 1), sliding up from the bottom once the fade is over.
        ldr     r4, =OAM + 20 * 8
        subs    r0, r11, #FADE_FRAMES
        movlo   r1, #160
        movhs   r1, #160
        subhs   r1, r1, r0, lsl #1
        cmp     r1, #136
        movlt   r1, #136
        orr     r1, r1, #0x4000 | 0x0400    @ wide, semi-transparent
        mov     r0, #0
5:      strh    r1, [r4, #0]
        orr     r2, r0, #0xC000             @ size 3 (64x32)
        strh    r2, [r4, #2]
        ldr     r2, =32 | (1 << 10) | (2 << 12)
        strh    r2, [r4, #4]
        add     r4, r4, #8
        add     r0, r0, #64
        cmp     r0, #256
        bne     5b

        pop     {r4-r11, lr}
        bx      lr
        .ltorg

@ ---------------------------------------------------------------------------
@ Building the picture.

@ r0 = destination, r1 = start, r2 = end (word-aligned data).
copy_words:
        ldr     r3, [r1], #4
        str     r3, [r0], #4
        cmp     r1, r2
        blo     copy_words
        bx      lr

@ The small font: one 16-colour tile per character 0x20-0x5F, colour 1 with a shadow of
@ colour 2 one pixel down and to the right.
build_font:
        push    {r4, r5, lr}
        mov     r4, #32
        ldr     r5, =FONT_TILES
1:      mov     r0, r5
        mov     r1, r4
        mov     r2, #1
        ldr     r3, =1 | (2 << 8) | (0 << 16) | (1 << 24)
        bl      draw_glyph
        add     r5, r5, #32
        add     r4, r4, #1
        cmp     r4, #0x60
        bne     1b
        pop     {r4, r5, lr}
        bx      lr
        .ltorg

@ The title: "TAMO" three times the font's size (3x3 tiles a letter), colours 1-7 from
@ top to bottom with a shadow of colour 8 two pixels down and to the right, palette 2, on
@ tile rows 1-3 from column 9.
build_title:
        push    {r4-r7, lr}
        ldr     r4, =text_title
        ldr     r5, =VRAM + TITLE_TILE * 32
        mov     r6, #TITLE_TILE
        ldr     r7, =BG0_MAP + (1 * 32 + 9) * 2
1:      ldrb    r1, [r4], #1
        cmp     r1, #0
        beq     3f
        mov     r0, r5
        mov     r2, #3
        ldr     r3, =1 | (8 << 8) | (1 << 16) | (2 << 24)
        bl      draw_glyph
        @ The letter's map entries: tiles r6 .. r6 + 8, three rows of three.
        mov     r0, #0
2:      add     r1, r6, r0
        orr     r1, r1, #2 << 12
        mov     r2, r0
        cmp     r0, #3
        addhs   r2, r2, #29                 @ the next map row (32 entries) less 3
        cmp     r0, #6
        addhs   r2, r2, #29
        add     r2, r7, r2, lsl #1
        strh    r1, [r2]
        add     r0, r0, #1
        cmp     r0, #9
        bne     2b
        add     r5, r5, #9 * 32
        add     r6, r6, #9
        add     r7, r7, #3 * 2
        b       1b
3:      pop     {r4-r7, lr}
        bx      lr
        .ltorg

@ r0 = text, r1 = map position (row * 32 + column): the text in the small font on BG0,
@ palette 1.
print:
        ldr     r2, =BG0_MAP
        add     r1, r2, r1, lsl #1
1:      ldrb    r2, [r0], #1
        cmp     r2, #0
        bxeq    lr
        sub     r2, r2, #31                 @ tile 1 + (character - 32)
        orr     r2, r2, #1 << 12
        strh    r2, [r1], #2
        b       1b
        .ltorg

@ r0 = destination tiles, r1 = character, r2 = scale k (1 or 3), r3 = ink colour |
@ shadow colour << 8 | gradient (1: the ink grows by one per font row) << 16 | shadow
@ offset << 24. Draws the character k times its size into k x k 16-colour tiles, row by
@ row. The font's letters keep to rows and columns 0-6, so the shadow stays in the tiles.
draw_glyph:
        push    {r4-r11, lr}
        mov     r11, r0
        mov     r10, r2                     @ k
        mov     r9, r3
        mov     r8, r10, lsl #3             @ n = 8k pixels a side
        ldr     r4, =demo_font
        sub     r1, r1, #32
        add     r7, r4, r1, lsl #3          @ the glyph's rows
        ldr     r0, =LETTER_BUF
        mul     r2, r8, r8
        mov     r1, #0
1:      str     r1, [r0], #4
        subs    r2, r2, #4
        bgt     1b
        @ The shadow, then the letter over it.
        mov     r5, r9, lsr #24
        mov     r6, r9, lsr #8
        and     r6, r6, #0xFF
        mov     r4, #0
        bl      glyph_pass
        mov     r5, #0
        and     r6, r9, #0xFF
        mov     r4, r9, lsr #16
        and     r4, r4, #0xFF
        bl      glyph_pass
        @ The picture in the buffer into tiles: eight pixels to a word, the left one in the
        @ low nibble.
        mov     r0, #0                      @ tile row
2:      mov     r1, #0                      @ tile column
3:      mov     r2, #0                      @ pixel row
4:      add     r3, r2, r0, lsl #3
        mul     r12, r3, r8
        add     r12, r12, r1, lsl #3
        ldr     r3, =LETTER_BUF
        add     r3, r3, r12
        mov     r4, #0
        mov     r5, #0
5:      ldrb    r6, [r3, r5]
        mov     r7, r5, lsl #2
        orr     r4, r4, r6, lsl r7
        add     r5, r5, #1
        cmp     r5, #8
        bne     5b
        mla     r6, r0, r10, r1
        add     r6, r11, r6, lsl #5
        str     r4, [r6, r2, lsl #2]
        add     r2, r2, #1
        cmp     r2, #8
        bne     4b
        add     r1, r1, #1
        cmp     r1, r10
        bne     3b
        add     r0, r0, #1
        cmp     r0, r10
        bne     2b
        pop     {r4-r11, lr}
        bx      lr

@ One pass of draw_glyph over the letter buffer: every set pixel of the glyph (r7) becomes
@ a k x k block (k in r10, n in r8) at offset r5, of colour r6 (plus the font row when r4
@ is non-zero).
glyph_pass:
        push    {r9, r11}
        mov     r0, #0                      @ glyph row
1:      ldrb    r2, [r7, r0]
        mov     r1, #0                      @ glyph column
2:      rsb     r3, r1, #7
        mov     r3, r2, lsr r3
        tst     r3, #1
        beq     5f
        mov     r11, r6
        cmp     r4, #0
        addne   r11, r11, r0
        mov     r3, #0                      @ block row
3:      mul     r9, r0, r10
        add     r9, r9, r5
        add     r9, r9, r3
        mul     r12, r9, r8
        ldr     r9, =LETTER_BUF
        add     r9, r9, r12
        mul     r12, r1, r10
        add     r12, r12, r5
        add     r9, r9, r12
        mov     r12, #0
4:      strb    r11, [r9, r12]
        add     r12, r12, #1
        cmp     r12, r10
        bne     4b
        add     r3, r3, #1
        cmp     r3, r10
        bne     3b
5:      add     r1, r1, #1
        cmp     r1, #8
        bne     2b
        add     r0, r0, #1
        cmp     r0, #8
        bne     1b
        pop     {r9, r11}
        bx      lr
        .ltorg

@ BG1's stars: three star tiles, scattered over the 32x32 map by a pseudo-random
@ sequence (a linear congruential generator), palette 3.
build_stars:
        push    {r4-r6, lr}
        ldr     r0, =STAR_TILES + 32
        ldr     r1, =star_tiles
        ldr     r2, =star_tiles_end
        bl      copy_words
        ldr     r4, =BG1_MAP
        ldr     r5, =12345                  @ the seed
        ldr     r6, =1103515245
        mov     r3, #1024
1:      ldr     r1, =12345
        mla     r5, r6, r5, r1              @ seed = seed * 1103515245 + 12345
        mov     r0, r5, lsr #16
        and     r0, r0, #255
        mov     r1, #0
        cmp     r0, #40
        movlo   r1, #1
        cmp     r0, #14
        movlo   r1, #2
        cmp     r0, #4
        movlo   r1, #3
        cmp     r1, #0
        orrne   r1, r1, #3 << 12
        strh    r1, [r4], #2
        subs    r3, r3, #1
        bne     1b
        pop     {r4-r6, lr}
        bx      lr
        .ltorg

@ BG2's disc: a 128x128 texture of rings 8 pixels wide, each split into 16 sectors of
@ alternating light and dark shades, a pale centre and a white rim, clear outside. Drawn in
@ tile order into work RAM, then copied into character block 2; the map (screen block 26)
@ names the 256 tiles in order.
build_disc:
        push    {r4-r11, lr}
        ldr     r11, =DISC_BUF
        ldr     r10, =disc_rings
        mov     r1, #0                      @ y
1:      mov     r0, #0                      @ x
2:      @ dx = 2x - 127, dy = 2y - 127 (twice the distance from the centre, odd).
        mov     r2, r0, lsl #1
        sub     r2, r2, #127
        mov     r3, r1, lsl #1
        sub     r3, r3, #127
        mul     r4, r2, r2
        mla     r4, r3, r3, r4              @ (2d)^2
        @ The ring: the first threshold the square distance stays below.
        mov     r5, #0
3:      ldr     r6, [r10, r5, lsl #2]
        cmp     r4, r6
        blo     4f
        add     r5, r5, #1
        cmp     r5, #8
        bne     3b
4:      @ The sector's parity: each of the lines x = 0, y = 0, the diagonals and the lines
        @ at 22.5 degrees from the axes flips it.
        movs    r6, r2, asr #31             @ dx < 0
        rsbne   r2, r2, #0
        and     r6, r6, #1
        movs    r7, r3, asr #31             @ dy < 0
        rsbne   r3, r3, #0
        and     r7, r7, #1
        eor     r6, r6, r7
        cmp     r3, r2                      @ |dy| > |dx|
        eorhi   r6, r6, #1
        movhi   r7, r2
        movhi   r2, r3
        movhi   r3, r7                      @ r2 = the larger, r3 = the smaller
        mov     r7, #106                    @ tan 22.5 = 106/256
        mul     r8, r2, r7
        cmp     r8, r3, lsl #8
        eorlo   r6, r6, #1
        @ The colour: 0x50 the centre, 0x40 + 2 (ring - 1) + parity, 0x51 the rim, 0 outside.
        cmp     r5, #0
        moveq   r7, #0x50
        beq     5f
        cmp     r5, #7
        moveq   r7, #0x51
        beq     5f
        movhi   r7, #0
        bhi     5f
        sub     r7, r5, #1
        add     r7, r6, r7, lsl #1
        add     r7, r7, #0x40
5:      @ In tile order: tile (y / 8) * 16 + x / 8, 64 bytes each, 8 bytes a row.
        mov     r8, r1, lsr #3
        mov     r9, r0, lsr #3
        add     r8, r9, r8, lsl #4
        mov     r8, r8, lsl #6
        and     r9, r1, #7
        add     r8, r8, r9, lsl #3
        and     r9, r0, #7
        add     r8, r8, r9
        strb    r7, [r11, r8]
        add     r0, r0, #1
        cmp     r0, #128
        bne     2b
        add     r1, r1, #1
        cmp     r1, #128
        bne     1b
        ldr     r0, =DISC_TILES
        ldr     r1, =DISC_BUF
        add     r2, r1, #0x4000
        bl      copy_words
        @ The map: bytes 0, 1, 2, ... 255, four to a word.
        ldr     r0, =BG2_MAP
        ldr     r1, =0x03020100
        ldr     r2, =0x04040404
        mov     r3, #64
6:      str     r1, [r0], #4
        add     r1, r1, r2
        subs    r3, r3, #1
        bne     6b
        pop     {r4-r11, lr}
        bx      lr
        .ltorg

@ Square distances (in doubled coordinates) of the ring edges: the centre, six rings, the rim.
        .balign 4
disc_rings:
        .word   18 * 18, 34 * 34, 50 * 50, 66 * 66, 82 * 82, 98 * 98, 114 * 114, 122 * 122

@ The sprites' tiles: the creature (twice its 16x16 drawing, tiles 0-15), a star (tile 16),
@ the panel (64x32, tiles 32-63: colour 1 with a line of colour 2 on top).
build_sprites:
        push    {r4, lr}
        ldr     r0, =OBJ_VRAM
        ldr     r1, =creature_art
        mov     r2, #16
        mov     r3, #2
        bl      art_to_tiles
        ldr     r0, =OBJ_VRAM + 16 * 32
        ldr     r1, =star_art
        mov     r2, #8
        mov     r3, #1
        bl      art_to_tiles
        ldr     r0, =OBJ_VRAM + 32 * 32
        ldr     r1, =0x11111111
        mov     r2, #32 * 32
1:      str     r1, [r0], #4
        subs    r2, r2, #4
        bne     1b
        ldr     r0, =OBJ_VRAM + 32 * 32
        ldr     r1, =0x22222222
        mov     r2, #8
2:      str     r1, [r0], #32
        subs    r2, r2, #1
        bne     2b
        pop     {r4, lr}
        bx      lr
        .ltorg

@ r0 = destination, r1 = art (rows of characters: '.' is colour 0, '1'-'9' colours 1-9),
@ r2 = the art's size (square), r3 = scale: 16-colour sprite tiles in 1D order.
art_to_tiles:
        push    {r4-r11, lr}
        mul     r4, r2, r3                  @ n, the sprite's size
        mov     r11, r4, lsr #3             @ tiles a row
        mov     r5, #0                      @ Y
1:      mov     r6, #0                      @ X
        mov     r7, #0                      @ the word being built
2:      @ The art's pixel (X / scale, Y / scale).
        mov     r8, #0
        mov     r9, r5
3:      cmp     r9, r3
        subhs   r9, r9, r3
        addhs   r8, r8, #1
        bhs     3b                          @ r8 = Y / scale
        mul     r9, r8, r2
        mov     r8, #0
        mov     r10, r6
4:      cmp     r10, r3
        subhs   r10, r10, r3
        addhs   r8, r8, #1
        bhs     4b                          @ r8 = X / scale
        add     r9, r9, r8
        ldrb    r8, [r1, r9]
        subs    r8, r8, #'0'
        movlo   r8, #0
        and     r9, r6, #7
        mov     r9, r9, lsl #2
        orr     r7, r7, r8, lsl r9
        and     r9, r6, #7
        cmp     r9, #7
        bne     5f
        @ Store: tile (Y / 8) * tiles a row + X / 8, row Y AND 7.
        mov     r8, r5, lsr #3
        mul     r9, r8, r11
        add     r9, r9, r6, lsr #3
        mov     r9, r9, lsl #5
        and     r8, r5, #7
        add     r9, r9, r8, lsl #2
        str     r7, [r0, r9]
        mov     r7, #0
5:      add     r6, r6, #1
        cmp     r6, r4
        bne     2b
        add     r5, r5, #1
        cmp     r5, r4
        bne     1b
        pop     {r4-r11, lr}
        bx      lr
        .ltorg

@ ---------------------------------------------------------------------------
@ Data.

text_title:     .asciz  "TAMO"
text_subtitle:  .asciz  "GAME BOY ADVANCE EMULATOR!"
text_help:      .asciz  "ARROWS MOVE  -  A/B SPIN"

@ The creature, 16x16: 1 outline, 2 body, 3 light, 4 eyes' white, 5 dark, 6 cheeks, 7 feet.
creature_art:
        .ascii  "................"
        .ascii  ".....111111....."
        .ascii  "...1122222211..."
        .ascii  "..122233332221.."
        .ascii  ".12223333332221."
        .ascii  ".12224422442221."
        .ascii  "1222245224522221"
        .ascii  "1222245224522221"
        .ascii  "1222244224422221"
        .ascii  "1226622222266221"
        .ascii  "1222222552222221"
        .ascii  ".12222222222221."
        .ascii  ".12222222222221."
        .ascii  "..122222222221.."
        .ascii  "...1177117711..."
        .ascii  "....11....11...."

@ A star, 8x8: 1 white, 2 yellow, 3 orange.
star_art:
        .ascii  "...3...."
        .ascii  "...2...."
        .ascii  "..212..."
        .ascii  "3211123."
        .ascii  "..212..."
        .ascii  "...2...."
        .ascii  "...3...."
        .ascii  "........"

        .balign 4
@ BG1's star tiles 1-3: a dot, a small cross, a larger star (16 colours, left pixel in the
@ low nibble).
star_tiles:
        .word   0, 0, 0, 0x00001000, 0, 0, 0, 0
        .word   0, 0, 0, 0x00020000, 0x00212000, 0x00020000, 0, 0
        .word   0, 0x00030000, 0x00020000, 0x00212000
        .word   0x32212230, 0x00212000, 0x00020000, 0x00030000
star_tiles_end:

        .macro  RGB r, g, b
        .hword  (\r) | ((\g) << 5) | ((\b) << 10)
        .endm

        .balign 4
bg_palette:
        RGB     3, 2, 10                    @ the backdrop, deep indigo
        .hword  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0
        @ bank 1: the small font
        .hword  0
        RGB     30, 31, 31
        RGB     2, 1, 6
        .hword  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0
        @ bank 2: the title, pale yellow to red from top to bottom, and its shadow
        .hword  0
        RGB     31, 31, 18
        RGB     31, 28, 12
        RGB     31, 24, 8
        RGB     31, 20, 4
        RGB     31, 16, 4
        RGB     30, 12, 6
        RGB     28, 8, 8
        RGB     6, 1, 10
        .hword  0, 0, 0, 0, 0, 0, 0
        @ bank 3: the stars
        .hword  0
        RGB     31, 31, 31
        RGB     20, 24, 31
        RGB     12, 12, 28
        .hword  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0
bg_palette_end:

        .balign 4
@ 256-colour entries 0x40-0x51 for the disc: six rings, light and dark; the centre; the rim.
disc_palette:
        RGB     31, 8, 8
        RGB     20, 3, 6
        RGB     31, 18, 4
        RGB     22, 10, 2
        RGB     31, 29, 6
        RGB     22, 20, 2
        RGB     8, 28, 10
        RGB     3, 16, 6
        RGB     8, 16, 31
        RGB     4, 8, 20
        RGB     22, 10, 31
        RGB     12, 4, 20
        .hword  0, 0, 0, 0
        RGB     31, 31, 20
        RGB     31, 31, 31
disc_palette_end:

        .balign 4
obj_palette:
        @ bank 0: the creature
        .hword  0
        RGB     5, 2, 9
        RGB     6, 24, 18
        RGB     18, 31, 26
        RGB     31, 31, 31
        RGB     2, 2, 6
        RGB     31, 14, 18
        RGB     31, 18, 4
        .hword  0, 0, 0, 0, 0, 0, 0, 0
        @ bank 1: the stars
        .hword  0
        RGB     31, 31, 31
        RGB     31, 28, 10
        RGB     31, 16, 4
        .hword  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0
        @ bank 2: the panel
        .hword  0
        RGB     2, 3, 12
        RGB     14, 18, 31
        .hword  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0
obj_palette_end:

        .include "font.inc"
        .include "sine.inc"
