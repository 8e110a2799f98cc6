// The ARM interpreter's own choices, one family per test: R15 read as + 8, results written to
// R15, write-back rules, unaligned accesses, the status-register space, the instructions that
// stop the machine, and a few representative flag cases. Ordinary instruction semantics are
// checked by the arm.gba cartridge and by the differential test against Unicorn; the behaviours
// here are the ones that test leaves out, or that only show as debug lines, message boxes and
// stops. Instruction words come from an ARM assembler unless marked hand-built.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "cpu/cpu.h"
#include "fake_host.h"
#include "memory/bus.h"

namespace {

constexpr uint32_t kCode = 0x03000100;  // IWRAM
constexpr uint32_t kData = 0x02000100;  // EWRAM

using Lines = std::vector<std::string>;

class ArmFixture : public ::testing::Test {
  protected:
    TestMachine t;
    Machine& m = t.m;
    CpuState& c = t.m.cpu;

    void SetUp() override { at(kCode); }

    // The next instruction executes from `address`.
    void at(uint32_t address) { c.R[15] = address + 8; }

    // Places one instruction at the address R15 designates and executes it.
    bool exec(uint32_t op) {
        write32(m, c.R[15] - 8, op);
        return arm_execute(m, op);
    }

    void set_flags(uint32_t n, uint32_t z, uint32_t cf, uint32_t v) {
        c.FlagN = n;
        c.FlagZ = z;
        c.FlagC = cf;
        c.FlagV = v;
    }

    // The four flags as text, a capital letter for each flag that is set: "nZCv".
    std::string flags() const {
        std::string s;
        s += c.FlagN ? 'N' : 'n';
        s += c.FlagZ ? 'Z' : 'z';
        s += c.FlagC ? 'C' : 'c';
        s += c.FlagV ? 'V' : 'v';
        return s;
    }

    const Lines& debug_lines() const { return t.host.debug_lines; }
    const std::vector<FakeHost::Box>& boxes() const { return t.host.boxes; }
};

class ArmStop : public ArmFixture {};
class ArmProgramCounter : public ArmFixture {};
class ArmFlags : public ArmFixture {};
class ArmWritePc : public ArmFixture {};
class ArmStatusTransfer : public ArmFixture {};
class ArmTransfer : public ArmFixture {};

TEST_F(ArmStop, ConditionFifteenStopsSilentlyAndFailedConditionsSkipEverything) {
    c.R[0] = 5;
    EXPECT_FALSE(exec(0xF3A00001));  // "mov r0, #1" with condition 15
    EXPECT_EQ(c.QuitFlag, 1u);
    EXPECT_EQ(c.R[0], 5u);
    EXPECT_EQ(c.R[15], kCode + 8);
    EXPECT_TRUE(boxes().empty());
    EXPECT_TRUE(debug_lines().empty());

    // A failed condition also skips the instructions that would stop the machine.
    c.QuitFlag = 0;
    set_flags(0, 0, 0, 0);
    EXPECT_TRUE(exec(0x0F000000));  // swieq 0
    EXPECT_TRUE(exec(0x01020091));  // swpeq r0, r1, [r2]
    EXPECT_TRUE(exec(0x0001F002));  // andeq pc, r1, r2
    EXPECT_EQ(c.R[15], kCode + 8 + 12);
    EXPECT_EQ(c.QuitFlag, 0u);
    EXPECT_TRUE(boxes().empty());
}

TEST_F(ArmStop, NotEmulatedInstructionsStopWithTheirMessage) {
    const char* kCoTransfer = "ARM Error : Not Emulated => Coprocessor Data Transfers\n";
    const char* kCoRegister = "ARM Error : Not Emulated => Coprocessor Register Transfers\n";
    const char* kMsr = "CPU Error : Not Emulated => MSR Immediate\n";
    const std::pair<uint32_t, const char*> cases[] = {
        {0xE1020091, "ARM Error : Not Emulated => SWP\n"},  // swp r0, r1, [r2]
        {0xE1420091, "ARM Error : Not Emulated => SWP\n"},  // swpb
        {0xE10F0000, "CPU Error : Not Emulated => MRS\n"},  // mrs r0, cpsr
        {0xE328F20F, kMsr},                                 // msr cpsr_f, #imm
        {0xE128F000, kMsr},                                 // msr cpsr_f, r0
        {0xE1F10091, "LDR/STR Error\n"},  // hand-built halfword load, S = H = 0, write-back
        {0xED900100, kCoTransfer},        // ldc
        {0xED800100, kCoTransfer},        // stc
        {0xEE000100, "ARM Error : Not Emulated => Coprocessor Data Operations\n"},  // cdp
        {0xEE000110, kCoRegister},                                                  // mcr
        {0xEE100110, kCoRegister},                                                  // mrc
        {0xEF000000, "BIOS Access Not Emulated\nPlease contact VARN\n"},            // swi 0
    };
    for (auto [op, text] : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << op);
        TestMachine fresh;
        CpuState& f = fresh.m.cpu;
        f.R[0] = 77;
        f.R[1] = kData;
        f.R[2] = kData;
        write32(fresh.m, kData, 0x12345678);
        f.R[15] = kCode + 8;
        EXPECT_FALSE(arm_execute(fresh.m, op));
        EXPECT_EQ(f.QuitFlag, 1u);
        EXPECT_EQ(f.R[15], kCode + 8);  // still on the failing instruction
        EXPECT_EQ(f.R[0], 77u);
        EXPECT_EQ(f.R[1], kData);
        EXPECT_EQ(read32(fresh.m, kData), 0x12345678u);
        EXPECT_EQ(f.FlagN | f.FlagZ | f.FlagC | f.FlagV, 0u);
        ASSERT_EQ(fresh.host.boxes.size(), 1u);
        EXPECT_EQ(fresh.host.boxes[0].caption, "Tamo-Emulator");
        EXPECT_EQ(fresh.host.boxes[0].text, text);
    }
}

