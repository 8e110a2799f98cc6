// The interpreters against Unicorn (its TI925T core, an ARMv4T like the ARM7TDMI) on random
// sequences with fixed seeds. Each instruction is drawn from a class table (fixed bits, random
// fields, and for branches high offset bits set all together or not at all). Unicorn runs it first
// and records its data accesses; it is taken back and another drawn when Unicorn refuses it, an
// access leaves the scratch area (loads may read the code area) or is unaligned, or the next
// instruction leaves the code area. Then the emulator runs it, and R0..R14, the next address, T,
// N Z C V, the scratch area and the data access that gdb's watchpoints expect are compared. A
// sequence ends after 1..8 instructions or on code that already ran. Left out: the deliberate
// differences listed in the README ("What Tamo emulates and what it does not") and what the
// processor leaves undefined (write-back with Rd = Rn, Rm = Rn or Rn = R15; MUL Rd = Rm, long
// multiplies without three different registers; R15 as a multiply operand; block transfers with S
// or an empty list; a lone half of THUMB BL; MRS, MSR, SWP, SWI, coprocessors, conditions 15 and
// THUMB 14).
#include <gtest/gtest.h>
#include <unicorn/unicorn.h>

#include <cstring>
#include <string>
#include <vector>

#include "cpu/cpu.h"
#include "debugger/data_access.h"
#include "fake_host.h"

