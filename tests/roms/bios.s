@ Firmware calls from THUMB code (SWI): CpuSet (0x0B) and CpuFastSet (0x0C) copies and
@ fills, LZ77 (0x12) and run-length (0x15) decompression of small hand-encoded streams.
@ Every call leaves R0-R2 and the flags as they were.
        .include "common.inc"
        .arm
        .global _start

        .equ    BUF, TEST_DATA
        .equ    FILL_VALUE, 0xEEEEEEEE

_start:
        START
        ldr     r0, =BUF
        ldr     r1, =FILL_VALUE
        mov     r2, #256
1:      str     r1, [r0], #4
        subs    r2, r2, #1
        bne     1b
        ldr     r0, =bios_tests + 1
        bx      r0
        .ltorg

        .thumb
bios_tests:
@ --- CpuSet -----------------------------------------------------------------------
        ldr     r0, =SOURCE
        ldr     r1, =BUF
        ldr     r2, =0x04000008
        TSETFLAGS 1, 0, 1, 1
        svc     0x0B
        TFLAGS  r3
        TCHECK  r3, 0xB, "CpuSet leaves the flags"
        TCHECK  r0, SOURCE, "CpuSet leaves R0"
        TCHECK  r1, BUF, "CpuSet leaves R1"
        TCHECK  r2, 0x04000008, "CpuSet leaves R2"
        TPOOL
        TCHECKW BUF + 0, 0x01234567, "CpuSet 32-bit copy: word 0"
        TCHECKW BUF + 28, 0xFEEDFACE, "CpuSet 32-bit copy: word 7"
        TCHECKW BUF + 32, FILL_VALUE, "CpuSet 32-bit copy: 8 words"
        TPOOL

        ldr     r0, =SOURCE
        ldr     r1, =BUF + 64
        movs    r2, #5
        svc     0x0B
        TCHECKW BUF + 64, 0x01234567, "CpuSet 16-bit copy: halfwords 0 and 1"
        TCHECKW BUF + 68, 0x89ABCDEF, "CpuSet 16-bit copy: halfwords 2 and 3"
        TCHECKW BUF + 72, 0xEEEEBEEF, "CpuSet 16-bit copy: 5 halfwords"
        TPOOL

        ldr     r0, =SOURCE
        ldr     r1, =BUF + 96
        ldr     r2, =0x01000008
        svc     0x0B
        TCHECKW BUF + 96, 0x45674567, "CpuSet 16-bit fill: first halfwords"
        TCHECKW BUF + 108, 0x45674567, "CpuSet 16-bit fill: halfwords 6 and 7"
        TCHECKW BUF + 112, FILL_VALUE, "CpuSet 16-bit fill: 8 halfwords"
        TPOOL

        ldr     r0, =SOURCE
        ldr     r1, =BUF + 128
        ldr     r2, =0x05000003
        svc     0x0B
        TCHECKW BUF + 128, 0x01234567, "CpuSet 32-bit fill: word 0"
        TCHECKW BUF + 136, 0x01234567, "CpuSet 32-bit fill: word 2"
        TCHECKW BUF + 140, FILL_VALUE, "CpuSet 32-bit fill: 3 words"
        TPOOL

@ --- CpuFastSet ---------------------------------------------------------------------
        ldr     r0, =SOURCE + 16
        ldr     r1, =BUF + 160
        ldr     r2, =0x04000004
        svc     0x0C
        TCHECKW BUF + 160, 0x13579BDF, "CpuFastSet copy: word 0"
        TCHECKW BUF + 172, 0xFEEDFACE, "CpuFastSet copy: word 3"
        TCHECKW BUF + 176, FILL_VALUE, "CpuFastSet copy: 4 words"
        TPOOL

        ldr     r0, =SOURCE + 4
        ldr     r1, =BUF + 192
        ldr     r2, =0x05000008
        TSETFLAGS 0, 1, 0, 0
        svc     0x0C
        TFLAGS  r3
        TCHECK  r3, 0x4, "CpuFastSet leaves the flags"
        TCHECK  r0, SOURCE + 4, "CpuFastSet leaves R0"
        TCHECK  r1, BUF + 192, "CpuFastSet leaves R1"
        TCHECK  r2, 0x05000008, "CpuFastSet leaves R2"
        TPOOL
        TCHECKW BUF + 192, 0x89ABCDEF, "CpuFastSet fill: word 0"
        TCHECKW BUF + 220, 0x89ABCDEF, "CpuFastSet fill: word 7"
        TCHECKW BUF + 224, FILL_VALUE, "CpuFastSet fill: 8 words"
        TPOOL