TEST_F(ArmProgramCounter, ReadsAndStoresEightAheadExceptDecrementingBlockStores) {
    // A register-specified shift sees + 8 too, as Rm and as Rn.
    c.R[1] = 0x100;
    c.R[2] = 0;
    exec(0xE1A0021F);  // mov r0, pc, lsl r2
    EXPECT_EQ(c.R[0], kCode + 8);
    exec(0xE08F0211);  // add r0, pc, r1, lsl r2 (at kCode + 4)
    EXPECT_EQ(c.R[0], kCode + 4 + 8 + 0x100);

    at(kCode);
    c.R[1] = kData;
    exec(0xE581F000);  // str pc, [r1]
    EXPECT_EQ(read32(m, kData), kCode + 8);

    at(kCode);
    c.R[0] = kData + 0x10;
    exec(0xE8808002);  // stmia r0, {r1, pc}
    EXPECT_EQ(read32(m, kData + 0x10), kData);
    EXPECT_EQ(read32(m, kData + 0x14), kCode + 8);
    EXPECT_TRUE(debug_lines().empty());

    // The decrementing forms store + 4, each time with a debug line.
    at(kCode);
    c.R[0] = kData + 0x30;
    exec(0xE9208002);  // stmdb r0!, {r1, pc}
    EXPECT_EQ(read32(m, kData + 0x28), kData);
    EXPECT_EQ(read32(m, kData + 0x2C), kCode + 4);
    EXPECT_EQ(c.R[0], kData + 0x28);
    EXPECT_EQ(debug_lines(), Lines{"*** Tout s'explique ***\n"});
    at(kCode);
    c.R[0] = kData + 0x40;
    exec(0xE8008000);  // stmda r0, {pc}
    EXPECT_EQ(read32(m, kData + 0x40), kCode + 4);
    EXPECT_EQ(debug_lines().size(), 2u);
}

