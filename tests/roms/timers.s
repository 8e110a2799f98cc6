@ Timers: counters written and read back through TMxCNT_L, the control read back
@ through TMxCNT_H, the four prescaler settings (the machine counts instructions: a
@ running timer advances by 2 on every instruction whose count is a multiple of 1, 16,
@ 64 or 1024), and the overflow interrupt, which needs IME and the timer's IE bit at
@ the moment of the overflow.
        .include "common.inc"
        .arm
        .global _start
_start:
        START

@ --- Stopped timer and read-back ------------------------------------------------------
        ldr     r0, =REG_TM0CNT_L
        ldr     r1, =0x1234
        strh    r1, [r0]
        mov     r1, #0
        strh    r1, [r0, #2]
        mov     r4, r4
        mov     r4, r4
        ldrh    r2, [r0]
        CHECK   r2, 0x1234, "a stopped timer reads the value written"
        mov     r1, #0x43               @ interrupt enable, prescaler 3, not started
        strh    r1, [r0, #2]
        ldrh    r2, [r0, #2]
        CHECK   r2, 0x43, "TM0CNT_H reads back 0x43"
        ldrh    r2, [r0]
        CHECK   r2, 0x1234, "a timer with its start bit clear does not count"
        mov     r1, #0
        strh    r1, [r0, #2]

@ --- Prescaler 0: 2 per instruction ---------------------------------------------------
        ldr     r0, =REG_TM0CNT_L
        mov     r1, #0
        strh    r1, [r0]
        mov     r1, #0x80
        strh    r1, [r0, #2]            @ start
        ldrh    r2, [r0]                @ one tick before this instruction
        ldrh    r3, [r0]                @ and one more
        ldr     r1, =0x1000
        strh    r1, [r0]                @ counter written while running
        ldrh    r5, [r0]
        mov     r1, #0
        strh    r1, [r0, #2]            @ stop
        ldrh    r6, [r0]
        mov     r4, r4
        ldrh    r7, [r0]
        ldrh    r8, [r0, #2]
        CHECK   r2, 2, "prescaler 0: first read after the start"
        CHECK   r3, 4, "prescaler 0: next instruction reads 2 more"
        CHECK   r5, 0x1002, "a counter written while running counts on from the new value"
        CHECK   r6, 0x1006, "stopping keeps the counter"
        CHECK   r7, 0x1006, "a stopped counter stays"
        CHECK   r8, 0, "TM0CNT_H reads 0 after stopping"
        POOL

@ --- Prescalers 1 to 3, over whole periods of instructions ------------------------------
        ldr     r0, =REG_TM1CNT_L
        mov     r1, #0
        strh    r1, [r0]
        mov     r1, #0x81
        strh    r1, [r0, #2]
        ldrh    r2, [r0]
        .rept   319
        mov     r4, r4
        .endr
        ldrh    r3, [r0]                @ 320 instructions after the first read
        mov     r1, #0
        strh    r1, [r0, #2]
        sub     r3, r3, r2
        CHECKR  r2, 0, 2, "prescaler 1: first read after the start"
        CHECK   r3, 40, "prescaler 1: +40 over 320 instructions"
        POOL

        ldr     r0, =REG_TM2CNT_L
        mov     r1, #0
        strh    r1, [r0]
        mov     r1, #0x82
        strh    r1, [r0, #2]
        ldrh    r2, [r0]
        .rept   639
        mov     r4, r4
        .endr
        ldrh    r3, [r0]                @ 640 instructions after the first read
        mov     r1, #0
        strh    r1, [r0, #2]
        sub     r3, r3, r2
        CHECK   r3, 20, "prescaler 2: +20 over 640 instructions"
        POOL

        mov     r0, #REG_BASE           @ no literal: the pool would be out of reach
        add     r0, r0, #(REG_TM3CNT_L - REG_BASE)
        mov     r1, #0
        strh    r1, [r0]
        mov     r1, #0x83
        strh    r1, [r0, #2]
        ldrh    r2, [r0]
        .rept   2047
        mov     r4, r4
        .endr
        ldrh    r3, [r0]                @ 2048 instructions after the first read
        mov     r1, #0
        strh    r1, [r0, #2]
        sub     r3, r3, r2
        CHECK   r3, 4, "prescaler 3: +4 over 2048 instructions"
        ldr     r0, =REG_TM3CNT_H
        ldrh    r2, [r0]
        CHECK   r2, 0, "TM3CNT_H reads 0 after stopping"
        POOL

@ --- Overflow interrupt -------------------------------------------------------------
        IRQ_INSTALL
        ldr     r0, =REG_IF
        ldr     r1, =0xFFFF
        strh    r1, [r0]
        ldr     r0, =REG_IE
        mov     r1, #IRQ_TIMER0
        strh    r1, [r0]
        ldr     r0, =REG_IME
        mov     r1, #1
        strh    r1, [r0]
        ldr     r0, =REG_TM0CNT_L
        ldr     r1, =0xFFF0
        strh    r1, [r0]
        mov     r1, #0xC0               @ start, interrupt enable, prescaler 0
        strh    r1, [r0, #2]
        WAIT_IRQ_COUNT 1
        ldr     r0, =REG_TM0CNT_L
        mov     r1, #0
        strh    r1, [r0, #2]
        ldrh    r2, [r0]
        CHECKR  r2, 2, 0x800, "timer 0 counts on from 0 after the overflow"
        CHECKW  IRQ_VARS + IRQ_COUNT, 1, "timer 0 overflow entered the handler once"
        CHECKW  IRQ_VARS + IRQ_LAST_IF, IRQ_TIMER0, "the handler sees the timer 0 request"
        CHECKH  REG_IF, 0, "the timer 0 request was acknowledged"
        POOL

        @ With IME clear the overflow requests nothing, and nothing comes later.
        ldr     r0, =REG_IME
        mov     r1, #0
        strh    r1, [r0]
        ldr     r0, =REG_IE
        mov     r1, #IRQ_TIMER1
        strh    r1, [r0]
        ldr     r0, =REG_TM1CNT_L
        ldr     r1, =0xFFF0
        strh    r1, [r0]
        mov     r1, #0xC0
        strh    r1, [r0, #2]
        .rept   16
        mov     r4, r4
        .endr
        mov     r1, #0
        strh    r1, [r0, #2]            @ 18 ticks since the start: 0xFFF0 + 36
        ldrh    r2, [r0]
        CHECK   r2, 0x0014, "timer 1 wrapped past 0xFFFF"
        CHECKH  REG_IF, 0, "no timer request while IME is clear"
        ldr     r0, =REG_IME
        mov     r1, #1
        strh    r1, [r0]
        mov     r4, r4
        mov     r4, r4
        CHECKW  IRQ_VARS + IRQ_COUNT, 1, "setting IME later raises no missed request"

        @ With IME set but the timer's IE bit clear, no request either.
        ldr     r0, =REG_IE
        mov     r1, #IRQ_TIMER0
        strh    r1, [r0]
        ldr     r0, =REG_TM2CNT_L
        ldr     r1, =0xFFF0
        strh    r1, [r0]
        mov     r1, #0xC0
        strh    r1, [r0, #2]
        .rept   16
        mov     r4, r4
        .endr
        mov     r1, #0
        strh    r1, [r0, #2]
        ldrh    r2, [r0]
        CHECK   r2, 0x0014, "timer 2 wrapped past 0xFFFF"
        CHECKH  REG_IF, 0, "no request for a timer whose IE bit is clear"
        CHECKW  IRQ_VARS + IRQ_COUNT, 1, "no handler entry for timer 2"
        ldr     r0, =REG_IME
        mov     r1, #0
        strh    r1, [r0]
        DONE
        TAMO_END
