#include "debugger/data_access.h"

#include <bit>

#include "cpu/alu.h"
#include "debugger/peek.h"
#include "machine.h"

namespace {

bool condition_passes(const CpuState& c, uint32_t cond) {
    const bool n = c.FlagN, z = c.FlagZ, carry = c.FlagC, v = c.FlagV;
    bool holds;
    switch (cond >> 1) {
        case 0: holds = z; break;
        case 1: holds = carry; break;
        case 2: holds = n; break;
        case 3: holds = v; break;
        case 4: holds = carry && !z; break;
        case 5: holds = n == v; break;
        case 6: holds = !z && n == v; break;
        default: return cond == 14;  // 15 stops the machine
    }
    return (cond & 1) ? !holds : holds;
}

// The register offset of LDR and STR, shifted as the interpreter shifts it: bit 4 takes the
// amount from Rs, and a rotation by a register amount of exactly 32 is RRX.
uint32_t shifted_offset(const CpuState& c, uint32_t w) {
    const uint32_t value = c.R[w & 15], type = (w >> 5) & 3;
    const bool by_register = (w & 0x10) != 0;
    const uint32_t n = by_register ? c.R[(w >> 8) & 15] & 0xFF : (w >> 7) & 31;
    uint32_t carry = c.FlagC;
    switch (type) {
        case 0: return shift_lsl(value, n, carry);
        case 1: return shift_lsr(value, n || by_register ? n : 32, carry);
        case 2: return shift_asr(value, n || by_register ? n : 32, carry);
        default:
            if (n == 0 && by_register) return value;
            if (n == 0 || (by_register && n == 32)) return (value >> 1) | (c.FlagC << 31);
            return std::rotr(value, int(n & 31));
    }
}

DataAccess arm_access(const CpuState& c, uint32_t w) {
    if (!condition_passes(c, w >> 28)) return {};
    const bool load = (w >> 20) & 1, pre = (w >> 24) & 1, up = (w >> 23) & 1;
    const uint32_t base = c.R[(w >> 16) & 15];
    auto single = [&](uint32_t offset, uint32_t size) {
        return DataAccess{pre ? (up ? base + offset : base - offset) : base, size, !load};
    };
    switch ((w >> 25) & 7) {
        case 0: {
            // Data processing, BX, SWP (not emulated) and the multiplies make no access.
            const uint32_t sh = (w >> 5) & 3;
            const bool multiply =
                ((w >> 4) & 15) == 9 && (((w >> 22) & 0x3F) == 0 || ((w >> 23) & 0x1F) == 1);
            if ((w & 0x90) != 0x90 || (w & 0x0FB00FF0) == 0x01000090 || multiply) return {};
            if (load && sh == 0) return {};
            return single((w >> 22) & 1 ? ((w >> 4) & 0xF0) | (w & 0xF) : c.R[w & 15],
                          sh & 1 ? 2 : 1);
        }
        case 2: return single(w & 0xFFF, (w >> 22) & 1 ? 1 : 4);
        case 3: return single(shifted_offset(c, w), (w >> 22) & 1 ? 1 : 4);
        case 4: {
            const uint32_t length = 4 * uint32_t(std::popcount(w & 0xFFFF));
            const uint32_t low = up ? base + (pre ? 4 : 0) : base - length + (pre ? 0 : 4);
            return {low, length, !load};
        }
        default: return {};
    }
}

DataAccess thumb_access(const CpuState& c, uint32_t op) {
    const bool load = (op >> 11) & 1;
    const uint32_t rb = c.R[(op >> 3) & 7], offset = (op >> 6) & 31, word = (op & 0xFF) * 4;
    const uint32_t listed = 4 * uint32_t(std::popcount(op & 0xFF));
    switch (op >> 12) {
        case 0x4: return load ? DataAccess{(c.R[15] & ~3u) + word, 4, false} : DataAccess{};
        case 0x5: {
            // STR, STRH, STRB, LDSB, LDR, LDRH, LDRB, LDSH
            static constexpr uint8_t kSizes[8] = {4, 2, 1, 1, 4, 2, 1, 2};
            const uint32_t kind = (op >> 9) & 7;
            return {rb + c.R[(op >> 6) & 7], kSizes[kind], kind < 3};
        }
        case 0x6: return {(rb & ~3u) + offset * 4, 4, !load};
        case 0x7: return {rb + offset, 1, !load};
        case 0x8: return {(rb & ~1u) + offset * 2, 2, !load};
        case 0x9: return {(c.R[13] & ~3u) + word, 4, !load};
        case 0xB: {
            if (!(op & 0x400)) return {};
            const uint32_t length = listed + ((op >> 8) & 1) * 4;  // with LR or PC
            return {load ? c.R[13] : c.R[13] - length, length, !load};
        }
        case 0xC: return {c.R[(op >> 8) & 7], listed, !load};
        default: return {};
    }
}

}  // namespace

DataAccess instruction_access(Machine& m) {
    const CpuState& c = m.cpu;
    return c.ThumbState ? thumb_access(c, peek16(m, c.R[15] - 4))
                        : arm_access(c, peek32(m, c.R[15] - 8));
}
