// Differential test of the THUMB and ARM interpreters against Unicorn, a generic CPU emulator used
// as an oracle for the results of ARM7TDMI instructions.
//
// Random instruction sequences (fixed seeds, so every run is the same) are generated from a
// whitelist of instruction forms, one instruction at a time, from the current register values:
// memory instructions get an address in a scratch area, branches a target in free code space
// (targets that come from memory are planted there first). Each instruction is placed in the code
// area of both emulators and executed in both; after every instruction the test compares R0..R14,
// the address of the next instruction, the THUMB state, the N, Z, C, V flags and the 32 KB scratch
// area. A sequence ends after 1..8 instructions, or earlier when control comes back to code that
// already ran. A difference is reported with the instruction words, the state before, both states
// after, and the whole sequence as C++ for a named regression test.
//
// Unicorn runs as its TI925T core, an ARMv4T design like the ARM7TDMI (no BLX, no CLZ, no
// interworking loads); the UnicornOracle tests check that. THUMB ASR #0 is compared: the emulator
// shifts by 32 there, as the processor does.
//
// Forms left out, because the emulator deliberately computes something else than the console's
// processor, or because the processor leaves the result undefined:
//  - THUMB LSR with an immediate field of 0: the emulator copies Rs; the processor shifts by 32.
//  - THUMB ROR by a register whose low byte is 32, 64, ... 224: the emulator looks at the low five
//    bits only and keeps the carry; the processor puts bit 31 in the carry.
//  - ARM ROR by a register whose low byte is exactly 32: the emulator rotates through the carry
//    (as the RRX encoding), the processor leaves the value and puts bit 31 in the carry.
//  - Word and halfword accesses at addresses that are not multiples of their size: the bus neither
//    rotates nor aligns, and the THUMB immediate-offset forms align the base before adding the
//    offset; the processor rotates loaded words and adds the offset to the unaligned base (Unicorn
//    does not rotate either). For the same reason THUMB "ADD Rd, SP, #imm" runs only with SP a
//    multiple of 4: the emulator aligns SP down, the processor does not.
//  - ARM shifts by a register amount with R15 as Rn or Rm, and stores of R15 (STR, STM): the
//    processor reads R15 as the address + 12 there, the emulator as + 8 (+ 4 in decrementing
//    STM); Unicorn does not model the + 12 either. Rs = R15 is undefined on the processor.
//  - ARM data processing into R15 with the S bit (the processor also restores the status
//    register), with a result that is not a multiple of 4 (the processor drops the low bits, the
//    emulator does not), and AND, EOR, ORR, RSC, BIC, MVN into R15 (the emulator stops or warns).
//    MOV, ADD and SUB into R15 with aligned results are compared. Likewise LDR and LDM into R15
//    are compared only with word-aligned loaded addresses: the emulator adds 8 to the loaded value
//    as it is.
//  - Single and halfword transfers with write-back and Rd = Rn, and ARM block loads with
//    write-back and the base in the list: the emulator keeps the written-back address, the
//    processor the loaded value. Write-back with Rn = R15 or Rm = Rn, halfword post-indexed forms
//    with W = 1, the "register amount" encoding of the single-transfer offset (bit 25 and bit 4
//    set) and halfword-space stores with bit 6 set are undefined on the processor.
//  - Block transfers with the S bit (user bank, status restore) and with an empty list (the
//    processor then transfers R15 and moves the base by 64); ARM block stores with write-back and
//    the base in the list, and THUMB STMIA with the base in the list but not lowest (the processor
//    stores the written-back base, the emulator the old one).
//  - Multiplies with the S bit: the processor leaves C (MUL, MLA, THUMB MUL) or C and V (the long
//    forms) meaningless, the emulator keeps them; those flags are not compared after such an
//    instruction. Multiplies whose operands the processor forbids: MUL/MLA with Rd = Rm, long
//    forms whose RdHi, RdLo and Rm are not all different, R15 as any operand, THUMB MUL with
//    Rd = Rs.
//  - The two halves of THUMB BL alone: the emulator's first half leaves LR 4 higher than the
//    processor's and its second half takes the 4 off again, so only the pair is compared.
//  - Instructions that the emulator does not carry out or that stop the machine: MRS, MSR, SWP,
//    SWI, coprocessor instructions, ARM condition 15, the THUMB conditional branch with condition
//    14 or 15 (SWI, carried out by the firmware emulation).
//  - ARM TST, TEQ, CMP, CMN with Rd = R15 (the processor's status-restoring forms) or with the S
//    bit clear (the status-transfer space). Fields that an instruction ignores (Rd of the compares,
//    Rn of MOV and MVN and of MUL) are kept zero, because Unicorn rejects other values.
//  - THUMB high-register ADD, CMP, MOV with two low registers, CMP with R15 as first operand, BX
//    with bit 7 set (undefined on the processor), BX into ARM state at an address that is not a
//    multiple of 4, and the THUMB unconditional branch with bit 11 set (undefined on the
//    processor, a branch here).

#include <gtest/gtest.h>
#include <unicorn/unicorn.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cpu/cpu.h"
#include "fake_host.h"
#include "machine.h"
#include "memory/bus.h"

namespace {

// ---- Memory layout shared by both emulators -----------------------------------------------------

constexpr uint32_t kEwramBase = 0x02000000;
constexpr uint32_t kIwramBase = 0x03000000;
// Code lives in IWRAM; the generated code keeps a margin from its ends.
constexpr uint32_t kCodeBase = kIwramBase;
constexpr uint32_t kCodeSize = kIwramSize;
constexpr uint32_t kCodeMargin = 0x100;
// Loads and stores use a scratch area in EWRAM, compared after every instruction.
constexpr uint32_t kDataBase = kEwramBase + 0x10000;
constexpr uint32_t kDataSize = 0x8000;

// Flags that the comparison skips after an instruction that leaves them undefined.
constexpr uint32_t kUncheckedC = 1;
constexpr uint32_t kUncheckedV = 2;

// Instruction families, chosen per test.
constexpr uint32_t kAlu = 1;
constexpr uint32_t kMultiply = 2;
constexpr uint32_t kMemory = 4;
constexpr uint32_t kBlock = 8;
constexpr uint32_t kBranch = 16;
constexpr uint32_t kAllFamilies = kAlu | kMultiply | kMemory | kBlock | kBranch;

class Rng {
  public:
    explicit Rng(uint64_t seed) : state_(seed) {}
    uint64_t next64() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint32_t next() { return uint32_t(next64() >> 32); }
    uint32_t below(uint32_t n) { return uint32_t((uint64_t(next()) * n) >> 32); }
    bool percent(uint32_t p) { return below(100) < p; }

