@ ARM code run end to end from the cartridge entry. The differential test against Unicorn
@ compares single instructions over random operands; this cartridge keeps what only a whole
@ run shows and what that test leaves out: a few ordinary checks per instruction family,
@ loops and conditional execution on each pair of condition codes, BL, BX into THUMB and
@ back, loads into PC, block transfers with PC, and the machine's deliberate behaviours
@ (ROR by register 32, unaligned loads not rotated, write-back winning over a loaded base,
@ stores of PC, S-bit multiplies keeping C and V, SUBS PC, LR as a plain branch, MSR forms
@ that must not stop the machine).
        .include "common.inc"
        .arm
        .global _start
_start:
        START

@ --- Data processing, with its flags (N*8 + Z*4 + C*2 + V) ------------------------------
        ldr     r1, =0x7FFFFFFF
        mov     r2, #1
        SETFLAGS 0, 0, 0, 0
        adds    r0, r1, r2
        FLAGS   r3
        CHECK   r0, 0x80000000, "ADDS 0x7FFFFFFF + 1: result"
        CHECK   r3, 0x9, "ADDS 0x7FFFFFFF + 1: flags N V"

        mov     r1, #5
        subs    r0, r1, #7
        FLAGS   r3
        CHECK   r0, 0xFFFFFFFE, "SUBS 5 - 7: result"
        CHECK   r3, 0x8, "SUBS 5 - 7: flags N (borrow clears C)"

        mov     r1, #5
        mov     r2, #6
        SETFLAGS 0, 0, 1, 0
        adc     r0, r1, r2
        CHECK   r0, 12, "ADC 5 + 6 with carry"

        ldr     r1, =0xF0F0F0F0
        ldr     r2, =0x0FF00FF0
        SETFLAGS 0, 1, 1, 1
        ands    r0, r1, r2
        FLAGS   r3
        CHECK   r0, 0x00F000F0, "ANDS: result"
        CHECK   r3, 0x3, "ANDS with an unshifted register keeps C and V"

        mov     r1, #0x7F
        SETFLAGS 1, 0, 1, 1
        tst     r1, #0x80
        FLAGS   r3
        CHECK   r3, 0x7, "TST 0x7F, #0x80: Z set, C and V kept"
        ldr     r1, =0x7FFFFFFF
        cmn     r1, #1
        FLAGS   r3
        CHECK   r3, 0x9, "CMN 0x7FFFFFFF, 1: N V"
        CHECK   r1, 0x7FFFFFFF, "CMN writes no register"

        SETFLAGS 0, 0, 0, 0
        movs    r0, #0x80000000
        FLAGS   r3
        CHECK   r3, 0xA, "MOVS rotated immediate 0x80000000: C = bit 31"

        mov     r1, #100
        mov     r2, #3
        add     r0, r1, r2, lsl #2
        CHECK   r0, 112, "ADD R1, R2, LSL #2"
.Lread_pc:
        mov     r0, pc
        adr     r1, .Lread_pc
        sub     r0, r0, r1
        CHECK   r0, 8, "MOV R0, PC reads the instruction address plus 8"
        POOL

@ --- The shifter ------------------------------------------------------------------------
        mov     r1, #0x80000000
        SETFLAGS 0, 0, 0, 0
        movs    r0, r1, lsr #32
        FLAGS   r3
        CHECK   r0, 0, "MOVS LSR #32: result"
        CHECK   r3, 0x6, "MOVS LSR #32: C = bit 31"
        mov     r1, #2
        SETFLAGS 0, 0, 1, 0
        movs    r0, r1, rrx
        FLAGS   r3
        CHECK   r0, 0x80000001, "MOVS RRX with C set: result"
        CHECK   r3, 0x8, "MOVS RRX with C set: C = old bit 0"
        mov     r1, #1
        mov     r2, #33
        SETFLAGS 0, 0, 1, 0
        movs    r0, r1, lsl r2
        FLAGS   r3
        CHECK   r3, 0x4, "LSL by register 33: zero, C = 0"

        @ On this machine a register amount of exactly 32 with ROR is a rotate through carry.
        ldr     r1, =0x80000001
        mov     r2, #32
        SETFLAGS 0, 0, 0, 0
        movs    r0, r1, ror r2
        FLAGS   r3
        CHECK   r0, 0x40000000, "ROR by register 32 rotates through carry: result"
        CHECK   r3, 0x2, "ROR by register 32 rotates through carry: C = bit 0"

@ --- Multiplies (the S forms keep C and V) ----------------------------------------------
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
        CHECK   r3, 0x3, "MULS keeps C and V"
        mvn     r2, #0
        mov     r3, #1
        SETFLAGS 0, 0, 0, 1
        smulls  r0, r1, r2, r3
        FLAGS   r4
        CHECK   r1, 0xFFFFFFFF, "SMULLS -1 * 1: high word"
        CHECK   r4, 0x9, "SMULLS -1 * 1: N from bit 63, C and V kept"
        mvn     r0, #0
        mov     r1, #1
        mov     r2, #2
        mov     r3, #1
        umlal   r0, r1, r2, r3
        CHECK   r1, 2, "UMLAL 0x1FFFFFFFF + 2: high word takes the carry"
        POOL

