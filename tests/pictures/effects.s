@ Colour effects: alpha blending, brightening and darkening, strengths above 16, the backdrop
@ as first target, and semi-transparent sprites. The cartridge rewrites BLDCNT, BLDALPHA and
@ BLDY at lines 32, 64, 96, 128 and 144 of every frame.
@
@ On every line: BG0 (priority 0) is orange over columns 0-119, BG1 (priority 1) is blue over
@ columns 80-199, the backdrop is grey-green; so columns 0-79 show BG0 over the backdrop,
@ 80-119 BG0 over BG1, 120-199 BG1 over the backdrop, 200-239 the backdrop.
@
@ Lines 0-31: alpha blend, BG0 first target, BG1 and the backdrop second, EVA 12, EVB 4:
@   BG0 is mixed 3:1 with what lies below it. The semi-transparent sprite at (150, 8) mixes
@   with BG1 in the same way.
@ Lines 32-63: alpha blend with EVA 20 and EVB 20, which count as 16: both colours added in
@   full (channels kept to 255). The semi-transparent sprite at (210, 40) over the backdrop.
@ Lines 64-95: brighten EVY 8, BG0, sprites and the backdrop as first targets: BG0 and the
@   backdrop halfway to white, BG1 unchanged; the ordinary sprite at (210, 70) brightened too.
@ Lines 96-127: darken EVY 8, BG1 and the backdrop as first targets: BG1 and the backdrop
@   halfway to black, BG0 unchanged.
@ Lines 128-143: brighten EVY 20 (counts as 16), BG1 and the backdrop: both white. The
@   semi-transparent sprite at (150, 128), BG1 being a second target, is alpha blended
@   (EVA 6, EVB 10) whatever the effect.
@ Lines 144-159: darken EVY 31 (counts as 16), BG0 only: BG0 black. The semi-transparent
@   sprite at (40, 144) over BG0, which is no second target here, is drawn as it is.
        .include "picture.inc"
        .arm
        .global _start
_start:
        PIC_BEGIN
        COPY_DATA PAL_BG, bg_palette, bg_palette_end
        PIC_OBJ_PALETTES

        FILL    VRAM + 1 * 32, 0x11111111, 32
        @ BG0 (screen block 16): columns 0-14; BG1 (17): columns 10-24, on all 20 rows.
        ldr     r0, =VRAM + 16 * 0x800
        ldr     r1, =1 | (0 << PAL_SHIFT)
        mov     r2, #0
        mov     r3, #14
        bl      map_columns
        ldr     r0, =VRAM + 17 * 0x800
        ldr     r1, =1 | (1 << PAL_SHIFT)
        mov     r2, #10
        mov     r3, #24
        bl      map_columns
        POOL

        OBJ_IMAGE OBJ_VRAM, 16, 16, 4, 16 * 4, 1, 2, 3, 4, 5, 0
        .equ SEMI, OBJ_BLEND | OBJ_SQUARE
        OBJ     0, 8 | SEMI, 150 | OBJ_SIZE1, 0 | (3 << 12)
        OBJ     1, 40 | SEMI, 210 | OBJ_SIZE1, 0 | (3 << 12)
        OBJ     2, 70 | OBJ_SQUARE, 210 | OBJ_SIZE1, 0 | (3 << 12)
        OBJ     3, 128 | SEMI, 150 | OBJ_SIZE1, 0 | (3 << 12)
        OBJ     4, 144 | SEMI, 40 | OBJ_SIZE1, 0 | (3 << 12)
        POOL

        SETREG  BG0CNT, BG_PRIO0 | (0 << CHAR_SHIFT) | (16 << SCREEN_SHIFT)
        SETREG  BG1CNT, BG_PRIO1 | (0 << CHAR_SHIFT) | (17 << SCREEN_SHIFT)
        SETREG  DISPCNT, MODE_0 | SHOW_BG0 | SHOW_BG1 | SHOW_OBJ | OBJ_1D
        PIC_RASTER raster

@ r0 = screen block, r1 = entry, r2 = first column, r3 = last column: the entry on those
@ columns of rows 0-19.
map_columns:
        push    {r4, r5}
        mov     r4, #0                      @ row
1:      mov     r5, r2
2:      add     r12, r5, r4, lsl #5
        add     r12, r0, r12, lsl #1
        strh    r1, [r12]
        add     r5, r5, #1
        cmp     r5, r3
        bls     2b
        add     r4, r4, #1
        cmp     r4, #20
        bne     1b
        pop     {r4, r5}
        bx      lr
        .ltorg

        @ BLDCNT: bits 0-5 first targets (BG0, BG1, BG2, BG3, sprites, backdrop), bits 6-7 the
        @ effect (1 alpha, 2 brighten, 3 darken), bits 8-13 second targets.
        .equ FIRST_BG0, 0x01
        .equ FIRST_BG1, 0x02
        .equ FIRST_OBJ, 0x10
        .equ FIRST_BD, 0x20
        .equ ALPHA, 1 << 6
        .equ BRIGHTEN, 2 << 6
        .equ DARKEN, 3 << 6
        .equ SECOND_BG0, 0x0100
        .equ SECOND_BG1, 0x0200
        .equ SECOND_BD, 0x2000

        .balign 4
raster:
        .hword  0, BLDCNT, FIRST_BG0 | ALPHA | SECOND_BG1 | SECOND_BD
        .hword  0, BLDALPHA, 12 | (4 << 8)
        .hword  0, BLDY, 0
        .hword  32, BLDALPHA, 20 | (20 << 8)
        .hword  64, BLDCNT, FIRST_BG0 | FIRST_OBJ | FIRST_BD | BRIGHTEN
        .hword  64, BLDY, 8
        .hword  96, BLDCNT, FIRST_BG1 | FIRST_BD | DARKEN
        .hword  128, BLDCNT, FIRST_BG1 | FIRST_BD | BRIGHTEN | SECOND_BG1
        .hword  128, BLDALPHA, 6 | (10 << 8)
        .hword  128, BLDY, 20
        .hword  144, BLDCNT, FIRST_BG0 | DARKEN | SECOND_BG1
        .hword  144, BLDY, 31
        .hword  0xFFFF

        .balign 4
bg_palette:
        .hword  8 | (16 << 5) | (8 << 10), 31 | (16 << 5) | (0 << 10), 0, 0
        .hword  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0
        .hword  0, 0 | (8 << 5) | (31 << 10), 0, 0
        .hword  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0
bg_palette_end:
