// What the differential test against Unicorn leaves out: the interpreters' deliberate differences
// from the processor, the instructions that stop the machine or talk to the host, and the
// instruction count of the THUMB BL pair. One instruction per row, run at kCode.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "cpu/cpu.h"
#include "fake_host.h"

namespace {

constexpr uint32_t kCode = 0x03000100, kData = 0x02000100;
// Keys below 32 name processor state, the others a word of memory.
enum : uint32_t { kFlags = 16, kQuit = 17, kThumb = 18, kCount = 19, kGoesOn = 20 };
using Values = std::vector<std::pair<uint32_t, uint32_t>>;

struct Case {
    uint32_t thumb, op;
    Values before, after;       // kFlags is NZCV as a 4-bit number
    const char* messages = "";  // message boxes, then debug lines
};

uint32_t get(Machine& m, bool go_on, uint32_t key) {
    CpuState& c = m.cpu;
    if (key < 16) return c.R[key];
    if (key == kFlags) return c.FlagN << 3 | c.FlagZ << 2 | c.FlagC << 1 | c.FlagV;
    if (key == kQuit) return c.QuitFlag;
    if (key == kThumb) return c.ThumbState;
    if (key == kCount) return c.InstructionCount;
    return key == kGoesOn ? go_on : read32(m, key);
}

void run(const Case& k) {
    SCOPED_TRACE(testing::Message() << std::hex << k.op);
    TestMachine t;
    CpuState& c = t.m.cpu;
    c.ThumbState = k.thumb;
    c.R[15] = kCode + (k.thumb ? 4 : 8);
    for (auto [key, value] : k.before) {
        if (key < 16) c.R[key] = value;
        if (key == kFlags) c.FlagN = value >> 3, c.FlagZ = value >> 2 & 1, c.FlagC = value >> 1 & 1;
        if (key == kFlags) c.FlagV = value & 1;
        if (key == kCount) c.InstructionCount = value;
        if (key >= 32) write32(t.m, key, value);
    }
    k.thumb ? write16(t.m, kCode, k.op) : write32(t.m, kCode, k.op);
    const bool go_on = k.thumb ? thumb_execute(t.m, k.op) : arm_execute(t.m, k.op);
    for (auto [key, value] : k.after) EXPECT_EQ(get(t.m, go_on, key), value) << "key " << key;
    std::string messages;
    for (const auto& box : t.host.boxes) messages += box.text;
    for (const auto& line : t.host.debug_lines) messages += line;
    EXPECT_EQ(messages, k.messages);
}

// An instruction that stops the machine where it stands, changing nothing.
Case stop(uint32_t op, const char* text) {
    const Values state = {{0, 77}, {1, kData}, {2, kData}, {kData, 0x12345678}, {kFlags, 0}};
    Values after = {{kGoesOn, 0}, {kQuit, 1}, {15, kCode + 8}};
    after.insert(after.end(), state.begin(), state.end());
    return {0, op, state, after, text};
}

const char* const kCoTransfer = "ARM Error : Not Emulated => Coprocessor Data Transfers\n";
const char* const kCoRegister = "ARM Error : Not Emulated => Coprocessor Register Transfers\n";
const char* const kMsr = "CPU Error : Not Emulated => MSR Immediate\n";

TEST(Interpreters, ArmStopsAndUnemulatedInstructions) {
    // clang-format off
    const Case cases[] = {
        stop(0xF3A00001, ""),  // condition 15: a quiet stop
        stop(0xE1020091, "ARM Error : Not Emulated => SWP\n"),
        stop(0xE1420091, "ARM Error : Not Emulated => SWP\n"),  // SWPB
        stop(0xE10F0000, "CPU Error : Not Emulated => MRS\n"),
        stop(0xE328F20F, kMsr),               // msr cpsr_f, #imm
        stop(0xE128F000, kMsr),               // msr cpsr_f, r0
        stop(0xE1F10091, "LDR/STR Error\n"),  // halfword space, S = H = 0, write-back
        stop(0xED900100, kCoTransfer),        // ldc
        stop(0xED800100, kCoTransfer),        // stc
        stop(0xEE000100, "ARM Error : Not Emulated => Coprocessor Data Operations\n"),
        stop(0xEE000110, kCoRegister),                                        // mcr
        stop(0xEE100110, kCoRegister),                                        // mrc
        stop(0xEF000000, "BIOS Access Not Emulated\nPlease contact VARN\n"),  // swi 0
        // A failed condition skips even these.
        {0, 0x0F000000, {}, {{kGoesOn, 1}, {kQuit, 0}, {15, kCode + 12}}},  // swieq
        {0, 0x01020091, {}, {{kGoesOn, 1}, {kQuit, 0}, {15, kCode + 12}}},  // swpeq
        {0, 0x0001F002, {}, {{kGoesOn, 1}, {kQuit, 0}, {15, kCode + 12}}},  // andeq pc, r1, r2
        // AND and EOR into R15: a fatal box, the plain result in R15, counted as executed.
        {0, 0xE001F002, {{1, 0x080001F1}, {2, 0x0F0000F0}},
            {{kGoesOn, 1}, {kQuit, 1}, {15, 0x080000F0}}, "AND sur le PC !!\n"},
        {0, 0xE021F002, {{1, 0x080001F1}, {2, 0x0F0000F0}},
            {{kGoesOn, 1}, {kQuit, 1}, {15, 0x07000101}}, "EOR sur le PC !!\n"},
        // ORR: a stop through the debug output; with S the flags are set first.
        {0, 0xE191F002, {{1, 0x80000000}, {2, 0x100}, {kFlags, 4}},
            {{kGoesOn, 1}, {kQuit, 1}, {15, 0x80000100}, {kFlags, 8}}, "ORR sur le PC !!\n"},
        // THUMB condition 14 stops quietly; SWI runs the firmware (here a refused warning).
        {1, 0xDE00, {{kFlags, 15}}, {{kGoesOn, 0}, {kQuit, 1}, {15, kCode + 4}}},
    };
    // clang-format on
    for (const Case& k : cases) run(k);
}

TEST(Interpreters, ArmDeliberateDifferences) {
    // clang-format off
    const Case cases[] = {
        // R15 reads as + 8 in register shifts and stores; decrementing STM stores + 4.
        {0, 0xE1A0021F, {{2, 0}}, {{0, kCode + 8}}},                      // mov r0, pc, lsl r2
        {0, 0xE08F0211, {{1, 0x100}, {2, 0}}, {{0, kCode + 0x108}}},      // add r0, pc, r1, lsl r2
        {0, 0xE581F000, {{1, kData}}, {{kData, kCode + 8}}},              // str pc, [r1]
        {0, 0xE8808002, {{0, kData}, {1, 5}}, {{kData + 4, kCode + 8}}},  // stmia r0, {r1, pc}
        {0, 0xE9208002, {{0, kData + 8}, {1, 5}},
            {{kData + 4, kCode + 4}, {0, kData}},
            "*** Tout s'explique ***\n"},  // stmdb r0!, {r1, pc}
        {0, 0xE8008000, {{0, kData}}, {{kData, kCode + 4}}, "*** Tout s'explique ***\n"},
        // ROR by a register amount of exactly 32 rotates through the carry, as RRX.
        {0, 0xE1B00271, {{1, 2}, {2, 32}, {kFlags, 2}}, {{0, 0x80000001}, {kFlags, 8}}},
        {0, 0xE1A00271, {{1, 3}, {2, 32}, {kFlags, 2}}, {{0, 0x80000001}, {kFlags, 2}}},
        // Register shifts by 32 and more, which random register values hardly ever give.
        {0, 0xE1B00211, {{1, 1}, {2, 32}}, {{0, 0}, {kFlags, 6}}},                  // lsl
        {0, 0xE1B00211, {{1, 3}, {2, 33}, {kFlags, 2}}, {{0, 0}, {kFlags, 4}}},
        {0, 0xE1B00231, {{1, 0x80000000}, {2, 32}}, {{0, 0}, {kFlags, 6}}},         // lsr
        {0, 0xE1B00251, {{1, 0x80000000}, {2, 40}}, {{0, ~0u}, {kFlags, 10}}},      // asr
        // Results written to R15 branch as they are: S sets only the flags, no bit is dropped.
        {0, 0xE1B0F00E, {{14, 0x80000000}, {kFlags, 7}}, {{15, 0x80000008}, {kFlags, 11}}},
        {0, 0xE1A0F00E, {{14, 0x08000101}}, {{15, 0x08000109}, {kThumb, 0}}},  // mov pc, lr
        {0, 0xE1A0F00E, {{14, 0xFFFFFFF8}}, {{15, 0}}},  // the interrupt return address wraps
        {0, 0xE591F000, {{1, kData}, {kData, 0x08000101}}, {{15, 0x08000109}, {kThumb, 0}}},
        {0, 0xE0E1F002, {{1, 0x100}, {2, 0x08000300}, {kFlags, 2}},
            {{15, 0x08000208}, {kQuit, 0}}, "Risque RSC sur PC\n"},
        {0, 0xE1C1F002, {{1, 0x08000FFF}, {2, 0xF00}}, {{15, 0x08000107}}, "Risque BIC sur PC\n"},
        {0, 0xE1E0F001, {{1, ~0x08000400u}}, {{15, 0x08000408}}, "Risque MVN sur PC\n"},
        // The status-register space: MSR warns or is skipped, the rest runs as compares.
        {0, 0xE121F000, {{0, 0x1F}, {kFlags, 10}},
            {{kFlags, 10}, {kGoesOn, 1}}, "CPU Warning : Not Emulated => ???\n"},  // msr cpsr_c, r0
        {0, 0xE129F000, {{0, 0xF000001F}}, {{kFlags, 0}, {15, kCode + 12}}},  // msr cpsr_fc, r0
        {0, 0xE169F000, {{0, 0xF000001F}}, {{kFlags, 0}, {15, kCode + 12}}},  // msr spsr_fc, r0
        {0, 0xE321F01F, {{1, 0x1F}}, {{kFlags, 4}}},       // msr cpsr_c, #0x1F: teq
        {0, 0xE1410002, {{1, 1}, {2, 2}}, {{kFlags, 8}}},  // cmp r1, r2 without S
        {0, 0xE171F002, {{1, 1}, {2, 2}}, {{kFlags, 0}, {15, kCode + 12}}},  // cmn, Rd = 15
        // Unaligned loads are not rotated; hand-built forms of the transfer space.
        {0, 0xE5910000, {{1, kData + 3}, {kData, 0x44332280}, {kData + 4, 0x88776655}},
            {{0, 0x77665544}}},  // ldr r0, [r1]
        {0, 0xE1D100B0, {{1, kData + 1}, {kData, 0x44332280}}, {{0, 0x3322}}},  // ldrh r0, [r1]
        {0, 0xE7910312, {{1, kData}, {2, 1}, {3, 0x102}, {kData + 4, 0x88776655}},
            {{0, 0x88776655}}},  // "ldr r0, [r1, r2, lsl r3]"
        {0, 0xE1C10095, {{0, 0xABCD1234}, {1, kData}}, {{kData + 4, 0x00003400}}},  // S=0 H=0
        {0, 0xE1C100D6, {{0, 0xABCD1234}, {1, kData}}, {{kData + 4, 0x00340000}}},  // S=1 H=0
        {0, 0xE1C100F8, {{0, 0xABCD1234}, {1, kData}}, {{kData + 8, 0x00001234}}},  // S=1 H=1
        // Write-back wins over a load into the base; stores see the old base.
        {0, 0xE5B11004, {{1, kData}}, {{1, kData + 4}}},                      // ldr r1, [r1, #4]!
        {0, 0xE1F110B2, {{1, kData + 2}}, {{1, kData + 4}}},                  // ldrh r1, [r1, #2]!
        {0, 0xE5A11004, {{1, kData}}, {{kData + 4, kData}, {1, kData + 4}}},  // str r1, [r1, #4]!
        // R15 as the destination or the written-back base of a transfer: a word load branches
        // (+ 8), a halfword load and a written-back R15 land 4 bytes past the value.
        {0, 0xE491F004, {{1, kData}, {kData, 0x08000101}}, {{15, 0x08000109}, {1, kData + 4}}},
        {0, 0xE1D1F0B0, {{1, kData}, {kData, 0x1234}}, {{15, 0x1238}, {kGoesOn, 1}}},  // ldrh pc
        {0, 0xE5AF0004, {{0, 7}}, {{kCode + 12, 7}, {15, kCode + 16}}},  // str r0, [pc, #4]!
        {0, 0xE8B00003, {{0, kData}, {kData + 4, 9}}, {{0, kData + 8}, {1, 9}}},  // ldmia r0!
        {0, 0xE8A10003, {{0, 0xA0}, {1, kData}}, {{kData + 4, kData}, {1, kData + 8}}},
        // Empty lists move nothing; the user-bank bit changes nothing; loaded R15 is + 8.
        {0, 0xE8A00000, {{0, kData}, {kData, 0x55}}, {{0, kData}, {kData, 0x55}}},
        {0, 0xE9300000, {{0, kData}}, {{0, kData}, {15, kCode + 12}}},
        {0, 0xE8FD0003, {{13, kData}, {kData, 5}, {kData + 4, 6}},
            {{0, 5}, {1, 6}, {13, kData + 8}}},
        {0, 0xE9108002, {{0, kData + 8}, {kData, 5}, {kData + 4, 0x66}}, {{1, 5}, {15, 0x6E}}},
    };
    // clang-format on
    for (const Case& k : cases) run(k);
}

TEST(Interpreters, ThumbDeliberateDifferences) {
    // clang-format off
    const Case cases[] = {
        // LSR #0 copies; ROR by 32 or 64 keeps the value and the carry.
        {1, 0x0808, {{1, 0x80000000}, {kFlags, 5}}, {{0, 0x80000000}, {kFlags, 9}}},
        {1, 0x0808, {{1, 0x80000000}, {kFlags, 7}}, {{0, 0x80000000}, {kFlags, 11}}},
        {1, 0x41C8, {{0, 0x87654321}, {1, 32}, {kFlags, 7}}, {{0, 0x87654321}, {kFlags, 11}}},
        {1, 0x41C8, {{0, 0x87654321}, {1, 64}, {kFlags, 5}}, {{0, 0x87654321}, {kFlags, 9}}},
        {1, 0x4408, {{0, ~0u}, {1, 1}, {kFlags, 15}}, {{0, 0}, {kFlags, 15}}},  // add r0, r1
        // Immediate offsets align the base of word and halfword forms, and SP.
        {1, 0x6088, {{0, 0x11223344}, {1, kData + 2}}, {{kData + 8, 0x11223344}}},
        {1, 0x6888, {{1, kData + 3}, {kData + 8, 0x11223344}}, {{0, 0x11223344}}},
        {1, 0x80C8, {{0, 0xAABBCCDD}, {1, kData + 1}}, {{kData + 4, 0xCCDD0000}}},
        {1, 0x7148, {{0, 0xAABBCCDD}, {1, kData + 1}}, {{kData + 4, 0x00DD0000}}},  // strb
        {1, 0x9202, {{13, kData + 3}, {2, 0xFEED}}, {{kData + 8, 0xFEED}, {13, kData + 3}}},
        {1, 0xAA02, {{13, kData + 3}}, {{2, kData + 8}}},  // add r2, sp, #8
        // Register offsets do not rotate; STMIA stores a listed base's old value.
        {1, 0x5888, {{1, kData}, {2, 1}, {kData, 0x33221100}, {kData + 4, 0x44}},
            {{0, 0x44332211}}},
        {1, 0xC107, {{0, 0xA0}, {1, kData}, {2, 0xA2}},
            {{kData, 0xA0}, {kData + 4, kData}, {kData + 8, 0xA2}, {1, kData + 12}}},
        // The BL pair counts once: its first half takes one off the count and leaves LR 4 higher,
        // which its second half takes off again.
        {1, 0xF6FF, {{kCount, 100}}, {{kCount, 99}, {15, kCode + 6}, {14, kCode + 8 - 0x101000}}},
        {1, 0xF810, {{14, 0x08001000}}, {{15, 0x08001020}, {14, (kCode + 2) | 1}}},
        {1, 0xEFFE, {}, {{15, kCode + 4}}},  // bit 11 set: a branch all the same
        // Only BX leaves THUMB state, without aligning; MOV PC of the return address is no return.
        {1, 0x46F7, {{14, 0xFFFFFFF8}}, {{15, 0xFFFFFFFC}, {kThumb, 1}}},
        {1, 0x4708, {{1, 0x08000102}}, {{15, 0x0800010A}, {kThumb, 0}}},
        {1, 0x47F0, {{14, 0x08000401}}, {{15, 0x08000404}, {kThumb, 1}}},  // bit 7 set
        {1, 0x47F0, {{14, 0x08000400}}, {{15, 0x08000408}, {kThumb, 0}}},
        // A firmware function that is not carried out is reported; registers stay.
        {1, 0xDF05, {{0, 0x10}, {1, 0x11}, {kFlags, 10}},
            {{0, 0x10}, {1, 0x11}, {kFlags, 10}, {15, kCode + 6}, {kQuit, 0}},
            "BIOS funtion 0x05 don't emulated\nDisable this kind of WARNING ?"},
    };
    // clang-format on
    for (const Case& k : cases) run(k);
}

}  // namespace
