@ ARM instruction semantics: data processing and flags, the shifter (RRX included),
@ multiplies (long forms included), single, halfword and block transfers with their
@ addressing and write-back, branches, BX into THUMB and back.
        .include "common.inc"
        .arm
        .global _start
_start:
        START

@ --- Additions and subtractions, with their flags (N*8 + Z*4 + C*2 + V) -------------
        ldr     r1, =0x7FFFFFFF
        mov     r2, #1
        SETFLAGS 0, 0, 0, 0
        adds    r0, r1, r2
        FLAGS   r3
        CHECK   r0, 0x80000000, "ADDS 0x7FFFFFFF + 1: result"
        CHECK   r3, 0x9, "ADDS 0x7FFFFFFF + 1: flags N V"

        mov     r1, #0x80000000
        adds    r0, r1, r1
        FLAGS   r3
        CHECK   r0, 0, "ADDS 0x80000000 + 0x80000000: result"
        CHECK   r3, 0x7, "ADDS 0x80000000 + 0x80000000: flags Z C V"

        mvn     r1, #0
        adds    r0, r1, #1
        FLAGS   r3
        CHECK   r0, 0, "ADDS 0xFFFFFFFF + 1: result"
        CHECK   r3, 0x6, "ADDS 0xFFFFFFFF + 1: flags Z C"

        mov     r1, #5
        subs    r0, r1, #7
        FLAGS   r3
        CHECK   r0, 0xFFFFFFFE, "SUBS 5 - 7: result"
        CHECK   r3, 0x8, "SUBS 5 - 7: flags N (borrow clears C)"

        subs    r0, r1, r1
        FLAGS   r3
        CHECK   r0, 0, "SUBS R1, R1: result"
        CHECK   r3, 0x6, "SUBS R1, R1: flags Z C"

        mov     r1, #0x80000000
        subs    r0, r1, #1
        FLAGS   r3
        CHECK   r0, 0x7FFFFFFF, "SUBS 0x80000000 - 1: result"
        CHECK   r3, 0x3, "SUBS 0x80000000 - 1: flags C V"

        mov     r1, #3
        rsbs    r0, r1, #10
        FLAGS   r3
        CHECK   r0, 7, "RSBS 10 - 3: result"
        CHECK   r3, 0x2, "RSBS 10 - 3: flags C"
        rsbs    r0, r1, #1
        FLAGS   r3
        CHECK   r0, 0xFFFFFFFE, "RSBS 1 - 3: result"
        CHECK   r3, 0x8, "RSBS 1 - 3: flags N"

        mvn     r1, #0
        mov     r2, #0
        SETFLAGS 0, 0, 1, 0
        adcs    r0, r1, r2
        FLAGS   r3
        CHECK   r0, 0, "ADCS 0xFFFFFFFF + 0 + carry: result"
        CHECK   r3, 0x6, "ADCS 0xFFFFFFFF + 0 + carry: flags Z C"

        mov     r1, #5
        mov     r2, #6
        SETFLAGS 0, 0, 0, 0
        adc     r0, r1, r2
        CHECK   r0, 11, "ADC 5 + 6 without carry"
        SETFLAGS 0, 0, 1, 0
        adc     r0, r1, r2
        CHECK   r0, 12, "ADC 5 + 6 with carry"

        ldr     r1, =0x7FFFFFFF
        mov     r2, #0
        SETFLAGS 0, 0, 1, 0
        adcs    r0, r1, r2
        FLAGS   r3
        CHECK   r0, 0x80000000, "ADCS 0x7FFFFFFF + 0 + carry: result"
        CHECK   r3, 0x9, "ADCS 0x7FFFFFFF + 0 + carry: flags N V"

        mov     r1, #10
        mov     r2, #3
        SETFLAGS 0, 0, 0, 0
        sbcs    r0, r1, r2
        FLAGS   r3
        CHECK   r0, 6, "SBCS 10 - 3 with C clear: result"
        CHECK   r3, 0x2, "SBCS 10 - 3 with C clear: flags C"
        SETFLAGS 0, 0, 1, 0
        sbcs    r0, r1, r2
        FLAGS   r3
        CHECK   r0, 7, "SBCS 10 - 3 with C set: result"
        CHECK   r3, 0x2, "SBCS 10 - 3 with C set: flags C"

        mov     r1, #0
        mov     r2, #0
        SETFLAGS 0, 0, 0, 0
        sbcs    r0, r1, r2
        FLAGS   r3
        CHECK   r0, 0xFFFFFFFF, "SBCS 0 - 0 with C clear: result"
        CHECK   r3, 0x8, "SBCS 0 - 0 with C clear: flags N"
        SETFLAGS 0, 0, 1, 0
        sbcs    r0, r1, r2
        FLAGS   r3
        CHECK   r0, 0, "SBCS 0 - 0 with C set: result"
        CHECK   r3, 0x6, "SBCS 0 - 0 with C set: flags Z C"

        mov     r1, #3
        mov     r2, #10
        SETFLAGS 0, 0, 1, 0
        rscs    r0, r1, r2
        FLAGS   r3
        CHECK   r0, 7, "RSCS 10 - 3 with C set: result"
        CHECK   r3, 0x2, "RSCS 10 - 3 with C set: flags C"
        SETFLAGS 0, 0, 0, 0
        rsc     r0, r1, r2
        CHECK   r0, 6, "RSC 10 - 3 with C clear"
        POOL