namespace {

constexpr uint32_t kEwramBase = 0x02000000, kCode = 0x03000000, kCodeSize = kIwramSize;
constexpr uint32_t kMargin = 0x100;
constexpr uint32_t kData = 0x02010000, kDataSize = 0x8000;

struct Rng {
    uint64_t s;
    uint32_t next() {
        uint64_t z = (s += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return uint32_t((z ^ (z >> 31)) >> 32);
    }
    uint32_t below(uint32_t n) { return uint32_t((uint64_t(next()) * n) >> 32); }
};

// Rules a drawn word must not break; see `breaks`.
constexpr uint32_t kAluRule = 1, kPcOps = 2, kMulRule = 4, kTransfer = 8, kHalf = 16,
                   kBlockRule = 32, kThumbAlu = 64, kSpAligned = 128, kThumbStm = 256;

struct Form {
    uint32_t fixed, random, sign, rules;
};

// THUMB words are 16 bits; the BL pair is two, the first in the low half. ARM words get a
// condition: always, or (three times in ten) any of 0..14.
// clang-format off
constexpr Form kThumb[] = {  // shifts, ADD/SUB; #imm8; ALU (twice); high registers, BX; LDR PC;
    {0x0000, 0x1FFF, 0, 0}, {0x2000, 0x1FFF, 0, 0}, {0x4000, 0x03FF, 0, kThumbAlu},
    {0x4000, 0x03FF, 0, kThumbAlu}, {0x4400, 0x03FF, 0, 0}, {0x4800, 0x07FF, 0, 0},
    // [Rb, Ro]; [Rb, #imm] word and byte, halfword; [SP, #imm]; ADD PC/SP; ADD SP; PUSH/POP;
    {0x5000, 0x0FFF, 0, 0}, {0x6000, 0x1FFF, 0, 0}, {0x8000, 0x0FFF, 0, 0}, {0x9000, 0x0FFF, 0, 0},
    {0xA000, 0x0FFF, 0, kSpAligned}, {0xB000, 0x00FF, 0, 0}, {0xB400, 0x09FF, 0, 0},
    // LDMIA/STMIA; B<cond>; B; the BL pair
    {0xC000, 0x0FFF, 0, kThumbStm}, {0xD000, 0x0FFF, 0, 0}, {0xE000, 0x07FF, 0, 0},
    {0xF800F000, 0x07FF0007, 0x000007F8, 0}};
constexpr Form kArm[] = {  // data processing (twice), compares, MOV/MVN, into PC, MOV PC
    {0x00000000, 0x03FFFFFF, 0, kAluRule}, {0x00000000, 0x03FFFFFF, 0, kAluRule},
    {0x01100000, 0x026F0FFF, 0, kAluRule}, {0x01A00000, 0x0250FFFF, 0, kAluRule},
    {0x0000F000, 0x02EF0FFF, 0, kAluRule | kPcOps}, {0x01A0F000, 0x02000FFF, 0, kAluRule | kPcOps},
    // MUL, MLA, long multiplies; LDR/STR(B) #imm and Rm; halfword and signed #imm and Rm; LDM/STM
    {0x00000090, 0x001F0F0F, 0, kMulRule}, {0x00200090, 0x001FFF0F, 0, kMulRule},
    {0x00800090, 0x007FFF0F, 0, kMulRule}, {0x04000000, 0x01FFFFFF, 0, kTransfer},
    {0x06000000, 0x01FFFFEF, 0, kTransfer}, {0x00400090, 0x01BFFF6F, 0, kTransfer | kHalf},
    {0x00000090, 0x01BFF06F, 0, kTransfer | kHalf}, {0x08000000, 0x01BFFFFF, 0, kBlockRule},
    {0x0A000000, 0x01000FFF, 0x00FFF000, 0}, {0x012FFF10, 0x0000000F, 0, 0}};  // B/BL, BX

// Words left out whatever their class: LSR #0; high-register forms of low registers; CMP R15, Rs;
// PUSH/POP, LDMIA/STMIA of nothing; conditions 14 and 15.
constexpr uint32_t kThumbOut[][2] = {{0xFFC0, 0x0800}, {0xFFC0, 0x4400}, {0xFFC0, 0x4500},
    {0xFFC0, 0x4600}, {0xFF87, 0x4587}, {0xF6FF, 0xB400}, {0xF0FF, 0xC000}, {0xFE00, 0xDE00}};
// clang-format on

// R0..R14, the next instruction's address, T, N, Z, C, V.
struct State {
    uint32_t r[21];
};
constexpr int kPc = 15, kT = 16, kN = 17, kZ = 18, kC = 19, kV = 20;

// Registers as an instruction at the current address reads them.
uint32_t read_reg(const State& s, uint32_t i) {
    return i == 15 ? s.r[kPc] + (s.r[kT] ? 4 : 8) : s.r[i];
}

bool breaks(uint32_t rules, uint32_t w, const State& s) {
    auto f = [w](int at) { return (w >> at) & 15; };
    auto bit = [w](int at) { return (w >> at) & 1; };
    const bool write_back = !bit(24) || bit(21);
    if (rules & kAluRule) {
        uint32_t op = (w >> 21) & 15;
        if (!bit(25) && bit(4) && bit(7)) return true;  // multiply and halfword space
        if (!bit(25) && bit(4) && (f(16) == 15 || f(0) == 15 || f(8) == 15)) return true;
        if (!bit(25) && bit(4) && ((w >> 5) & 3) == 3 && (read_reg(s, f(8)) & 0xFF) == 32) {
            return true;
        }
        bool compare = op >= 8 && op <= 11;
        if (compare && !bit(20)) return true;  // status transfers
        if (!(rules & kPcOps) && !compare && f(12) == 15) return true;
        if ((rules & kPcOps) && (op == 0 || op == 1 || op == 7)) return true;
    }
    if (rules & kMulRule) {
        const uint32_t rd = f(16), rn = f(12), rs = f(8), rm = f(0);
        if (rd == 15 || rn == 15 || rs == 15 || rm == 15) return true;
        if (bit(23) ? (rd == rn || rd == rm || rn == rm) : rd == rm) return true;
    }
    if (rules & kTransfer) {
        const bool register_offset = (rules & kHalf) ? !bit(22) : bit(25);
        if (write_back && (f(16) == 15 || f(16) == f(12))) return true;
        if (write_back && register_offset && f(0) == f(16)) return true;
        if (!bit(20) && f(12) == 15) return true;                     // stores of R15
        if (!(rules & kHalf) && bit(22) && f(12) == 15) return true;  // byte loads into R15
    }
    if (rules & kHalf) {
        if (((w >> 5) & 3) == 0 || (!bit(20) && bit(6)) || (!bit(24) && bit(21))) return true;
        if (f(12) == 15) return true;
    }
    if (rules & kBlockRule) {
        if ((w & 0xFFFF) == 0 || f(16) == 15 || (!bit(20) && bit(15))) return true;
        if (bit(21) && (w >> f(16)) & 1) return true;
    }
    if (rules & kThumbAlu) {
        uint32_t op = (w >> 6) & 15, rs = (w >> 3) & 7, amount = s.r[rs] & 0xFF;
        if (op == 7 && amount != 0 && amount % 32 == 0) return true;
        if (op == 13 && rs == (w & 7)) return true;
    }
    if ((rules & kSpAligned) && (w & 0x0800) && s.r[13] % 4 != 0) return true;
    if (rules & kThumbStm) {
        uint32_t base = (w >> 8) & 7, list = w & 0xFF;
        if (!(w & 0x0800) && (list >> base) & 1 && list & ((1u << base) - 1)) return true;
    }
    return false;
}

// Flags a multiply with S leaves undefined on the processor: bit 0 C, bit 1 V.
uint32_t unchecked(uint32_t w, uint32_t thumb) {
    if (thumb) return (w & 0xFFC0) == 0x4340 ? 1 : 0;
    if ((w & 0x0F9000F0) == 0x00900090) return 3;
    return (w & 0x0FD000F0) == 0x00100090 ? 1 : 0;
}

uint32_t random_value(Rng& rng) {
    static constexpr uint32_t kEdges[] = {0,          1,          0x1F,       0x20,
                                          0x21,       0x7FFFFFFF, 0x80000000, 0xFFFFFFFF,
                                          0xFFFFFFFE, 0x100,      0x80000001, 0xFFFF};
    const uint32_t data = kData + kDataSize / 4 + rng.below(kDataSize / 2);
    const uint32_t code = kCode + kMargin + rng.below(kCodeSize - 2 * kMargin);
    const uint32_t kind = rng.below(10);
    if (kind < 3) return rng.below(8) ? data & ~3u : data;  // mostly aligned data addresses
    if (kind == 3) return rng.below(2) ? code & ~3u : code | 1;
    if (kind == 4) return rng.below(40);
    if (kind == 5) return rng.below(64) * 4;
    return kind == 6 ? kEdges[rng.below(std::size(kEdges))] : rng.next();
}

struct Access {
    uint32_t address, size, write;
    uint64_t old;  // the bytes a write replaced
};

class Harness {
  public:
    Harness() {
        ok_ = uc_open(UC_ARCH_ARM, UC_MODE_ARM, &uc_) == UC_ERR_OK &&
              uc_ctl_set_cpu_model(uc_, int(UC_CPU_ARM_TI925T)) == UC_ERR_OK &&
              uc_mem_map(uc_, kEwramBase, kEwramSize, UC_PROT_ALL) == UC_ERR_OK &&
              uc_mem_map(uc_, kCode, kCodeSize, UC_PROT_ALL) == UC_ERR_OK &&
              uc_hook_add(uc_, &hook_, UC_HOOK_MEM_READ | UC_HOOK_MEM_WRITE,
                          reinterpret_cast<void*>(&Harness::on_access), this, 1, 0) == UC_ERR_OK &&
              uc_context_alloc(uc_, &saved_) == UC_ERR_OK;
        for (int i = 0; i < 17; ++i) {
            ids_[i] = i < 13 ? UC_ARM_REG_R0 + i : int(kIds[i - 13]);
            slots_[i] = &uc_regs_[i];
        }
    }
    ~Harness() {
        if (saved_) uc_context_free(saved_);
        if (uc_) uc_close(uc_);
    }
    bool ok() const { return ok_; }
    const State& state() const { return state_; }