TEST_F(ArmFlags, RepresentativeCases) {
    struct Case {
        uint32_t op, r1, r2;
        const char* before;
        uint32_t result;
        const char* after;
    };
    const Case cases[] = {
        {0xE0910002, 0x7FFFFFFF, 1, "nzcv", 0x80000000, "NzcV"},  // adds r0, r1, r2
        {0xE0510002, 0x80000000, 1, "Nzcv", 0x7FFFFFFF, "nzCV"},  // subs r0, r1, r2
        {0xE0B10002, 0xFFFFFFFF, 0, "nzCv", 0, "nZCv"},           // adcs r0, r1, r2
        {0xE0D10002, 5, 5, "nzcv", 0xFFFFFFFF, "Nzcv"},           // sbcs r0, r1, r2
        {0xE0F10002, 3, 5, "nzcv", 1, "nzCv"},                    // rscs r0, r1, r2
        {0xE0110002, 0xF0F0F0F0, 0x0F0F0F0F, "NzCV", 0, "nZCV"},  // ands r0, r1, r2
        {0xE1B00201, 0x1800000F, 0, "nzcV", 0x800000F0, "NzCV"},  // movs r0, r1, lsl #4
        {0xE3B002FF, 0, 0, "nzcv", 0xF000000F, "NzCv"},           // movs r0, #0xF000000F
        {0xE1B00061, 2, 0, "nzCv", 0x80000001, "Nzcv"},           // movs r0, r1, rrx
        {0xE0100291, 0xFFFFFFFF, 3, "nZCV", 0xFFFFFFFD, "NzCV"},  // muls r0, r1, r2
        {0xE0810002, 0xFFFFFFFF, 1, "NZCV", 0, "NZCV"},           // add: no S, no flags
        {0xE0930291, 0x80000000, 2, "nZCV", 0, "nzCV"},  // umulls r0, r3, r1, r2: Z needs 64 bits
        // A register amount of exactly 32 rotates through the carry, as RRX does.
        {0xE1B00271, 2, 32, "nzCv", 0x80000001, "Nzcv"},  // movs r0, r1, ror r2
        {0xE1A00271, 3, 32, "nzCv", 0x80000001, "nzCv"},  // mov r0, r1, ror r2
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << k.op);
        const std::string b = k.before;
        set_flags(b[0] == 'N', b[1] == 'Z', b[2] == 'C', b[3] == 'V');
        c.R[1] = k.r1;
        c.R[2] = k.r2;
        exec(k.op);
        EXPECT_EQ(c.R[0], k.result);
        EXPECT_EQ(flags(), k.after);
    }
}

TEST_F(ArmWritePc, ResultsBranchInArmStateAsTheyAre) {
    c.R[14] = 0x80000000;
    set_flags(0, 1, 1, 1);
    EXPECT_TRUE(exec(0xE1B0F00E));  // movs pc, lr: a branch that only sets the flags
    EXPECT_EQ(c.R[15], 0x80000008u);
    EXPECT_EQ(flags(), "NzCV");

    // The low bits are neither dropped nor taken for a state change.
    at(kCode);
    c.R[14] = 0x08000101;
    exec(0xE1A0F00E);  // mov pc, lr
    EXPECT_EQ(c.R[15], 0x08000109u);
    EXPECT_EQ(c.ThumbState, 0u);

    // The interrupt return address wraps to 0, which the run loop takes for the return.
    at(kCode);
    c.R[14] = 0xFFFFFFF8;
    exec(0xE1A0F00E);
    EXPECT_EQ(c.R[15], 0u);

    // Loads into R15 likewise add 8 to the loaded value.
    at(kCode);
    c.R[1] = kData;
    write32(m, kData, 0x08000101);
    exec(0xE591F000);  // ldr pc, [r1]
    EXPECT_EQ(c.R[15], 0x08000109u);
    EXPECT_EQ(c.ThumbState, 0u);

    EXPECT_TRUE(debug_lines().empty());
    EXPECT_EQ(c.QuitFlag, 0u);
}

TEST_F(ArmWritePc, RiskyFormsAreReportedAndBranch) {
    c.R[1] = 0x100;
    c.R[2] = 0x08000300;
    set_flags(0, 0, 1, 0);
    EXPECT_TRUE(exec(0xE0E1F002));  // rsc pc, r1, r2
    EXPECT_EQ(c.R[15], 0x08000208u);

    at(kCode);
    c.R[1] = 0x08000FFF;
    c.R[2] = 0x00000F00;
    EXPECT_TRUE(exec(0xE1C1F002));  // bic pc, r1, r2
    EXPECT_EQ(c.R[15], 0x080000FFu + 8);

    at(kCode);
    c.R[1] = ~0x08000400u;
    EXPECT_TRUE(exec(0xE1E0F001));  // mvn pc, r1
    EXPECT_EQ(c.R[15], 0x08000408u);

    EXPECT_EQ(debug_lines(),
              (Lines{"Risque RSC sur PC\n", "Risque BIC sur PC\n", "Risque MVN sur PC\n"}));
    EXPECT_EQ(c.QuitFlag, 0u);
    EXPECT_TRUE(boxes().empty());
}