  private:
    uint64_t state_;
};

// ---- Processor state as both emulators see it ---------------------------------------------------

struct CpuView {
    std::array<uint32_t, 15> r{};
    uint32_t pc = 0;  // address of the next instruction
    uint32_t n = 0, z = 0, c = 0, v = 0;
    uint32_t thumb = 0;
};

struct Poke {
    uint32_t address, value;  // a 32-bit word stored before the instruction runs
};

// One instruction (or the two halves of a THUMB BL), placed at `address` and executed.
struct Step {
    uint32_t address = 0;
    uint32_t thumb = 0;
    std::vector<uint32_t> words;
    std::vector<Poke> pokes;
    uint32_t unchecked = 0;
    std::string form;
};

// Everything needed to replay a sequence: the seed of the memory contents, the starting state and
// the instructions in the order they ran.
struct Case {
    uint64_t fill_seed = 0;
    CpuView start;
    std::vector<Step> steps;
};

std::string hex(uint32_t value, int digits = 8) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

std::string describe(const CpuView& s) {
    std::string text;
    for (int i = 0; i < 15; ++i) {
        text += "R";
        text += std::to_string(i);
        text += "=";
        text += hex(s.r[i]);
        text += i % 5 == 4 ? "\n    " : " ";
    }
    text += "next=" + hex(s.pc) + " NZCV=" + std::to_string(s.n) + std::to_string(s.z) +
            std::to_string(s.c) + std::to_string(s.v) + " T=" + std::to_string(s.thumb);
    return text;
}

std::string describe_words(const Step& step) {
    std::string text;
    for (uint32_t w : step.words) {
        if (!text.empty()) text += " ";
        text += hex(w, step.thumb ? 4 : 8);
    }
    return text;
}

// The case as C++, ready to be pasted into a named regression test.
std::string as_code(const Case& c) {
    char line[160];
    std::string text;
    std::snprintf(line, sizeof line, "Case{0x%016llXull,\n     CpuView{{",
                  static_cast<unsigned long long>(c.fill_seed));
    text += line;
    for (int i = 0; i < 15; ++i) {
        std::snprintf(line, sizeof line, "%s0x%08X", i ? ", " : "", c.start.r[i]);
        text += line;
    }
    std::snprintf(line, sizeof line, "},\n             0x%08X, %u, %u, %u, %u, %u},\n     {",
                  c.start.pc, c.start.n, c.start.z, c.start.c, c.start.v, c.start.thumb);
    text += line;
    for (const Step& s : c.steps) {
        std::snprintf(line, sizeof line, "{0x%08X, %u, {", s.address, s.thumb);
        text += line;
        for (size_t i = 0; i < s.words.size(); ++i) {
            std::snprintf(line, sizeof line, "%s0x%0*X", i ? ", " : "", s.thumb ? 4 : 8,
                          s.words[i]);
            text += line;
        }
        text += "}, {";
        for (size_t i = 0; i < s.pokes.size(); ++i) {
            std::snprintf(line, sizeof line, "%s{0x%08X, 0x%08X}", i ? ", " : "",
                          s.pokes[i].address, s.pokes[i].value);
            text += line;
        }
        std::snprintf(line, sizeof line, "}, %u, \"", s.unchecked);
        text += line;
        text += s.form;
        text += "\"},\n      ";
    }
    text += "}}";
    return text;
}

// Memory contents of a case: the whole code area and the scratch area, from a seed.
struct MemoryImage {
    std::vector<uint8_t> code = std::vector<uint8_t>(kCodeSize);
    std::vector<uint8_t> data = std::vector<uint8_t>(kDataSize);

    explicit MemoryImage(uint64_t seed) {
        Rng rng(seed);
        for (auto* area : {&code, &data}) {
            for (size_t i = 0; i < area->size(); i += 8) {
                uint64_t bits = rng.next64();
                std::memcpy(area->data() + i, &bits, 8);
            }
        }
    }
};

// ---- The emulator under test --------------------------------------------------------------------

class TamoSide {
  public:
    Machine& m() { return tm_.m; }

    void load(const MemoryImage& image) {
        std::memcpy(m().Iwram, image.code.data(), kCodeSize);
        std::memcpy(m().Ewram + (kDataBase - kEwramBase), image.data.data(), kDataSize);
    }

    void set(const CpuView& s) {
        CpuState& c = m().cpu;
        for (int i = 0; i < 15; ++i) c.R[i] = s.r[i];
        c.R[15] = s.pc + (s.thumb ? 4 : 8);
        c.FlagN = s.n;
        c.FlagZ = s.z;
        c.FlagC = s.c;
        c.FlagV = s.v;
        c.ThumbState = s.thumb;
        c.QuitFlag = 0;
        tm_.host.boxes.clear();
        tm_.host.debug_lines.clear();
    }

    CpuView get() {
        const CpuState& c = m().cpu;
        CpuView s;
        for (int i = 0; i < 15; ++i) s.r[i] = c.R[i];
        s.thumb = c.ThumbState;
        s.pc = c.R[15] - (c.ThumbState ? 4 : 8);
        s.n = c.FlagN;
        s.z = c.FlagZ;
        s.c = c.FlagC;
        s.v = c.FlagV;
        return s;
    }

    // Runs `count` instructions, fetched the way the execution loop fetches them. Returns an
    // empty text, or what went wrong.
    std::string execute(size_t count) {
        CpuState& c = m().cpu;
        for (size_t i = 0; i < count; ++i) {
            bool go_on = c.ThumbState ? thumb_execute(m(), read16(m(), c.R[15] - 4))
                                      : arm_execute(m(), read32(m(), c.R[15] - 8));
            if (!go_on || c.QuitFlag) return "the emulator stopped the machine";
        }
        std::string text;
        for (const auto& box : tm_.host.boxes) text += "message box: " + box.text + " ";
        for (const auto& line : tm_.host.debug_lines) text += "debug output: " + line + " ";
        return text;
    }

    const uint8_t* data() { return m().Ewram + (kDataBase - kEwramBase); }

  private:
    TestMachine tm_;
};

// ---- The oracle ---------------------------------------------------------------------------------

class UnicornSide {
  public:
    UnicornSide() {
        error_ = uc_open(UC_ARCH_ARM, UC_MODE_ARM, &uc_);
        if (error_ != UC_ERR_OK) {
            uc_ = nullptr;
            return;
        }
        error_ = uc_ctl_set_cpu_model(uc_, int(UC_CPU_ARM_TI925T));
        if (error_ == UC_ERR_OK) error_ = uc_mem_map(uc_, kEwramBase, kEwramSize, UC_PROT_ALL);
        if (error_ == UC_ERR_OK) error_ = uc_mem_map(uc_, kIwramBase, kIwramSize, UC_PROT_ALL);
        if (error_ == UC_ERR_OK) error_ = uc_ctl_exits_enable(uc_);
    }
    ~UnicornSide() {
        if (uc_) uc_close(uc_);
    }
    UnicornSide(const UnicornSide&) = delete;
    UnicornSide& operator=(const UnicornSide&) = delete;

    uc_err error() const { return error_; }

    // Writes memory and drops any translation of the code that lived there.
    void write(uint32_t address, const void* bytes, size_t size) {
        uc_mem_write(uc_, address, bytes, size);
        uc_ctl_remove_cache(uc_, uint64_t(address), uint64_t(address) + size);
    }

    void read(uint32_t address, void* bytes, size_t size) {
        uc_mem_read(uc_, address, bytes, size);
    }

    void set(const CpuView& s) {
        for (int i = 0; i < 13; ++i) uc_reg_write(uc_, UC_ARM_REG_R0 + i, &s.r[i]);
        uint32_t cpsr = 0;
        uc_reg_read(uc_, UC_ARM_REG_CPSR, &cpsr);
        cpsr = (cpsr & 0x0FFFFFDF) | (s.n << 31) | (s.z << 30) | (s.c << 29) | (s.v << 28) |
               (s.thumb << 5);
        uc_reg_write(uc_, UC_ARM_REG_CPSR, &cpsr);
        uc_reg_write(uc_, UC_ARM_REG_SP, &s.r[13]);
        uc_reg_write(uc_, UC_ARM_REG_LR, &s.r[14]);
        pc_ = s.pc;
        thumb_ = s.thumb;
    }

    CpuView get() {
        CpuView s;
        for (int i = 0; i < 13; ++i) uc_reg_read(uc_, UC_ARM_REG_R0 + i, &s.r[i]);
        uc_reg_read(uc_, UC_ARM_REG_SP, &s.r[13]);
        uc_reg_read(uc_, UC_ARM_REG_LR, &s.r[14]);
        uint32_t cpsr = 0;
        uc_reg_read(uc_, UC_ARM_REG_CPSR, &cpsr);
        s.n = (cpsr >> 31) & 1;
        s.z = (cpsr >> 30) & 1;
        s.c = (cpsr >> 29) & 1;
        s.v = (cpsr >> 28) & 1;
        s.thumb = (cpsr >> 5) & 1;
        s.pc = pc_;
        return s;
    }

    // Runs one instruction from the current address, stopping at the first of `stops` reached.
    //
    // Unicorn stops after a count of instructions through a check that it leaves out of code
    // translated while it believes a THUMB IT block is open (random halfwords in the code area can
    // look like IT to it), and that omission then sticks to later translations, ARM ones included.
    // Stop addresses are checked when code is translated and have no such gap, so every address
    // that may come next is made one; translations made for the previous set are dropped.
    uc_err execute(std::vector<uint64_t> stops) {
        for (uint64_t a : exits_) uc_ctl_remove_cache(uc_, a, a + 4);
        exits_ = std::move(stops);
        for (uint64_t a : exits_) uc_ctl_remove_cache(uc_, a, a + 4);
        uc_ctl_set_exits(uc_, exits_.data(), exits_.size());
        uc_err e = uc_emu_start(uc_, uint64_t(pc_ | thumb_), 0, 0, 1);
        uc_reg_read(uc_, UC_ARM_REG_PC, &pc_);
        uint32_t cpsr = 0;
        uc_reg_read(uc_, UC_ARM_REG_CPSR, &cpsr);
        thumb_ = (cpsr >> 5) & 1;
        pc_ &= ~1u;
        return e;
    }