    // Random memory and a random state in both emulators.
    void start(Rng& rng, uint32_t thumb) {
        std::vector<uint32_t> words((kCodeSize + kDataSize) / 4);
        for (uint32_t& w : words) {
            uint32_t code = (kCode + kMargin + rng.below(kCodeSize - 2 * kMargin)) & ~3u;
            w = rng.below(8) ? rng.next() : code | rng.below(2);
        }
        std::memcpy(m().Iwram, words.data(), kCodeSize);
        std::memcpy(data(), words.data() + kCodeSize / 4, kDataSize);
        write(kCode, words.data(), kCodeSize);
        write(kData, words.data() + kCodeSize / 4, kDataSize);
        State& s = state_;
        for (int i = 0; i < 15; ++i) s.r[i] = random_value(rng);
        if (rng.below(5)) s.r[13] = (kData + kDataSize / 4 + rng.below(kDataSize / 2)) & ~3u;
        s.r[kPc] = (kCode + 0x2000 + rng.below(0x4000)) & ~3u;
        for (int i = kT; i <= kV; ++i) s.r[i] = i == kT ? thumb : rng.below(2);
        CpuState& c = m().cpu;
        std::copy(s.r, s.r + 15, c.R);
        c.R[15] = s.r[kPc] + (thumb ? 4 : 8);
        c.ThumbState = thumb, c.FlagN = s.r[kN], c.FlagZ = s.r[kZ], c.FlagC = s.r[kC];
        c.FlagV = s.r[kV], c.QuitFlag = 0;
        host().boxes.clear(), host().debug_lines.clear();
        std::copy(s.r, s.r + 15, uc_regs_);
        uc_regs_[15] = 0xD3 | thumb << 5;
        for (int i = kN; i <= kV; ++i) uc_regs_[15] |= s.r[i] << (31 - (i - kN));
        uc_reg_write_batch(uc_, ids_, slots_, 16);  // the start address comes with the run
    }