@ --- Logical operations, tests and compares ------------------------------------------
        ldr     r1, =0xF0F0F0F0
        ldr     r2, =0x0FF00FF0
        SETFLAGS 1, 0, 0, 1
        ands    r0, r1, r2
        FLAGS   r3
        CHECK   r0, 0x00F000F0, "ANDS: result"
        CHECK   r3, 0x1, "ANDS with an unshifted register keeps C and V (C clear)"
        SETFLAGS 0, 1, 1, 1
        ands    r0, r1, r2
        FLAGS   r3
        CHECK   r3, 0x3, "ANDS with an unshifted register keeps C and V (C set)"

        ldr     r1, =0xFFFF0000
        ldr     r2, =0x0F0F0F0F
        SETFLAGS 0, 0, 0, 0
        eors    r0, r1, r2
        FLAGS   r3
        CHECK   r0, 0xF0F00F0F, "EORS: result"
        CHECK   r3, 0x8, "EORS: flags N"

        ldr     r1, =0x12340000
        ldr     r2, =0x5678
        orr     r0, r1, r2
        CHECK   r0, 0x12345678, "ORR"
        mvn     r1, #0
        ldr     r2, =0xFF00
        bic     r0, r1, r2
        CHECK   r0, 0xFFFF00FF, "BIC"
        SETFLAGS 0, 0, 0, 0
        mvns    r0, r1
        FLAGS   r3
        CHECK   r0, 0, "MVNS of 0xFFFFFFFF: result"
        CHECK   r3, 0x4, "MVNS of 0xFFFFFFFF: flags Z"
        mov     r1, #0x0F
        mvn     r0, r1
        CHECK   r0, 0xFFFFFFF0, "MVN of 0x0F"

        mov     r1, #0x7F
        SETFLAGS 1, 0, 1, 1
        tst     r1, #0x80
        FLAGS   r3
        CHECK   r3, 0x7, "TST 0x7F, #0x80: Z set, C and V kept"
        SETFLAGS 0, 0, 0, 0
        teq     r1, r1
        FLAGS   r3
        CHECK   r3, 0x4, "TEQ R1, R1: Z"
        SETFLAGS 0, 0, 0, 0
        mov     r2, #0x80000000
        teq     r1, r2
        FLAGS   r3
        CHECK   r3, 0x8, "TEQ 0x7F, 0x80000000: N"

        mov     r1, #3
        cmp     r1, #5
        FLAGS   r3
        CHECK   r3, 0x8, "CMP 3, 5: N"
        mov     r1, #5
        cmp     r1, #3
        FLAGS   r3
        CHECK   r3, 0x2, "CMP 5, 3: C"
        mvn     r1, #0
        cmn     r1, #1
        FLAGS   r3
        CHECK   r3, 0x6, "CMN -1, 1: Z C"
        ldr     r1, =0x7FFFFFFF
        cmn     r1, #1
        FLAGS   r3
        CHECK   r3, 0x9, "CMN 0x7FFFFFFF, 1: N V"
        CHECK   r1, 0x7FFFFFFF, "CMN writes no register"

@ --- Immediate operands -------------------------------------------------------------
        SETFLAGS 0, 0, 0, 0
        movs    r0, #0x80000000
        FLAGS   r3
        CHECK   r0, 0x80000000, "MOVS rotated immediate 0x80000000: result"
        CHECK   r3, 0xA, "MOVS rotated immediate 0x80000000: C = bit 31"
        SETFLAGS 0, 0, 1, 0
        movs    r0, #0xFF
        FLAGS   r3
        CHECK   r3, 0x2, "MOVS unrotated immediate keeps C"
        SETFLAGS 0, 0, 1, 0
        movs    r0, #0x3F0
        FLAGS   r3
        CHECK   r0, 0x3F0, "MOVS rotated immediate 0x3F0: result"
        CHECK   r3, 0x0, "MOVS rotated immediate 0x3F0: C = bit 31 = 0"
        POOL

