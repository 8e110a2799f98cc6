#include "cpu/idle_loop.h"

#include "debugger/peek.h"
#include "machine.h"

namespace {

// Instructions that change nothing but registers and flags: no store, no branch, no firmware call,
// no stop and nothing that the interpreters report. Loads are allowed: what they read can only
// change through an interrupt, a timer or a write, which the run loop watches for.
bool thumb_pure(uint32_t op) {
    if (op < 0x4400) return true;  // shifts, add/subtract, immediates, ALU operations
    if (op < 0x4800) {             // high-register ADD, CMP, MOV: not into R15; no BX
        const uint32_t kind = (op >> 8) & 3;
        const uint32_t rd = (op & 7) | ((op >> 4) & 8);
        return kind == 1 || (kind != 3 && rd != 15);
    }
    if (op < 0x5000) return true;                                      // PC-relative load
    if (op < 0x6000) return (op & 0x0800) || (op & 0x0E00) == 0x0600;  // loads by register
    if (op < 0xA000) return op & 0x0800;  // loads by immediate, halfword and SP-relative
    if (op < 0xB000) return true;         // address from PC or SP
    return (op & 0xFF00) == 0xB000;       // SP adjustment
}

bool arm_pure(uint32_t w) {
    if ((w >> 28) == 0xF) return false;        // the stop condition
    if (((w >> 12) & 15) == 15) return false;  // nothing into R15
    if ((w & 0x0C000000) == 0) {  // data processing, without the multiply and status spaces
        if ((w & 0x02000090) == 0x90) return false;
        return (w & 0x01900000) != 0x01000000;
    }
    // Single loads, without the undefined register form with bit 4 set, and without write-back
    // into R15 as the base.
    const bool base_written = !(w & (1u << 24)) || (w & (1u << 21));
    if (((w >> 16) & 15) == 15 && base_written) return false;
    return (w & 0x0C100000) == 0x04100000 && (w & 0x02000010) != 0x02000010;
}

// The target of a plain backward-capable branch at `address`, or no value (0xFFFFFFFF: a branch
// cannot land there in either state).
constexpr uint32_t kNoBranch = 0xFFFFFFFF;

uint32_t thumb_branch_target(uint32_t op, uint32_t address) {
    if ((op & 0xF000) == 0xD000 && ((op >> 8) & 15) < 14)
        return address + 4 + uint32_t(int32_t(int8_t(op & 0xFF)) * 2);
    if ((op & 0xF800) == 0xE000) return address + 4 + uint32_t((int32_t(op << 21) >> 21) * 2);
    return kNoBranch;
}

uint32_t arm_branch_target(uint32_t w, uint32_t address) {
    if ((w >> 28) == 0xF || (w & 0x0F000000) != 0x0A000000) return kNoBranch;
    return address + 8 + uint32_t((int32_t(w << 8) >> 8) * 4);
}

// Code is looked for only in the work RAMs and the cartridge ROM, where reading it has no effect.
bool plain_code_region(uint32_t address) {
    const uint32_t region = address >> 24;
    return region == 0x02 || region == 0x03 || (region >= 0x08 && region <= 0x0D);
}

IdleLoop recognise(Machine& m, uint32_t address, uint32_t thumb) {
    IdleLoop loop;
    const uint32_t size = thumb ? 2 : 4;
    if (!plain_code_region(address) || (address & (size - 1))) return loop;
    // Walk forward from the address to the first branch; it must lead back to the address or
    // before it, over pure instructions only.
    for (uint32_t i = 0; i < kIdleLoopMaxLength; ++i) {
        const uint32_t at = address + i * size;
        const uint32_t word = thumb ? peek16(m, at) : peek32(m, at);
        const uint32_t target = thumb ? thumb_branch_target(word, at) : arm_branch_target(word, at);
        if (target == kNoBranch) {
            if (!(thumb ? thumb_pure(word) : arm_pure(word))) return loop;
            continue;
        }
        if (target > address || (at - target) / size >= kIdleLoopMaxLength) return loop;
        loop.Head = target;
        loop.Length = (at - target) / size + 1;
        loop.Thumb = thumb;
        for (uint32_t k = 0; k < loop.Length; ++k) {
            const uint32_t a = target + k * size;
            loop.Code[k] = thumb ? peek16(m, a) : peek32(m, a);
            if (k + 1 < loop.Length && !(thumb ? thumb_pure(loop.Code[k]) : arm_pure(loop.Code[k])))
                return IdleLoop{};
        }
        const bool unconditional = thumb ? (word & 0xF800) == 0xE000 : (word >> 28) == 0xE;
        loop.Forever = loop.Length == 1 && unconditional;
        return loop;
    }
    return loop;
}

}  // namespace

bool idle_loop_unchanged(Machine& m, const IdleLoop& loop) {
    const uint32_t size = loop.Thumb ? 2 : 4;
    for (uint32_t k = 0; k < loop.Length; ++k) {
        const uint32_t a = loop.Head + k * size;
        if ((loop.Thumb ? peek16(m, a) : peek32(m, a)) != loop.Code[k]) return false;
    }
    return true;
}

const IdleLoop* idle_loop_at(Machine& m, uint32_t address, uint32_t thumb) {
    IdleLoopCache::Entry& e = m.IdleLoops.Entries[(address >> 1) % IdleLoopCache::kEntries];
    if (e.Address != address || e.Thumb != thumb ||
        (e.Loop.Length && !idle_loop_unchanged(m, e.Loop))) {
        e.Address = address;
        e.Thumb = thumb;
        e.Loop = recognise(m, address, thumb);
    }
    return e.Loop.Length ? &e.Loop : nullptr;
}
