@ A processor-bound cartridge in ARM code: data processing with shifted operands and flags,
@ conditional execution, loads and stores, block transfers and a call, looping for ever.
        .arm
        .global _start
_start:
        mov     sp, #0x03000000
        add     sp, sp, #0x7F00
        ldr     r6, =0x02000000
        ldr     r7, =0x03000100
        mov     r5, #0
loop:
        mov     r0, #64
inner:
        ldr     r1, [r6]
        add     r1, r1, r0, lsl #2
        eors    r2, r1, r0, ror #3
        addmi   r5, r5, #1
        str     r2, [r7, #4]!
        ldrh    r3, [r7]
        sub     r7, r7, #4
        add     r5, r5, r3
        subs    r0, r0, #1
        bne     inner
        bl      helper
        b       loop

helper:
        stmfd   sp!, {r4, lr}
        mul     r4, r5, r0
        str     r4, [r6]
        ldmfd   sp!, {r4, pc}
        .pool