@ --- Shifts by an immediate amount ---------------------------------------------------
        ldr     r1, =0x1800000F
        SETFLAGS 0, 0, 0, 0
        movs    r0, r1, lsl #4
        FLAGS   r3
        CHECK   r0, 0x800000F0, "MOVS LSL #4: result"
        CHECK   r3, 0xA, "MOVS LSL #4: C = bit 28"

        mov     r1, #3
        SETFLAGS 0, 0, 0, 0
        movs    r0, r1, lsr #1
        FLAGS   r3
        CHECK   r0, 1, "MOVS LSR #1: result"
        CHECK   r3, 0x2, "MOVS LSR #1: C = bit 0"

        mov     r1, #0x80000000
        SETFLAGS 0, 0, 0, 0
        movs    r0, r1, lsr #32
        FLAGS   r3
        CHECK   r0, 0, "MOVS LSR #32: result"
        CHECK   r3, 0x6, "MOVS LSR #32: C = bit 31"

        ldr     r1, =0x80000010
        SETFLAGS 0, 0, 1, 0
        movs    r0, r1, asr #4
        FLAGS   r3
        CHECK   r0, 0xF8000001, "MOVS ASR #4: result"
        CHECK   r3, 0x8, "MOVS ASR #4: C = bit 3"

        mov     r1, #0x80000000
        SETFLAGS 0, 0, 0, 0
        movs    r0, r1, asr #32
        FLAGS   r3
        CHECK   r0, 0xFFFFFFFF, "MOVS ASR #32: result"
        CHECK   r3, 0xA, "MOVS ASR #32: C = bit 31"

        ldr     r1, =0x12345678
        SETFLAGS 0, 0, 1, 0
        movs    r0, r1, ror #8
        FLAGS   r3
        CHECK   r0, 0x78123456, "MOVS ROR #8: result"
        CHECK   r3, 0x0, "MOVS ROR #8: C = bit 7"
        mov     r1, #0x80
        movs    r0, r1, ror #8
        FLAGS   r3
        CHECK   r0, 0x80000000, "MOVS ROR #8 of 0x80: result"
        CHECK   r3, 0xA, "MOVS ROR #8 of 0x80: C = bit 7"

        mov     r1, #2
        SETFLAGS 0, 0, 1, 0
        movs    r0, r1, rrx
        FLAGS   r3
        CHECK   r0, 0x80000001, "MOVS RRX with C set: result"
        CHECK   r3, 0x8, "MOVS RRX with C set: C = old bit 0"
        mov     r1, #3
        SETFLAGS 0, 0, 0, 0
        movs    r0, r1, rrx
        FLAGS   r3
        CHECK   r0, 1, "MOVS RRX with C clear: result"
        CHECK   r3, 0x2, "MOVS RRX with C clear: C = old bit 0"

        mov     r1, #5
        SETFLAGS 0, 0, 1, 0
        movs    r0, r1, lsl #0
        FLAGS   r3
        CHECK   r0, 5, "MOVS LSL #0: result"
        CHECK   r3, 0x2, "MOVS LSL #0 keeps C"
        POOL

