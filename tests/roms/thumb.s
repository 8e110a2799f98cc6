@ THUMB instruction semantics: shifts, additions, the ALU operations and their flags,
@ high-register operations, loads and stores, PUSH/POP, LDMIA/STMIA, the BL pair and
@ the conditional branches.
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
@ --- Shifts by an immediate amount ---------------------------------------------------
        ldr     r1, =0x1800000F
        TSETFLAGS 0, 0, 0, 0
        lsls    r0, r1, #4
        TFLAGS  r2
        TCHECK  r0, 0x800000F0, "LSL #4: result"
        TCHECK  r2, 0xA, "LSL #4: C = bit 28"
        movs    r1, #3
        TSETFLAGS 0, 0, 0, 0
        lsrs    r0, r1, #1
        TFLAGS  r2
        TCHECK  r0, 1, "LSR #1: result"
        TCHECK  r2, 0x2, "LSR #1: C = bit 0"
        ldr     r1, =0x80000010
        TSETFLAGS 0, 0, 1, 0
        asrs    r0, r1, #4
        TFLAGS  r2
        TCHECK  r0, 0xF8000001, "ASR #4: result"
        TCHECK  r2, 0x8, "ASR #4: C = bit 3"
        ldr     r1, =0x80000001
        TSETFLAGS 0, 0, 0, 0
        asrs    r0, r1, #1
        TFLAGS  r2
        TCHECK  r0, 0xC0000000, "ASR #1: result"
        TCHECK  r2, 0xA, "ASR #1: C = bit 0"
        TPOOL

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
        TSETFLAGS 0, 0, 1, 0
        .hword  0x0008                  @ LSL R0, R1, #0
        TFLAGS  r2
        TCHECK  r0, 0x80000000, "LSL #0 copies the register"
        TCHECK  r2, 0xA, "LSL #0 keeps C"
        TPOOL

@ --- Additions and subtractions --------------------------------------------------------
        ldr     r1, =0x7FFFFFFF
        movs    r2, #1
        TSETFLAGS 0, 0, 0, 0
        adds    r0, r1, r2
        TFLAGS  r3
        TCHECK  r0, 0x80000000, "ADD register 0x7FFFFFFF + 1: result"
        TCHECK  r3, 0x9, "ADD register 0x7FFFFFFF + 1: flags N V"
        movs    r1, #5
        adds    r0, r1, #7
        TFLAGS  r3
        TCHECK  r0, 12, "ADD imm3 5 + 7: result"
        TCHECK  r3, 0x0, "ADD imm3 5 + 7: flags clear"
        subs    r0, r1, r2
        TFLAGS  r3
        TCHECK  r0, 4, "SUB register 5 - 1: result"
        TCHECK  r3, 0x2, "SUB register 5 - 1: flags C"
        movs    r1, #0
        subs    r0, r1, #1
        TFLAGS  r3
        TCHECK  r0, 0xFFFFFFFF, "SUB imm3 0 - 1: result"
        TCHECK  r3, 0x8, "SUB imm3 0 - 1: flags N"
        TPOOL

        TSETFLAGS 0, 0, 1, 1
        movs    r0, #0
        TFLAGS  r3
        TCHECK  r3, 0x7, "MOV imm8 0 sets Z and keeps C and V"
        TSETFLAGS 0, 0, 1, 1
        movs    r0, #200
        TFLAGS  r3
        TCHECK  r0, 200, "MOV imm8 200: result"
        TCHECK  r3, 0x3, "MOV imm8 200 keeps C and V"
        movs    r0, #5
        cmp     r0, #5
        TFLAGS  r3
        TCHECK  r3, 0x6, "CMP imm8 5, 5: Z C"
        cmp     r0, #6
        TFLAGS  r3
        TCHECK  r3, 0x8, "CMP imm8 5, 6: N"
        TCHECK  r0, 5, "CMP imm8 writes nothing"
        TPOOL
        ldr     r0, =0x7FFFFFFF
        adds    r0, #1
        TFLAGS  r3
        TCHECK  r0, 0x80000000, "ADD imm8 0x7FFFFFFF + 1: result"
        TCHECK  r3, 0x9, "ADD imm8 0x7FFFFFFF + 1: flags N V"
        movs    r0, #1
        subs    r0, #3
        TFLAGS  r3
        TCHECK  r0, 0xFFFFFFFE, "SUB imm8 1 - 3: result"
        TCHECK  r3, 0x8, "SUB imm8 1 - 3: flags N"
        movs    r0, #250
        adds    r0, #10
        TCHECK  r0, 260, "ADD imm8 250 + 10"
        TPOOL

