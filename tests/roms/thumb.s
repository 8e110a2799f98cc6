@ THUMB code run end to end from the cartridge entry. The differential test against Unicorn
@ compares single instructions over random operands; this cartridge keeps what only a whole
@ run shows and what that test leaves out: BX from ARM into THUMB and back, a few ordinary
@ checks per instruction family, PC-relative loads, BL pairs to far targets, loops on each
@ pair of condition codes, and the machine's deliberate behaviours (LSR #0 copies the
@ register, ROR by a register of 32 keeps the value and C, unaligned loads not rotated,
@ immediate-offset forms aligning the base, MUL keeping C and V, empty LDMIA/STMIA lists).
        .include "common.inc"
        .arm
        .global _start
_start:
        START
        ldr     r0, =thumb_tests + 1
        bx      r0
        .ltorg

        @ A BL target far behind the code that calls it.
        .thumb
far_backward:
        movs    r0, #0x44
        bx      lr
        .balign 4
        .space  0x1800

thumb_tests:
@ --- Shifts, additions and subtractions (flags N*8 + Z*4 + C*2 + V) -------------------
        ldr     r1, =0x1800000F
        TSETFLAGS 0, 0, 0, 0
        lsls    r0, r1, #4
        TFLAGS  r2
        TCHECK  r0, 0x800000F0, "LSL #4: result"
        TCHECK  r2, 0xA, "LSL #4: C = bit 28"

        ldr     r1, =0x80000000
        TSETFLAGS 0, 0, 1, 0
        .hword  0x0808                  @ LSR R0, R1, #0
        TFLAGS  r2
        TCHECK  r0, 0x80000000, "LSR #0 copies the register"
        TCHECK  r2, 0xA, "LSR #0 keeps C (set)"
        TSETFLAGS 0, 0, 0, 0
        .hword  0x0808                  @ LSR R0, R1, #0
        TFLAGS  r2
        TCHECK  r2, 0x8, "LSR #0 keeps C (clear)"
        TPOOL

        ldr     r1, =0x7FFFFFFF
        movs    r2, #1
        TSETFLAGS 0, 0, 0, 0
        adds    r0, r1, r2
        TFLAGS  r3
        TCHECK  r0, 0x80000000, "ADD register 0x7FFFFFFF + 1: result"
        TCHECK  r3, 0x9, "ADD register 0x7FFFFFFF + 1: flags N V"
        movs    r1, #0
        subs    r0, r1, #1
        TFLAGS  r3
        TCHECK  r0, 0xFFFFFFFF, "SUB imm3 0 - 1: result"
        TCHECK  r3, 0x8, "SUB imm3 0 - 1: flags N"
        TSETFLAGS 0, 0, 1, 1
        movs    r0, #200
        TFLAGS  r3
        TCHECK  r3, 0x3, "MOV imm8 200 keeps C and V"
        movs    r0, #250
        adds    r0, #10
        TCHECK  r0, 260, "ADD imm8 250 + 10"
        TPOOL

@ --- ALU operations -----------------------------------------------------------------
        ldr     r0, =0xF0F0
        ldr     r1, =0x0FF0
        TSETFLAGS 1, 0, 1, 1
        ands    r0, r1
        TFLAGS  r3
        TCHECK  r0, 0x00F0, "AND: result"
        TCHECK  r3, 0x3, "AND: N Z from the result, C V kept"
        movs    r0, #1
        movs    r1, #33
        TSETFLAGS 0, 0, 1, 0
        lsls    r0, r1
        TFLAGS  r3
        TCHECK  r3, 0x4, "LSL by register 33: zero, C = 0"
        ldr     r0, =0x7FFFFFFF
        movs    r1, #0
        TSETFLAGS 0, 0, 1, 0
        adcs    r0, r1
        TFLAGS  r3
        TCHECK  r0, 0x80000000, "ADC 0x7FFFFFFF + 0 + carry: result"
        TCHECK  r3, 0x9, "ADC 0x7FFFFFFF + 0 + carry: flags N V"
        TPOOL

        @ A register amount of 32 with ROR counts as 0 here: value and C stay.
        ldr     r0, =0x80000001
        movs    r1, #32
        TSETFLAGS 0, 0, 0, 0
        rors    r0, r1
        TFLAGS  r3
        TCHECK  r0, 0x80000001, "ROR by 32 (low five bits 0): unchanged"
        TCHECK  r3, 0x8, "ROR by 32 (low five bits 0): C kept"
        ldr     r1, =0x80000000
        negs    r0, r1
        TFLAGS  r3
        TCHECK  r3, 0x9, "NEG 0x80000000: flags N V"
        movs    r0, #7
        movs    r1, #6
        TSETFLAGS 0, 0, 1, 1
        muls    r0, r1, r0
        TFLAGS  r3
        TCHECK  r0, 42, "MUL 7 * 6: result"
        TCHECK  r3, 0x3, "MUL keeps C and V"
        TPOOL

