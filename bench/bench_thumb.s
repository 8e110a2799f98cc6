@ A processor-bound cartridge in THUMB code, as most cartridges run: arithmetic, shifts, loads
@ and stores to work RAM, a conditional branch and a call, looping for ever. No interrupts and no
@ video work, so the measure is the interpreter and the bus.
        .arm
        .global _start
_start:
        mov     sp, #0x03000000
        add     sp, sp, #0x7F00
        add     r0, pc, #1
        bx      r0

        .thumb
main:
        ldr     r6, =0x02000000         @ EWRAM buffer
        ldr     r7, =0x03000100         @ IWRAM buffer
        mov     r5, #0
loop:
        mov     r0, #64
inner:
        ldr     r1, [r6, #0]
        add     r1, r1, r0
        lsl     r2, r1, #3
        eor     r2, r0
        str     r2, [r7, #4]
        ldrh    r3, [r7, #4]
        add     r5, r5, r3
        lsr     r4, r5, #5
        strb    r4, [r6, #8]
        sub     r0, #1
        bne     inner
        bl      helper
        b       loop

helper:
        push    {r4, lr}
        mov     r4, r5
        mul     r4, r0
        str     r4, [r6]
        pop     {r4, pc}
        .pool
