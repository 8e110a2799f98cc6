// The run loop's way into the two interpreters: the decode tables and the condition test, inline,
// so that dispatching an instruction costs a table load and one indirect call. A handler runs with
// R15 on the executing instruction + 8 (ARM) or + 4 (THUMB) and leaves it there unless it says
// otherwise: the run loop keeps the address in a register and moves it on.
#pragma once

#include <array>
#include <cstdint>

#include "cpu/cpu.h"
#include "machine.h"

using InstructionHandler = Flow (*)(Machine&, uint32_t);

// ARM handlers indexed by bits 27..20 (in bits 11..4) and 7..4 (in bits 3..0) of the instruction.
extern const std::array<InstructionHandler, 4096> kArmHandlers;
// Bit (N << 3 | Z << 2 | C << 1 | V) of entry `cond` is set when the condition passes with those
// flags. Condition 15 never passes: it stops the machine instead.
extern const std::array<uint16_t, 16> kArmConditionPasses;
// THUMB handlers indexed by the instruction's top ten bits.
extern const std::array<InstructionHandler, 1024> kThumbHandlers;

// Bits 27..20 land in 11..4 and bits 7..4 in 3..0: one multiplication adds the bits shifted 12
// places up (7..4 to 19..16; 27..20 leave the word) to themselves, and both halves then sit
// side by side from bit 16 on.
inline constexpr uint32_t arm_decode_index(uint32_t w) {
    return ((w & 0x0FF000F0u) * 0x1001u) >> 16;
}

[[gnu::always_inline]] inline Flow arm_step(Machine& m, uint32_t opcode) {
    // Condition 14 (always) is the common case: one test for it.
    if (opcode - 0xE0000000u >= 0x10000000u) [[unlikely]] {
        const uint32_t cond = opcode >> 28;
        CpuState& c = m.cpu;
        // The flag words hold 0 or 1; the mask only keeps the shift in range.
        const uint32_t flags = ((c.FlagN << 3) | (c.FlagZ << 2) | (c.FlagC << 1) | c.FlagV) & 15;
        if (!((kArmConditionPasses[cond] >> flags) & 1)) {
            if (cond == 0xF) {
                // Condition 15 is used as a stop: the machine halts without a message.
                c.QuitFlag = 1;
                return kLook;
            }
            return kNext;
        }
    }
    return kArmHandlers[arm_decode_index(opcode)](m, opcode);
}

[[gnu::always_inline]] inline Flow thumb_step(Machine& m, uint32_t opcode) {
    return kThumbHandlers[(opcode >> 6) & 0x3FF](m, opcode);
}

// Runs one instruction and moves R15 on when the instruction did not set it itself. R15 moves on
// from where it stood, whatever the handler left in it, as on the run loop's path, which keeps the
// address apart: so every way of running an instruction shows a handler that sets R15 without
// saying so.
template <bool Thumb>
[[gnu::always_inline]] inline Flow step_and_advance(Machine& m, uint32_t opcode) {
    const uint32_t pc = m.cpu.R[15];
    const Flow flow = Thumb ? thumb_step(m, opcode) : arm_step(m, opcode);
    if (flow == kNext) m.cpu.R[15] = pc + (Thumb ? 2 : 4);
    return flow;
}