@ --- High registers and BX ----------------------------------------------------------
        ldr     r0, =0x1000
        mov     r8, r0
        ldr     r1, =0x0234
        TSETFLAGS 1, 0, 1, 1
        add     r8, r1
        TFLAGS  r3
        mov     r0, r8
        TCHECK  r0, 0x1234, "ADD R8, R1"
        TCHECK  r3, 0xB, "high-register ADD sets no flags"
        ldr     r0, =0x2000
        mov     r10, r0
        cmp     r8, r10
        TFLAGS  r3
        TCHECK  r3, 0x8, "CMP R8, R10: N"
.Lread_pc:
        mov     r0, pc
        ldr     r1, =.Lread_pc
        subs    r0, r0, r1
        TCHECK  r0, 4, "MOV R0, PC reads the instruction address plus 4"
        TPOOL

        movs    r5, #0
        ldr     r1, =.Lbx_arm_target
        bx      r1
        movs    r5, #1
        .balign 4
        .arm
.Lbx_arm_target:
        mov     r5, #0x55
        add     r1, pc, #1
        bx      r1
        .thumb
        TCHECK  r5, 0x55, "BX to an even address runs ARM code"
        TPOOL

@ --- PC-relative loads and load address ---------------------------------------------
        .balign 4
        ldr     r0, .Lword_a
        ldr     r1, .Lword_b
        TCHECK  r0, 0xA5A5F00D, "PC-relative LDR from a word-aligned instruction"
        TCHECK  r1, 0x5A5AD00F, "PC-relative LDR from a halfword-aligned instruction"
        b       .Lafter_words
        .balign 4
.Lword_a:
        .word   0xA5A5F00D
.Lword_b:
        .word   0x5A5AD00F
.Lafter_words:
        .balign 4
.Ladr_aligned:
        add     r0, pc, #8
        ldr     r1, =.Ladr_aligned
        subs    r0, r0, r1
        TCHECK  r0, 12, "ADD R0, PC, #8 from a word-aligned instruction"
        .balign 4
        nop
.Ladr_unaligned:
        add     r0, pc, #8
        ldr     r1, =.Ladr_unaligned
        subs    r0, r0, r1
        TCHECK  r0, 10, "ADD R0, PC, #8 from a halfword-aligned instruction"
        TPOOL

