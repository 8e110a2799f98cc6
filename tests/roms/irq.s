@ Interrupts through the handler: the registers and flags of interrupted ARM and THUMB code
@ given back, what the handler sees, a request while IME is clear, requests taken at the very
@ next instruction (IME set, DMA end), and the H-blank request on each of the 228 lines.
        .include "common.inc"
        .arm
        .global _start
_start: START
        IOW16   0x004, 0x08             @ DISPSTAT: V-blank interrupt
        IOW16   0x202, 0xFFFF
        IOW16   0x200, 1
        IOW16   0x208, 1
        ldr     r11, =VARS              @ ARM code waits with every register set
        adr     r0, 1f
        str     r0, [r11, #20]
        adr     r0, 2f
        str     r0, [r11, #24]
        mov     r0, #0x40000000
        adds    r0, r0, r0              @ N and V set
        adr     r0, values
        ldmia   r0, {r0-r10}
        ldr     lr, =0x1000000E
1:      ldr     pc, [r11, #20]
2:      stmia   r12!, {r0-r11, lr}
        FLAGS   r0
        mov     r1, sp
        ldr     r2, =VARS
        ldmia   r2, {r2-r5}             @ count, IF, LR and VCOUNT the handler saw
        stmia   r12!, {r0-r5}
        ldr     r6, =VARS               @ THUMB code waits
        ldr     r0, =3f
        str     r0, [r6, #20]
        ldr     r0, =4f
        str     r0, [r6, #24]
        ldr     r0, =5f + 1
        bx      r0
        .ltorg
        .thumb
5:      adr     r0, values
        ldmia   r0!, {r1-r5}
        movs    r0, #1
        negs    r0, r0                  @ N set
3:      ldr     r7, [r6, #20]
        mov     pc, r7
        .balign 4
4:      bx      pc
        nop
        .arm
        stmia   r12!, {r0-r6}
        FLAGS   r0
        str     r0, [r12], #4
        IOW16   0x208, 0                @ IME clear: the V-count match is requested, not taken
        IOW16   0x004, 0x6408
        IOW16   0x200, 4
        ldr     r0, =IO + 0x202
6:      ldrh    r1, [r0]
        tst     r1, #4
        beq     6b
        ldr     r2, =VARS
        ldr     r2, [r2]
        stmia   r12!, {r1, r2}
        IOW16   0x200, 0
        ldr     r0, =IO + 0x208         @ taken before the next instruction, even with IE clear
        mov     r1, #1
        mov     r2, #0
        strh    r1, [r0]
        mov     r2, #7
        ldr     r0, =VARS
        ldr     r1, [r0]
        ldr     r2, [r0, #16]
        stmia   r12!, {r1, r2}
        IOW16   0x200, 0x800            @ DMA3 end request
        ldr     r0, =IO + 0xD4
        ldr     r1, =VARS + 0x40
        ldr     r3, =VARS + 0x80
        stmia   r0, {r1, r3}
        ldr     r1, =0xC0000001
        mov     r2, #0
        str     r1, [r0, #8]
        mov     r2, #7
        ldr     r0, =VARS
        ldr     r1, [r0]
        ldr     r2, [r0, #16]
        stmia   r12!, {r1, r2}
        IOW16   0x004, 0x10             @ H-blank requests for one frame
        IOW16   0x200, 2
        WAIT_LINE 20
        ldr     r4, =VARS
        ldr     r5, [r4]
        WAIT_LINE 20, eq
        WAIT_LINE 20
        ldr     r6, [r4]
        sub     r6, r6, r5
        ldr     r7, [r4, #4]
        stmia   r12!, {r6, r7}
        IOW16   0x208, 0
        FINISH
values: .word   0x10000000, 0x10000001, 0x10000002, 0x10000003, 0x10000004, 0x10000005
        .word   0x10000006, 0x10000007, 0x10000008, 0x10000009, 0x1000000A