TEST_F(ArmWritePc, AndEorAndOrrStopButCountAsExecuted) {
    // AND and EOR: a fatal box, R15 holds the plain result (no + 8), and true is returned so
    // that the run loop counts the instruction.
    const std::pair<uint32_t, const char*> fatal[] = {{0xE001F002, "AND sur le PC !!\n"},
                                                      {0xE021F002, "EOR sur le PC !!\n"}};
    for (auto [op, text] : fatal) {
        SCOPED_TRACE(text);
        TestMachine fresh;
        CpuState& f = fresh.m.cpu;
        f.R[15] = kCode + 8;
        f.R[1] = 0x080001F1;
        f.R[2] = 0x0F0000F0;
        EXPECT_TRUE(arm_execute(fresh.m, op));  // and/eor pc, r1, r2
        EXPECT_EQ(f.R[15], op == 0xE001F002 ? 0x080000F0u : 0x07000101u);
        EXPECT_EQ(f.QuitFlag, 1u);
        ASSERT_EQ(fresh.host.boxes.size(), 1u);
        EXPECT_EQ(fresh.host.boxes[0].caption, "Tamo-Emulator");
        EXPECT_EQ(fresh.host.boxes[0].text, text);
    }

    // ORR stops through the debug output, without a box; with S it sets the flags first.
    c.R[1] = 0x80000000;
    c.R[2] = 0x00000100;
    set_flags(0, 1, 0, 0);
    EXPECT_TRUE(exec(0xE191F002));  // orrs pc, r1, r2
    EXPECT_EQ(c.R[15], 0x80000100u);
    EXPECT_EQ(c.QuitFlag, 1u);
    EXPECT_EQ(flags(), "Nzcv");
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(debug_lines(), Lines{"ORR sur le PC !!\n"});
}

TEST_F(ArmStatusTransfer, WritesAreReportedOrIgnoredAndComparesRunWithoutS) {
    c.R[0] = 0x1F;
    set_flags(1, 0, 1, 0);
    EXPECT_TRUE(exec(0xE121F000));  // msr cpsr_c, r0: reported, then skipped
    EXPECT_EQ(debug_lines(), Lines{"CPU Warning : Not Emulated => ???\n"});
    EXPECT_EQ(flags(), "NzCv");

    // Writes of both fields from a register are skipped silently (as "teq r9, r0" they would
    // set N here).
    c.R[0] = 0xF000001F;
    c.R[9] = 0;
    set_flags(0, 0, 0, 0);
    EXPECT_TRUE(exec(0xE129F000));  // msr cpsr_fc, r0
    EXPECT_TRUE(exec(0xE169F000));  // msr spsr_fc, r0
    EXPECT_EQ(flags(), "nzcv");
    EXPECT_EQ(debug_lines().size(), 1u);
    EXPECT_EQ(c.R[15], kCode + 8 + 12);

    // The other words of this space run as the compare they encode, which sets the flags even
    // without S; Rd = 15 there writes nothing.
    c.R[1] = 0x1F;
    exec(0xE321F01F);  // msr cpsr_c, #0x1F, that is "teq r1, #0x1F" without S
    EXPECT_EQ(flags(), "nZcv");
    c.R[1] = 1;
    c.R[2] = 2;
    exec(0xE1410002);  // hand-built cmp r1, r2 without S
    EXPECT_EQ(flags(), "Nzcv");
    exec(0xE171F002);  // hand-built cmn r1, r2 with Rd = 15
    EXPECT_EQ(flags(), "nzcv");
    EXPECT_EQ(c.R[15], kCode + 8 + 24);
    EXPECT_EQ(c.QuitFlag, 0u);
    EXPECT_TRUE(boxes().empty());
}