    // Runs `word` (a BL pair: two halfwords) at the current address. Returns false when the
    // candidate is not usable (everything is as before); else true, with a report if they differ.
    bool run(uint32_t word, std::string* report) {
        const State before = state_;
        const uint32_t pc = before.r[kPc], thumb = before.r[kT];
        const uint32_t size = thumb && word <= 0xFFFF ? 2 : 4;
        std::memcpy(m().Iwram + (pc - kCode), &word, size);
        write(pc, &word, size);
        uc_context_save(uc_, saved_);
        accesses_.clear();
        uc_err e = uc_emu_start(uc_, pc | thumb, pc + size, 0, 1);
        State o = oracle();
        if (e == UC_ERR_OK && size == 4 && thumb && o.r[kPc] == pc + 2) {
            e = uc_emu_start(uc_, o.r[kPc] | 1, pc + size, 0, 1);  // a BL pair across a page
            o = oracle();
        }
        bool usable = e == UC_ERR_OK && o.r[kPc] >= kCode + kMargin &&
                      o.r[kPc] < kCode + kCodeSize - kMargin && (o.r[kT] || o.r[kPc] % 4 == 0);
        for (const Access& a : accesses_) {
            bool in_data = a.address >= kData && a.address + a.size <= kData + kDataSize;
            bool in_code = a.address >= kCode && a.address + a.size <= kCode + kCodeSize;
            usable = usable && (in_data || (!a.write && in_code)) && a.address % a.size == 0;
        }
        if (!usable) return take_back(before);
        Machine& mm = m();
        CpuState& c = mm.cpu;
        const CpuState saved_cpu = c;
        std::string diff;
        DataAccess access;  // what gdb's watchpoints expect the instruction to read or write
        for (uint32_t done = 0; done < size; done += thumb ? 2 : 4) {
            if (DataAccess a = instruction_access(mm); a.Length != 0) access = a;
            c.ThumbState ? thumb_execute(mm, read16(mm, c.R[15] - 4))
                         : arm_execute(mm, read32(mm, c.R[15] - 8));
            if (c.QuitFlag) diff += " the emulator stopped the machine.";
        }
        uint32_t low = ~0u, high = 0;
        for (const Access& a : accesses_)
            low = std::min(low, a.address), high = std::max(high, a.address + a.size);
        if (access.Length ? access.Address != low || access.Address + access.Length != high ||
                                access.Write != accesses_[0].write
                          : !accesses_.empty())
            diff += " gdb's access " + hex(access.Address) + "+" + std::to_string(access.Length);
        for (const auto& box : host().boxes) diff += " message: " + box.text;
        for (const auto& line : host().debug_lines) diff += " debug line: " + line;
        if (unchecked(word, thumb) & 1) c.FlagC = o.r[kC];
        if (unchecked(word, thumb) & 2) c.FlagV = o.r[kV];
        uint32_t t[21] = {
            c.R[15] - (c.ThumbState ? 4 : 8), c.ThumbState, c.FlagN, c.FlagZ, c.FlagC, c.FlagV};
        std::copy_backward(t, t + 6, t + 21);
        std::copy(c.R, c.R + 15, t);
        // The processor drops the low bits of an ARM branch target; the emulator keeps them.
        if (!t[kT] && t[kPc] % 4 != 0 && (t[kPc] & ~3u) == o.r[kPc]) {
            c = saved_cpu;
            return take_back(before);
        }
        // Entries 15..20: the next address, T, N, Z, C, V.
        for (int i = 0; i < 21; ++i) {
            if (t[i] != o.r[i])
                diff += " [" + std::to_string(i) + "] was " + hex(before.r[i]) + ", unicorn " +
                        hex(o.r[i]) + ", tamo " + hex(t[i]) + ";";
        }
        std::vector<uint8_t> theirs(kDataSize);
        uc_mem_read(uc_, kData, theirs.data(), kDataSize);
        for (uint32_t i = 0; i < kDataSize; i += 4) {
            if (std::memcmp(data() + i, theirs.data() + i, 4) != 0)
                diff += " memory@" + hex(kData + i);
        }
        state_ = o;
        if (!diff.empty()) *report = hex(word) + " at " + hex(pc) + " differs:" + diff;
        return true;
    }

  private:
    static constexpr uc_arm_reg kIds[] = {UC_ARM_REG_SP, UC_ARM_REG_LR, UC_ARM_REG_CPSR,
                                          UC_ARM_REG_PC};

