// Flag arithmetic shared by the THUMB and ARM interpreters.
#pragma once

#include <cstdint>

#include "cpu/cpu.h"

// N and Z from a result.
inline void set_nz(CpuState& c, uint32_t result) {
    c.FlagN = result >> 31;
    c.FlagZ = result == 0;
}

// a + b + carry_in with all four flags: C is the carry out of bit 31 of the whole sum, V its
// signed overflow. Subtractions are a + NOT b + 1 (SUB, CMP) or a + NOT b + C (SBC), which makes C
// "no borrow".
inline uint32_t add_with_flags(CpuState& c, uint32_t a, uint32_t b, uint32_t carry_in) {
    uint64_t wide = uint64_t(a) + uint64_t(b) + carry_in;
    uint32_t result = uint32_t(wide);
    set_nz(c, result);
    c.FlagC = uint32_t(wide >> 32);
    c.FlagV = ((~(a ^ b) & (a ^ result)) >> 31) & 1;
    return result;
}

// The same without a carry in (ADD, CMN) and for a - b (SUB, CMP: a + NOT b + 1), each flag from
// one test that the compiler takes from the processor's own flags.
inline uint32_t add_with_flags(CpuState& c, uint32_t a, uint32_t b) {
    uint32_t result;
    c.FlagC = __builtin_add_overflow(a, b, &result);
    int32_t signed_result;
    c.FlagV = __builtin_add_overflow(int32_t(a), int32_t(b), &signed_result);
    set_nz(c, result);
    return result;
}

inline uint32_t sub_with_flags(CpuState& c, uint32_t a, uint32_t b) {
    const uint32_t result = a - b;
    c.FlagC = a >= b;  // no borrow
    int32_t signed_result;
    c.FlagV = __builtin_sub_overflow(int32_t(a), int32_t(b), &signed_result);
    set_nz(c, result);
    return result;
}

// Shifts by an amount 0..255 (a register-specified amount). `carry` holds the carry flag on entry
// and the shifter's carry-out on return; an amount of 0 leaves both value and carry unchanged.
inline uint32_t shift_lsl(uint32_t value, uint32_t n, uint32_t& carry) {
    if (n == 0) return value;
    if (n < 32) {
        carry = (value >> (32 - n)) & 1;
        return value << n;
    }
    carry = n == 32 ? value & 1 : 0;
    return 0;
}

inline uint32_t shift_lsr(uint32_t value, uint32_t n, uint32_t& carry) {
    if (n == 0) return value;
    if (n < 32) {
        carry = (value >> (n - 1)) & 1;
        return value >> n;
    }
    carry = n == 32 ? value >> 31 : 0;
    return 0;
}

inline uint32_t shift_asr(uint32_t value, uint32_t n, uint32_t& carry) {
    if (n == 0) return value;
    if (n < 32) {
        carry = (value >> (n - 1)) & 1;
        return uint32_t(int32_t(value) >> n);
    }
    carry = value >> 31;
    return uint32_t(int32_t(value) >> 31);
}