@ --- LZ77 ---------------------------------------------------------------------------
        ldr     r0, =LZ_STREAM
        ldr     r1, =BUF + 256
        TSETFLAGS 1, 0, 0, 1
        svc     0x12
        TFLAGS  r3
        TCHECK  r3, 0x9, "LZ77 leaves the flags"
        TCHECK  r0, LZ_STREAM, "LZ77 leaves R0"
        TCHECK  r1, BUF + 256, "LZ77 leaves R1"
        TPOOL
        TCHECKW BUF + 256, 0x61636261, "LZ77: literals and a copy item, bytes 0-3"
        TCHECKW BUF + 260, 0x62616362, "LZ77: bytes 4-7"
        TCHECKW BUF + 264, 0x63626163, "LZ77: bytes 8-11"
        TCHECKW BUF + 268, 0x7A7A7978, "LZ77: bytes 12-15"
        TCHECKW BUF + 272, 0x7A7A7A7A, "LZ77: a displacement 1 copy repeats the last byte"
        TCHECKW BUF + 276, FILL_VALUE, "LZ77: 20 bytes"
        TPOOL

        ldr     r0, =LZ_SHORT
        ldr     r1, =BUF + 288
        svc     0x12
        TCHECKW BUF + 288, 0x71717171, "LZ77 copy past the size: bytes 0-3"
        TCHECKW BUF + 292, 0xEE717171, "LZ77 copy past the size is completed (7 bytes)"
        TPOOL

        @ Displacements above 256 take the low nibble of the first byte.
        ldr     r0, =LZ_FAR
        ldr     r1, =EWRAM
        svc     0x12
        TCHECKW EWRAM + 0, 0x33323130, "LZ77 long stream: bytes 0-3"
        TCHECKW EWRAM + 256, 0x33323130, "LZ77 long stream: bytes 256-259"
        TCHECKW EWRAM + 260, 0x00313033, "LZ77 copy from 257 bytes back"
        TPOOL

        ldr     r0, =LZ_EMPTY
        ldr     r1, =BUF + 304
        svc     0x12
        TCHECKW BUF + 304, FILL_VALUE, "LZ77 with size 0 writes nothing"
        TPOOL

@ --- Run-length -----------------------------------------------------------------------
        ldr     r0, =RL_STREAM
        ldr     r1, =BUF + 320
        TSETFLAGS 0, 0, 1, 0
        svc     0x15
        TFLAGS  r3
        TCHECK  r3, 0x2, "run-length leaves the flags"
        TCHECK  r0, RL_STREAM, "run-length leaves R0"
        TCHECK  r1, BUF + 320, "run-length leaves R1"
        TPOOL
        TCHECKW BUF + 320, 0x5A636261, "run-length: literals then a run, bytes 0-3"
        TCHECKW BUF + 324, 0x79795A5A, "run-length: bytes 4-7"
        TCHECKW BUF + 328, 0xEE657979, "run-length: 11 bytes"
        TPOOL

        ldr     r0, =RL_SHORT
        ldr     r1, =BUF + 352
        svc     0x15
        TCHECKW BUF + 352, 0xEEEE6B6B, "run-length stops at the size inside a run"

        ldr     r0, =RL_LITERALS
        ldr     r1, =BUF + 512
        svc     0x15
        TCHECKW BUF + 512, 0x03020100, "run-length flag 0x7F: first literals"
        TCHECKW BUF + 636, 0x7F7E7D7C, "run-length flag 0x7F: literal 127"
        TCHECKW BUF + 640, FILL_VALUE, "run-length flag 0x7F: 128 literals"
        TPOOL

        ldr     r0, =RL_LONG_RUN
        ldr     r1, =BUF + 768
        svc     0x15
        TCHECKW BUF + 768, 0x42424242, "run-length flag 0xFF: first bytes"
        TCHECKW BUF + 892, 0x42424242, "run-length flag 0xFF: bytes 124-127"
        TCHECKW BUF + 896, 0xEEEE4242, "run-length flag 0xFF: 130 bytes"
        TPOOL

        ldr     r0, =arm_end
        bx      r0
        TPOOL

        .balign 4
        .arm
arm_end:
        DONE

        .balign 4
SOURCE:
        .word   0x01234567, 0x89ABCDEF, 0xDEADBEEF, 0xCAFEF00D
        .word   0x13579BDF, 0x2468ACE0, 0x0BADF00D, 0xFEEDFACE

        @ "abc", copy 9 from 3 back, "xyz", copy 5 from 1 back: "abcabcabcabcxyzzzzzz"
        .balign 4
LZ_STREAM:
        .byte   0x10, 20, 0, 0
        .byte   0x11, 'a', 'b', 'c', 0x60, 0x02, 'x', 'y', 'z', 0x20, 0x00

        @ size 5: "q", then copy 6 from 1 back, which is completed
        .balign 4
LZ_SHORT:
        .byte   0x10, 5, 0, 0
        .byte   0x40, 'q', 0x30, 0x00

        @ "0123", then copies 4 back up to 260 bytes, then 3 bytes from 257 back
        .balign 4
LZ_FAR:
        .byte   0x10, 0x07, 0x01, 0x00                  @ 263 bytes
        .byte   0x0F, '0', '1', '2', '3', 0xF0, 0x03, 0xF0, 0x03, 0xF0, 0x03, 0xF0, 0x03
        .byte   0xFF, 0xF0, 0x03, 0xF0, 0x03, 0xF0, 0x03, 0xF0, 0x03
        .byte         0xF0, 0x03, 0xF0, 0x03, 0xF0, 0x03, 0xF0, 0x03
        .byte   0xF0, 0xF0, 0x03, 0xF0, 0x03, 0x10, 0x03, 0x01, 0x00

        .balign 4
LZ_EMPTY:
        .byte   0x10, 0, 0, 0
        .byte   0x00, 'n', 'o'

        @ "abc", 3 x "Z", 4 x "y", "e"
        .balign 4
RL_STREAM:
        .byte   0x30, 11, 0, 0
        .byte   0x02, 'a', 'b', 'c', 0x80, 'Z', 0x81, 'y', 0x00, 'e'

        @ size 2 with a run of 8
        .balign 4
RL_SHORT:
        .byte   0x30, 2, 0, 0
        .byte   0x85, 'k'

        @ one block of 128 literals 0..127
        .balign 4
RL_LITERALS:
        .byte   0x30, 128, 0, 0
        .byte   0x7F
        .set    n, 0
        .rept   128
        .byte   n
        .set    n, n + 1
        .endr

        @ one run of 130
        .balign 4
RL_LONG_RUN:
        .byte   0x30, 130, 0, 0
        .byte   0xFF, 0x42
        TAMO_END
