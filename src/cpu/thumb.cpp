// The THUMB interpreter: one 16-bit instruction at a time, decoded through a table of handlers
// indexed by the instruction's top ten bits. The table is built at compile time; each handler is
// specialised on the opcode bits that choose its operation, so only register numbers and
// immediates are extracted at run time.
//
// R15 holds the executing instruction's address + 4. An instruction either advances it by 2, or
// stores a branch target + 4 in it (+ 8 when it switches to ARM state), or ends the slice.

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>

#include "cpu/alu.h"
#include "cpu/cpu.h"
#include "cpu/dispatch.h"
#include "machine.h"
#include "memory/bus.h"

namespace {

using Handler = InstructionHandler;

inline uint32_t low3(uint32_t op, uint32_t shift) {
    return (op >> shift) & 7;
}

inline uint32_t sign_extend(uint32_t value, uint32_t bits) {
    uint32_t unused = 32 - bits;
    return uint32_t(int32_t(value << unused) >> unused);
}

// ---- Shifts by an immediate, add and subtract --------------------------------------------------

// Op: 0 LSL, 1 LSR, 2 ASR.
template <uint32_t Op>
Flow shift_immediate(Machine& m, uint32_t op) {
    CpuState& c = m.cpu;
    uint32_t value = c.R[low3(op, 3)];
    uint32_t n = (op >> 6) & 31;
    uint32_t result;
    if constexpr (Op == 0) {
        result = shift_lsl(value, n, c.FlagC);  // a zero field copies and keeps the carry
    } else if constexpr (Op == 1) {
        result = shift_lsr(value, n, c.FlagC);  // a zero field copies here too, unlike ARM
    } else {
        // A zero field means a shift by 32, as on the real processor: compilers emit "asrs rd,
        // rs, #32" to spread the sign bit, and cartridges rely on it.
        result = shift_asr(value, n == 0 ? 32 : n, c.FlagC);
    }
    c.R[low3(op, 0)] = result;
    set_nz(c, result);
    return kNext;
}

// Bit 10 (Immediate): the operand is imm3 instead of Rn; bit 9 (Subtract).
template <bool Immediate, bool Subtract>
Flow add_subtract(Machine& m, uint32_t op) {
    CpuState& c = m.cpu;
    uint32_t a = c.R[low3(op, 3)];
    uint32_t b = Immediate ? low3(op, 6) : c.R[low3(op, 6)];
    c.R[low3(op, 0)] = Subtract ? sub_with_flags(c, a, b) : add_with_flags(c, a, b);
    return kNext;
}

// ---- MOV, CMP, ADD, SUB with imm8 --------------------------------------------------------------

template <uint32_t Op>
Flow immediate_op(Machine& m, uint32_t op) {
    CpuState& c = m.cpu;
    uint32_t& rd = c.R[low3(op, 8)];
    uint32_t imm = op & 0xFF;
    if constexpr (Op == 0) {
        rd = imm;
        set_nz(c, imm);
    } else if constexpr (Op == 1) {
        sub_with_flags(c, rd, imm);
    } else if constexpr (Op == 2) {
        rd = add_with_flags(c, rd, imm);
    } else {
        rd = sub_with_flags(c, rd, imm);
    }
    return kNext;
}

// ---- ALU operations on low registers -----------------------------------------------------------

template <uint32_t Op>
Flow alu_op(Machine& m, uint32_t op) {
    CpuState& c = m.cpu;
    uint32_t& rd = c.R[low3(op, 0)];
    uint32_t rs = c.R[low3(op, 3)];
    uint32_t result;
    if constexpr (Op == 0x0) {  // AND
        result = rd & rs;
    } else if constexpr (Op == 0x1) {  // EOR
        result = rd ^ rs;
    } else if constexpr (Op == 0x2) {  // LSL by register: only the low byte counts
        result = shift_lsl(rd, rs & 0xFF, c.FlagC);
    } else if constexpr (Op == 0x3) {  // LSR
        result = shift_lsr(rd, rs & 0xFF, c.FlagC);
    } else if constexpr (Op == 0x4) {  // ASR
        result = shift_asr(rd, rs & 0xFF, c.FlagC);
    } else if constexpr (Op == 0x5) {  // ADC
        rd = add_with_flags(c, rd, rs, c.FlagC);
        return kNext;
    } else if constexpr (Op == 0x6) {  // SBC
        rd = add_with_flags(c, rd, ~rs, c.FlagC);
        return kNext;
    } else if constexpr (Op == 0x7) {  // ROR: only the low five bits count
        uint32_t n = rs & 31;
        result = rd;
        if (n != 0) {
            c.FlagC = (rd >> (n - 1)) & 1;
            result = std::rotr(rd, int(n));
        }
    } else if constexpr (Op == 0x8) {  // TST
        set_nz(c, rd & rs);
        return kNext;
    } else if constexpr (Op == 0x9) {  // NEG
        rd = sub_with_flags(c, 0, rs);
        return kNext;
    } else if constexpr (Op == 0xA) {  // CMP
        sub_with_flags(c, rd, rs);
        return kNext;
    } else if constexpr (Op == 0xB) {  // CMN
        add_with_flags(c, rd, rs);
        return kNext;
    } else if constexpr (Op == 0xC) {  // ORR
        result = rd | rs;
    } else if constexpr (Op == 0xD) {  // MUL keeps C and V
        result = rd * rs;
    } else if constexpr (Op == 0xE) {  // BIC
        result = rd & ~rs;
    } else {  // MVN
        result = ~rs;
    }
    rd = result;
    set_nz(c, result);
    return kNext;
}

// ---- High-register operations and BX -----------------------------------------------------------

// Op: 0 ADD, 1 CMP, 2 MOV, 3 BX. Registers are full numbers 0..15 here.
template <uint32_t Op>
Flow high_register_op(Machine& m, uint32_t op) {
    CpuState& c = m.cpu;
    uint32_t d = ((op >> 4) & 8) | (op & 7);
    uint32_t s = c.R[(op >> 3) & 15];
    if constexpr (Op == 0) {
        if (d == 15) {
            c.R[15] = ((c.R[15] + s) & ~1u) + 4;
            return kJumped;
        }
        c.R[d] += s;
    } else if constexpr (Op == 1) {
        sub_with_flags(c, c.R[d], s);
    } else if constexpr (Op == 2) {
        if (d == 15) {
            c.R[15] = (s & ~1u) + 4;
            return kJumped;
        }
        c.R[d] = s;
    } else {
        if (s & 1) {
            c.R[15] = (s & ~1u) + 4;
            return kJumped;
        }
        // An even address leaves THUMB state; it is not aligned any further.
        c.ThumbState = 0;
        c.R[15] = s + 8;
        return kLook;  // the run loop goes on in ARM state
    }
    return kNext;
}

// ---- Loads and stores --------------------------------------------------------------------------

Flow load_pc_relative(Machine& m, uint32_t op) {
    CpuState& c = m.cpu;
    return load_into<uint32_t>(m, (c.R[15] & ~3u) + (op & 0xFF) * 4, c.R[low3(op, 8)]);
}

// Op is bits 11..9: STR, STRH, STRB, LDSB, LDR, LDRH, LDRB, LDSH.
template <uint32_t Op>
Flow transfer_register_offset(Machine& m, uint32_t op) {
    CpuState& c = m.cpu;
    uint32_t address = c.R[low3(op, 3)] + c.R[low3(op, 6)];
    uint32_t& rd = c.R[low3(op, 0)];
    if constexpr (Op == 0) return store<uint32_t>(m, address, rd);
    if constexpr (Op == 1) return store<uint16_t>(m, address, rd);
    if constexpr (Op == 2) return store<uint8_t>(m, address, rd);
    if constexpr (Op == 3) return load_into<uint8_t, int8_t>(m, address, rd);
    if constexpr (Op == 4) return load_into<uint32_t>(m, address, rd);
    if constexpr (Op == 5) return load_into<uint16_t>(m, address, rd);
    if constexpr (Op == 6) return load_into<uint8_t>(m, address, rd);
    if constexpr (Op == 7) return load_into<uint16_t, int16_t>(m, address, rd);
}

// The word and halfword forms align the base down before adding the offset; the byte form
// does not. Size is 4, 1 or 2.
template <uint32_t Size, bool Load>
Flow transfer_immediate_offset(Machine& m, uint32_t op) {
    CpuState& c = m.cpu;
    uint32_t base = c.R[low3(op, 3)] & ~(Size - 1);
    uint32_t address = base + ((op >> 6) & 31) * Size;
    using Unit =
        std::conditional_t<Size == 4, uint32_t, std::conditional_t<Size == 2, uint16_t, uint8_t>>;
    uint32_t& rd = c.R[low3(op, 0)];
    if constexpr (Load)
        return load_into<Unit>(m, address, rd);
    else
        return store<Unit>(m, address, rd);
}

template <bool Load>
Flow transfer_sp_relative(Machine& m, uint32_t op) {
    CpuState& c = m.cpu;
    uint32_t address = (c.R[13] & ~3u) + (op & 0xFF) * 4;
    uint32_t& rd = c.R[low3(op, 8)];
    if constexpr (Load)
        return load_into<uint32_t>(m, address, rd);
    else
        return store<uint32_t>(m, address, rd);
}

template <bool FromSp>
Flow load_address(Machine& m, uint32_t op) {
    CpuState& c = m.cpu;
    uint32_t base = FromSp ? c.R[13] : c.R[15];
    c.R[low3(op, 8)] = (base & ~3u) + (op & 0xFF) * 4;
    return kNext;
}

Flow adjust_sp(Machine& m, uint32_t op) {
    CpuState& c = m.cpu;
    uint32_t amount = (op & 0x7F) * 4;
    c.R[13] = (op & 0x80) ? c.R[13] - amount : c.R[13] + amount;
    return kNext;
}

// ---- Stack and block transfers -----------------------------------------------------------------

template <bool WithLr>
Flow push(Machine& m, uint32_t op) {
    CpuState& c = m.cpu;
    uint32_t a = c.R[13];
    if constexpr (WithLr) {
        a -= 4;
        write32(m, a, c.R[14]);
    }
    // Highest register first, so that the lowest one ends at the lowest address.
    for (uint32_t list = op & 0xFF; list != 0;) {
        uint32_t r = 31 - uint32_t(std::countl_zero(list));
        list &= ~(1u << r);
        a -= 4;
        write32(m, a, c.R[r]);
    }
    c.R[13] = a;
    return kNext;
}

template <bool WithPc>
Flow pop(Machine& m, uint32_t op) {
    CpuState& c = m.cpu;
    uint32_t a = c.R[13];
    for (uint32_t list = op & 0xFF; list != 0; list &= list - 1) {
        c.R[std::countr_zero(list)] = read32(m, a);
        a += 4;
    }
    if constexpr (WithPc) {
        // A popped PC never leaves THUMB state, whatever its bit 0.
        c.R[15] = (read32(m, a) & ~1u) + 4;
        c.R[13] = a + 4;
        return kJumped;
    }
    c.R[13] = a;
    return kNext;
}

Flow store_multiple(Machine& m, uint32_t op) {
    CpuState& c = m.cpu;
    uint32_t b = low3(op, 8);
    uint32_t a = c.R[b];
    // The base is written back only at the end, so a listed base is stored with its old value.
    for (uint32_t list = op & 0xFF; list != 0; list &= list - 1) {
        write32(m, a, c.R[std::countr_zero(list)]);
        a += 4;
    }
    c.R[b] = a;
    return kNext;
}

Flow load_multiple(Machine& m, uint32_t op) {
    CpuState& c = m.cpu;
    uint32_t b = low3(op, 8);
    uint32_t a = c.R[b];
    uint32_t list = op & 0xFF;
    for (uint32_t rest = list; rest != 0; rest &= rest - 1) {
        c.R[std::countr_zero(rest)] = read32(m, a);
        a += 4;
    }
    // A base that is in the list keeps the value loaded into it.
    if (!(list & (1u << b))) c.R[b] = a;
    return kNext;
}

// ---- Branches ----------------------------------------------------------------------------------

template <uint32_t Cond>
inline bool condition_holds(const CpuState& c) {
    if constexpr (Cond == 0x0) return c.FlagZ != 0;
    if constexpr (Cond == 0x1) return c.FlagZ == 0;
    if constexpr (Cond == 0x2) return c.FlagC != 0;
    if constexpr (Cond == 0x3) return c.FlagC == 0;
    if constexpr (Cond == 0x4) return c.FlagN != 0;
    if constexpr (Cond == 0x5) return c.FlagN == 0;
    if constexpr (Cond == 0x6) return c.FlagV != 0;
    if constexpr (Cond == 0x7) return c.FlagV == 0;
    if constexpr (Cond == 0x8) return c.FlagC != 0 && c.FlagZ == 0;
    if constexpr (Cond == 0x9) return c.FlagC == 0 || c.FlagZ != 0;
    if constexpr (Cond == 0xA) return c.FlagN == c.FlagV;
    if constexpr (Cond == 0xB) return c.FlagN != c.FlagV;
    if constexpr (Cond == 0xC) return c.FlagZ == 0 && c.FlagN == c.FlagV;
    if constexpr (Cond == 0xD) return c.FlagZ != 0 || c.FlagN != c.FlagV;
    return false;
}

template <uint32_t Cond>
Flow conditional_branch(Machine& m, uint32_t op) {
    CpuState& c = m.cpu;
    if constexpr (Cond == 14) {
        // This encoding is a stop instruction for the emulator: the machine ends quietly.
        c.QuitFlag = 1;
        return kLook;
    } else if constexpr (Cond == 15) {
        // There is no BIOS in the machine: the emulator carries out the firmware call itself.
        bios_call(m, op);
        return kNext;
    } else {
        if (!condition_holds<Cond>(c)) return kNext;
        c.R[15] += sign_extend(op & 0xFF, 8) * 2 + 4;
        return kJumped;
    }
}

Flow branch(Machine& m, uint32_t op) {
    CpuState& c = m.cpu;
    c.R[15] = (c.R[15] & ~1u) + sign_extend(op & 0x7FF, 11) * 2 + 4;
    return kJumped;
}

// The first half stores the upper part of the target in LR, with the + 4 of the R15 convention
// already added; it is not counted, so that the pair counts as one instruction.
Flow branch_link_high(Machine& m, uint32_t op) {
    CpuState& c = m.cpu;
    c.R[14] = c.R[15] + 4 + (sign_extend(op & 0x7FF, 11) << 12);
    --c.InstructionCount;
    return kNext;
}

// The second half trusts whatever LR holds, whether or not a first half came before it.
Flow branch_link_low(Machine& m, uint32_t op) {
    CpuState& c = m.cpu;
    uint32_t target = c.R[14] + (op & 0x7FF) * 2;
    c.R[14] = c.R[15] - 1;  // the next instruction's address, with the THUMB bit set
    c.R[15] = target;
    return kJumped;
}

// ---- The decode table --------------------------------------------------------------------------

// The handler for every instruction whose bits 15..6 equal Index.
template <uint32_t Index>
constexpr Handler select_handler() {
    constexpr uint32_t op = Index << 6;
    constexpr uint32_t bit11 = (op >> 11) & 1;
    switch (op >> 12) {
        case 0x0: return bit11 ? &shift_immediate<1> : &shift_immediate<0>;
        case 0x1:
            if (!bit11) return &shift_immediate<2>;
            return &add_subtract<((op >> 10) & 1) != 0, ((op >> 9) & 1) != 0>;
        case 0x2:
        case 0x3: return &immediate_op<(op >> 11) & 3>;
        case 0x4:
            if (bit11) return &load_pc_relative;
            if ((op >> 10) & 1) return &high_register_op<(op >> 8) & 3>;
            return &alu_op<(op >> 6) & 15>;
        case 0x5: return &transfer_register_offset<(op >> 9) & 7>;
        case 0x6: return &transfer_immediate_offset<4, bit11 != 0>;
        case 0x7: return &transfer_immediate_offset<1, bit11 != 0>;
        case 0x8: return &transfer_immediate_offset<2, bit11 != 0>;
        case 0x9: return &transfer_sp_relative<bit11 != 0>;
        case 0xA: return &load_address<bit11 != 0>;
        case 0xB:
            if (!((op >> 10) & 1)) return &adjust_sp;
            if (bit11) return &pop<((op >> 8) & 1) != 0>;
            return &push<((op >> 8) & 1) != 0>;
        case 0xC: return bit11 ? &load_multiple : &store_multiple;
        case 0xD: return &conditional_branch<(op >> 8) & 15>;
        case 0xE: return &branch;
        default: return bit11 ? &branch_link_low : &branch_link_high;
    }
}

template <std::size_t... Index>
constexpr std::array<Handler, sizeof...(Index)> make_table(std::index_sequence<Index...>) {
    return {select_handler<uint32_t(Index)>()...};
}

}  // namespace

constexpr std::array<InstructionHandler, 1024> kThumbHandlers =
    make_table(std::make_index_sequence<1024>{});

bool thumb_execute(Machine& m, uint32_t opcode) {
    return step_and_advance<true>(m, opcode) != kLook;
}
