@ Timers count instructions: a running timer advances by 2 on every instruction whose count is a
@ multiple of 1, 16, 64 or 1024. The overflow request needs IME and the timer's IE bit at the
@ moment of the overflow.
        .include "common.inc"
        .arm
        .global _start
.macro PERIOD offset, control, count    @ records the advance over `count` instructions
        mov     r0, #IO
        add     r0, r0, #\offset
        mov     r1, #0
        strh    r1, [r0]
        mov     r1, #\control
        strh    r1, [r0, #2]
        ldrh    r2, [r0]
        .rept   \count - 1
        mov     r4, r4
        .endr
        ldrh    r3, [r0]
        mov     r1, #0
        strh    r1, [r0, #2]
        sub     r3, r3, r2
        str     r3, [r12], #4
.endm
_start: START
        ldr     r0, =IO + 0x100
        mov     r1, #0
        strh    r1, [r0]
        mov     r1, #0x80
        strh    r1, [r0, #2]            @ start
        ldrh    r2, [r0]
        ldrh    r3, [r0]
        ldr     r1, =0x1000
        strh    r1, [r0]                @ written while running
        ldrh    r5, [r0]
        mov     r1, #0
        strh    r1, [r0, #2]            @ stop
        ldrh    r6, [r0]
        mov     r4, r4
        ldrh    r7, [r0]
        ldrh    r8, [r0, #2]
        stmia   r12!, {r2, r3, r5, r6, r7, r8}
        b       2f
        .ltorg
2:
        PERIOD  0x104, 0x81, 320
        PERIOD  0x108, 0x82, 640
        PERIOD  0x10C, 0x83, 2048
        IOW16   0x202, 0xFFFF           @ timer 0 overflows into the handler
        IOW16   0x200, 8
        IOW16   0x208, 1
        ldr     r0, =IO + 0x100
        ldr     r1, =0xFFF0
        strh    r1, [r0]
        mov     r1, #0xC0
        strh    r1, [r0, #2]
        ldr     r11, =VARS
1:      ldr     r1, [r11]
        cmp     r1, #1
        bne     1b
        mov     r1, #0
        strh    r1, [r0, #2]
        ldr     r1, [r11, #4]
        str     r1, [r12], #4
        IOW16   0x208, 0                @ timer 1 overflows with IME clear: no request, ever
        IOW16   0x200, 0x10
        ldr     r0, =IO + 0x104
        ldr     r1, =0xFFF0
        strh    r1, [r0]
        mov     r1, #0xC0
        strh    r1, [r0, #2]
        .rept   10
        mov     r4, r4
        .endr
        IOW16   0x208, 1
        mov     r4, r4
        ldr     r0, =IO + 0x108         @ timer 2 overflows with its IE bit clear
        ldr     r1, =0xFFF0
        strh    r1, [r0]
        mov     r1, #0x80
        strh    r1, [r0, #2]
        .rept   10
        mov     r4, r4
        .endr
        ldr     r0, =IO + 0x202
        ldrh    r1, [r0]
        ldr     r2, [r11]
        stmia   r12!, {r1, r2}
        IOW16   0x106, 0                @ the timers counting every instruction stop
        IOW16   0x10A, 0
        IOW16   0x200, 0x40             @ timer 3 (every 64) overflows during a waiting loop
        IOW16   0x10C, 0xFFF0
        IOW16   0x108, 0                @ timer 2 (every 16) measures the wait
        IOW16   0x10A, 0x81
        IOW16   0x10E, 0xC2
1:      ldr     r1, [r11]
        cmp     r1, #2
        bne     1b
        ldr     r0, =IO + 0x108
        ldrh    r1, [r0]
        str     r1, [r12], #4
        FINISH