    uint32_t pc() const { return pc_; }
    uint32_t thumb() const { return thumb_; }

  private:
    uc_engine* uc_ = nullptr;
    uc_err error_ = UC_ERR_OK;
    std::vector<uint64_t> exits_;
    uint32_t pc_ = 0, thumb_ = 0;
};

// ---- Both, in step ------------------------------------------------------------------------------

class Harness {
  public:
    // Empty when the oracle is usable, else the reason.
    std::string problem() const {
        if (uc_.error() != UC_ERR_OK) return std::string("Unicorn: ") + uc_strerror(uc_.error());
        return "";
    }

    void start(const Case& c) {
        MemoryImage image(c.fill_seed);
        tamo_.load(image);
        uc_.write(kCodeBase, image.code.data(), kCodeSize);
        uc_.write(kDataBase, image.data.data(), kDataSize);
        tamo_.set(c.start);
        uc_.set(c.start);
        state_ = c.start;
    }

    // The oracle's state, which is also the emulator's as long as every step agreed.
    const CpuView& state() const { return state_; }

    // Places and runs one step in both emulators and compares them. Returns an empty text when
    // they agree, else a report.
    std::string step(const Step& step) {
        Machine& m = tamo_.m();
        for (const Poke& p : step.pokes) {
            write32(m, p.address, p.value);
            uc_.write(p.address, &p.value, 4);
        }
        for (size_t i = 0; i < step.words.size(); ++i) {
            uint32_t address = step.address + uint32_t(i) * (step.thumb ? 2 : 4);
            uint32_t word = step.words[i];
            if (step.thumb) {
                write16(m, address, word);
                uint16_t half = uint16_t(word);
                uc_.write(address, &half, 2);
            } else {
                write32(m, address, word);
                uc_.write(address, &word, 4);
            }
        }
        const CpuView before = state_;

        std::string trouble = tamo_.execute(step.words.size());
        // Unicorn stops where the emulator went or after the instruction.
        uint32_t size = uint32_t(step.words.size()) * (step.thumb ? 2 : 4);
        uint32_t tamo_next = tamo_.get().pc;
        std::vector<uint64_t> stops = {step.address + size};
        if (tamo_next != step.address + size) stops.push_back(tamo_next);
        uc_err e = uc_.execute(stops);
        // A THUMB BL pair is one instruction for Unicorn when both halves are in the same page,
        // two otherwise.
        if (e == UC_ERR_OK && step.words.size() == 2 && uc_.thumb() &&
            uc_.pc() == step.address + 2) {
            e = uc_.execute(stops);
        }
        if (e != UC_ERR_OK) trouble += std::string("Unicorn: ") + uc_strerror(e);

        CpuView expected = uc_.get();
        if (step.unchecked) {
            CpuState& c = m.cpu;
            if (step.unchecked & kUncheckedC) c.FlagC = expected.c;
            if (step.unchecked & kUncheckedV) c.FlagV = expected.v;
        }
        CpuView observed = tamo_.get();
        state_ = expected;

        std::string differences;
        for (int i = 0; i < 15; ++i) {
            if (expected.r[i] != observed.r[i]) differences += " R" + std::to_string(i);
        }
        if (expected.pc != observed.pc) differences += " next-address";
        if (expected.thumb != observed.thumb) differences += " T";
        if (expected.n != observed.n) differences += " N";
        if (expected.z != observed.z) differences += " Z";
        if (expected.c != observed.c) differences += " C";
        if (expected.v != observed.v) differences += " V";
        std::vector<uint8_t> oracle_data(kDataSize);
        uc_.read(kDataBase, oracle_data.data(), kDataSize);
        const uint8_t* tamo_data = tamo_.data();
        int shown = 0;
        for (uint32_t offset = 0; offset < kDataSize && shown < 4; offset += 4) {
            uint32_t a, b;
            std::memcpy(&a, oracle_data.data() + offset, 4);
            std::memcpy(&b, tamo_data + offset, 4);
            if (a != b) {
                differences +=
                    " mem[" + hex(kDataBase + offset) + "] unicorn " + hex(a) + " tamo " + hex(b);
                ++shown;
            }
        }
        if (trouble.empty() && differences.empty()) return "";

        std::string text = step.form + " at " + hex(step.address) + ": " + describe_words(step);
        if (!step.pokes.empty()) {
            text += " (memory set first:";
            for (const Poke& p : step.pokes) text += " [" + hex(p.address) + "]=" + hex(p.value);
            text += ")";
        }
        text += "\n  before : " + describe(before) + "\n  unicorn: " + describe(expected) +
                "\n  tamo   : " + describe(observed) + "\n  differs:" + differences;
        if (!trouble.empty()) text += "\n  " + trouble;
        return text;
    }

  private:
    TamoSide tamo_;
    UnicornSide uc_;
    CpuView state_;
};

// Replays a recorded case; returns an empty text when both emulators agree at every step.
std::string replay(Harness& h, const Case& c) {
    h.start(c);
    for (size_t i = 0; i < c.steps.size(); ++i) {
        std::string report = h.step(c.steps[i]);
        if (!report.empty()) {
            return "step " + std::to_string(i) + " of " + std::to_string(c.steps.size()) + ", " +
                   report;
        }
    }
    return "";
}

// ---- Generator ----------------------------------------------------------------------------------

bool in_data(uint32_t address, uint32_t size) {
    return address >= kDataBase && address <= kDataBase + kDataSize - size && address % size == 0;
}

// Loads may also read the code area (PC-relative loads).
bool loadable(uint32_t address, uint32_t size) {
    bool in_code = address >= kCodeBase && address <= kCodeBase + kCodeSize - size;
    return (in_data(address, size) || in_code) && address % size == 0;
}

uint32_t random_value(Rng& rng) {
    static constexpr uint32_t kEdgeValues[] = {
        0,          1,          2,          0x1F,       0x20,  0x21,  0x3F,       0x40,
        0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFFFFFE, 0x100, 0x120, 0x80000001, 0x0000FFFF};
    switch (rng.below(10)) {
        case 0:
        case 1:
        case 2: {
            uint32_t address = kDataBase + kDataSize / 4 + rng.below(kDataSize / 2);
            return rng.percent(85) ? address & ~3u : address;
        }
        case 3: {
            uint32_t address = kCodeBase + kCodeMargin + rng.below(kCodeSize - 2 * kCodeMargin);
            return rng.percent(50) ? (address & ~3u) : (address | 1);
        }
        case 4: return rng.below(40);
        case 5: return rng.below(64) * 4;
        case 6: return kEdgeValues[rng.below(std::size(kEdgeValues))];
        default: return rng.next();
    }
}

CpuView random_state(Rng& rng, uint32_t thumb) {
    CpuView s;
    for (auto& r : s.r) r = random_value(rng);
    if (rng.percent(80)) s.r[13] = (kDataBase + kDataSize / 4 + rng.below(kDataSize / 2)) & ~3u;
    s.pc = (kCodeBase + 0x2000 + rng.below(0x4000)) & ~3u;
    s.n = rng.below(2);
    s.z = rng.below(2);
    s.c = rng.below(2);
    s.v = rng.below(2);
    s.thumb = thumb;
    return s;
}

uint32_t sign_extend(uint32_t value, uint32_t bits) {
    uint32_t unused = 32 - bits;
    return uint32_t(int32_t(value << unused) >> unused);
}

class Generator {
  public:
    Generator(Rng& rng, uint32_t families) : rng_(rng), families_(families), used_(kCodeSize / 2) {}

