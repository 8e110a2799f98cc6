// The ARM instruction set of the ARM7TDMI, without processor modes: there is no CPSR or SPSR, the
// S bit only updates the four flag words, and R15 always reads as the instruction's address + 8.
//
// Decoding: bits 27..20 and 7..4 of the instruction (12 bits) index a table of handlers built at
// compile time. Each handler is a template instance specialised on the bits that name it, so the
// common data-processing and load/store paths carry no further decoding. The few encodings whose
// meaning also depends on other bits (BX, SWP and the status-register transfers, all inside the
// compare operations without S) go through one slower handler that tests the whole word.
#include <array>
#include <bit>
#include <cstdint>
#include <type_traits>
#include <utility>

#include "cpu/alu.h"
#include "cpu/cpu.h"
#include "cpu/dispatch.h"
#include "frontend/frontend.h"
#include "machine.h"
#include "memory/bus.h"

namespace {

using Handler = InstructionHandler;

// ---------------------------------------------------------------------------------------------
// Condition field

constexpr std::array<uint16_t, 16> make_condition_table() {
    std::array<uint16_t, 16> table{};
    for (uint32_t cond = 0; cond < 16; ++cond) {
        uint16_t bits = 0;
        for (uint32_t f = 0; f < 16; ++f) {
            bool n = f & 8, z = f & 4, c = f & 2, v = f & 1;
            bool pass = false;
            switch (cond) {
                case 0x0: pass = z; break;
                case 0x1: pass = !z; break;
                case 0x2: pass = c; break;
                case 0x3: pass = !c; break;
                case 0x4: pass = n; break;
                case 0x5: pass = !n; break;
                case 0x6: pass = v; break;
                case 0x7: pass = !v; break;
                case 0x8: pass = c && !z; break;
                case 0x9: pass = !c || z; break;
                case 0xA: pass = n == v; break;
                case 0xB: pass = n != v; break;
                case 0xC: pass = !z && n == v; break;
                case 0xD: pass = z || n != v; break;
                case 0xE: pass = true; break;
                default: pass = false; break;
            }
            if (pass) bits = uint16_t(bits | (1u << f));
        }
        table[cond] = bits;
    }
    return table;
}

// ---------------------------------------------------------------------------------------------
// Shifter

// Rotate right by a register amount. An amount of exactly 32 behaves as the RRX encoding (the
// carry enters bit 31); other multiples of 32 leave the value alone with bit 31 as carry-out.
inline uint32_t rotate_by_register(uint32_t value, uint32_t n, uint32_t& carry) {
    if (n == 0) return value;
    if (n == 32) {
        uint32_t result = (value >> 1) | (carry << 31);
        carry = value & 1;
        return result;
    }
    uint32_t r = n & 31;
    if (r == 0) {
        carry = value >> 31;
        return value;
    }
    carry = (value >> (r - 1)) & 1;
    return std::rotr(value, int(r));
}

enum ShiftType : uint32_t { kLsl = 0, kLsr = 1, kAsr = 2, kRor = 3 };

// The register form of the second operand: Rm shifted by `Type`, by the immediate amount in bits
// 11..7 or, when `RegAmount`, by the low byte of Rs. `carry` holds FlagC on entry (the RRX input)
// and the shifter's carry-out on return; `NeedCarry` false lets the compiler drop it.
template <uint32_t Type, bool RegAmount, bool NeedCarry>
inline uint32_t shifted_register(const CpuState& c, uint32_t w, uint32_t& carry) {
    const uint32_t value = c.R[w & 15];
    uint32_t sc = carry;
    uint32_t result;
    if constexpr (RegAmount) {
        const uint32_t n = c.R[(w >> 8) & 15] & 0xFF;
        if constexpr (Type == kLsl) result = shift_lsl(value, n, sc);
        if constexpr (Type == kLsr) result = shift_lsr(value, n, sc);
        if constexpr (Type == kAsr) result = shift_asr(value, n, sc);
        if constexpr (Type == kRor) result = rotate_by_register(value, n, sc);
    } else {
        const uint32_t n = (w >> 7) & 31;
        if constexpr (Type == kLsl) {
            result = NeedCarry ? shift_lsl(value, n, sc) : value << n;
        }
        // An amount field of 0 means 32 for LSR and ASR, and RRX for ROR.
        if constexpr (Type == kLsr) {
            result = NeedCarry ? shift_lsr(value, n ? n : 32, sc) : (n ? value >> n : 0);
        }
        if constexpr (Type == kAsr) {
            result = NeedCarry ? shift_asr(value, n ? n : 32, sc)
                               : uint32_t(int32_t(value) >> (n ? n : 31));
        }
        if constexpr (Type == kRor) {
            if (n == 0) {
                result = (value >> 1) | (sc << 31);
                sc = value & 1;
            } else {
                sc = (value >> (n - 1)) & 1;
                result = std::rotr(value, int(n));
            }
        }
    }
    if constexpr (NeedCarry) carry = sc;
    return result;
}

// Operand forms of data processing and of the single transfer's offset: the register forms are
// the shift type plus 4 when the amount comes from Rs; kImmediateOperand is the rotated
// immediate (data processing) or the 12-bit offset (single transfer).
inline constexpr uint32_t kImmediateOperand = 8;

// ---------------------------------------------------------------------------------------------
// Fatal errors and stops

Flow fatal(Machine& m, const char* text) {
    fatal_error(m, text);
    return kLook;
}

Flow swp_fatal(Machine& m, uint32_t) {
    return fatal(m, "ARM Error : Not Emulated => SWP\n");
}
Flow halfword_fatal(Machine& m, uint32_t) {
    return fatal(m, "LDR/STR Error\n");
}
Flow coprocessor_transfer_fatal(Machine& m, uint32_t) {
    return fatal(m, "ARM Error : Not Emulated => Coprocessor Data Transfers\n");
}
Flow coprocessor_operation_fatal(Machine& m, uint32_t) {
    return fatal(m, "ARM Error : Not Emulated => Coprocessor Data Operations\n");
}
Flow coprocessor_register_fatal(Machine& m, uint32_t) {
    return fatal(m, "ARM Error : Not Emulated => Coprocessor Register Transfers\n");
}
// Firmware calls are carried out only from THUMB state.
Flow swi_fatal(Machine& m, uint32_t) {
    return fatal(m, "BIOS Access Not Emulated\nPlease contact VARN\n");
}

// ---------------------------------------------------------------------------------------------
// Data processing

enum Opcode : uint32_t {
    kAnd = 0,
    kEor = 1,
    kSub = 2,
    kRsb = 3,
    kAdd = 4,
    kAdc = 5,
    kSbc = 6,
    kRsc = 7,
    kTst = 8,
    kTeq = 9,
    kCmp = 10,
    kCmn = 11,
    kOrr = 12,
    kMov = 13,
    kBic = 14,
    kMvn = 15,
};

constexpr bool is_logical(uint32_t op) {
    return op == kAnd || op == kEor || op == kTst || op == kTeq || op >= kOrr;
}
constexpr bool is_test(uint32_t op) {
    return op >= kTst && op <= kCmn;
}

// A data-processing result bound for R15. Most forms branch in ARM state; a few are reported on
// the debug output, and AND, EOR and ORR stop the machine (they are counted all the same).
// Flags of the arithmetic forms are already set; those of the logical forms are set here.
template <uint32_t Op, bool S>
[[gnu::noinline, gnu::cold]] Flow data_processing_into_pc(Machine& m, uint32_t result,
                                                          uint32_t carry) {
    CpuState& c = m.cpu;
    if constexpr (Op == kAnd || Op == kEor) {
        c.R[15] = result;
        fatal_error(m, Op == kAnd ? "AND sur le PC !!\n" : "EOR sur le PC !!\n");
        return kJumped;
    } else {
        if constexpr (S && is_logical(Op)) {
            set_nz(c, result);
            c.FlagC = carry;
        }
        if constexpr (Op == kOrr) {
            c.R[15] = result;
            m.host->debug_output("ORR sur le PC !!\n");
            c.QuitFlag = 1;
            m.EventsPending = 1;  // the run loop looks at the machine before the next instruction
            return kJumped;
        }
        if constexpr (Op == kRsc) m.host->debug_output("Risque RSC sur PC\n");
        if constexpr (Op == kBic) m.host->debug_output("Risque BIC sur PC\n");
        if constexpr (Op == kMvn) m.host->debug_output("Risque MVN sur PC\n");
        c.R[15] = result + 8;
        return kJumped;
    }
}

template <uint32_t Op, bool S, uint32_t Form>
Flow data_processing(Machine& m, uint32_t w) {
    CpuState& c = m.cpu;
    constexpr bool kSetsFlags = S || is_test(Op);
    constexpr bool kNeedCarry = kSetsFlags && is_logical(Op);

    uint32_t carry = c.FlagC;
    uint32_t op2;
    if constexpr (Form == kImmediateOperand) {
        uint32_t rotation = (w >> 7) & 30;
        op2 = std::rotr(w & 0xFF, int(rotation));
        if constexpr (kNeedCarry) {
            if (rotation) carry = op2 >> 31;
        }
    } else {
        op2 = shifted_register<Form & 3, (Form & 4) != 0, kNeedCarry>(c, w, carry);
    }
    const uint32_t rn = c.R[(w >> 16) & 15];

    uint32_t result;
    if constexpr (Op == kAnd || Op == kTst) result = rn & op2;
    if constexpr (Op == kEor || Op == kTeq) result = rn ^ op2;
    if constexpr (Op == kOrr) result = rn | op2;
    if constexpr (Op == kMov) result = op2;
    if constexpr (Op == kBic) result = rn & ~op2;
    if constexpr (Op == kMvn) result = ~op2;
    if constexpr (Op == kSub || Op == kCmp) {
        result = kSetsFlags ? sub_with_flags(c, rn, op2) : rn - op2;
    }
    if constexpr (Op == kRsb) result = S ? sub_with_flags(c, op2, rn) : op2 - rn;
    if constexpr (Op == kAdd || Op == kCmn) {
        result = kSetsFlags ? add_with_flags(c, rn, op2) : rn + op2;
    }
    if constexpr (Op == kAdc) result = S ? add_with_flags(c, rn, op2, carry) : rn + op2 + carry;
    if constexpr (Op == kSbc) result = S ? add_with_flags(c, rn, ~op2, carry) : rn + ~op2 + carry;
    if constexpr (Op == kRsc) result = S ? add_with_flags(c, op2, ~rn, carry) : op2 + ~rn + carry;

    if constexpr (is_test(Op)) {
        if constexpr (Op == kTst || Op == kTeq) {
            set_nz(c, result);
            c.FlagC = carry;
        }
        return kNext;
    } else {
        const uint32_t rd = (w >> 12) & 15;
        if (rd == 15) [[unlikely]]
            return data_processing_into_pc<Op, S>(m, result, carry);
        if constexpr (S && is_logical(Op)) {
            set_nz(c, result);
            c.FlagC = carry;
        }
        c.R[rd] = result;
        return kNext;
    }
}

// ---------------------------------------------------------------------------------------------
// Multiplies

// The few forms that can name R15 as a destination without meaning a branch (multiplies, base
// write-back) still leave R15 as they wrote it, moved past the instruction: the run loop reads it
// back.
inline Flow written_unless_pc(CpuState& c, bool wrote_pc) {
    if (!wrote_pc) [[likely]]
        return kNext;
    c.R[15] += 4;
    return kJumped;
}

template <bool Accumulate, bool S>
Flow multiply(Machine& m, uint32_t w) {
    CpuState& c = m.cpu;
    uint32_t result = c.R[w & 15] * c.R[(w >> 8) & 15];
    if constexpr (Accumulate) result += c.R[(w >> 12) & 15];
    if constexpr (S) set_nz(c, result);
    const uint32_t rd = (w >> 16) & 15;
    c.R[rd] = result;
    return written_unless_pc(c, rd == 15);
}

template <bool Signed, bool Accumulate, bool S>
Flow multiply_long(Machine& m, uint32_t w) {
    CpuState& c = m.cpu;
    const uint32_t lo = (w >> 12) & 15, hi = (w >> 16) & 15;
    uint64_t result;
    if constexpr (Signed) {
        result = uint64_t(int64_t(int32_t(c.R[w & 15])) * int64_t(int32_t(c.R[(w >> 8) & 15])));
    } else {
        result = uint64_t(c.R[w & 15]) * uint64_t(c.R[(w >> 8) & 15]);
    }
    if constexpr (Accumulate) result += (uint64_t(c.R[hi]) << 32) | c.R[lo];
    if constexpr (S) {
        c.FlagN = uint32_t(result >> 63);
        c.FlagZ = result == 0;
    }
    c.R[lo] = uint32_t(result);
    c.R[hi] = uint32_t(result >> 32);
    return written_unless_pc(c, lo == 15 || hi == 15);
}

// ---------------------------------------------------------------------------------------------
// Single data transfer: LDR, STR, LDRB, STRB

// The transfers where the order of the register writes shows: a load into R15 or into its own
// written-back base, and R15 as the written-back base.
template <bool L, bool WriteBack>
inline bool transfer_is_odd(uint32_t rd, uint32_t rn) {
    if constexpr (L) return rd == 15 || (WriteBack && (rn == 15 || rn == rd));
    return WriteBack && rn == 15;
}

// Those transfers, the plain way: the access, then the loaded register, then the base. A word or
// byte load into R15 branches in ARM state; a halfword one (Halfword) leaves R15 4 bytes on from
// the value, as every other write of R15 by these forms does.
template <bool L, typename Unit, typename Extend, bool WriteBack, bool Halfword>
[[gnu::noinline, gnu::cold]] Flow odd_transfer(Machine& m, uint32_t rd, uint32_t rn,
                                               uint32_t address, uint32_t moved) {
    CpuState& c = m.cpu;
    if constexpr (L) {
        uint32_t value = 0;
        load_into<Unit, Extend>(m, address, value);
        if (rd == 15 && !Halfword) {
            c.R[15] = value + 8;
            if constexpr (WriteBack) c.R[rn] = moved;
            return kJumped;
        }
        c.R[rd] = value;
    } else {
        store<Unit>(m, address, c.R[rd]);
    }
    if constexpr (WriteBack) c.R[rn] = moved;
    return written_unless_pc(c, (WriteBack && rn == 15) || (L && rd == 15));
}

template <bool L, bool B, bool P, bool U, bool W, uint32_t Form>
Flow single_transfer(Machine& m, uint32_t w) {
    CpuState& c = m.cpu;
    uint32_t offset;
    if constexpr (Form == kImmediateOperand) {
        offset = w & 0xFFF;
    } else {
        uint32_t flag_c = c.FlagC;  // the RRX input; the carry-out is discarded
        offset = shifted_register<Form & 3, (Form & 4) != 0, false>(c, w, flag_c);
    }
    const uint32_t rn = (w >> 16) & 15, rd = (w >> 12) & 15;
    const uint32_t base = c.R[rn];
    const uint32_t moved = U ? base + offset : base - offset;
    const uint32_t address = P ? moved : base;
    using Unit = std::conditional_t<B, uint8_t, uint32_t>;
    constexpr bool kWriteBack = W || !P;
    if (transfer_is_odd<L, kWriteBack>(rd, rn)) [[unlikely]]
        return odd_transfer<L, Unit, Unit, kWriteBack, false>(m, rd, rn, address, moved);
    // The access comes last (see load_into); the base written back first is no other register.
    if constexpr (L) {
        if constexpr (kWriteBack) c.R[rn] = moved;
        return load_into<Unit>(m, address, c.R[rd]);
    } else {
        const uint32_t value = c.R[rd];
        if constexpr (kWriteBack) c.R[rn] = moved;
        return store<Unit>(m, address, value);
    }
}

// ---------------------------------------------------------------------------------------------
// Halfword and signed transfers: LDRH, STRH, LDRSB, LDRSH

// `SH` is bits 6..5 (S, H). Loads with SH = 0 never get here: their table entry is the fatal one.
template <bool L, uint32_t SH, bool P, bool U, bool W, bool Immediate>
Flow halfword_transfer(Machine& m, uint32_t w) {
    CpuState& c = m.cpu;
    const uint32_t offset = Immediate ? ((w >> 4) & 0xF0) | (w & 0xF) : c.R[w & 15];
    const uint32_t rn = (w >> 16) & 15, rd = (w >> 12) & 15;
    const uint32_t base = c.R[rn];
    const uint32_t moved = U ? base + offset : base - offset;
    const uint32_t address = P ? moved : base;
    // SH 1: halfwords; 2: signed bytes; 3: signed halfwords. Stores: halfwords for 1 and 3,
    // bytes for 2.
    using Unit = std::conditional_t<(SH & 1) != 0, uint16_t, uint8_t>;
    using Extend =
        std::conditional_t<SH == 1, uint16_t, std::conditional_t<SH == 2, int8_t, int16_t>>;
    constexpr bool kWriteBack = W || !P;
    if (transfer_is_odd<L, kWriteBack>(rd, rn)) [[unlikely]]
        return odd_transfer<L, Unit, Extend, kWriteBack, true>(m, rd, rn, address, moved);
    if constexpr (L) {
        if constexpr (kWriteBack) c.R[rn] = moved;
        return load_into<Unit, Extend>(m, address, c.R[rd]);
    } else {
        const uint32_t value = c.R[rd];
        if constexpr (kWriteBack) c.R[rn] = moved;
        return store<Unit>(m, address, value);
    }
}

// ---------------------------------------------------------------------------------------------
// Block transfer: LDM, STM (bit 22 ignored: no user bank, no status restore)

template <bool L, bool P, bool U>
inline void block_transfer_one(Machine& m, uint32_t r, uint32_t address) {
    CpuState& c = m.cpu;
    if constexpr (L) {
        c.R[r] = read32(m, address);
    } else if (r == 15) {
        // The decrementing forms store R15 one word short of the incrementing ones.
        if constexpr (U) {
            write32(m, address, c.R[15]);
        } else {
            m.host->debug_output("*** Tout s'explique ***\n");
            write32(m, address, c.R[15] - 4);
        }
    } else {
        write32(m, address, c.R[r]);
    }
}

template <bool L, bool P, bool U, bool W>
Flow block_transfer(Machine& m, uint32_t w) {
    CpuState& c = m.cpu;
    const uint32_t rn = (w >> 16) & 15;
    uint32_t list = w & 0xFFFF;
    uint32_t a = c.R[rn];
    // Registers go in list order upwards, or downwards from R15 for the decrementing forms; the
    // order is visible when the block covers I/O registers.
    while (list) {
        uint32_t r;
        if constexpr (U) {
            r = uint32_t(std::countr_zero(list));
        } else {
            r = 31 - uint32_t(std::countl_zero(list));
        }
        list &= ~(1u << r);
        if constexpr (P) a = U ? a + 4 : a - 4;
        block_transfer_one<L, P, U>(m, r, a);
        if constexpr (!P) a = U ? a + 4 : a - 4;
    }
    if constexpr (W) c.R[rn] = a;
    if (L && (w & 0x8000)) {
        c.R[15] += 8;  // R15 holds the loaded value: a branch in ARM state
        return kJumped;
    }
    return written_unless_pc(c, W && rn == 15);
}

// ---------------------------------------------------------------------------------------------
// Branches

template <bool Link>
Flow branch(Machine& m, uint32_t w) {
    CpuState& c = m.cpu;
    if constexpr (Link) c.R[14] = c.R[15] - 4;
    c.R[15] += uint32_t(int32_t(w << 8) >> 6) + 8;
    return kJumped;
}

Flow branch_exchange(Machine& m, uint32_t w) {
    CpuState& c = m.cpu;
    uint32_t target = c.R[w & 15];
    if (target & 1) {
        c.ThumbState = 1;
        c.R[15] = (target & ~1u) + 4;
        return kLook;  // the run loop goes on in THUMB state
    }
    c.R[15] = target + 8;
    return kJumped;
}

// ---------------------------------------------------------------------------------------------
// Decode table

constexpr uint32_t decode_index(uint32_t w) {
    return arm_decode_index(w);
}

// The handler for an index, ignoring the encodings that need more bits than the index holds.
template <uint32_t Index>
constexpr Handler plain_handler() {
    constexpr uint32_t hi = Index >> 4;  // bits 27..20
    constexpr uint32_t lo = Index & 15;  // bits 7..4
    constexpr uint32_t row = hi >> 4;    // bits 27..24
    constexpr bool bit20 = hi & 1, bit21 = hi & 2, bit22 = hi & 4, bit23 = hi & 8, bit24 = hi & 16;
    constexpr uint32_t register_form = ((lo >> 1) & 3) | ((lo & 1) << 2);

    if constexpr (row <= 3) {
        if constexpr ((hi & 0xFC) == 0x00 && lo == 9) {
            return &multiply<bit21, bit20>;
        } else if constexpr ((hi & 0xF8) == 0x08 && lo == 9) {
            return &multiply_long<bit22, bit21, bit20>;
        } else if constexpr ((hi & 0xE0) == 0 && (lo & 9) == 9) {
            constexpr uint32_t sh = (lo >> 1) & 3;
            if constexpr (bit20 && sh == 0) {
                return &halfword_fatal;
            } else {
                return &halfword_transfer<bit20, sh, bit24, bit23, bit21, bit22>;
            }
        } else {
            constexpr uint32_t op = (hi >> 1) & 15;
            constexpr uint32_t form = (hi & 0x20) ? kImmediateOperand : register_form;
            return &data_processing<op, bit20, form>;
        }
    } else if constexpr (row <= 7) {
        constexpr uint32_t form = (hi & 0x20) ? register_form : kImmediateOperand;
        return &single_transfer<bit20, bit22, bit24, bit23, bit21, form>;
    } else if constexpr (row <= 9) {
        return &block_transfer<bit20, bit24, bit23, bit21>;
    } else if constexpr (row == 10) {
        return &branch<false>;
    } else if constexpr (row == 11) {
        return &branch<true>;
    } else if constexpr (row <= 13) {
        return &coprocessor_transfer_fatal;
    } else if constexpr (row == 14) {
        return (lo & 1) ? &coprocessor_register_fatal : &coprocessor_operation_fatal;
    } else {
        return &swi_fatal;
    }
}

template <size_t... I>
constexpr std::array<Handler, 4096> make_plain_table(std::index_sequence<I...>) {
    return {plain_handler<uint32_t(I)>()...};
}

constexpr std::array<Handler, 4096> kPlainHandlers =
    make_plain_table(std::make_index_sequence<4096>{});

// The compare operations without S (bits 27..26 = 00, 24..23 = 10, 20 = 0) also hold BX, SWP and
// the status-register transfers. There is no status register: the one MSR that start-up code
// commonly uses is reported and skipped, MSR of both fields from a register is skipped silently,
// and the rest stops the machine. Other words here run as the compare they name.
Flow status_space(Machine& m, uint32_t w) {
    if ((w & 0x0FFFFFF0) == 0x012FFF10) return branch_exchange(m, w);
    if ((w & 0x0FB00FF0) == 0x01000090) return swp_fatal(m, w);
    if ((w & 0x0E000090) != 0x00000090) {
        if (w == 0xE121F000) {
            m.host->debug_output("CPU Warning : Not Emulated => ???\n");
            return kNext;
        }
        if ((w & 0x0FBF0FFF) == 0x010F0000) return fatal(m, "CPU Error : Not Emulated => MRS\n");
        if ((w & 0x0FBFFFF0) == 0x0129F000) return kNext;
        if ((w & 0x0DBFF000) == 0x0128F000) {
            return fatal(m, "CPU Error : Not Emulated => MSR Immediate\n");
        }
    }
    return kPlainHandlers[decode_index(w)](m, w);
}

// Bits 27, 26, 24, 23 and 20 of the instruction are bits 11, 10, 8, 7 and 4 of the index. The
// halfword stores that land there (pre-indexed, subtracted offset, no write-back: common in
// compiled code) need the slow path only when bits 7..4 are 1001, the SWP pattern.
constexpr bool needs_whole_word(uint32_t index) {
    const uint32_t lo = index & 15;
    const bool halfword = (index & 0xE00) == 0 && (lo & 9) == 9;
    return (index & 0xD90) == 0x100 && !(halfword && lo != 9);
}

template <size_t... I>
constexpr std::array<Handler, 4096> make_table(std::index_sequence<I...>) {
    return {(needs_whole_word(uint32_t(I)) ? &status_space : kPlainHandlers[I])...};
}

}  // namespace

constexpr std::array<InstructionHandler, 4096> kArmHandlers =
    make_table(std::make_index_sequence<4096>{});
constexpr std::array<uint16_t, 16> kArmConditionPasses = make_condition_table();

bool arm_execute(Machine& m, uint32_t opcode) {
    return step_and_advance<false>(m, opcode) != kLook;
}