@ --- Loads and stores ---------------------------------------------------------------
        ldr     r4, =TEST_DATA
        ldr     r0, =0x11223344
        str     r0, [r4, #0]
        ldr     r0, =0x55667788
        str     r0, [r4, #4]
        movs    r0, #0
        str     r0, [r4, #8]

        movs    r1, #1
        ldr     r0, [r4, r1]
        TCHECK  r0, 0x88112233, "LDR [R4, R1] at an odd address is not rotated"
        movs    r1, #4
        ldrsb   r0, [r4, r1]
        TCHECK  r0, 0xFFFFFF88, "LDSB of 0x88"
        ldr     r2, =0xCAFEBABE
        strb    r2, [r4, #8]
        strh    r2, [r4, #10]
        ldr     r0, [r4, #8]
        TCHECK  r0, 0xBABE00BE, "STRB [R4, #8] and STRH [R4, #10]"
        adds    r1, r4, #1
        ldr     r0, [r1, #4]
        TCHECK  r0, 0x55667788, "LDR [Rb, #4] clears the low two bits of the base"
        ldrh    r0, [r1, #2]
        TCHECK  r0, 0x1122, "LDRH [Rb, #2] clears the low bit of the base"
        ldrb    r0, [r1, #2]
        TCHECK  r0, 0x11, "LDRB [Rb, #2] uses the base as it is"
        TPOOL

@ --- Stack, PUSH and POP, STMIA and LDMIA -------------------------------------------
        mov     r6, sp
        sub     sp, #16
        ldr     r0, =0xFEEDF00D
        str     r0, [sp, #4]
        ldr     r1, [sp, #4]
        TCHECK  r1, 0xFEEDF00D, "STR and LDR [SP, #4]"
        add     sp, #16

        movs    r0, #0x11
        movs    r2, #0x33
        ldr     r3, =0x44444444
        mov     lr, r3
        push    {r0, r2, lr}
        ldr     r3, [sp, #8]
        TCHECK  r3, 0x44444444, "PUSH: LR at the highest address"
        pop     {r3, r4}
        TCHECK  r4, 0x33, "POP {R3, R4}: R4"
        movs    r5, #0
        ldr     r0, =.Lpop_pc_target + 1
        str     r0, [sp]
        pop     {pc}
        movs    r5, #1
.Lpop_pc_target:
        TCHECK  r5, 0, "POP {PC} branches"
        mov     r0, sp
        subs    r0, r0, r6
        TCHECK  r0, 0, "PUSH and POP balance SP"
        TPOOL

        ldr     r0, =TEST_DATA + 64
        movs    r1, #0xA1
        movs    r2, #0xB2
        movs    r3, #0xC3
        stmia   r0!, {r1-r3}
        ldr     r4, =TEST_DATA + 64
        subs    r5, r0, r4
        TCHECK  r5, 12, "STMIA R0!, {R1-R3} advances the base by 12"
        ldmia   r4!, {r5, r6}
        TCHECK  r6, 0xB2, "LDMIA R4!, {R5, R6}: R6"
        ldr     r0, =TEST_DATA + 96
        .hword  0xC000                  @ STMIA R0!, {}
        .hword  0xC800                  @ LDMIA R0!, {}
        ldr     r2, =TEST_DATA + 96
        subs    r3, r0, r2
        TCHECK  r3, 0, "STMIA and LDMIA with an empty list keep the base"
        TPOOL

@ --- BL and loops on each pair of condition codes -----------------------------------
        bl      .Lsubroutine
.Lafter_bl:
        TCHECK  r0, .Lafter_bl + 1, "BL puts the next address with bit 0 set in LR"
        bl      far_forward
        TCHECK  r0, 0x66, "BL to a target 8 KB ahead"
        bl      far_backward
        TCHECK  r0, 0x44, "BL to a target 6 KB back"

        movs    r0, #0
        movs    r1, #5
1:      adds    r0, #3
        subs    r1, #1
        bne     1b
        TCHECK  r0, 15, "SUB/BNE loop runs 5 times"
        movs    r1, #2
        mvns    r1, r1                  @ -3
        movs    r0, #0
1:      adds    r0, #1
        adds    r1, #1
        cmp     r1, #2
        blt     1b
        TCHECK  r0, 5, "signed CMP/BLT loop from -3 up to 2"
        movs    r1, #3
        movs    r0, #0
1:      adds    r0, #1
        subs    r1, #1
        bpl     1b
        TCHECK  r0, 4, "SUB/BPL loop down to -1"
        movs    r1, #7
        movs    r0, #0
1:      adds    r0, #1
        subs    r1, #2
        bhi     1b
        TCHECK  r0, 4, "SUB/BHI loop stops on the borrow"
        TPOOL
        ldr     r1, =0x7FFFFFF0
        movs    r0, #0
1:      adds    r0, #1
        adds    r1, #4
        bvc     1b
        TCHECK  r0, 4, "ADD/BVC loop stops on the overflow"
        ldr     r1, =TEST_DATA
        movs    r2, #20
        adds    r2, r2, r1
        movs    r0, #0
1:      adds    r0, #1
        adds    r1, #4
        cmp     r1, r2
        blo     1b
        TCHECK  r0, 5, "CMP/BLO loop over 20 bytes"
        movs    r1, #4
        mvns    r1, r1                  @ -5
        movs    r2, #3
        movs    r0, r2
        cmp     r1, r2
        ble     2f
        movs    r0, r1
2:      TCHECK  r0, 3, "CMP/BLE keeps the signed maximum"
        TPOOL

        @ Back to ARM state for the end of the run.
        ldr     r0, =arm_end
        bx      r0
        TPOOL

.Lsubroutine:
        mov     r0, lr
        bx      lr

        .balign 4
        .arm
arm_end:
        DONE

        .thumb
        .space  0x2000
far_forward:
        movs    r0, #0x66
        bx      lr

        TAMO_END