    // Free code space: inside the code area, away from its edges, never used in this sequence.
    bool code_free(uint32_t address, uint32_t size) const {
        if (address < kCodeBase + kCodeMargin ||
            address > kCodeBase + kCodeSize - kCodeMargin - size)
            return false;
        if (address % (size == 4 ? 4 : 2) != 0) return false;
        for (uint32_t a = address; a < address + size; a += 2) {
            if (used_[(a - kCodeBase) / 2]) return false;
        }
        return true;
    }

    std::optional<Step> next(const CpuView& s) {
        s_ = s;
        // The instruction's own place is taken before any branch target is chosen.
        used_[(s.pc - kCodeBase) / 2] = true;
        if (!s.thumb) used_[(s.pc + 2 - kCodeBase) / 2] = true;
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::optional<Step> step = s.thumb ? thumb_form() : arm_form();
            if (!step) continue;
            step->address = s.pc;
            step->thumb = s.thumb;
            uint32_t size = uint32_t(step->words.size()) * (s.thumb ? 2 : 4);
            for (uint32_t a = s.pc; a < s.pc + size; a += 2) used_[(a - kCodeBase) / 2] = true;
            return step;
        }
        return std::nullopt;
    }

  private:
    static Step make(uint32_t word, std::string form, uint32_t unchecked = 0) {
        Step step;
        step.words = {word};
        step.form = std::move(form);
        step.unchecked = unchecked;
        return step;
    }

    // Register value as an instruction reads it: R15 is the address + 4 (THUMB) or + 8 (ARM).
    uint32_t reg(uint32_t i) const { return i == 15 ? s_.pc + (s_.thumb ? 4 : 8) : s_.r[i]; }

    // A register whose low byte is a small shift amount, most of the time.
    uint32_t shift_register(uint32_t count) {
        if (rng_.percent(70)) {
            for (uint32_t tries = 0; tries < 8; ++tries) {
                uint32_t r = rng_.below(count);
                if ((reg(r) & 0xFF) <= 40) return r;
            }
        }
        return rng_.below(count);
    }

    // A free place for a branch target.
    std::optional<uint32_t> free_target(uint32_t size) {
        for (int tries = 0; tries < 16; ++tries) {
            uint32_t a =
                (kCodeBase + kCodeMargin + rng_.below(kCodeSize - 2 * kCodeMargin)) & ~(size - 1);
            if (code_free(a, size)) return a;
        }
        return std::nullopt;
    }

    bool wants(uint32_t family) const { return (families_ & family) != 0; }

    // ---- THUMB ----

    std::optional<Step> thumb_form() {
        switch (rng_.below(20)) {
            case 0: return wants(kAlu) ? thumb_shift_immediate() : std::nullopt;
            case 1: return wants(kAlu) ? thumb_add_subtract() : std::nullopt;
            case 2: return wants(kAlu) ? thumb_immediate8() : std::nullopt;
            case 3:
            case 4: return wants(kAlu) ? thumb_alu() : std::nullopt;
            case 5: return wants(kAlu) ? thumb_high_register() : std::nullopt;
            case 6: return wants(kAlu) ? thumb_address_and_sp() : std::nullopt;
            case 7: return wants(kMultiply) ? thumb_multiply() : std::nullopt;
            case 8: return wants(kMemory) ? thumb_pc_load() : std::nullopt;
            case 9:
            case 10: return wants(kMemory) ? thumb_register_offset() : std::nullopt;
            case 11: return wants(kMemory) ? thumb_immediate_offset() : std::nullopt;
            case 12: return wants(kMemory) ? thumb_sp_relative() : std::nullopt;
            case 13: return wants(kBlock) ? thumb_push_pop() : std::nullopt;
            case 14: return wants(kBlock) ? thumb_multiple() : std::nullopt;
            case 15: return wants(kBranch) ? thumb_conditional_branch() : std::nullopt;
            case 16: return wants(kBranch) ? thumb_branch() : std::nullopt;
            case 17: return wants(kBranch) ? thumb_branch_exchange() : std::nullopt;
            case 18: return wants(kBranch) ? thumb_high_register_to_pc() : std::nullopt;
            default: return wants(kBranch) ? thumb_pop_pc() : std::nullopt;
        }
    }

    std::optional<Step> thumb_shift_immediate() {
        static constexpr const char* kNames[] = {"LSL", "LSR", "ASR"};
        uint32_t op = rng_.below(3);
        // LSR #0 is a copy in the emulator and a shift by 32 on the processor: left out.
        uint32_t n = op == 1 ? 1 + rng_.below(31) : rng_.below(32);
        uint32_t word = (op << 11) | (n << 6) | (rng_.below(8) << 3) | rng_.below(8);
        return make(word, std::string("THUMB ") + kNames[op] + " #" + std::to_string(n));
    }

    std::optional<Step> thumb_add_subtract() {
        uint32_t immediate = rng_.below(2), subtract = rng_.below(2);
        uint32_t word = 0x1800 | (immediate << 10) | (subtract << 9) | (rng_.below(8) << 6) |
                        (rng_.below(8) << 3) | rng_.below(8);
        return make(word, std::string("THUMB ") + (subtract ? "SUB" : "ADD") +
                              (immediate ? " imm3" : " register"));
    }

    std::optional<Step> thumb_immediate8() {
        static constexpr const char* kNames[] = {"MOV", "CMP", "ADD", "SUB"};
        uint32_t op = rng_.below(4);
        uint32_t word = 0x2000 | (op << 11) | (rng_.below(8) << 8) | rng_.below(256);
        return make(word, std::string("THUMB ") + kNames[op] + " imm8");
    }

    std::optional<Step> thumb_alu() {
        static constexpr const char* kNames[] = {"AND", "EOR", "LSL", "LSR", "ASR", "ADC",
                                                 "SBC", "ROR", "TST", "NEG", "CMP", "CMN",
                                                 "ORR", "MUL", "BIC", "MVN"};
        uint32_t op = rng_.below(16);
        if (op == 13) return std::nullopt;  // MUL belongs to the multiply family
        bool shift = op == 2 || op == 3 || op == 4 || op == 7;
        uint32_t rs = shift ? shift_register(8) : rng_.below(8);
        // ROR by 32, 64, ... 224 keeps the carry in the emulator: left out.
        uint32_t amount = s_.r[rs] & 0xFF;
        if (op == 7 && amount != 0 && amount % 32 == 0) return std::nullopt;
        uint32_t word = 0x4000 | (op << 6) | (rs << 3) | rng_.below(8);
        return make(word, std::string("THUMB ALU ") + kNames[op]);
    }

    std::optional<Step> thumb_multiply() {
        uint32_t rd = rng_.below(8), rs = rng_.below(8);
        if (rd == rs) return std::nullopt;
        return make(0x4340 | (rs << 3) | rd, "THUMB ALU MUL", kUncheckedC);
    }

    std::optional<Step> thumb_high_register() {
        static constexpr const char* kNames[] = {"ADD", "CMP", "MOV"};
        uint32_t op = rng_.below(3);
        uint32_t rd = rng_.below(16), rs = rng_.below(16);
        if (rd < 8 && rs < 8) return std::nullopt;
        if (rd == 15) return std::nullopt;
        uint32_t word = 0x4400 | (op << 8) | ((rd >> 3) << 7) | (rs << 3) | (rd & 7);
        return make(word, std::string("THUMB high-register ") + kNames[op]);
    }

    std::optional<Step> thumb_address_and_sp() {
        uint32_t kind = rng_.below(3);
        if (kind == 0) {
            uint32_t word = 0xB000 | (rng_.below(2) << 7) | rng_.below(128);
            return make(word, "THUMB ADD SP, #+-imm7");
        }
        uint32_t from_sp = kind == 2;
        // The emulator aligns SP down here, the processor does not.
        if (from_sp && s_.r[13] % 4 != 0) return std::nullopt;
        uint32_t word = 0xA000 | (from_sp << 11) | (rng_.below(8) << 8) | rng_.below(256);
        return make(word, from_sp ? "THUMB ADD Rd, SP, #imm" : "THUMB ADD Rd, PC, #imm");
    }

    std::optional<Step> thumb_pc_load() {
        uint32_t imm = rng_.below(256);
        uint32_t address = ((s_.pc + 4) & ~3u) + imm * 4;
        if (!loadable(address, 4)) return std::nullopt;
        return make(0x4800 | (rng_.below(8) << 8) | imm, "THUMB LDR Rd, [PC, #imm]");
    }

