@ Interrupts: the V-blank interrupt through IE, IME and DISPSTAT, taken by a handler
@ stored at 0x03007FFC that returns with BX LR. The interrupted code, in ARM and in
@ THUMB state, must find all its registers and flags as they were. Requests are
@ acknowledged by writing IF.
@
@ The interrupted code waits in a loop that changes no register and no flag: it jumps
@ through the word IRQ_JUMP, which first points at the loop itself; the handler points
@ it at the code after the loop.
        .include "common.inc"
        .arm
        .global _start
_start:
        START
        IRQ_INSTALL
        ldr     r0, =REG_DISPSTAT
        mov     r1, #0x08               @ V-blank interrupt enable
        strh    r1, [r0]
        ldr     r0, =REG_IF
        ldr     r1, =0xFFFF
        strh    r1, [r0]
        ldr     r0, =REG_IE
        mov     r1, #IRQ_VBLANK
        strh    r1, [r0]
        CHECKH  REG_IE, IRQ_VBLANK, "IE reads back"

@ --- Round 1: ARM code interrupted ----------------------------------------------------
        ldr     r0, =IRQ_VARS
        adr     r1, .Lspin1
        str     r1, [r0, #IRQ_JUMP]
        adr     r1, .Lresume1
        str     r1, [r0, #IRQ_RESUME]
        ldr     r0, =REG_IME
        mov     r1, #1
        strh    r1, [r0]
        SETFLAGS 1, 0, 1, 1
        ldr     r0, =0x10000000
        ldr     r1, =0x10000001
        ldr     r2, =0x10000002
        ldr     r3, =0x10000003
        ldr     r4, =0x10000004
        ldr     r5, =0x10000005
        ldr     r6, =0x10000006
        ldr     r7, =0x10000007
        ldr     r8, =0x10000008
        ldr     r9, =0x10000009
        ldr     r10, =0x1000000A
        ldr     r11, =IRQ_VARS
        ldr     r12, =0x1000000C
        ldr     lr, =0x1000000E
.Lspin1:
        ldr     pc, [r11, #IRQ_JUMP]
.Lresume1:
        str     r0, [sp, #-4]!
        FLAGS   r0
        CHECK   r0, 0xB, "ARM code: flags N C V given back"
        ldr     r0, [sp], #4
        CHECK   r0, 0x10000000, "ARM code: R0 given back"
        CHECK   r1, 0x10000001, "ARM code: R1 given back"
        CHECK   r2, 0x10000002, "ARM code: R2 given back"
        CHECK   r3, 0x10000003, "ARM code: R3 given back"
        CHECK   r4, 0x10000004, "ARM code: R4 given back"
        CHECK   r5, 0x10000005, "ARM code: R5 given back"
        CHECK   r6, 0x10000006, "ARM code: R6 given back"
        CHECK   r7, 0x10000007, "ARM code: R7 given back"
        CHECK   r8, 0x10000008, "ARM code: R8 given back"
        CHECK   r9, 0x10000009, "ARM code: R9 given back"
        CHECK   r10, 0x1000000A, "ARM code: R10 given back"
        CHECK   r11, IRQ_VARS, "ARM code: R11 given back"
        CHECK   r12, 0x1000000C, "ARM code: R12 given back"
        CHECK   lr, 0x1000000E, "ARM code: LR given back"
        mov     r0, sp
        CHECK   r0, STACK_TOP, "ARM code: SP given back"
        CHECKW  IRQ_VARS + IRQ_COUNT, 1, "ARM code: the handler ran once"
        CHECKW  IRQ_VARS + IRQ_LR, 0xFFFFFFF8, "the handler starts with LR = 0xFFFFFFF8"
        CHECKW  IRQ_VARS + IRQ_LAST_IF, IRQ_VBLANK, "the handler sees the V-blank request in IF"
        ldr     r0, =IRQ_VARS
        ldr     r0, [r0, #IRQ_DISPSTAT]
        and     r0, r0, #1
        CHECK   r0, 1, "the handler runs inside V-blank (DISPSTAT bit 0)"
        CHECKW  IRQ_VARS + IRQ_VCOUNTV, 161, "the V-blank handler runs right after line 160 (VCOUNT 161)"
        CHECKH  REG_IF, 0, "the handler's IF write acknowledged the request"
        POOL

@ --- Round 2: THUMB code interrupted --------------------------------------------------
        ldr     r0, =IRQ_VARS
        ldr     r1, =.Lspin2 + 1
        str     r1, [r0, #IRQ_JUMP]
        ldr     r1, =.Lresume2
        str     r1, [r0, #IRQ_RESUME]
        ldr     r0, =.Lthumb_wait + 1
        bx      r0
        .ltorg
        .thumb
.Lthumb_wait:
        TSETFLAGS 0, 1, 1, 0
        ldr     r7, =0x20000008
        mov     r8, r7
        ldr     r7, =0x20000009
        mov     r9, r7
        ldr     r7, =0x2000000A
        mov     r10, r7
        ldr     r7, =0x2000000B
        mov     r11, r7
        ldr     r7, =0x2000000C
        mov     r12, r7
        ldr     r7, =0x2000000E
        mov     lr, r7
        ldr     r0, =0x20000000
        ldr     r1, =0x20000001
        ldr     r2, =0x20000002
        ldr     r3, =0x20000003
        ldr     r4, =0x20000004
        ldr     r5, =0x20000005
        ldr     r6, =IRQ_VARS
.Lspin2:
        ldr     r7, [r6, #IRQ_JUMP]
        mov     pc, r7
        .balign 4
        .ltorg
        .balign 4
.Lresume2:
        bx      pc                      @ to ARM state, flags untouched
        nop
        .arm
        str     r0, [sp, #-4]!
        FLAGS   r0
        CHECK   r0, 0x6, "THUMB code: flags Z C given back"
        ldr     r0, [sp], #4
        CHECK   r0, 0x20000000, "THUMB code: R0 given back"
        CHECK   r1, 0x20000001, "THUMB code: R1 given back"
        CHECK   r2, 0x20000002, "THUMB code: R2 given back"
        CHECK   r3, 0x20000003, "THUMB code: R3 given back"
        CHECK   r4, 0x20000004, "THUMB code: R4 given back"
        CHECK   r5, 0x20000005, "THUMB code: R5 given back"
        CHECK   r6, IRQ_VARS, "THUMB code: R6 given back"
        CHECK   r7, .Lresume2, "THUMB code: the wait loop left through the handler's address"
        CHECK   r8, 0x20000008, "THUMB code: R8 given back"
        CHECK   r9, 0x20000009, "THUMB code: R9 given back"
        CHECK   r10, 0x2000000A, "THUMB code: R10 given back"
        CHECK   r11, 0x2000000B, "THUMB code: R11 given back"
        CHECK   r12, 0x2000000C, "THUMB code: R12 given back"
        CHECK   lr, 0x2000000E, "THUMB code: LR given back"
        mov     r0, sp
        CHECK   r0, STACK_TOP, "THUMB code: SP given back"
        CHECKW  IRQ_VARS + IRQ_COUNT, 2, "THUMB code: the handler ran once more"
        CHECKW  IRQ_VARS + IRQ_LAST_IF, IRQ_VBLANK, "THUMB code: the handler saw V-blank"
        CHECKH  REG_IF, 0, "THUMB code: the request was acknowledged"
        POOL

@ --- Round 3: requests and IME ------------------------------------------------------
        @ With IME clear the V-counter match is still requested, but nothing is entered.
        ldr     r0, =REG_IME
        mov     r1, #0
        strh    r1, [r0]
        ldr     r0, =REG_IF
        ldr     r1, =0xFFFF
        strh    r1, [r0]
        ldr     r0, =REG_DISPSTAT
        mov     r1, #100                @ V-count setting: line 100
        strb    r1, [r0, #1]
        ldr     r0, =REG_IE
        mov     r1, #IRQ_VCOUNT
        strh    r1, [r0]
        ldr     r0, =REG_IF
        ldr     r2, =0x80000
1:      ldrh    r1, [r0]
        tst     r1, #IRQ_VCOUNT
        bne     2f
        subs    r2, r2, #1
        bne     1b
2:
        CHECKH  REG_IF, IRQ_VCOUNT, "V-counter match requested while IME is clear"
        CHECKW  IRQ_VARS + IRQ_COUNT, 2, "no handler entry while IME is clear"
        ldr     r0, =REG_IF
        mov     r1, #0
        strh    r1, [r0]
        CHECKH  REG_IF, IRQ_VCOUNT, "writing 0 to IF acknowledges nothing"
        ldr     r1, =IRQ_VBLANK | IRQ_HBLANK
        strh    r1, [r0]
        CHECKH  REG_IF, IRQ_VCOUNT, "writing other bits to IF leaves this request"

        @ A pending request enters the handler once IME is set, even with its IE bit clear.
        ldr     r0, =REG_IE
        mov     r1, #0
        strh    r1, [r0]
        ldr     r11, =IRQ_VARS
        adr     r1, .Lspin3
        str     r1, [r11, #IRQ_JUMP]
        adr     r1, .Lresume3
        str     r1, [r11, #IRQ_RESUME]
        ldr     r0, =REG_IME
        mov     r1, #1
        strh    r1, [r0]
.Lspin3:
        ldr     pc, [r11, #IRQ_JUMP]
.Lresume3:
        CHECKW  IRQ_VARS + IRQ_COUNT, 3, "a pending request is taken once IME is set"
        CHECKW  IRQ_VARS + IRQ_LAST_IF, IRQ_VCOUNT, "the handler sees the V-counter request"
        CHECKH  REG_IF, 0, "the handler acknowledged the V-counter request"
        CHECKH  REG_IME, 1, "IME reads back"
        POOL

@ --- H-blank interrupt and the V-blank flag -------------------------------------------
        @ The H-blank request comes on every one of the 228 lines, V-blank lines included.
        ldr     r0, =REG_IE
        mov     r1, #IRQ_HBLANK
        strh    r1, [r0]
        WAIT_VCOUNT_EQ 20
        ldr     r0, =IRQ_VARS
        ldr     r5, [r0, #IRQ_COUNT]
        WAIT_VCOUNT_NE 20
        WAIT_VCOUNT_EQ 20
        ldr     r0, =IRQ_VARS
        ldr     r6, [r0, #IRQ_COUNT]
        ldr     r0, =REG_IE
        mov     r1, #0
        strh    r1, [r0]
        sub     r6, r6, r5
        CHECK   r6, 228, "the H-blank handler runs once per line, 228 times a frame"
        CHECKW  IRQ_VARS + IRQ_LAST_IF, IRQ_HBLANK, "the handler sees the H-blank request"
        ldr     r0, =REG_IME
        mov     r1, #0
        strh    r1, [r0]

        WAIT_VCOUNT_EQ 10
        ldr     r0, =REG_DISPSTAT
        ldrh    r5, [r0]
        and     r5, r5, #1
        CHECK   r5, 0, "DISPSTAT V-blank flag clear at line 10"
        WAIT_VCOUNT_EQ 200
        ldr     r0, =REG_DISPSTAT
        ldrh    r5, [r0]
        and     r5, r5, #1
        CHECK   r5, 1, "DISPSTAT V-blank flag set at line 200"
        DONE
        TAMO_END