@ --- ALU operations -------------------------------------------------------------------
        ldr     r0, =0xF0F0
        ldr     r1, =0x0FF0
        TSETFLAGS 1, 0, 1, 1
        ands    r0, r1
        TFLAGS  r3
        TCHECK  r0, 0x00F0, "AND: result"
        TCHECK  r3, 0x3, "AND: N Z from the result, C V kept"
        ldr     r0, =0xFF00
        eors    r0, r1
        TCHECK  r0, 0xF0F0, "EOR"
        ldr     r0, =0x1200
        ldr     r1, =0x0034
        orrs    r0, r1
        TCHECK  r0, 0x1234, "ORR"
        ldr     r0, =0xFFFF
        ldr     r1, =0x0FF0
        bics    r0, r1
        TCHECK  r0, 0xF00F, "BIC"
        movs    r1, #0
        TSETFLAGS 0, 0, 0, 0
        mvns    r0, r1
        TFLAGS  r3
        TCHECK  r0, 0xFFFFFFFF, "MVN of 0: result"
        TCHECK  r3, 0x8, "MVN of 0: flags N"
        TPOOL

        movs    r0, #1
        movs    r1, #32
        TSETFLAGS 0, 0, 0, 0
        lsls    r0, r1
        TFLAGS  r3
        TCHECK  r0, 0, "LSL by register 32: result"
        TCHECK  r3, 0x6, "LSL by register 32: C = bit 0"
        movs    r0, #1
        movs    r1, #33
        TSETFLAGS 0, 0, 1, 0
        lsls    r0, r1
        TFLAGS  r3
        TCHECK  r0, 0, "LSL by register 33: result"
        TCHECK  r3, 0x4, "LSL by register 33: C = 0"
        ldr     r0, =0x80000001
        movs    r1, #0
        TSETFLAGS 0, 0, 1, 0
        lsls    r0, r1
        TFLAGS  r3
        TCHECK  r0, 0x80000001, "LSL by register 0: unchanged"
        TCHECK  r3, 0xA, "LSL by register 0: C kept, N from the value"
        TPOOL
        ldr     r0, =0x80000001
        movs    r1, #4
        TSETFLAGS 0, 0, 1, 0
        lsls    r0, r1
        TFLAGS  r3
        TCHECK  r0, 0x10, "LSL by register 4: result"
        TCHECK  r3, 0x0, "LSL by register 4: C = bit 28"
        ldr     r0, =0x80000000
        movs    r1, #32
        TSETFLAGS 0, 0, 0, 0
        lsrs    r0, r1
        TFLAGS  r3
        TCHECK  r0, 0, "LSR by register 32: result"
        TCHECK  r3, 0x6, "LSR by register 32: C = bit 31"
        TPOOL
        ldr     r0, =0x12345678
        ldr     r1, =0x100
        TSETFLAGS 0, 0, 0, 0
        lsrs    r0, r1
        TFLAGS  r3
        TCHECK  r0, 0x12345678, "LSR by register 0x100 counts as 0"
        TCHECK  r3, 0x0, "LSR by register 0x100 keeps C"
        movs    r0, #0xF8
        movs    r1, #4
        TSETFLAGS 0, 0, 0, 0
        lsrs    r0, r1
        TFLAGS  r3
        TCHECK  r0, 0xF, "LSR by register 4: result"
        TCHECK  r3, 0x2, "LSR by register 4: C = bit 3"
        TPOOL
        ldr     r0, =0x80000000
        movs    r1, #40
        TSETFLAGS 0, 0, 0, 0
        asrs    r0, r1
        TFLAGS  r3
        TCHECK  r0, 0xFFFFFFFF, "ASR by register 40: result"
        TCHECK  r3, 0xA, "ASR by register 40: C = bit 31"
        ldr     r0, =0x40000000
        movs    r1, #4
        TSETFLAGS 0, 0, 1, 0
        asrs    r0, r1
        TFLAGS  r3
        TCHECK  r0, 0x04000000, "ASR by register 4: result"
        TCHECK  r3, 0x0, "ASR by register 4: C = bit 3"
        TPOOL

        ldr     r0, =0xFFFFFFFF
        movs    r1, #0
        TSETFLAGS 0, 0, 1, 0
        adcs    r0, r1
        TFLAGS  r3
        TCHECK  r0, 0, "ADC 0xFFFFFFFF + 0 + carry: result"
        TCHECK  r3, 0x6, "ADC 0xFFFFFFFF + 0 + carry: flags Z C"
        ldr     r0, =0x7FFFFFFF
        TSETFLAGS 0, 0, 1, 0
        adcs    r0, r1
        TFLAGS  r3
        TCHECK  r0, 0x80000000, "ADC 0x7FFFFFFF + 0 + carry: result"
        TCHECK  r3, 0x9, "ADC 0x7FFFFFFF + 0 + carry: flags N V"
        movs    r0, #5
        movs    r1, #6
        TSETFLAGS 0, 0, 0, 0
        adcs    r0, r1
        TCHECK  r0, 11, "ADC 5 + 6 without carry"
        TPOOL

        movs    r0, #10
        movs    r1, #3
        TSETFLAGS 0, 0, 0, 0
        sbcs    r0, r1
        TFLAGS  r3
        TCHECK  r0, 6, "SBC 10 - 3 with C clear: result"
        TCHECK  r3, 0x2, "SBC 10 - 3 with C clear: flags C"
        movs    r0, #10
        TSETFLAGS 0, 0, 1, 0
        sbcs    r0, r1
        TCHECK  r0, 7, "SBC 10 - 3 with C set"
        movs    r0, #0
        movs    r1, #0
        TSETFLAGS 0, 0, 0, 0
        sbcs    r0, r1
        TFLAGS  r3
        TCHECK  r0, 0xFFFFFFFF, "SBC 0 - 0 with C clear: result"
        TCHECK  r3, 0x8, "SBC 0 - 0 with C clear: flags N"
        TPOOL

        movs    r0, #0x1F
        movs    r1, #4
        TSETFLAGS 0, 0, 0, 0
        rors    r0, r1
        TFLAGS  r3
        TCHECK  r0, 0xF0000001, "ROR by 4: result"
        TCHECK  r3, 0xA, "ROR by 4: C = bit 3"
        ldr     r0, =0x80000001
        movs    r1, #32
        TSETFLAGS 0, 0, 0, 0
        rors    r0, r1
        TFLAGS  r3
        TCHECK  r0, 0x80000001, "ROR by 32 (low five bits 0): unchanged"
        TCHECK  r3, 0x8, "ROR by 32 (low five bits 0): C kept"
        ldr     r0, =0x80000001
        movs    r1, #36
        TSETFLAGS 0, 0, 1, 0
        rors    r0, r1
        TFLAGS  r3
        TCHECK  r0, 0x18000000, "ROR by 36 rotates by 4: result"
        TCHECK  r3, 0x0, "ROR by 36: C = bit 3"
        TPOOL

        movs    r0, #0x7F
        movs    r1, #0x80
        TSETFLAGS 1, 0, 1, 1
        tst     r0, r1
        TFLAGS  r3
        TCHECK  r3, 0x7, "TST 0x7F, 0x80: Z, C and V kept"
        movs    r1, #0
        TSETFLAGS 0, 0, 0, 0
        negs    r0, r1
        TFLAGS  r3
        TCHECK  r0, 0, "NEG 0: result"
        TCHECK  r3, 0x6, "NEG 0: flags Z C"
        ldr     r1, =0x80000000
        negs    r0, r1
        TFLAGS  r3
        TCHECK  r0, 0x80000000, "NEG 0x80000000: result"
        TCHECK  r3, 0x9, "NEG 0x80000000: flags N V"
        movs    r1, #5
        negs    r0, r1
        TFLAGS  r3
        TCHECK  r0, 0xFFFFFFFB, "NEG 5: result"
        TCHECK  r3, 0x8, "NEG 5: flags N"
        TPOOL

        movs    r0, #3
        movs    r1, #5
        cmp     r0, r1
        TFLAGS  r3
        TCHECK  r3, 0x8, "CMP register 3, 5: N"
        cmp     r0, r0
        TFLAGS  r3
        TCHECK  r3, 0x6, "CMP R0, R0: Z C"
        ldr     r0, =0xFFFFFFFF
        movs    r1, #1
        cmn     r0, r1
        TFLAGS  r3
        TCHECK  r3, 0x6, "CMN -1, 1: Z C"
        ldr     r0, =0x7FFFFFFF
        cmn     r0, r1
        TFLAGS  r3
        TCHECK  r3, 0x9, "CMN 0x7FFFFFFF, 1: N V"
        TCHECK  r0, 0x7FFFFFFF, "CMN writes nothing"
        TPOOL

        movs    r0, #7
        movs    r1, #6
        TSETFLAGS 0, 0, 1, 1
        muls    r0, r1, r0
        TFLAGS  r3
        TCHECK  r0, 42, "MUL 7 * 6: result"
        TCHECK  r3, 0x3, "MUL keeps C and V"
        movs    r0, #0
        TSETFLAGS 1, 0, 0, 0
        muls    r0, r1, r0
        TFLAGS  r3
        TCHECK  r3, 0x4, "MUL with a zero product: Z"
        ldr     r0, =0x10001
        ldr     r1, =0x10001
        muls    r0, r1, r0
        TCHECK  r0, 0x00020001, "MUL keeps the low 32 bits"
        TPOOL