@ --- Shifts by a register amount (low byte of the register) --------------------------
        mov     r1, #1
        mov     r2, #32
        SETFLAGS 0, 0, 0, 0
        movs    r0, r1, lsl r2
        FLAGS   r3
        CHECK   r0, 0, "LSL by 32: result"
        CHECK   r3, 0x6, "LSL by 32: C = bit 0"
        mov     r2, #33
        SETFLAGS 0, 0, 1, 0
        movs    r0, r1, lsl r2
        FLAGS   r3
        CHECK   r0, 0, "LSL by 33: result"
        CHECK   r3, 0x4, "LSL by 33: C = 0"
        mov     r2, #0x120
        SETFLAGS 0, 0, 0, 0
        movs    r0, r1, lsl r2
        FLAGS   r3
        CHECK   r3, 0x6, "LSL by 0x120 shifts by 32 (low byte only)"

        ldr     r1, =0x80000001
        mov     r2, #0
        SETFLAGS 0, 0, 1, 0
        movs    r0, r1, lsl r2
        FLAGS   r3
        CHECK   r0, 0x80000001, "LSL by register 0: result"
        CHECK   r3, 0xA, "LSL by register 0 keeps C"
        mov     r2, #4
        SETFLAGS 0, 0, 1, 0
        movs    r0, r1, lsl r2
        FLAGS   r3
        CHECK   r0, 0x10, "LSL by register 4: result"
        CHECK   r3, 0x0, "LSL by register 4: C = bit 28"

        mvn     r1, #0
        mov     r2, #33
        SETFLAGS 0, 0, 1, 0
        movs    r0, r1, lsr r2
        FLAGS   r3
        CHECK   r0, 0, "LSR by 33: result"
        CHECK   r3, 0x4, "LSR by 33: C = 0"
        mov     r2, #32
        movs    r0, r1, lsr r2
        FLAGS   r3
        CHECK   r3, 0x6, "LSR by 32: C = bit 31"

        mov     r1, #0x80000000
        mov     r2, #40
        SETFLAGS 0, 0, 0, 0
        movs    r0, r1, asr r2
        FLAGS   r3
        CHECK   r0, 0xFFFFFFFF, "ASR by 40: result"
        CHECK   r3, 0xA, "ASR by 40: C = bit 31"

        mov     r1, #0x1F
        mov     r2, #36
        SETFLAGS 0, 0, 0, 0
        movs    r0, r1, ror r2
        FLAGS   r3
        CHECK   r0, 0xF0000001, "ROR by 36 rotates by 4: result"
        CHECK   r3, 0xA, "ROR by 36: C = bit 3"

        @ On this machine a register amount of exactly 32 with ROR is a rotate through carry.
        ldr     r1, =0x80000001
        mov     r2, #32
        SETFLAGS 0, 0, 0, 0
        movs    r0, r1, ror r2
        FLAGS   r3
        CHECK   r0, 0x40000000, "ROR by register 32 rotates through carry: result"
        CHECK   r3, 0x2, "ROR by register 32 rotates through carry: C = bit 0"
        mov     r2, #64
        SETFLAGS 0, 0, 0, 0
        movs    r0, r1, ror r2
        FLAGS   r3
        CHECK   r0, 0x80000001, "ROR by 64: value unchanged"
        CHECK   r3, 0xA, "ROR by 64: C = bit 31"
        mov     r2, #0x100
        SETFLAGS 0, 0, 0, 0
        movs    r0, r1, ror r2
        FLAGS   r3
        CHECK   r0, 0x80000001, "ROR by 0x100 (low byte 0): value unchanged"
        CHECK   r3, 0x8, "ROR by 0x100 (low byte 0): C unchanged"

@ --- Shifted second operands and reading PC ----------------------------------------
        mov     r1, #100
        mov     r2, #3
        add     r0, r1, r2, lsl #2
        CHECK   r0, 112, "ADD R1, R2, LSL #2"
        sub     r0, r1, r2, lsl #4
        CHECK   r0, 52, "SUB R1, R2, LSL #4"
        mov     r3, #1
        add     r0, r1, r2, lsl r3
        CHECK   r0, 106, "ADD R1, R2, LSL R3"
        rsb     r0, r2, r2, lsl #3
        CHECK   r0, 21, "RSB R2, R2, LSL #3"
        ldr     r2, =0x80000000
        mov     r1, #0
        SETFLAGS 0, 0, 0, 0
        adds    r0, r1, r2, lsl #1
        FLAGS   r3
        CHECK   r3, 0x4, "ADDS takes C from the addition, not from the shifter"
.Lread_pc:
        mov     r0, pc
        adr     r1, .Lread_pc
        sub     r0, r0, r1
        CHECK   r0, 8, "MOV R0, PC reads the instruction address plus 8"
        POOL

