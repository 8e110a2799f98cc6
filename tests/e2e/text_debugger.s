@ The text debugger's cartridge: ARM start, a THUMB call whose result goes to SRAM, then a wait
@ in a tight loop. The addresses are those the debugger tests expect.
    .arm
    mov r0, #1              @ 08000000
    mov r1, #2              @ 08000004
    add r2, r0, r1          @ 08000008
    add r3, pc, #1          @ 0800000C  the THUMB code below, with bit 0 set
    bx r3                   @ 08000010
    .thumb
    mov r4, #4              @ 08000014
    bl routine              @ 08000016  (a pair: 08000016, 08000018)
    mov r5, #0x0E           @ 0800001A
    lsl r5, r5, #24         @ 0800001C  SRAM
    strb r6, [r5]           @ 0800001E  the routine's result, the first byte of SRAM
wait:
    b wait                  @ 08000020
routine:
    mov r6, #0x42           @ 08000022
    bx lr                   @ 08000024