@ --- Single and halfword transfers ------------------------------------------------------
        ldr     r4, =TEST_DATA
        ldr     r0, =0x11223344
        str     r0, [r4]
        ldr     r0, =0x55667788
        str     r0, [r4, #4]
        ldr     r0, =0x99AABBCC
        str     r0, [r4, #8]

        mov     r1, r4
        ldr     r0, [r1, #4]!
        sub     r2, r1, r4
        CHECK   r0, 0x55667788, "LDR [R1, #4]!: value"
        CHECK   r2, 4, "LDR [R1, #4]!: base written back"
        mov     r2, #2
        ldr     r0, [r4, r2, lsl #2]
        CHECK   r0, 0x99AABBCC, "LDR [R4, R2, LSL #2]"
        ldrb    r0, [r4, #7]
        CHECK   r0, 0x55, "LDRB [R4, #7]"
        ldr     r0, [r4, #1]
        CHECK   r0, 0x88112233, "unaligned LDR returns the unrotated bytes"
        ldr     r2, =0x12345678
        strh    r2, [r4, #8]
        ldr     r0, [r4, #8]
        CHECK   r0, 0x99AA5678, "STRH writes the low halfword only"

        mov     r1, r4
        .word   0xE4911004              @ LDR R1, [R1], #4
        sub     r3, r1, r4
        CHECK   r3, 4, "LDR R1, [R1], #4: write-back wins over the loaded value"

        mov     r5, #0
        ldr     pc, =.Lldr_pc_target
        mov     r5, #1
.Lldr_pc_target:
        CHECK   r5, 0, "LDR PC branches to the loaded address"
.Lstr_pc:
        str     pc, [r4, #40]
        ldr     r0, [r4, #40]
        adr     r1, .Lstr_pc
        sub     r0, r0, r1
        CHECK   r0, 8, "STR PC stores the instruction address plus 8"
        POOL

@ --- Block transfers --------------------------------------------------------------------
        ldr     r4, =TEST_DATA
        add     r1, r4, #64
        mov     r2, #0xA1
        mov     r3, #0xB2
        mov     r5, #0xC3
        stmia   r1!, {r2, r3, r5}
        sub     r0, r1, r4
        CHECK   r0, 76, "STMIA R1!: base advanced by 12"
        add     r1, r4, #76
        ldmdb   r1!, {r7, r8}
        sub     r0, r1, r4
        CHECK   r7, 0xB2, "LDMDB: lower register from base - 8"
        CHECK   r8, 0xC3, "LDMDB: higher register from base - 4"
        CHECK   r0, 68, "LDMDB R1!: base lowered by 8"

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

@ --- Loops and conditional execution (each pair of condition codes) ---------------------
        mov     r0, #0
        mov     r1, #5
1:      add     r0, r0, #3
        subs    r1, r1, #1
        bne     1b
        CHECK   r0, 15, "SUBS/BNE loop runs 5 times"

        mvn     r1, #2                  @ -3
        mov     r0, #0
1:      add     r0, r0, #1
        add     r1, r1, #1
        cmp     r1, #2
        blt     1b
        CHECK   r0, 5, "signed CMP/BLT loop from -3 up to 2"

        mov     r1, #3
        mov     r0, #0
1:      add     r0, r0, #1
        subs    r1, r1, #1
        bpl     1b
        CHECK   r0, 4, "SUBS/BPL loop down to -1"
        mov     r1, #7
        mov     r0, #0
1:      add     r0, r0, #1
        subs    r1, r1, #2
        bhi     1b
        CHECK   r0, 4, "SUBS/BHI loop stops on the borrow"
        ldr     r1, =0x7FFFFFF0
        mov     r0, #0
1:      add     r0, r0, #1
        adds    r1, r1, #4
        bvc     1b
        CHECK   r0, 4, "ADDS/BVC loop stops on the overflow"

        @ A copy loop over a table, bounded by an unsigned compare.
        adr     r1, .Ltable
        add     r3, r1, #16
        ldr     r2, =TEST_DATA + 256
1:      ldr     r0, [r1], #4
        str     r0, [r2], #4
        cmp     r1, r3
        blo     1b
        CHECKW  TEST_DATA + 268, 0x44444444, "CMP/BLO copy loop copies the last word"
        b       1f
.Ltable:
        .word   0x11111111, 0x22222222, 0x33333333, 0x44444444
1:
        mvn     r1, #4                  @ -5
        mov     r2, #3
        mov     r0, r2
        mov     r3, r2
        mov     r4, #0
        cmp     r1, r2                  @ N, C set; Z, V clear
        movgt   r0, r1
        movhi   r3, r1
        orreq   r4, r4, #0x01
        orrpl   r4, r4, #0x02
        orrcc   r4, r4, #0x04
        orrvs   r4, r4, #0x08
        orrls   r4, r4, #0x10
        orrcs   r4, r4, #0x20
        orrle   r4, r4, #0x40
        CHECK   r0, 3, "MOVGT keeps the signed maximum"
        CHECK   r3, 0xFFFFFFFB, "MOVHI takes the unsigned maximum"
        CHECK   r4, 0x60, "after CMP -5, 3: EQ PL CC VS LS skipped, CS LE run"

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
        POOL

@ --- Status register writes, BL, BX -----------------------------------------------------
        @ Start-up code writes the status register; the machine goes on without it.
        ldr     r0, =0x1F
        SETFLAGS 1, 0, 1, 0
        .word   0xE121F000              @ MSR CPSR_c, R0
        FLAGS   r3
        CHECK   r3, 0xA, "MSR CPSR_c, R0 leaves the flags"
        .word   0xE129F000              @ MSR CPSR_fc, R0
        CHECK   r0, 0x1F, "MSR CPSR_fc, R0 does not stop the machine"

        bl      .Lsubroutine
.Lafter_bl:
        adr     r1, .Lafter_bl
        sub     r0, r0, r1
        CHECK   r0, 0, "BL puts the return address in LR"

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