    static void on_access(uc_engine* uc, uc_mem_type type, uint64_t address, int size, int64_t,
                          void* self) {
        Access a{uint32_t(address), uint32_t(size), type == UC_MEM_WRITE, 0};
        if (a.write) uc_mem_read(uc, address, &a.old, size);
        static_cast<Harness*>(self)->accesses_.push_back(a);
    }

    bool take_back(const State& before) {
        for (auto a = accesses_.rbegin(); a != accesses_.rend(); ++a)
            if (a->write) uc_mem_write(uc_, a->address, &a->old, a->size);
        uc_context_restore(uc_, saved_);
        state_ = before;
        return false;
    }

    void write(uint32_t address, const void* bytes, size_t size) {
        uc_mem_write(uc_, address, bytes, size);
        uc_ctl_remove_cache(uc_, address, uint64_t(address) + size);
    }

    State oracle() {
        State s;
        uc_reg_read_batch(uc_, ids_, slots_, 17);
        std::copy(uc_regs_, uc_regs_ + 15, s.r);
        s.r[kPc] = uc_regs_[16] & ~1u, s.r[kT] = (uc_regs_[15] >> 5) & 1;
        for (int i = kN; i <= kV; ++i) s.r[i] = (uc_regs_[15] >> (31 - (i - kN))) & 1;
        return s;
    }

    static std::string hex(uint32_t v) {
        char text[12];
        std::snprintf(text, sizeof text, "%08X", v);
        return text;
    }

    Machine& m() { return tm_.m; }
    FakeHost& host() { return tm_.host; }
    uint8_t* data() { return m().Ewram + (kData - kEwramBase); }

    TestMachine tm_;
    uc_engine* uc_ = nullptr;
    uc_hook hook_ = 0;
    uc_context* saved_ = nullptr;
    bool ok_ = false;
    std::vector<Access> accesses_;
    State state_{};
    int ids_[17];  // R0..R12, SP, LR, CPSR, PC
    uint32_t uc_regs_[17];
    void* slots_[17];
};

// Runs `count` random sequences starting in THUMB or ARM state; expects every step to agree.
void run_sequences(uint32_t thumb, uint64_t seed, int count) {
    Harness h;
    ASSERT_TRUE(h.ok());
    Rng rng{seed};
    int failures = 0, steps = 0;
    for (int i = 0; i < count && failures < 3; ++i) {
        h.start(rng, thumb);
        std::vector<bool> used(kCodeSize / 2);
        for (uint32_t length = 1 + rng.below(8); length > 0; --length) {
            const State& s = h.state();
            const uint32_t at = (s.r[kPc] - kCode) / 2, thumb_state = s.r[kT];
            if (used[at] || (!thumb_state && used[at + 1])) break;
            bool ran = false;
            for (int attempt = 0; attempt < 200 && !ran; ++attempt) {
                const Form& f = thumb_state ? kThumb[rng.below(std::size(kThumb))]
                                            : kArm[rng.below(std::size(kArm))];
                uint32_t w = f.fixed | (rng.next() & f.random) | (rng.below(2) ? f.sign : 0);
                if (!thumb_state) w |= (rng.below(10) < 3 ? rng.below(15) : 14u) << 28;
                bool out = breaks(f.rules, w, s);
                for (const auto& [mask, value] : kThumbOut)
                    out = out || (thumb_state && (w & mask) == value);
                if (out) continue;
                std::string report;
                ran = h.run(w, &report);
                if (!report.empty()) {
                    ADD_FAILURE() << "sequence " << i << ": " << report;
                    ++failures, length = 1;  // the emulator's state is no longer the oracle's
                }
                if (ran) used[at] = true, used[at + 1] = used[at + 1] || !thumb_state || w > 0xFFFF;
            }
            if (!ran) break;
            ++steps;
        }
    }
    EXPECT_GT(steps, count * 2) << "too few instructions were generated";
}

// The comparison does see a difference: THUMB LSR R0, R1, #0 copies R1 here, the processor
// shifts by 32.
TEST(InterpreterVsUnicorn, ReportsTheDeliberateLsrZeroDifference) {
    Harness h;
    ASSERT_TRUE(h.ok());
    Rng rng{1};
    std::string report;
    for (int i = 0; i < 20 && report.empty(); ++i) {
        h.start(rng, 1);
        h.run(0x0808, &report);
    }
    EXPECT_NE(report.find("differs: [0]"), std::string::npos) << report;
}

TEST(InterpreterVsUnicorn, ThumbSequences) {
    run_sequences(1, 0x7A30, 6000);
}
TEST(InterpreterVsUnicorn, ArmSequences) {
    run_sequences(0, 0xA4A4, 6000);
}

}  // namespace