@ --- Multiplies ---------------------------------------------------------------------
        mov     r1, #7
        mov     r2, #6
        mul     r0, r1, r2
        CHECK   r0, 42, "MUL 7 * 6"
        mvn     r1, #0
        mov     r2, #2
        mul     r0, r1, r2
        CHECK   r0, 0xFFFFFFFE, "MUL keeps the low 32 bits"
        mov     r1, #3
        mov     r2, #4
        mov     r3, #5
        mla     r0, r1, r2, r3
        CHECK   r0, 17, "MLA 3 * 4 + 5"

        mov     r1, #2
        mov     r2, #3
        SETFLAGS 0, 0, 1, 1
        muls    r0, r1, r2
        FLAGS   r3
        CHECK   r0, 6, "MULS 2 * 3: result"
        CHECK   r3, 0x3, "MULS keeps C and V"
        mov     r1, #0
        SETFLAGS 1, 0, 0, 0
        muls    r0, r1, r2
        FLAGS   r3
        CHECK   r3, 0x4, "MULS with a zero product: Z"
        mov     r1, #0x80000000
        mov     r2, #1
        SETFLAGS 0, 0, 0, 0
        muls    r0, r1, r2
        FLAGS   r3
        CHECK   r3, 0x8, "MULS with bit 31 set: N"

        mvn     r2, #0
        mvn     r3, #0
        umull   r0, r1, r2, r3
        CHECK   r0, 0x00000001, "UMULL 0xFFFFFFFF * 0xFFFFFFFF: low word"
        CHECK   r1, 0xFFFFFFFE, "UMULL 0xFFFFFFFF * 0xFFFFFFFF: high word"
        mvn     r2, #0
        mov     r3, #2
        umull   r0, r1, r2, r3
        CHECK   r0, 0xFFFFFFFE, "UMULL 0xFFFFFFFF * 2: low word"
        CHECK   r1, 0x00000001, "UMULL 0xFFFFFFFF * 2: high word"
        smull   r0, r1, r2, r3
        CHECK   r0, 0xFFFFFFFE, "SMULL -1 * 2: low word"
        CHECK   r1, 0xFFFFFFFF, "SMULL -1 * 2: high word"

        mvn     r2, #0
        mov     r3, #1
        SETFLAGS 0, 0, 0, 1
        smulls  r0, r1, r2, r3
        FLAGS   r4
        CHECK   r0, 0xFFFFFFFF, "SMULLS -1 * 1: low word"
        CHECK   r1, 0xFFFFFFFF, "SMULLS -1 * 1: high word"
        CHECK   r4, 0x9, "SMULLS -1 * 1: N from bit 63, C and V kept"

        mvn     r2, #1
        mov     r3, #3
        smull   r0, r1, r2, r3
        CHECK   r0, 0xFFFFFFFA, "SMULL -2 * 3: low word"
        CHECK   r1, 0xFFFFFFFF, "SMULL -2 * 3: high word"
        mov     r2, #0x40000000
        mov     r3, #4
        SETFLAGS 0, 1, 0, 0
        smulls  r0, r1, r2, r3
        FLAGS   r4
        CHECK   r0, 0, "SMULLS 0x40000000 * 4: low word"
        CHECK   r1, 1, "SMULLS 0x40000000 * 4: high word"
        CHECK   r4, 0x0, "SMULLS with a zero low word only: Z clear"
        mov     r2, #0
        mov     r3, #5
        SETFLAGS 0, 0, 0, 0
        umulls  r0, r1, r2, r3
        FLAGS   r4
        CHECK   r4, 0x4, "UMULLS with a zero product: Z"

        mvn     r0, #0
        mov     r1, #1
        mov     r2, #2
        mov     r3, #1
        umlal   r0, r1, r2, r3
        CHECK   r0, 1, "UMLAL 0x1FFFFFFFF + 2: low word"
        CHECK   r1, 2, "UMLAL 0x1FFFFFFFF + 2: high word takes the carry"
        mov     r0, #10
        mov     r1, #0
        mvn     r2, #2
        mov     r3, #4
        smlal   r0, r1, r2, r3
        CHECK   r0, 0xFFFFFFFE, "SMLAL 10 + (-3 * 4): low word"
        CHECK   r1, 0xFFFFFFFF, "SMLAL 10 + (-3 * 4): high word"
        POOL