    std::optional<Step> thumb_register_offset() {
        struct Variant {
            uint32_t bits, size;
            bool load;
            const char* name;
        };
        static constexpr Variant kVariants[] = {
            {0x5000, 4, false, "STR"}, {0x5400, 1, false, "STRB"}, {0x5800, 4, true, "LDR"},
            {0x5C00, 1, true, "LDRB"}, {0x5200, 2, false, "STRH"}, {0x5600, 1, true, "LDSB"},
            {0x5A00, 2, true, "LDRH"}, {0x5E00, 2, true, "LDSH"},
        };
        const Variant& v = kVariants[rng_.below(8)];
        std::vector<uint32_t> pairs;
        for (uint32_t rb = 0; rb < 8; ++rb) {
            for (uint32_t ro = 0; ro < 8; ++ro) {
                uint32_t address = s_.r[rb] + s_.r[ro];
                if (v.load ? loadable(address, v.size) : in_data(address, v.size)) {
                    pairs.push_back(rb * 8 + ro);
                }
            }
        }
        if (pairs.empty()) return std::nullopt;
        uint32_t pick = pairs[rng_.below(uint32_t(pairs.size()))];
        uint32_t word = v.bits | ((pick % 8) << 6) | ((pick / 8) << 3) | rng_.below(8);
        return make(word, std::string("THUMB ") + v.name + " [Rb, Ro]");
    }

    std::optional<Step> thumb_immediate_offset() {
        struct Variant {
            uint32_t bits, size;
            bool load;
            const char* name;
        };
        static constexpr Variant kVariants[] = {
            {0x6000, 4, false, "STR"}, {0x6800, 4, true, "LDR"},   {0x7000, 1, false, "STRB"},
            {0x7800, 1, true, "LDRB"}, {0x8000, 2, false, "STRH"}, {0x8800, 2, true, "LDRH"},
        };
        const Variant& v = kVariants[rng_.below(6)];
        for (int tries = 0; tries < 16; ++tries) {
            uint32_t rb = rng_.below(8), imm = rng_.below(32);
            // The emulator aligns the base of the word and halfword forms: aligned bases only.
            if (s_.r[rb] % v.size != 0) continue;
            uint32_t address = s_.r[rb] + imm * v.size;
            if (v.load ? loadable(address, v.size) : in_data(address, v.size)) {
                uint32_t word = v.bits | (imm << 6) | (rb << 3) | rng_.below(8);
                return make(word, std::string("THUMB ") + v.name + " [Rb, #imm]");
            }
        }
        return std::nullopt;
    }

    std::optional<Step> thumb_sp_relative() {
        uint32_t load = rng_.below(2), imm = rng_.below(256);
        uint32_t sp = s_.r[13];
        if (sp % 4 != 0 || !in_data(sp + imm * 4, 4)) return std::nullopt;
        uint32_t word = 0x9000 | (load << 11) | (rng_.below(8) << 8) | imm;
        return make(word, load ? "THUMB LDR Rd, [SP, #imm]" : "THUMB STR Rd, [SP, #imm]");
    }

    std::optional<Step> thumb_push_pop() {
        uint32_t pop = rng_.below(2), extra = pop ? 0 : rng_.below(2), list = rng_.below(256);
        if (list == 0 && extra == 0) return std::nullopt;
        uint32_t bytes = 4 * uint32_t(std::popcount(list) + extra);
        uint32_t sp = s_.r[13];
        uint32_t low = pop ? sp : sp - bytes;
        if (sp % 4 != 0 || !in_data(low, 4) || !in_data(low + bytes - 4, 4)) return std::nullopt;
        uint32_t word = (pop ? 0xBC00 : 0xB400) | (extra << 8) | list;
        return make(word, pop ? "THUMB POP" : (extra ? "THUMB PUSH with LR" : "THUMB PUSH"));
    }

    std::optional<Step> thumb_multiple() {
        uint32_t load = rng_.below(2), rb = rng_.below(8), list = 1 + rng_.below(255);
        uint32_t base = s_.r[rb];
        // A stored base is kept only when it is the lowest listed register.
        if (!load && (list & (1u << rb)) && (list & ((1u << rb) - 1))) return std::nullopt;
        uint32_t bytes = 4 * uint32_t(std::popcount(list));
        if (!in_data(base, 4) || !in_data(base + bytes - 4, 4)) return std::nullopt;
        uint32_t word = (load ? 0xC800 : 0xC000) | (rb << 8) | list;
        return make(word, load ? "THUMB LDMIA" : "THUMB STMIA");
    }

    std::optional<Step> thumb_conditional_branch() {
        static constexpr const char* kNames[] = {"EQ", "NE", "CS", "CC", "MI", "PL", "VS",
                                                 "VC", "HI", "LS", "GE", "LT", "GT", "LE"};
        uint32_t cond = rng_.below(14);
        for (int tries = 0; tries < 16; ++tries) {
            uint32_t imm = rng_.below(256);
            uint32_t target = s_.pc + 4 + sign_extend(imm, 8) * 2;
            if (code_free(target, 2)) {
                return make(0xD000 | (cond << 8) | imm, std::string("THUMB B") + kNames[cond]);
            }
        }
        return std::nullopt;
    }

    std::optional<Step> thumb_branch() {
        if (rng_.percent(40)) {
            // BL: both halves, to anywhere in the code area.
            if (!code_free(s_.pc + 2, 2)) return std::nullopt;
            std::optional<uint32_t> target = free_target(2);
            if (!target) return std::nullopt;
            uint32_t d = *target - (s_.pc + 4);
            Step step = make(0xF000 | ((d >> 12) & 0x7FF), "THUMB BL pair");
            step.words.push_back(0xF800 | ((d >> 1) & 0x7FF));
            return step;
        }
        for (int tries = 0; tries < 16; ++tries) {
            uint32_t imm = rng_.below(2048);
            uint32_t target = s_.pc + 4 + sign_extend(imm, 11) * 2;
            if (code_free(target, 2)) return make(0xE000 | imm, "THUMB B");
        }
        return std::nullopt;
    }

    std::optional<Step> thumb_branch_exchange() {
        uint32_t first = rng_.below(16);
        for (uint32_t i = 0; i < 16; ++i) {
            uint32_t rs = (first + i) % 16;
            if (rs == 15 && rng_.percent(80)) continue;
            uint32_t v = reg(rs);
            bool ok = (v & 1) ? code_free(v & ~1u, 2) : (v % 4 == 0 && code_free(v, 4));
            if (ok) {
                return make(0x4700 | (rs << 3),
                            (v & 1) ? "THUMB BX (to THUMB)" : "THUMB BX (to ARM)");
            }
        }
        return std::nullopt;
    }

    // ADD PC, Rs and MOV PC, Rs: a branch within THUMB state to the result without bit 0.
    std::optional<Step> thumb_high_register_to_pc() {
        uint32_t op = rng_.below(2) * 2;
        uint32_t first = rng_.below(16);
        for (uint32_t i = 0; i < 16; ++i) {
            uint32_t rs = (first + i) % 16;
            uint32_t target = ((op == 0 ? reg(15) : 0) + reg(rs)) & ~1u;
            if (!code_free(target, 2)) continue;
            uint32_t word = 0x4400 | (op << 8) | (1u << 7) | (rs << 3) | 7;
            return make(word,
                        op == 0 ? "THUMB high-register ADD PC" : "THUMB high-register MOV PC");
        }
        return std::nullopt;
    }

    std::optional<Step> thumb_pop_pc() {
        uint32_t list = rng_.below(256);
        uint32_t bytes = 4 * uint32_t(std::popcount(list) + 1);
        uint32_t sp = s_.r[13];
        if (sp % 4 != 0 || !in_data(sp, 4) || !in_data(sp + bytes - 4, 4)) return std::nullopt;
        std::optional<uint32_t> target = free_target(2);
        if (!target) return std::nullopt;
        // Bit 0 of the loaded address is ignored: the processor stays in THUMB state.
        Step step = make(0xBD00 | list, "THUMB POP with PC");
        step.pokes.push_back({sp + bytes - 4, *target | rng_.below(2)});
        return step;
    }

    // ---- ARM ----

