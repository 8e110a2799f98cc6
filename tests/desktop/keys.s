@ The desktop programs' test cartridge: a still picture that shows which keys are down. It draws
@ a fixed pattern once (mode 3), then, every frame, one 24-pixel column per console key across
@ lines 64-95: white while the key is down, the column's own dark colour while it is up. Key n
@ (the KEYINPUT bit) owns columns 24n to 24n+23. It also writes 0x5A to the first SRAM byte,
@ so that closing the window leaves a save file with a known byte.
        .arm
        .global _start
_start:
        mov     r0, #0x04000000
        ldr     r1, =0x0403             @ mode 3, background 2 on
        strh    r1, [r0]
        mov     r1, #0x0E000000
        mov     r2, #0x5A
        strb    r2, [r1]
        @ the pattern: colour = (x * 33 + y * 1025) & 0x7FFF
        mov     r3, #0x06000000
        mov     r5, #0                  @ y
1:      mov     r4, #0                  @ x
2:      mov     r6, r4, lsl #5
        add     r6, r6, r4
        mov     r7, r5, lsl #10
        add     r7, r7, r5
        add     r6, r6, r7
        bic     r6, r6, #0x8000
        strh    r6, [r3], #2
        add     r4, r4, #1
        cmp     r4, #240
        blt     2b
        add     r5, r5, #1
        cmp     r5, #160
        blt     1b
frame:
        ldr     r0, =0x04000130
        ldrh    r8, [r0]                @ KEYINPUT: a clear bit is a key down
        mov     r5, #64                 @ y
3:      ldr     r3, =0x06000000
        mov     r1, #480
        mla     r3, r5, r1, r3          @ the line's first pixel
        mov     r4, #0                  @ key
4:      mov     r6, #1
        tst     r8, r6, lsl r4
        ldreq   r7, =0x7FFF             @ down: white
        movne   r7, r4, lsl #1          @ up: a dark blue-green of its own
        addne   r7, r7, #0x2000
        mov     r9, #24
5:      strh    r7, [r3], #2
        subs    r9, r9, #1
        bne     5b
        add     r4, r4, #1
        cmp     r4, #10
        blt     4b
        add     r5, r5, #1
        cmp     r5, #96
        blt     3b
        b       frame
        .pool