@ --- High registers -------------------------------------------------------------------
        ldr     r0, =0x1000
        mov     r8, r0
        ldr     r1, =0x0234
        TSETFLAGS 1, 0, 1, 1
        add     r8, r1
        TFLAGS  r3
        mov     r0, r8
        TCHECK  r0, 0x1234, "ADD R8, R1"
        TCHECK  r3, 0xB, "high-register ADD sets no flags"
        add     r1, r8
        TCHECK  r1, 0x1468, "ADD R1, R8"
        mov     r9, r8
        mov     r2, r9
        TCHECK  r2, 0x1234, "MOV R9, R8 then MOV R2, R9"
        cmp     r8, r9
        TFLAGS  r3
        TCHECK  r3, 0x6, "CMP R8, R9: Z C"
        ldr     r0, =0x2000
        mov     r10, r0
        cmp     r8, r10
        TFLAGS  r3
        TCHECK  r3, 0x8, "CMP R8, R10: N"
        cmp     r0, r8
        TFLAGS  r3
        TCHECK  r3, 0x2, "CMP R0, R8: C"
        TPOOL

        movs    r5, #0
        movs    r1, #4
        add     pc, r1
        movs    r5, #1
        movs    r5, #2
        movs    r5, #3
        TCHECK  r5, 0, "ADD PC, R1 branches to PC + 4 + R1"

        movs    r5, #0
        ldr     r1, =.Lmov_pc_target + 1
        mov     pc, r1
        movs    r5, #1