    uint32_t condition() { return rng_.percent(30) ? rng_.below(15) : 14; }

    std::optional<Step> arm_form() {
        switch (rng_.below(15)) {
            case 0:
            case 1:
            case 2:
            case 3: return wants(kAlu) ? arm_data_processing() : std::nullopt;
            case 4: return wants(kMultiply) ? arm_multiply() : std::nullopt;
            case 5: return wants(kMultiply) ? arm_multiply_long() : std::nullopt;
            case 6:
            case 7: return wants(kMemory) ? arm_single_transfer() : std::nullopt;
            case 8: return wants(kMemory) ? arm_halfword_transfer() : std::nullopt;
            case 9: return wants(kBlock) ? arm_block_transfer() : std::nullopt;
            case 10: return wants(kBranch) ? arm_branch() : std::nullopt;
            case 11: return wants(kBranch) ? arm_data_processing_to_pc() : std::nullopt;
            case 12: return wants(kBranch) ? arm_load_pc() : std::nullopt;
            case 13: return wants(kBranch) ? arm_load_multiple_pc() : std::nullopt;
            default: return wants(kBranch) ? arm_branch_exchange() : std::nullopt;
        }
    }

    std::optional<Step> arm_data_processing() {
        static constexpr const char* kOps[] = {"AND", "EOR", "SUB", "RSB", "ADD", "ADC",
                                               "SBC", "RSC", "TST", "TEQ", "CMP", "CMN",
                                               "ORR", "MOV", "BIC", "MVN"};
        static constexpr const char* kShifts[] = {"LSL", "LSR", "ASR", "ROR"};
        uint32_t op = rng_.below(16);
        uint32_t s = (op >= 8 && op <= 11) ? 1 : rng_.below(2);
        uint32_t rd = rng_.below(15), rn = rng_.below(16);
        // The fields that these operations ignore are kept zero, as the oracle requires.
        if (op >= 8 && op <= 11) rd = 0;
        if (op == 13 || op == 15) rn = 0;
        uint32_t word = (condition() << 28) | (op << 21) | (s << 20) | (rn << 16) | (rd << 12);
        std::string form = std::string("ARM ") + kOps[op] + (s ? "S" : "");
        switch (rng_.below(3)) {
            case 0:
                word |= (1u << 25) | (rng_.below(16) << 8) | rng_.below(256);
                form += " #imm";
                break;
            case 1: {
                uint32_t type = rng_.below(4), n = rng_.below(32);
                word |= (n << 7) | (type << 5) | rng_.below(16);
                form += std::string(" Rm, ") + kShifts[type] + " #" + std::to_string(n);
                break;
            }
            default: {
                // R15 reads differently with a register amount on the processor: left out.
                uint32_t type = rng_.below(4), rm = rng_.below(15), rs = shift_register(15);
                if (rn == 15) return std::nullopt;
                // ROR by exactly 32 rotates through the carry in the emulator: left out.
                if (type == 3 && (s_.r[rs] & 0xFF) == 32) return std::nullopt;
                word |= (rs << 8) | (type << 5) | (1u << 4) | rm;
                form += std::string(" Rm, ") + kShifts[type] + " Rs";
                break;
            }
        }
        return make(word, form);
    }

    std::optional<Step> arm_multiply() {
        uint32_t a = rng_.below(2), s = rng_.below(2);
        uint32_t rd = rng_.below(15), rn = a ? rng_.below(15) : 0, rs = rng_.below(15),
                 rm = rng_.below(15);
        if (rd == rm) return std::nullopt;
        uint32_t word = (condition() << 28) | (a << 21) | (s << 20) | (rd << 16) | (rn << 12) |
                        (rs << 8) | 0x90 | rm;
        return make(word, std::string(a ? "ARM MLA" : "ARM MUL") + (s ? "S" : ""),
                    s ? kUncheckedC : 0);
    }

    std::optional<Step> arm_multiply_long() {
        static constexpr const char* kNames[] = {"UMULL", "UMLAL", "SMULL", "SMLAL"};
        uint32_t op = rng_.below(4), s = rng_.below(2);
        uint32_t hi = rng_.below(15), lo = rng_.below(15), rs = rng_.below(15), rm = rng_.below(15);
        if (hi == lo || hi == rm || lo == rm) return std::nullopt;
        uint32_t word = (condition() << 28) | 0x00800090 | (op << 21) | (s << 20) | (hi << 16) |
                        (lo << 12) | (rs << 8) | rm;
        return make(word, std::string("ARM ") + kNames[op] + (s ? "S" : ""),
                    s ? kUncheckedC | kUncheckedV : 0);
    }

    // The address offset of a single transfer with a register offset (shifted by an immediate).
    uint32_t shifted_offset(uint32_t rm, uint32_t type, uint32_t n) const {
        uint32_t v = reg(rm);
        switch (type) {
            case 0: return v << n;
            case 1: return n ? v >> n : 0;
            case 2: return uint32_t(int32_t(v) >> (n ? n : 31));
            default: return n ? std::rotr(v, int(n)) : (v >> 1) | (s_.c << 31);
        }
    }

    std::optional<Step> arm_single_transfer() {
        static constexpr const char* kShifts[] = {"LSL", "LSR", "ASR", "ROR"};
        uint32_t p = rng_.below(2), u = rng_.below(2), b = rng_.below(2), w = rng_.below(2),
                 l = rng_.below(2), reg_offset = rng_.below(2);
        uint32_t size = b ? 1 : 4;
        bool writeback = w || !p;
        uint32_t rd = rng_.below(15);
        for (int tries = 0; tries < 24; ++tries) {
            uint32_t rn = rng_.below(16);
            if (writeback && (rn == 15 || rn == rd)) continue;
            uint32_t offset, operand;
            std::string form = std::string("ARM ") + (l ? "LDR" : "STR") + (b ? "B" : "");
            if (reg_offset) {
                uint32_t rm = rng_.below(15), type = rng_.below(4), n = rng_.below(32);
                if (writeback && rm == rn) continue;
                if (rng_.percent(60)) n = type == 0 ? rng_.below(4) : rng_.below(3);
                offset = shifted_offset(rm, type, n);
                operand = (1u << 25) | (n << 7) | (type << 5) | rm;
                form += std::string(" Rm, ") + kShifts[type] + " #" + std::to_string(n);
            } else {
                offset = rng_.percent(70) ? rng_.below(256) * size : rng_.below(4096);
                operand = offset;
                form += " #imm";
            }
            uint32_t base = reg(rn);
            uint32_t address = p ? (u ? base + offset : base - offset) : base;
            if (!(l ? loadable(address, size) : in_data(address, size))) continue;
            form +=
                p ? (w ? " pre-indexed!" : " offset") : (w ? " post-indexed T" : " post-indexed");
            uint32_t word = (condition() << 28) | (1u << 26) | (p << 24) | (u << 23) | (b << 22) |
                            (w << 21) | (l << 20) | (rn << 16) | (rd << 12) | operand;
            return make(word, form);
        }
        return std::nullopt;
    }

    std::optional<Step> arm_halfword_transfer() {
        struct Variant {
            uint32_t l, sh, size;
            const char* name;
        };
        static constexpr Variant kVariants[] = {
            {1, 1, 2, "LDRH"}, {1, 3, 2, "LDRSH"}, {1, 2, 1, "LDRSB"}, {0, 1, 2, "STRH"}};
        const Variant& v = kVariants[rng_.below(4)];
        uint32_t p = rng_.below(2), u = rng_.below(2), imm_form = rng_.below(2);
        uint32_t w = p ? rng_.below(2) : 0;
        bool writeback = w || !p;
        uint32_t rd = rng_.below(15);
        for (int tries = 0; tries < 24; ++tries) {
            uint32_t rn = rng_.below(16);
            if (writeback && (rn == 15 || rn == rd)) continue;
            uint32_t offset, operand;
            if (imm_form) {
                offset = rng_.percent(70) ? rng_.below(64) * v.size : rng_.below(256);
                operand = (1u << 22) | ((offset >> 4) << 8) | (offset & 15);
            } else {
                uint32_t rm = rng_.below(15);
                if (writeback && rm == rn) continue;
                offset = s_.r[rm];
                operand = rm;
            }
            uint32_t base = reg(rn);
            uint32_t address = p ? (u ? base + offset : base - offset) : base;
            if (!(v.l ? loadable(address, v.size) : in_data(address, v.size))) continue;
            uint32_t word = (condition() << 28) | (p << 24) | (u << 23) | (w << 21) | (v.l << 20) |
                            (rn << 16) | (rd << 12) | 0x90 | (v.sh << 5) | operand;
            return make(word, std::string("ARM ") + v.name + (imm_form ? " #imm" : " Rm") +
                                  (p ? (w ? " pre-indexed!" : " offset") : " post-indexed"));
        }
        return std::nullopt;
    }