TEST_F(ArmTransfer, UnalignedAccessesAndHandBuiltForms) {
    write32(m, kData, 0x44332280);
    write32(m, kData + 4, 0x88776655);
    c.R[1] = kData + 3;
    exec(0xE5910000);  // ldr r0, [r1]
    EXPECT_EQ(c.R[0], 0x77665544u);
    c.R[1] = kData + 1;
    exec(0xE1D100B0);  // ldrh r0, [r1]
    EXPECT_EQ(c.R[0], 0x3322u);

    // The register-amount offset (hand-built) shifts by the low byte of Rs.
    c.R[1] = kData;
    c.R[2] = 1;
    c.R[3] = 0x102;
    exec(0xE7910312);  // "ldr r0, [r1, r2, lsl r3]"
    EXPECT_EQ(c.R[0], 0x88776655u);

    // Halfword-space stores other than STRH (hand-built) store a byte when H = 0.
    c.R[0] = 0xABCD1234;
    c.R[1] = kData + 0x10;
    exec(0xE1C10095);  // S = 0, H = 0, offset 5
    exec(0xE1C100D6);  // S = 1, H = 0, offset 6
    exec(0xE1C100F8);  // S = 1, H = 1, offset 8
    EXPECT_EQ(read32(m, kData + 0x14), 0x00343400u);
    EXPECT_EQ(read32(m, kData + 0x18), 0x00001234u);
}

TEST_F(ArmTransfer, WriteBackWinsAndStoresSeeTheOldBase) {
    write32(m, kData, 0x11111111);
    write32(m, kData + 4, 0x22222222);
    c.R[1] = kData;
    exec(0xE5B11004);  // ldr r1, [r1, #4]!
    EXPECT_EQ(c.R[1], kData + 4);
    c.R[1] = kData + 2;
    exec(0xE1F110B2);  // ldrh r1, [r1, #2]!
    EXPECT_EQ(c.R[1], kData + 4);
    c.R[1] = kData + 0x10;
    exec(0xE5A11004);  // str r1, [r1, #4]!
    EXPECT_EQ(read32(m, kData + 0x14), kData + 0x10);
    EXPECT_EQ(c.R[1], kData + 0x14);

    c.R[0] = kData;
    exec(0xE8B00003);  // ldmia r0!, {r0, r1}
    EXPECT_EQ(c.R[0], kData + 8);
    EXPECT_EQ(c.R[1], 0x22222222u);
    c.R[0] = 0xA0;
    c.R[1] = kData + 0x20;
    exec(0xE8A10003);  // stmia r1!, {r0, r1}: the base is not the lowest listed register
    EXPECT_EQ(read32(m, kData + 0x24), kData + 0x20);
    EXPECT_EQ(c.R[1], kData + 0x28);
}

TEST_F(ArmTransfer, BlockTransferOddities) {
    // Empty lists (hand-built) transfer nothing and leave the base alone.
    c.R[0] = kData;
    write32(m, kData, 0x55);
    exec(0xE8A00000);  // stmia r0!, {}
    exec(0xE9300000);  // ldmdb r0!, {}
    EXPECT_EQ(c.R[0], kData);
    EXPECT_EQ(read32(m, kData), 0x55u);
    EXPECT_EQ(c.R[15], kCode + 16);

    // The user-bank bit changes nothing.
    write32(m, kData + 4, 0x66);
    c.R[13] = kData;
    exec(0xE8FD0003);  // ldmfd sp!, {r0, r1}^
    EXPECT_EQ(c.R[0], 0x55u);
    EXPECT_EQ(c.R[1], 0x66u);
    EXPECT_EQ(c.R[13], kData + 8);

    // A loaded R15 is the value + 8, whatever its low bits; it comes from the highest address.
    at(kCode);
    c.R[0] = kData + 8;
    exec(0xE9108002);  // ldmdb r0, {r1, pc}
    EXPECT_EQ(c.R[1], 0x55u);
    EXPECT_EQ(c.R[15], 0x66u + 8);
    EXPECT_EQ(c.ThumbState, 0u);
}

}  // namespace