.Lmov_pc_target:
        TCHECK  r5, 0, "MOV PC, R1 branches in THUMB state"
        movs    r5, #0
        ldr     r1, =.Lmov_pc_even
        mov     pc, r1
        movs    r5, #1
.Lmov_pc_even:
        TCHECK  r5, 0, "MOV PC to an even address stays in THUMB state"

.Lread_pc:
        mov     r0, pc
        ldr     r1, =.Lread_pc
        subs    r0, r0, r1
        TCHECK  r0, 4, "MOV R0, PC reads the instruction address plus 4"

        movs    r5, #0
        ldr     r1, =.Lbx_thumb_target + 1
        bx      r1
        movs    r5, #1
.Lbx_thumb_target:
        TCHECK  r5, 0, "BX to an odd address stays in THUMB state"
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

@ --- PC-relative loads and load address ------------------------------------------------
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
        ldr     r0, =0x99AABBCC
        str     r0, [r4, #8]
        ldr     r0, =0xDDEEFF00
        str     r0, [r4, #12]
        movs    r0, #0
        str     r0, [r4, #20]
        str     r0, [r4, #24]
        str     r0, [r4, #28]

        movs    r1, #4
        ldr     r0, [r4, r1]
        TCHECK  r0, 0x55667788, "LDR [R4, R1]"
        movs    r1, #1
        ldr     r0, [r4, r1]
        TCHECK  r0, 0x88112233, "LDR [R4, R1] at an odd address is not rotated"
        ldrb    r0, [r4, r1]
        TCHECK  r0, 0x33, "LDRB [R4, R1]"
        movs    r1, #4
        ldrsb   r0, [r4, r1]
        TCHECK  r0, 0xFFFFFF88, "LDSB of 0x88"
        movs    r1, #5
        ldrsb   r0, [r4, r1]
        TCHECK  r0, 0x77, "LDSB of 0x77"
        TPOOL
        movs    r1, #2
        ldrh    r0, [r4, r1]
        TCHECK  r0, 0x1122, "LDRH [R4, R1]"
        movs    r1, #10
        ldrsh   r0, [r4, r1]
        TCHECK  r0, 0xFFFF99AA, "LDSH of 0x99AA"
        movs    r1, #6
        ldrsh   r0, [r4, r1]
        TCHECK  r0, 0x5566, "LDSH of 0x5566"
        TPOOL

        ldr     r2, =0xCAFEBABE
        movs    r1, #16
        str     r2, [r4, r1]
        ldr     r0, [r4, #16]
        TCHECK  r0, 0xCAFEBABE, "STR [R4, R1]"
        movs    r1, #20
        strb    r2, [r4, r1]
        ldr     r0, [r4, #20]
        TCHECK  r0, 0x000000BE, "STRB [R4, R1]"
        movs    r1, #24
        strh    r2, [r4, r1]
        ldr     r0, [r4, #24]
        TCHECK  r0, 0x0000BABE, "STRH [R4, R1]"
        strb    r2, [r4, #28]
        strh    r2, [r4, #30]
        ldr     r0, [r4, #28]
        TCHECK  r0, 0xBABE00BE, "STRB [R4, #28] and STRH [R4, #30]"
        TPOOL

        ldr     r0, [r4, #8]
        TCHECK  r0, 0x99AABBCC, "LDR [R4, #8]"
        ldrb    r0, [r4, #9]
        TCHECK  r0, 0xBB, "LDRB [R4, #9]"
        ldrh    r0, [r4, #14]
        TCHECK  r0, 0xDDEE, "LDRH [R4, #14]"
        adds    r1, r4, #1
        ldr     r0, [r1, #4]
        TCHECK  r0, 0x55667788, "LDR [Rb, #4] clears the low two bits of the base"
        ldrh    r0, [r1, #2]
        TCHECK  r0, 0x1122, "LDRH [Rb, #2] clears the low bit of the base"
        ldrb    r0, [r1, #2]
        TCHECK  r0, 0x11, "LDRB [Rb, #2] uses the base as it is"
        TPOOL

@ --- Stack pointer forms --------------------------------------------------------------
        mov     r6, sp
        sub     sp, #16
        mov     r0, sp
        subs    r0, r6, r0
        TCHECK  r0, 16, "SUB SP, #16"
        ldr     r0, =0xFEEDF00D
        str     r0, [sp, #4]
        ldr     r1, [sp, #4]
        TCHECK  r1, 0xFEEDF00D, "STR and LDR [SP, #4]"
        add     r2, sp, #8
        mov     r3, sp
        subs    r2, r2, r3
        TCHECK  r2, 8, "ADD R2, SP, #8"
        add     sp, #16
        mov     r0, sp
        subs    r0, r0, r6
        TCHECK  r0, 0, "ADD SP, #16"
        TPOOL

        movs    r0, #0x11
        movs    r1, #0x22
        movs    r2, #0x33
        ldr     r3, =0x44444444
        mov     lr, r3
        push    {r0-r2, lr}
        mov     r3, sp
        subs    r3, r6, r3
        TCHECK  r3, 16, "PUSH {R0-R2, LR} lowers SP by 16"
        ldr     r3, [sp, #0]
        TCHECK  r3, 0x11, "PUSH: R0 at the lowest address"
        ldr     r3, [sp, #8]
        TCHECK  r3, 0x33, "PUSH: R2 above R1"
        ldr     r3, [sp, #12]
        TCHECK  r3, 0x44444444, "PUSH: LR at the highest address"
        pop     {r3-r5}
        TCHECK  r3, 0x11, "POP {R3-R5}: R3"
        TCHECK  r5, 0x33, "POP {R3-R5}: R5"
        pop     {r4}
        TCHECK  r4, 0x44444444, "POP {R4} takes the pushed LR"
        mov     r3, sp
        subs    r3, r3, r6
        TCHECK  r3, 0, "PUSH and POP balance SP"
        TPOOL

        movs    r5, #0
        ldr     r0, =.Lpop_pc_target + 1
        push    {r0}
        pop     {pc}
        movs    r5, #1
.Lpop_pc_target:
        TCHECK  r5, 0, "POP {PC} branches"
        movs    r5, #0
        ldr     r0, =.Lpop_pc_even
        push    {r0}
        pop     {pc}
        movs    r5, #1
.Lpop_pc_even:
        TCHECK  r5, 0, "POP {PC} of an even address stays in THUMB state"
        mov     r0, sp
        subs    r0, r0, r6
        TCHECK  r0, 0, "POP {PC} raises SP"
        TPOOL

@ --- STMIA and LDMIA -----------------------------------------------------------------
        ldr     r0, =TEST_DATA + 64
        movs    r1, #0xA1
        movs    r2, #0xB2
        movs    r3, #0xC3
        stmia   r0!, {r1-r3}
        ldr     r4, =TEST_DATA + 64
        subs    r5, r0, r4
        TCHECK  r5, 12, "STMIA R0!, {R1-R3} advances the base by 12"
        ldr     r5, [r4, #0]
        TCHECK  r5, 0xA1, "STMIA: R1 first"
        ldr     r5, [r4, #8]
        TCHECK  r5, 0xC3, "STMIA: R3 last"
        ldmia   r4!, {r5, r6}
        TCHECK  r5, 0xA1, "LDMIA R4!, {R5, R6}: R5"
        TCHECK  r6, 0xB2, "LDMIA R4!, {R5, R6}: R6"
        ldr     r0, =TEST_DATA + 64
        subs    r4, r4, r0
        TCHECK  r4, 8, "LDMIA R4! advances the base by 8"
        TPOOL
        ldr     r0, =TEST_DATA + 64
        .hword  0xC803                  @ LDMIA R0!, {R0, R1}
        TCHECK  r0, 0xA1, "LDMIA R0!, {R0, R1} keeps the loaded R0"
        TCHECK  r1, 0xB2, "LDMIA R0!, {R0, R1} loads R1"
        ldr     r0, =TEST_DATA + 96
        movs    r1, #0x5A
        .hword  0xC003                  @ STMIA R0!, {R0, R1}
        ldr     r2, =TEST_DATA + 96
        ldr     r3, [r2]
        TCHECK  r3, TEST_DATA + 96, "STMIA R0!, {R0, R1} stores the old base"
        ldr     r3, [r2, #4]
        TCHECK  r3, 0x5A, "STMIA R0!, {R0, R1} stores R1"
        subs    r3, r0, r2
        TCHECK  r3, 8, "STMIA R0!, {R0, R1} writes the base back"
        TPOOL
        ldr     r0, =TEST_DATA + 96
        .hword  0xC000                  @ STMIA R0!, {}
        .hword  0xC800                  @ LDMIA R0!, {}
        ldr     r2, =TEST_DATA + 96
        subs    r3, r0, r2
        TCHECK  r3, 0, "STMIA and LDMIA with an empty list keep the base"
        ldr     r3, [r2]
        TCHECK  r3, TEST_DATA + 96, "STMIA with an empty list stores nothing"
        TPOOL

@ --- Branches --------------------------------------------------------------------------
        bl      .Lsubroutine
.Lafter_bl:
        ldr     r1, =.Lafter_bl + 1
        TCHECK  r0, .Lafter_bl + 1, "BL puts the next address with bit 0 set in LR"
        bl      far_forward
        TCHECK  r0, 0x66, "BL to a target 8 KB ahead"
        bl      far_backward
        TCHECK  r0, 0x44, "BL to a target 6 KB back"

        movs    r0, #0
1:      adds    r0, r0, #1
        cmp     r0, #5
        bne     1b
        TCHECK  r0, 5, "backward conditional branch loop runs 5 times"
        movs    r0, #0
        b       2f
        movs    r0, #1
2:      TCHECK  r0, 0, "B skips forward"
        TPOOL

        TCONDS_PREP
        ldr     r0, =0xFFFFFFFF
        movs    r1, #1
        cmp     r0, r1
        TCONDS
        TCONDS_COLLECT r0
        TCHECK  r0, 0x2996, "branch conditions after CMP -1, 1"
        TPOOL
        TCONDS_PREP
        movs    r0, #5
        cmp     r0, #5
        TCONDS
        TCONDS_COLLECT r0
        TCHECK  r0, 0x26A5, "branch conditions after CMP 5, 5"
        TPOOL
        TCONDS_PREP
        ldr     r0, =0x80000000
        cmp     r0, #1
        TCONDS
        TCONDS_COLLECT r0
        TCHECK  r0, 0x2966, "branch conditions after CMP 0x80000000, 1"
        TPOOL
        TCONDS_PREP
        movs    r0, #1
        cmp     r0, #2
        TCONDS
        TCONDS_COLLECT r0
        TCHECK  r0, 0x2A9A, "branch conditions after CMP 1, 2"
        TPOOL
        TCONDS_PREP
        movs    r0, #2
        cmp     r0, #1
        TCONDS
        TCONDS_COLLECT r0
        TCHECK  r0, 0x15A6, "branch conditions after CMP 2, 1"
        TPOOL
        TCONDS_PREP
        ldr     r0, =0x7FFFFFFF
        adds    r0, #1
        TCONDS
        TCONDS_COLLECT r0
        TCHECK  r0, 0x165A, "branch conditions after ADD 0x7FFFFFFF + 1"
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