    std::optional<Step> arm_block_transfer() {
        static constexpr const char* kModes[] = {"DA", "IA", "DB", "IB"};
        uint32_t p = rng_.below(2), u = rng_.below(2), w = rng_.below(2), l = rng_.below(2);
        uint32_t rn = rng_.below(15);
        uint32_t list = rng_.percent(50) ? rng_.below(0x8000) : rng_.below(0x100) << rng_.below(8);
        list &= 0x7FFF;
        if (list == 0) return std::nullopt;
        if (w && (list & (1u << rn))) return std::nullopt;
        uint32_t bytes = 4 * uint32_t(std::popcount(list));
        uint32_t base = s_.r[rn];
        uint32_t low = u ? (p ? base + 4 : base) : (p ? base - bytes : base - bytes + 4);
        if (base % 4 != 0 || !in_data(low, 4) || !in_data(low + bytes - 4, 4)) {
            return std::nullopt;
        }
        uint32_t word = (condition() << 28) | (4u << 25) | (p << 24) | (u << 23) | (w << 21) |
                        (l << 20) | (rn << 16) | list;
        return make(word, std::string("ARM ") + (l ? "LDM" : "STM") + kModes[p * 2 + u] +
                              (w ? " Rn!" : " Rn"));
    }

    std::optional<Step> arm_branch() {
        std::optional<uint32_t> target = free_target(4);
        if (!target) return std::nullopt;
        uint32_t link = rng_.below(2);
        uint32_t offset = ((*target - (s_.pc + 8)) >> 2) & 0xFFFFFF;
        uint32_t word = (condition() << 28) | (5u << 25) | (link << 24) | offset;
        return make(word, link ? "ARM BL" : "ARM B");
    }

    // MOV, ADD or SUB into R15 without the S bit, with a word-aligned result: a jump.
    std::optional<Step> arm_data_processing_to_pc() {
        static constexpr uint32_t kOps[] = {2, 4, 13};
        uint32_t op = kOps[rng_.below(3)];
        for (int tries = 0; tries < 16; ++tries) {
            uint32_t rn = op == 13 ? 0 : rng_.below(16);
            uint32_t operand, value;
            if (rng_.below(2)) {
                value = rng_.below(64) * 4;
                operand = (1u << 25) | value;
            } else {
                uint32_t rm = rng_.below(16);
                value = reg(rm);
                operand = rm;
            }
            uint32_t target = op == 2 ? reg(rn) - value : op == 4 ? reg(rn) + value : value;
            if (!code_free(target, 4)) continue;
            uint32_t word = (condition() << 28) | (op << 21) | (rn << 16) | (15u << 12) | operand;
            return make(word, op == 2 ? "ARM SUB PC" : op == 4 ? "ARM ADD PC" : "ARM MOV PC");
        }
        return std::nullopt;
    }

    // LDR PC of a word-aligned address, planted in memory first.
    std::optional<Step> arm_load_pc() {
        uint32_t p = rng_.below(2), u = rng_.below(2), w = p ? rng_.below(2) : 0;
        std::optional<uint32_t> target = free_target(4);
        if (!target) return std::nullopt;
        for (int tries = 0; tries < 16; ++tries) {
            uint32_t rn = rng_.below(15), offset = rng_.below(64) * 4;
            uint32_t base = s_.r[rn];
            uint32_t address = p ? (u ? base + offset : base - offset) : base;
            if (!in_data(address, 4)) continue;
            uint32_t word = (condition() << 28) | (1u << 26) | (p << 24) | (u << 23) | (w << 21) |
                            (1u << 20) | (rn << 16) | (15u << 12) | offset;
            Step step = make(word, "ARM LDR PC");
            step.pokes.push_back({address, *target});
            return step;
        }
        return std::nullopt;
    }

    // LDM with R15 in the list (S bit clear), the branch target planted in memory first.
    std::optional<Step> arm_load_multiple_pc() {
        static constexpr const char* kModes[] = {"DA", "IA", "DB", "IB"};
        uint32_t p = rng_.below(2), u = rng_.below(2), w = rng_.below(2);
        uint32_t rn = rng_.below(15);
        uint32_t list = (rng_.percent(30) ? 0 : rng_.below(0x8000)) | 0x8000;
        if (w && (list & (1u << rn))) return std::nullopt;
        uint32_t bytes = 4 * uint32_t(std::popcount(list));
        uint32_t base = s_.r[rn];
        uint32_t low = u ? (p ? base + 4 : base) : (p ? base - bytes : base - bytes + 4);
        if (base % 4 != 0 || !in_data(low, 4) || !in_data(low + bytes - 4, 4)) {
            return std::nullopt;
        }
        std::optional<uint32_t> target = free_target(4);
        if (!target) return std::nullopt;
        uint32_t word = (condition() << 28) | (4u << 25) | (p << 24) | (u << 23) | (w << 21) |
                        (1u << 20) | (rn << 16) | list;
        Step step = make(
            word, std::string("ARM LDM") + kModes[p * 2 + u] + (w ? " Rn!" : " Rn") + " with PC");
        step.pokes.push_back({low + bytes - 4, *target});
        return step;
    }

    std::optional<Step> arm_branch_exchange() {
        uint32_t first = rng_.below(16);
        for (uint32_t i = 0; i < 16; ++i) {
            uint32_t rm = (first + i) % 16;
            if (rm == 15 && rng_.percent(80)) continue;
            uint32_t v = reg(rm);
            bool ok = (v & 1) ? code_free(v & ~1u, 2) : (v % 4 == 0 && code_free(v, 4));
            if (ok) {
                return make((condition() << 28) | 0x012FFF10 | rm,
                            (v & 1) ? "ARM BX (to THUMB)" : "ARM BX (to ARM)");
            }
        }
        return std::nullopt;
    }

    Rng& rng_;
    uint32_t families_;
    std::vector<bool> used_;  // one entry per halfword of the code area
    CpuView s_;
};

// Generates one sequence from `seed` and runs it step by step. Returns an empty text when both
// emulators agree throughout; else the report, which ends with the case as code. `form` receives
// the form of the failing instruction.
std::string generate_and_run(Harness& h, uint64_t seed, uint32_t families, uint32_t thumb,
                             std::string* form, size_t* steps_run) {
    Rng rng(seed);
    Case c;
    c.fill_seed = rng.next64();
    c.start = random_state(rng, thumb);
    h.start(c);
    Generator g(rng, families);
    uint32_t length = 1 + rng.below(8);
    for (uint32_t i = 0; i < length; ++i) {
        const CpuView& s = h.state();
        if (!g.code_free(s.pc, s.thumb ? 2 : 4)) break;
        std::optional<Step> step = g.next(s);
        if (!step) break;
        c.steps.push_back(*step);
        std::string report = h.step(*step);
        ++*steps_run;
        if (!report.empty()) {
            *form = step->form;
            return "seed " + std::to_string(seed) + ", step " + std::to_string(i) + ": " + report +
                   "\n  replay: " + as_code(c);
        }
    }
    return "";
}

// "ARM MOV Rm, LSL #3" and "ARM MOV Rm, LSL #7" are counted together.
std::string without_amounts(const std::string& form) {
    std::string key;
    for (size_t i = 0; i < form.size(); ++i) {
        key += form[i];
        if (form[i] == '#' && i + 1 < form.size() && std::isdigit(form[i + 1])) {
            key += 'n';
            while (i + 1 < form.size() && std::isdigit(form[i + 1])) ++i;
        }
    }
    return key;
}