@ --- Single transfers: LDR, STR, LDRB, STRB ----------------------------------------
        ldr     r4, =TEST_DATA
        ldr     r0, =0x11223344
        str     r0, [r4]
        ldr     r0, =0x55667788
        str     r0, [r4, #4]
        ldr     r0, =0x99AABBCC
        str     r0, [r4, #8]
        ldr     r0, =0xDDEEFF00
        str     r0, [r4, #12]

        ldr     r0, [r4]
        CHECK   r0, 0x11223344, "LDR [R4]"
        ldr     r0, [r4, #4]
        CHECK   r0, 0x55667788, "LDR [R4, #4]"
        mov     r1, r4
        ldr     r0, [r1, #4]!
        sub     r2, r1, r4
        CHECK   r0, 0x55667788, "LDR [R1, #4]!: value"
        CHECK   r2, 4, "LDR [R1, #4]!: base written back"
        ldr     r0, [r1], #4
        sub     r2, r1, r4
        CHECK   r0, 0x55667788, "LDR [R1], #4: loads from the old base"
        CHECK   r2, 8, "LDR [R1], #4: base advanced"
        ldr     r0, [r1, #-4]
        CHECK   r0, 0x55667788, "LDR [R1, #-4]"
        mov     r2, #3
        ldr     r0, [r4, r2, lsl #2]
        CHECK   r0, 0xDDEEFF00, "LDR [R4, R2, LSL #2]"
        add     r1, r4, #12
        mov     r2, #8
        ldr     r0, [r1, -r2]
        CHECK   r0, 0x55667788, "LDR [R1, -R2]"
        ldr     r0, [r1, -r2]!
        sub     r2, r1, r4
        CHECK   r2, 4, "LDR [R1, -R2]!: base written back"

        ldrb    r0, [r4, #1]
        CHECK   r0, 0x33, "LDRB [R4, #1]"
        ldrb    r0, [r4, #7]
        CHECK   r0, 0x55, "LDRB [R4, #7]"
        ldr     r0, [r4, #1]
        CHECK   r0, 0x88112233, "unaligned LDR returns the unrotated bytes"

        ldr     r2, =0xABCD
        strb    r2, [r4, #8]
        ldr     r0, [r4, #8]
        CHECK   r0, 0x99AABBCD, "STRB writes the low byte only"

        add     r1, r4, #16
        ldr     r2, =0x12345678
        str     r2, [r1], #4
        ldr     r0, [r4, #16]
        sub     r3, r1, r4
        CHECK   r0, 0x12345678, "STR [R1], #4: stored at the old base"
        CHECK   r3, 20, "STR [R1], #4: base advanced"
        str     r2, [r1, #4]!
        ldr     r0, [r4, #24]
        sub     r3, r1, r4
        CHECK   r0, 0x12345678, "STR [R1, #4]!: stored"
        CHECK   r3, 24, "STR [R1, #4]!: base written back"

        mov     r1, r4
        .word   0xE4911004              @ LDR R1, [R1], #4
        sub     r3, r1, r4
        CHECK   r3, 4, "LDR R1, [R1], #4: write-back comes after the load"

        mov     r5, #0
        ldr     pc, =.Lldr_pc_target
        mov     r5, #1
        mov     r5, #2
.Lldr_pc_target:
        CHECK   r5, 0, "LDR PC branches to the loaded address"

.Lstr_pc:
        str     pc, [r4, #40]
        ldr     r0, [r4, #40]
        adr     r1, .Lstr_pc
        sub     r0, r0, r1
        CHECK   r0, 8, "STR PC stores the instruction address plus 8"
        POOL

@ --- Halfword and signed transfers --------------------------------------------------
        ldr     r4, =TEST_DATA
        ldr     r0, =0x11223344
        str     r0, [r4]
        ldr     r0, =0x55667788
        str     r0, [r4, #4]
        ldr     r0, =0x99AABBCC
        str     r0, [r4, #8]
        ldr     r0, =0xDDEEFF00
        str     r0, [r4, #12]

        ldrh    r0, [r4, #2]
        CHECK   r0, 0x1122, "LDRH [R4, #2]"
        mov     r2, #6
        ldrh    r0, [r4, r2]
        CHECK   r0, 0x5566, "LDRH [R4, R2]"
        ldrsb   r0, [r4, #4]
        CHECK   r0, 0xFFFFFF88, "LDRSB of 0x88"
        ldrsb   r0, [r4, #5]
        CHECK   r0, 0x77, "LDRSB of 0x77"
        ldrsh   r0, [r4, #10]
        CHECK   r0, 0xFFFF99AA, "LDRSH of 0x99AA"
        ldrsh   r0, [r4, #6]
        CHECK   r0, 0x5566, "LDRSH of 0x5566"
        add     r1, r4, #12
        mov     r2, #2
        ldrsh   r0, [r1, -r2]
        CHECK   r0, 0xFFFF99AA, "LDRSH [R1, -R2]"
        mov     r2, #1
        ldrsb   r0, [r4, r2]
        CHECK   r0, 0x33, "LDRSB [R4, R2]"

        ldr     r2, =0x12345678
        strh    r2, [r4, #12]
        ldr     r0, [r4, #12]
        CHECK   r0, 0xDDEE5678, "STRH writes the low halfword only"
        add     r1, r4, #32
        strh    r2, [r1], #2
        ldrh    r0, [r4, #32]
        sub     r3, r1, r4
        CHECK   r0, 0x5678, "STRH [R1], #2: stored at the old base"
        CHECK   r3, 34, "STRH [R1], #2: base advanced"
        ldrh    r0, [r1, #-2]!
        sub     r3, r1, r4
        CHECK   r0, 0x5678, "LDRH [R1, #-2]!: value"
        CHECK   r3, 32, "LDRH [R1, #-2]!: base written back"
        ldrh    r0, [r1], #4
        sub     r3, r1, r4
        CHECK   r3, 36, "LDRH [R1], #4: base advanced"
        POOL

@ --- Block transfers -----------------------------------------------------------------
        ldr     r4, =TEST_DATA
        add     r1, r4, #64
        mov     r2, #0xA1
        mov     r3, #0xB2
        mov     r5, #0xC3
        mov     r6, #0xD4
        stmia   r1!, {r2, r3, r5, r6}
        sub     r0, r1, r4
        CHECK   r0, 80, "STMIA R1!: base advanced by 16"
        ldr     r0, [r4, #64]
        CHECK   r0, 0xA1, "STMIA: lowest register at the lowest address"
        ldr     r0, [r4, #76]
        CHECK   r0, 0xD4, "STMIA: highest register at the highest address"

        add     r1, r4, #64
        ldmia   r1, {r7, r8, r9, r10}
        CHECK   r7, 0xA1, "LDMIA: first register"
        CHECK   r8, 0xB2, "LDMIA: second register"
        CHECK   r9, 0xC3, "LDMIA: third register"
        CHECK   r10, 0xD4, "LDMIA: fourth register"
        sub     r0, r1, r4
        CHECK   r0, 64, "LDMIA without write-back keeps the base"

        add     r1, r4, #64
        stmdb   r1!, {r2, r3}
        sub     r0, r1, r4
        CHECK   r0, 56, "STMDB R1!: base lowered by 8"
        ldr     r0, [r4, #56]
        CHECK   r0, 0xA1, "STMDB: lowest register at the lowest address"
        ldr     r0, [r4, #60]
        CHECK   r0, 0xB2, "STMDB: next register above it"

        add     r1, r4, #64
        ldmib   r1, {r7, r8}
        CHECK   r7, 0xB2, "LDMIB: first word after the base"
        CHECK   r8, 0xC3, "LDMIB: second word after the base"
        ldmda   r1, {r7, r8}
        CHECK   r7, 0xB2, "LDMDA: lower register from base - 4"
        CHECK   r8, 0xA1, "LDMDA: higher register from the base"
        ldmdb   r1!, {r7, r8}
        sub     r0, r1, r4
        CHECK   r7, 0xA1, "LDMDB: lower register from base - 8"
        CHECK   r8, 0xB2, "LDMDB: higher register from base - 4"
        CHECK   r0, 56, "LDMDB R1!: base lowered by 8"

        add     r1, r4, #96
        stmib   r1!, {r2, r3}
        sub     r0, r1, r4
        CHECK   r0, 104, "STMIB R1!: base advanced by 8"
        ldr     r0, [r4, #100]
        CHECK   r0, 0xA1, "STMIB: first word after the base"
        add     r1, r4, #120
        stmda   r1!, {r2, r3}
        sub     r0, r1, r4
        CHECK   r0, 112, "STMDA R1!: base lowered by 8"
        ldr     r0, [r4, #120]
        CHECK   r0, 0xB2, "STMDA: highest register at the base"
        ldr     r0, [r4, #116]
        CHECK   r0, 0xA1, "STMDA: lower register below it"

        adr     r0, .Lldm_pc_target
        str     r0, [r4, #132]
        mov     r0, #0x77
        str     r0, [r4, #128]
        add     r1, r4, #128
        mov     r5, #0
        ldmia   r1!, {r2, pc}
        mov     r5, #1
.Lldm_pc_target:
        sub     r0, r1, r4
        CHECK   r5, 0, "LDMIA {R2, PC} branches"
        CHECK   r2, 0x77, "LDMIA {R2, PC} loads R2"
        CHECK   r0, 136, "LDMIA R1!, {R2, PC}: base advanced by 8"

        adr     r0, .Lldmdb_pc_target
        str     r0, [r4, #148]
        mov     r0, #0x66
        str     r0, [r4, #144]
        add     r1, r4, #152
        mov     r5, #0
        ldmdb   r1, {r2, pc}
        mov     r5, #1
.Lldmdb_pc_target:
        CHECK   r5, 0, "LDMDB {R2, PC} branches to the word at the highest address"
        CHECK   r2, 0x66, "LDMDB {R2, PC} loads R2 from the lower word"

        ldr     r0, =0x1234
        str     r0, [r4, #160]
        ldr     r0, =0x5678
        str     r0, [r4, #164]
        add     r1, r4, #160
        .word   0xE8B10006              @ LDMIA R1!, {R1, R2}
        sub     r0, r1, r4
        CHECK   r0, 168, "LDMIA R1!, {R1, R2}: write-back wins over the loaded base"
        CHECK   r2, 0x5678, "LDMIA R1!, {R1, R2}: R2 loaded"

        add     r1, r4, #176
.Lstm_pc:
        .word   0xE8818000              @ STMIA R1, {PC}
        ldr     r0, [r4, #176]
        adr     r2, .Lstm_pc
        sub     r0, r0, r2
        CHECK   r0, 8, "STMIA {PC} stores the instruction address plus 8"
        add     r1, r4, #192
.Lstmdb_pc:
        .word   0xE9018000              @ STMDB R1, {PC}
        ldr     r0, [r4, #188]
        adr     r2, .Lstmdb_pc
        sub     r0, r0, r2
        CHECK   r0, 4, "STMDB {PC} stores the instruction address plus 4"
        POOL

@ --- Branches and conditions ---------------------------------------------------------
        bl      .Lsubroutine
.Lafter_bl:
        adr     r1, .Lafter_bl
        CHECK   r1, .Lafter_bl, "ADR gives the label address"
        sub     r0, r0, r1
        CHECK   r0, 0, "BL puts the return address in LR"

        mov     r0, #0
1:      add     r0, r0, #1
        cmp     r0, #5
        blt     1b
        CHECK   r0, 5, "backward conditional branch loop runs 5 times"

        mvn     r1, #0
        mov     r2, #1
        cmp     r1, r2
        CONDS   r0
        CHECK   r0, 0x2996, "conditions after CMP -1, 1"
        mov     r1, #5
        cmp     r1, #5
        CONDS   r0
        CHECK   r0, 0x26A5, "conditions after CMP 5, 5"
        mov     r1, #0x80000000
        cmp     r1, #1
        CONDS   r0
        CHECK   r0, 0x2966, "conditions after CMP 0x80000000, 1"
        mov     r1, #1
        cmp     r1, #2
        CONDS   r0
        CHECK   r0, 0x2A9A, "conditions after CMP 1, 2"
        mov     r1, #2
        cmp     r1, #1
        CONDS   r0
        CHECK   r0, 0x15A6, "conditions after CMP 2, 1"
        ldr     r1, =0x7FFFFFFF
        adds    r1, r1, #1
        CONDS   r0
        CHECK   r0, 0x165A, "conditions after ADDS 0x7FFFFFFF + 1"

        mov     r5, #0
        add     pc, pc, #4
        mov     r5, #1
        mov     r5, #2
        CHECK   r5, 0, "ADD PC, PC, #4 skips two instructions"

        @ SUBS PC, LR, #4 is a plain branch that sets the flags from its result.
        adr     lr, .Lsubs_pc_target + 4
        mov     r5, #0
        SETFLAGS 0, 1, 0, 0
        subs    pc, lr, #4
        mov     r5, #1
.Lsubs_pc_target:
        FLAGS   r3
        CHECK   r5, 0, "SUBS PC, LR, #4 branches"
        CHECK   r3, 0x2, "SUBS PC, LR, #4 sets the flags of the subtraction"

        @ Start-up code writes the status register; the machine goes on without it.
        ldr     r0, =0x1F
        SETFLAGS 1, 0, 1, 0
        .word   0xE121F000              @ MSR CPSR_c, R0
        FLAGS   r3
        CHECK   r3, 0xA, "MSR CPSR_c, R0 leaves the flags"
        .word   0xE129F000              @ MSR CPSR_fc, R0
        CHECK   r0, 0x1F, "MSR CPSR_fc, R0 does not stop the machine"

        mov     r5, #0
        adr     r0, .Lbx_arm_target
        bx      r0
        mov     r5, #1
.Lbx_arm_target:
        CHECK   r5, 0, "BX to an even address stays in ARM state"

        mov     r5, #0
        mov     r6, #0
        adr     r0, .Lthumb_part + 1
        bx      r0
        mov     r5, #1
        .thumb
.Lthumb_part:
        movs    r5, #42
        lsls    r6, r5, #1              @ a THUMB-only encoding
        .balign 4
        bx      pc
        nop
        .arm
        CHECK   r5, 42, "BX into THUMB runs THUMB code"
        CHECK   r6, 84, "THUMB shift ran before BX PC back to ARM"

        DONE

.Lsubroutine:
        mov     r0, lr
        mov     pc, lr

        TAMO_END