// Runs `count` generated sequences and expects no difference. Reports the first few in full and
// counts the others by instruction form.
void run_random_sequences(uint64_t first_seed, int count, uint32_t families, uint32_t thumb) {
    Harness h;
    ASSERT_EQ(h.problem(), "");
    int failures = 0;
    size_t steps = 0;
    std::map<std::string, int> by_form;
    for (int i = 0; i < count; ++i) {
        std::string form;
        std::string report =
            generate_and_run(h, first_seed + uint64_t(i), families, thumb, &form, &steps);
        if (report.empty()) continue;
        ++by_form[without_amounts(form)];
        if (++failures <= 3) ADD_FAILURE() << report;
    }
    std::string summary;
    for (const auto& [form, n] : by_form) summary += "\n  " + form + ": " + std::to_string(n);
    EXPECT_EQ(failures, 0) << "sequences that differ, by the form of the first differing "
                              "instruction:"
                           << summary;
    // A generator that silently produced nothing would make this test worthless.
    EXPECT_GT(steps, size_t(count)) << "too few instructions were generated";
}

// ---- The oracle itself --------------------------------------------------------------------------

// Runs one instruction in Unicorn alone.
struct OracleRun {
    uc_err error;
    CpuView state;
};

OracleRun oracle_run(UnicornSide& uc, CpuView s, uint32_t word) {
    if (s.thumb) {
        uint16_t half = uint16_t(word);
        uc.write(s.pc, &half, 2);
    } else {
        uc.write(s.pc, &word, 4);
    }
    uc.set(s);
    uc_err e = uc.execute({s.pc + (s.thumb ? 2u : 4u)});
    return {e, uc.get()};
}

TEST(UnicornOracle, IsAnArmV4TCoreWithoutLaterInstructions) {
    UnicornSide uc;
    ASSERT_EQ(uc.error(), UC_ERR_OK) << uc_strerror(uc.error());
    CpuView s;
    s.pc = 0x03001000;
    // CLZ R0, R1 (ARMv5) does not exist on this core.
    EXPECT_NE(oracle_run(uc, s, 0xE16F0F11).error, UC_ERR_OK);
    // Nor does the THUMB BLX suffix.
    s.thumb = 1;
    s.r[14] = 0x03002001;
    EXPECT_NE(oracle_run(uc, s, 0xE800).error, UC_ERR_OK);
    // An ARMv4T instruction does: ADDS R0, R1, R2.
    s.thumb = 0;
    s.r[1] = 0x7FFFFFFF;
    s.r[2] = 1;
    OracleRun add = oracle_run(uc, s, 0xE0910002);
    ASSERT_EQ(add.error, UC_ERR_OK);
    EXPECT_EQ(add.state.r[0], 0x80000000u);
    EXPECT_EQ(add.state.pc, 0x03001004u);
    EXPECT_EQ(add.state.n, 1u);
    EXPECT_EQ(add.state.v, 1u);
    EXPECT_EQ(add.state.c, 0u);
}

TEST(UnicornOracle, LoadIntoPcDoesNotChangeState) {
    // ARMv5 cores interwork here; the ARM7TDMI, like this core, stays in ARM state.
    UnicornSide uc;
    ASSERT_EQ(uc.error(), UC_ERR_OK);
    uint32_t target = 0x03002001;
    uc.write(kDataBase, &target, 4);
    CpuView s;
    s.pc = 0x03001000;
    s.r[1] = kDataBase;
    OracleRun load = oracle_run(uc, s, 0xE591F000);  // LDR PC, [R1]
    ASSERT_EQ(load.error, UC_ERR_OK);
    EXPECT_EQ(load.state.thumb, 0u);
}

TEST(UnicornOracle, ReplacedCodeIsExecutedAnew) {
    UnicornSide uc;
    ASSERT_EQ(uc.error(), UC_ERR_OK);
    CpuView s;
    s.pc = 0x03001000;
    EXPECT_EQ(oracle_run(uc, s, 0xE3A00001).state.r[0], 1u);  // MOV R0, #1
    EXPECT_EQ(oracle_run(uc, s, 0xE3A00002).state.r[0], 2u);  // MOV R0, #2 at the same place
}

TEST(UnicornOracle, ThumbBlPairIsOneStepOfTheHarness) {
    Harness h;
    ASSERT_EQ(h.problem(), "");
    Case c;
    c.start.thumb = 1;
    c.start.pc = 0x03001000;
    h.start(c);
    // BL to 0x03001100: LR = address after the pair, with bit 0 set.
    Step bl{0x03001000, 1, {0xF000, 0xF87E}, {}, 0, "THUMB BL pair"};
    EXPECT_EQ(h.step(bl), "");
    EXPECT_EQ(h.state().pc, 0x03001100u);
    EXPECT_EQ(h.state().r[14], 0x03001005u);
}

// The comparison does see a difference: THUMB LSR #0 is one of the forms the emulator
// deliberately computes as a copy, where the processor shifts by 32.
TEST(InterpreterVsUnicorn, HarnessReportsTheDeliberateLsrZeroDifference) {
    Harness h;
    ASSERT_EQ(h.problem(), "");
    Case c;
    c.start.thumb = 1;
    c.start.pc = 0x03001000;
    c.start.r[1] = 0x80000000;
    c.steps.push_back({0x03001000, 1, {0x0808}, {}, 0, "THUMB LSR #0"});  // LSR R0, R1, #0
    std::string report = replay(h, c);
    EXPECT_NE(report.find("differs: R0"), std::string::npos) << report;
}

// And it sees memory: a decrementing STM of R15 stores the address + 4 in the emulator (with a
// debug line), the address + 8 in Unicorn.
TEST(InterpreterVsUnicorn, HarnessReportsTheDeliberateStmdbPcDifference) {
    Harness h;
    ASSERT_EQ(h.problem(), "");
    Case c;
    c.start.pc = 0x03001000;
    c.start.r[0] = kDataBase + 0x100;
    c.steps.push_back({0x03001000, 0, {0xE9008000}, {}, 0, "ARM STMDB R0, {PC}"});
    std::string report = replay(h, c);
    EXPECT_NE(report.find("mem[0x020100FC] unicorn 0x03001008 tamo 0x03001004"), std::string::npos)
        << report;
}

// ---- Random sequences, by family ----------------------------------------------------------------

constexpr int kSequences = 1500;

TEST(InterpreterVsUnicorn, ThumbAluSequences) {
    run_random_sequences(0x10000, kSequences, kAlu, 1);
}
TEST(InterpreterVsUnicorn, ThumbMultiplySequences) {
    run_random_sequences(0x20000, kSequences / 3, kMultiply | kAlu, 1);
}
TEST(InterpreterVsUnicorn, ThumbLoadStoreSequences) {
    run_random_sequences(0x30000, kSequences, kMemory | kAlu, 1);
}
TEST(InterpreterVsUnicorn, ThumbBlockTransferSequences) {
    run_random_sequences(0x40000, kSequences, kBlock | kAlu, 1);
}
TEST(InterpreterVsUnicorn, ThumbBranchSequences) {
    run_random_sequences(0x50000, kSequences, kBranch | kAlu, 1);
}
TEST(InterpreterVsUnicorn, ThumbMixedSequences) {
    run_random_sequences(0x60000, kSequences, kAllFamilies, 1);
}
TEST(InterpreterVsUnicorn, ArmDataProcessingSequences) {
    run_random_sequences(0x70000, kSequences, kAlu, 0);
}
TEST(InterpreterVsUnicorn, ArmMultiplySequences) {
    run_random_sequences(0x80000, kSequences / 2, kMultiply | kAlu, 0);
}
TEST(InterpreterVsUnicorn, ArmLoadStoreSequences) {
    run_random_sequences(0x90000, kSequences, kMemory | kAlu, 0);
}
TEST(InterpreterVsUnicorn, ArmBlockTransferSequences) {
    run_random_sequences(0xA0000, kSequences, kBlock | kAlu, 0);
}
TEST(InterpreterVsUnicorn, ArmBranchSequences) {
    run_random_sequences(0xB0000, kSequences, kBranch | kAlu, 0);
}
TEST(InterpreterVsUnicorn, ArmMixedSequences) {
    run_random_sequences(0xC0000, kSequences, kAllFamilies, 0);
}

}  // namespace
