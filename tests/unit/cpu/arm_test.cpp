// The ARM interpreter: one instruction at a time through arm_execute, and short programs through
// cpu_run. Instruction words were produced by an ARM assembler; the few encodings an assembler
// refuses (compares without S, register-amount load offsets, odd halfword forms) are built by hand
// and say so.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cpu/cpu.h"
#include "fake_host.h"
#include "memory/bus.h"

namespace {

constexpr uint32_t kCode = 0x03000100;  // IWRAM
constexpr uint32_t kData = 0x02000100;  // EWRAM

class ArmFixture : public ::testing::Test {
  protected:
    TestMachine t;
    Machine& m = t.m;
    CpuState& c = t.m.cpu;

    void SetUp() override { c.R[15] = kCode + 8; }

    // Places one instruction at the address R15 designates and executes it.
    bool exec(uint32_t op) {
        write32(m, c.R[15] - 8, op);
        return arm_execute(m, op);
    }

    // Writes a program at kCode and points R15 at it.
    void load_program(const std::vector<uint32_t>& words) {
        for (size_t i = 0; i < words.size(); ++i) write32(m, kCode + uint32_t(4 * i), words[i]);
        c.R[15] = kCode + 8;
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

    const std::vector<std::string>& debug_lines() const { return t.host.debug_lines; }
    const std::vector<FakeHost::Box>& boxes() const { return t.host.boxes; }

    // A fatal error: false returned, the machine stopped with exactly this message box, and R15
    // still on the failing instruction.
    void expect_fatal(bool result, const std::string& text) {
        EXPECT_FALSE(result);
        EXPECT_EQ(c.QuitFlag, 1u);
        ASSERT_EQ(boxes().size(), 1u);
        EXPECT_EQ(boxes()[0].caption, "Tamo-Emulator");
        EXPECT_EQ(boxes()[0].text, text);
        EXPECT_EQ(c.R[15], kCode + 8);
    }
};

class ArmCondition : public ArmFixture {};
class ArmShifter : public ArmFixture {};
class ArmDataProcessing : public ArmFixture {};
class ArmWritePc : public ArmFixture {};
class ArmStatusTransfer : public ArmFixture {};
class ArmMultiply : public ArmFixture {};
class ArmSingleTransfer : public ArmFixture {};
class ArmHalfwordTransfer : public ArmFixture {};
class ArmBlockTransfer : public ArmFixture {};
class ArmBranch : public ArmFixture {};
class ArmUnsupported : public ArmFixture {};
class ArmProgram : public ArmFixture {};

// ---------------------------------------------------------------------------------------------

TEST_F(ArmCondition, EachConditionFollowsTheFlags) {
    struct Case {
        uint32_t op;
        uint32_t n, z, c, v;
        bool runs;
    };
    const Case cases[] = {
        {0x03A00001, 0, 1, 0, 0, true},   // moveq
        {0x03A00001, 0, 0, 0, 0, false},  // moveq
        {0x13A00001, 0, 0, 0, 0, true},   // movne
        {0x13A00001, 0, 1, 0, 0, false},  // movne
        {0x23A00001, 0, 0, 1, 0, true},   // movcs
        {0x23A00001, 0, 0, 0, 0, false},  // movcs
        {0x33A00001, 0, 0, 0, 0, true},   // movcc
        {0x33A00001, 0, 0, 1, 0, false},  // movcc
        {0x43A00001, 1, 0, 0, 0, true},   // movmi
        {0x43A00001, 0, 0, 0, 0, false},  // movmi
        {0x53A00001, 0, 0, 0, 0, true},   // movpl
        {0x53A00001, 1, 0, 0, 0, false},  // movpl
        {0x63A00001, 0, 0, 0, 1, true},   // movvs
        {0x63A00001, 0, 0, 0, 0, false},  // movvs
        {0x73A00001, 0, 0, 0, 0, true},   // movvc
        {0x73A00001, 0, 0, 0, 1, false},  // movvc
        {0x83A00001, 0, 0, 1, 0, true},   // movhi
        {0x83A00001, 0, 1, 1, 0, false},  // movhi
        {0x83A00001, 0, 0, 0, 0, false},  // movhi
        {0x93A00001, 0, 0, 0, 0, true},   // movls
        {0x93A00001, 0, 1, 1, 0, true},   // movls
        {0x93A00001, 0, 0, 1, 0, false},  // movls
        {0xA3A00001, 1, 0, 0, 1, true},   // movge
        {0xA3A00001, 0, 0, 0, 0, true},   // movge
        {0xA3A00001, 1, 0, 0, 0, false},  // movge
        {0xB3A00001, 0, 0, 0, 1, true},   // movlt
        {0xB3A00001, 1, 0, 0, 1, false},  // movlt
        {0xC3A00001, 1, 0, 0, 1, true},   // movgt
        {0xC3A00001, 0, 1, 0, 0, false},  // movgt
        {0xC3A00001, 1, 0, 0, 0, false},  // movgt
        {0xD3A00001, 0, 1, 0, 0, true},   // movle
        {0xD3A00001, 1, 0, 0, 0, true},   // movle
        {0xD3A00001, 0, 0, 0, 0, false},  // movle
        {0xE3A00001, 1, 1, 1, 1, true},   // mov (always)
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message()
                     << std::hex << k.op << " nzcv " << k.n << k.z << k.c << k.v);
        c.R[0] = 0;
        c.R[15] = kCode + 8;
        set_flags(k.n, k.z, k.c, k.v);
        EXPECT_TRUE(exec(k.op));
        EXPECT_EQ(c.R[0], k.runs ? 1u : 0u);
        EXPECT_EQ(c.R[15], kCode + 12);  // executed or not, the next instruction follows
    }
}

TEST_F(ArmCondition, FailedConditionHasNoOtherEffect) {
    set_flags(0, 0, 0, 0);
    c.R[1] = kData;
    write32(m, kData, 0x08000000);
    EXPECT_TRUE(exec(0x0591F000));  // ldreq pc, [r1]
    EXPECT_EQ(c.R[15], kCode + 12);
    EXPECT_TRUE(exec(0x0F000000));  // swieq 0: not taken, so no error either
    EXPECT_TRUE(exec(0x01020091));  // swpeq r0, r1, [r2]
    EXPECT_TRUE(exec(0x0B00003E));  // bleq
    EXPECT_EQ(c.R[14], 0u);
    EXPECT_EQ(c.R[15], kCode + 24);
    EXPECT_EQ(c.QuitFlag, 0u);
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(flags(), "nzcv");
}

TEST_F(ArmCondition, ConditionFifteenStopsSilently) {
    c.R[0] = 5;
    EXPECT_FALSE(exec(0xF3A00001));  // "mov r0, #1" with condition 15
    EXPECT_EQ(c.QuitFlag, 1u);
    EXPECT_EQ(c.R[0], 5u);
    EXPECT_EQ(c.R[15], kCode + 8);
    EXPECT_TRUE(boxes().empty());
    EXPECT_TRUE(debug_lines().empty());
}

// ---------------------------------------------------------------------------------------------

TEST_F(ArmShifter, ImmediateLogicalShifts) {
    c.R[1] = 0x1800000F;
    set_flags(0, 0, 1, 1);
    exec(0xE1B00001);  // movs r0, r1 (LSL #0 keeps the carry)
    EXPECT_EQ(c.R[0], 0x1800000Fu);
    EXPECT_EQ(flags(), "nzCV");
    set_flags(0, 0, 0, 0);
    exec(0xE1B00001);
    EXPECT_EQ(flags(), "nzcv");

    exec(0xE1B00201);  // movs r0, r1, lsl #4
    EXPECT_EQ(c.R[0], 0x800000F0u);
    EXPECT_EQ(flags(), "NzCv");  // bit 28 went out last

    c.R[1] = 0x0000001F;
    exec(0xE1B00221);  // movs r0, r1, lsr #4
    EXPECT_EQ(c.R[0], 0x1u);
    EXPECT_EQ(flags(), "nzCv");  // bit 3

    c.R[1] = 0x80000001;
    set_flags(0, 0, 0, 0);
    exec(0xE1B00021);  // movs r0, r1, lsr #32 (amount field 0)
    EXPECT_EQ(c.R[0], 0u);
    EXPECT_EQ(flags(), "nZCv");
    c.R[1] = 0x7FFFFFFF;
    exec(0xE1B00021);
    EXPECT_EQ(c.R[0], 0u);
    EXPECT_EQ(flags(), "nZcv");
}

TEST_F(ArmShifter, ImmediateArithmeticShiftsAndRotations) {
    c.R[1] = 0x80000018;
    exec(0xE1B00241);  // movs r0, r1, asr #4
    EXPECT_EQ(c.R[0], 0xF8000001u);
    EXPECT_EQ(flags(), "NzCv");

    c.R[1] = 0x80000000;
    exec(0xE1B00041);  // movs r0, r1, asr #32 (amount field 0)
    EXPECT_EQ(c.R[0], 0xFFFFFFFFu);
    EXPECT_EQ(flags(), "NzCv");
    c.R[1] = 0x7FFFFFFF;
    exec(0xE1B00041);
    EXPECT_EQ(c.R[0], 0u);
    EXPECT_EQ(flags(), "nZcv");

    c.R[1] = 0x0000001F;
    exec(0xE1B00261);  // movs r0, r1, ror #4
    EXPECT_EQ(c.R[0], 0xF0000001u);
    EXPECT_EQ(flags(), "NzCv");

    // ROR #0 is RRX: the carry enters bit 31, bit 0 leaves into the carry.
    c.R[1] = 0x00000002;
    set_flags(0, 0, 1, 0);
    exec(0xE1B00061);  // movs r0, r1, rrx
    EXPECT_EQ(c.R[0], 0x80000001u);
    EXPECT_EQ(flags(), "Nzcv");
    c.R[1] = 0x00000003;
    exec(0xE1B00061);
    EXPECT_EQ(c.R[0], 0x00000001u);
    EXPECT_EQ(flags(), "nzCv");
}

TEST_F(ArmShifter, RegisterAmountsAtAndBeyondThirtyTwo) {
    set_flags(0, 0, 1, 0);
    c.R[1] = 0x80000001;
    c.R[2] = 0;
    exec(0xE1B00211);  // movs r0, r1, lsl r2: amount 0 changes nothing
    EXPECT_EQ(c.R[0], 0x80000001u);
    EXPECT_EQ(flags(), "NzCv");

    c.R[1] = 0x00000001;
    c.R[2] = 32;
    set_flags(0, 0, 0, 0);
    exec(0xE1B00211);  // lsl 32: 0, carry = bit 0
    EXPECT_EQ(c.R[0], 0u);
    EXPECT_EQ(flags(), "nZCv");
    c.R[2] = 33;
    exec(0xE1B00211);  // lsl 33: 0, carry 0
    EXPECT_EQ(flags(), "nZcv");

    c.R[1] = 0x80000000;
    c.R[2] = 32;
    exec(0xE1B00231);  // lsr 32: carry = bit 31
    EXPECT_EQ(c.R[0], 0u);
    EXPECT_EQ(flags(), "nZCv");
    c.R[2] = 33;
    exec(0xE1B00231);
    EXPECT_EQ(flags(), "nZcv");

    c.R[2] = 40;
    exec(0xE1B00251);  // asr 40 fills with bit 31
    EXPECT_EQ(c.R[0], 0xFFFFFFFFu);
    EXPECT_EQ(flags(), "NzCv");

    // Only the low byte of Rs counts: 0x120 is 32, 0x104 is 4.
    c.R[1] = 0x00000001;
    c.R[2] = 0x120;
    set_flags(0, 0, 0, 0);
    exec(0xE1B00211);
    EXPECT_EQ(c.R[0], 0u);
    EXPECT_EQ(flags(), "nZCv");
    c.R[2] = 0x104;
    exec(0xE1B00211);
    EXPECT_EQ(c.R[0], 0x10u);
}

TEST_F(ArmShifter, RegisterRotations) {
    c.R[1] = 0x00000018;
    c.R[2] = 4;
    exec(0xE1B00271);  // movs r0, r1, ror r2
    EXPECT_EQ(c.R[0], 0x80000001u);
    EXPECT_EQ(flags(), "NzCv");

    c.R[2] = 36;  // 36 rotates like 4
    exec(0xE1B00271);
    EXPECT_EQ(c.R[0], 0x80000001u);
    EXPECT_EQ(flags(), "NzCv");

    // An amount of exactly 32 rotates through the carry like RRX.
    c.R[1] = 0x00000002;
    c.R[2] = 32;
    set_flags(0, 0, 1, 0);
    exec(0xE1B00271);
    EXPECT_EQ(c.R[0], 0x80000001u);
    EXPECT_EQ(flags(), "Nzcv");

    // Other multiples of 32 keep the value, with bit 31 as carry.
    c.R[1] = 0x80000001;
    c.R[2] = 64;
    set_flags(0, 0, 0, 0);
    exec(0xE1B00271);
    EXPECT_EQ(c.R[0], 0x80000001u);
    EXPECT_EQ(flags(), "NzCv");
    c.R[1] = 0x7FFFFFFF;
    exec(0xE1B00271);
    EXPECT_EQ(c.R[0], 0x7FFFFFFFu);
    EXPECT_EQ(flags(), "nzcv");

    c.R[2] = 0x100;  // low byte 0: unchanged, carry kept
    set_flags(0, 0, 1, 0);
    exec(0xE1B00271);
    EXPECT_EQ(c.R[0], 0x7FFFFFFFu);
    EXPECT_EQ(flags(), "nzCv");
}

TEST_F(ArmShifter, RotatedImmediates) {
    set_flags(0, 0, 0, 0);
    exec(0xE3B002FF);  // movs r0, #0xF000000F
    EXPECT_EQ(c.R[0], 0xF000000Fu);
    EXPECT_EQ(flags(), "NzCv");
    exec(0xE3B00C01);  // movs r0, #0x100: rotated, bit 31 clear
    EXPECT_EQ(c.R[0], 0x100u);
    EXPECT_EQ(flags(), "nzcv");
    set_flags(0, 0, 1, 0);
    exec(0xE3B00010);  // movs r0, #0x10: no rotation keeps the carry
    EXPECT_EQ(c.R[0], 0x10u);
    EXPECT_EQ(flags(), "nzCv");
    set_flags(0, 0, 0, 0);
    exec(0xE3B00010);
    EXPECT_EQ(flags(), "nzcv");
}

TEST_F(ArmShifter, ArithmeticIgnoresShifterCarry) {
    c.R[1] = 0;
    c.R[2] = 1;
    set_flags(0, 0, 0, 0);
    exec(0xE09100A2);  // adds r0, r1, r2, lsr #1: the shifted-out 1 is not the carry
    EXPECT_EQ(c.R[0], 0u);
    EXPECT_EQ(flags(), "nZcv");

    // ADC with RRX: the carry feeds both the rotation and the sum.
    c.R[1] = 1;
    c.R[2] = 2;
    set_flags(0, 0, 1, 0);
    exec(0xE0A10062);  // adc r0, r1, r2, rrx
    EXPECT_EQ(c.R[0], 0x80000003u);
    EXPECT_EQ(flags(), "nzCv");  // no S: the carry stays
}

TEST_F(ArmShifter, ShiftsWithoutSKeepFlags) {
    c.R[1] = 0x80000001;
    set_flags(0, 0, 1, 0);
    exec(0xE1A00201);  // mov r0, r1, lsl #4
    EXPECT_EQ(c.R[0], 0x00000010u);
    exec(0xE1A00021);  // mov r0, r1, lsr #32
    EXPECT_EQ(c.R[0], 0u);
    exec(0xE1A00041);  // mov r0, r1, asr #32
    EXPECT_EQ(c.R[0], 0xFFFFFFFFu);
    exec(0xE1A00261);  // mov r0, r1, ror #4
    EXPECT_EQ(c.R[0], 0x18000000u);
    exec(0xE1A00061);  // mov r0, r1, rrx
    EXPECT_EQ(c.R[0], 0xC0000000u);
    EXPECT_EQ(flags(), "nzCv");
}

TEST_F(ArmShifter, ProgramCounterReadsEightAhead) {
    exec(0xE28F0004);  // add r0, pc, #4
    EXPECT_EQ(c.R[0], kCode + 12);
    c.R[1] = 0x100;
    exec(0xE081000F);  // add r0, r1, pc (second instruction, at kCode + 4)
    EXPECT_EQ(c.R[0], kCode + 4 + 8 + 0x100);
    c.R[2] = 0;
    exec(0xE1A0021F);  // mov r0, pc, lsl r2: a register-specified shift also sees + 8
    EXPECT_EQ(c.R[0], kCode + 8 + 8);
}

// ---------------------------------------------------------------------------------------------

TEST_F(ArmDataProcessing, LogicalOperationsKeepOverflow) {
    c.R[1] = 0xF0F0F0F0;
    c.R[2] = 0x0F0F0F0F;
    set_flags(1, 0, 1, 1);
    exec(0xE0110002);  // ands r0, r1, r2
    EXPECT_EQ(c.R[0], 0u);
    EXPECT_EQ(flags(), "nZCV");
    exec(0xE0310002);  // eors r0, r1, r2
    EXPECT_EQ(c.R[0], 0xFFFFFFFFu);
    EXPECT_EQ(flags(), "NzCV");
    c.R[2] = 0x0000FFFF;
    set_flags(0, 0, 0, 1);
    exec(0xE1910002);  // orrs r0, r1, r2
    EXPECT_EQ(c.R[0], 0xF0F0FFFFu);
    EXPECT_EQ(flags(), "NzcV");
    exec(0xE1D10002);  // bics r0, r1, r2
    EXPECT_EQ(c.R[0], 0xF0F00000u);
    EXPECT_EQ(flags(), "NzcV");
    c.R[1] = 0xFFFFFFFF;
    exec(0xE1F00001);  // mvns r0, r1
    EXPECT_EQ(c.R[0], 0u);
    EXPECT_EQ(flags(), "nZcV");
}

TEST_F(ArmDataProcessing, SubtractionsSetCarryAsNoBorrow) {
    c.R[1] = 5;
    c.R[2] = 3;
    exec(0xE0510002);  // subs r0, r1, r2
    EXPECT_EQ(c.R[0], 2u);
    EXPECT_EQ(flags(), "nzCv");
    exec(0xE0710002);  // rsbs r0, r1, r2
    EXPECT_EQ(c.R[0], 0xFFFFFFFEu);
    EXPECT_EQ(flags(), "Nzcv");

    c.R[1] = 0x80000000;
    c.R[2] = 1;
    exec(0xE0510002);  // subs: signed overflow
    EXPECT_EQ(c.R[0], 0x7FFFFFFFu);
    EXPECT_EQ(flags(), "nzCV");

    c.R[0] = 1234;
    exec(0xE0500000);  // subs r0, r0, r0
    EXPECT_EQ(c.R[0], 0u);
    EXPECT_EQ(flags(), "nZCv");

    // SBC and RSC subtract the inverted carry.
    c.R[1] = 5;
    c.R[2] = 3;
    set_flags(0, 0, 1, 0);
    exec(0xE0D10002);  // sbcs r0, r1, r2
    EXPECT_EQ(c.R[0], 2u);
    EXPECT_EQ(flags(), "nzCv");
    set_flags(0, 0, 0, 0);
    exec(0xE0D10002);
    EXPECT_EQ(c.R[0], 1u);
    EXPECT_EQ(flags(), "nzCv");
    c.R[2] = 5;
    set_flags(0, 0, 0, 0);
    exec(0xE0D10002);  // 5 - 5 - 1
    EXPECT_EQ(c.R[0], 0xFFFFFFFFu);
    EXPECT_EQ(flags(), "Nzcv");

    c.R[1] = 3;
    set_flags(0, 0, 0, 0);
    exec(0xE0F10002);  // rscs r0, r1, r2: 5 - 3 - 1
    EXPECT_EQ(c.R[0], 1u);
    EXPECT_EQ(flags(), "nzCv");
    c.R[1] = 5;
    set_flags(0, 0, 0, 0);
    exec(0xE0F10002);  // 5 - 5 - 1
    EXPECT_EQ(c.R[0], 0xFFFFFFFFu);
    EXPECT_EQ(flags(), "Nzcv");
    set_flags(0, 0, 1, 0);
    exec(0xE0F10002);  // 5 - 5 - 0
    EXPECT_EQ(c.R[0], 0u);
    EXPECT_EQ(flags(), "nZCv");
}

TEST_F(ArmDataProcessing, AdditionsSetCarryAndOverflow) {
    c.R[1] = 0xFFFFFFFF;
    c.R[2] = 1;
    exec(0xE0910002);  // adds r0, r1, r2
    EXPECT_EQ(c.R[0], 0u);
    EXPECT_EQ(flags(), "nZCv");

    c.R[1] = 0x7FFFFFFF;
    exec(0xE0910002);
    EXPECT_EQ(c.R[0], 0x80000000u);
    EXPECT_EQ(flags(), "NzcV");

    c.R[1] = 0x80000000;
    c.R[2] = 0x80000000;
    exec(0xE0910002);
    EXPECT_EQ(c.R[0], 0u);
    EXPECT_EQ(flags(), "nZCV");

    c.R[1] = 0xFFFFFFFF;
    c.R[2] = 0;
    set_flags(0, 0, 1, 0);
    exec(0xE0B10002);  // adcs r0, r1, r2: the carry alone wraps the sum
    EXPECT_EQ(c.R[0], 0u);
    EXPECT_EQ(flags(), "nZCv");
    c.R[1] = 0x7FFFFFFF;
    set_flags(0, 0, 1, 0);
    exec(0xE0B10002);
    EXPECT_EQ(c.R[0], 0x80000000u);
    EXPECT_EQ(flags(), "NzcV");
}

TEST_F(ArmDataProcessing, WithoutSFlagsStay) {
    c.R[1] = 7;
    c.R[2] = 3;
    set_flags(1, 1, 1, 1);
    const std::pair<uint32_t, uint32_t> cases[] = {
        {0xE0010002, 7 & 3},       // and
        {0xE0210002, 7 ^ 3},       // eor
        {0xE0410002, 4},           // sub
        {0xE0610002, 0xFFFFFFFC},  // rsb
        {0xE0810002, 10},          // add
        {0xE0A10002, 11},          // adc (carry set)
        {0xE0C10002, 4},           // sbc (carry set: no borrow)
        {0xE0E10002, 0xFFFFFFFC},  // rsc (carry set)
        {0xE1810002, 7},           // orr
        {0xE1C10002, 4},           // bic
        {0xE1E00001, 0xFFFFFFF8},  // mvn r0, r1
    };
    for (auto [op, expected] : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << op);
        exec(op);
        EXPECT_EQ(c.R[0], expected);
        EXPECT_EQ(flags(), "NZCV");
    }
    set_flags(0, 0, 0, 0);
    exec(0xE0C10002);  // sbc with the carry clear borrows one more
    EXPECT_EQ(c.R[0], 3u);
    exec(0xE0E10002);  // rsc likewise
    EXPECT_EQ(c.R[0], 0xFFFFFFFBu);
}

TEST_F(ArmDataProcessing, ComparesSetFlagsAndWriteNothing) {
    c.R[0] = 0x1234;
    c.R[1] = 5;
    c.R[2] = 5;
    exec(0xE1510002);  // cmp r1, r2
    EXPECT_EQ(flags(), "nZCv");
    exec(0xE1710002);  // cmn r1, r2
    EXPECT_EQ(flags(), "nzcv");
    exec(0xE1310002);  // teq r1, r2
    EXPECT_EQ(flags(), "nZcv");
    c.R[2] = 0x80000001;
    set_flags(0, 0, 1, 1);
    exec(0xE1110002);  // tst r1, r2
    EXPECT_EQ(flags(), "nzCV");
    EXPECT_EQ(c.R[0], 0x1234u);
    EXPECT_EQ(c.R[15], kCode + 8 + 16);

    // Hand-built compares with the S bit clear still set the flags.
    c.R[1] = 1;
    c.R[2] = 2;
    exec(0xE1010002);  // tst r1, r2 without S
    EXPECT_EQ(flags(), "nZCV");
    exec(0xE1410002);  // cmp r1, r2 without S
    EXPECT_EQ(flags(), "Nzcv");
    exec(0xE1610002);  // cmn r1, r2 without S
    EXPECT_EQ(flags(), "nzcv");
    exec(0xE1210001);  // teq r1, r1 without S
    EXPECT_EQ(flags(), "nZcv");

    // A compare naming R15 as destination writes nothing there.
    exec(0xE151F002);  // cmp r1, r2 with Rd = 15
    EXPECT_EQ(c.R[15], kCode + 8 + 36);
    EXPECT_EQ(c.R[0], 0x1234u);
}

// ---------------------------------------------------------------------------------------------

TEST_F(ArmWritePc, ArithmeticAndMoveBranchInArmState) {
    c.R[14] = 0x08000101;
    exec(0xE1A0F00E);  // mov pc, lr
    EXPECT_EQ(c.R[15], 0x08000109u);
    EXPECT_EQ(c.ThumbState, 0u);

    c.R[15] = kCode + 8;
    c.R[14] = 0xFFFFFFF8;  // the interrupt return address
    exec(0xE1A0F00E);
    EXPECT_EQ(c.R[15], 0u);

    c.R[15] = kCode + 8;
    c.R[14] = 0x80000000;
    set_flags(0, 1, 1, 1);
    exec(0xE1B0F00E);  // movs pc, lr: a branch that sets the flags from the value
    EXPECT_EQ(c.R[15], 0x80000008u);
    EXPECT_EQ(flags(), "NzCV");

    c.R[15] = kCode + 8;
    c.R[14] = 0x08000104;
    exec(0xE25EF004);  // subs pc, lr, #4
    EXPECT_EQ(c.R[15], 0x08000108u);
    EXPECT_EQ(flags(), "nzCv");

    c.R[15] = kCode + 8;
    exec(0xE28FF004);  // add pc, pc, #4
    EXPECT_EQ(c.R[15], kCode + 8 + 4 + 8);

    c.R[15] = kCode + 8;
    c.R[1] = 0x08000300;
    c.R[2] = 0x100;
    exec(0xE041F002);  // sub pc, r1, r2
    EXPECT_EQ(c.R[15], 0x08000208u);
    EXPECT_TRUE(debug_lines().empty());
    EXPECT_EQ(c.QuitFlag, 0u);
}

TEST_F(ArmWritePc, RiskyFormsAreReportedAndBranch) {
    c.R[1] = 0x100;
    c.R[2] = 0x08000300;
    set_flags(0, 0, 1, 0);
    EXPECT_TRUE(exec(0xE0E1F002));  // rsc pc, r1, r2
    EXPECT_EQ(c.R[15], 0x08000208u);

    c.R[15] = kCode + 8;
    c.R[1] = 0x08000FFF;
    c.R[2] = 0x00000F00;
    EXPECT_TRUE(exec(0xE1C1F002));  // bic pc, r1, r2
    EXPECT_EQ(c.R[15], 0x080000FFu + 8);

    c.R[15] = kCode + 8;
    c.R[1] = ~0x08000400u;
    EXPECT_TRUE(exec(0xE1E0F001));  // mvn pc, r1
    EXPECT_EQ(c.R[15], 0x08000408u);

    EXPECT_EQ(debug_lines(), (std::vector<std::string>{"Risque RSC sur PC\n", "Risque BIC sur PC\n",
                                                       "Risque MVN sur PC\n"}));
    EXPECT_EQ(c.QuitFlag, 0u);
    EXPECT_TRUE(boxes().empty());
}

TEST_F(ArmWritePc, AndAndEorStopWithAMessage) {
    c.R[1] = 0x080001FF;
    c.R[2] = 0x0F0000F0;
    set_flags(0, 0, 0, 0);
    EXPECT_TRUE(exec(0xE001F002));    // and pc, r1, r2
    EXPECT_EQ(c.R[15], 0x080000F0u);  // the plain result, without + 8
    EXPECT_EQ(c.QuitFlag, 1u);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].caption, "Tamo-Emulator");
    EXPECT_EQ(boxes()[0].text, "AND sur le PC !!\n");

    TestMachine other;
    other.m.cpu.R[15] = kCode + 8;
    other.m.cpu.R[1] = 0x08000001;
    other.m.cpu.R[2] = 0x00000101;
    EXPECT_TRUE(arm_execute(other.m, 0xE021F002));  // eor pc, r1, r2
    EXPECT_EQ(other.m.cpu.R[15], 0x08000100u);
    EXPECT_EQ(other.m.cpu.QuitFlag, 1u);
    ASSERT_EQ(other.host.boxes.size(), 1u);
    EXPECT_EQ(other.host.boxes[0].text, "EOR sur le PC !!\n");
}

TEST_F(ArmWritePc, OrrStopsThroughTheDebugOutput) {
    c.R[1] = 0x80000000;
    c.R[2] = 0x00000100;
    set_flags(0, 1, 0, 0);
    EXPECT_TRUE(exec(0xE191F002));  // orrs pc, r1, r2
    EXPECT_EQ(c.R[15], 0x80000100u);
    EXPECT_EQ(c.QuitFlag, 1u);
    EXPECT_EQ(flags(), "Nzcv");
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(debug_lines(), std::vector<std::string>{"ORR sur le PC !!\n"});
}

// ---------------------------------------------------------------------------------------------

TEST_F(ArmStatusTransfer, ControlFieldWriteFromR0IsOnlyReported) {
    c.R[0] = 0x1F;
    set_flags(1, 0, 1, 0);
    EXPECT_TRUE(exec(0xE121F000));  // msr cpsr_c, r0
    EXPECT_EQ(debug_lines(), std::vector<std::string>{"CPU Warning : Not Emulated => ???\n"});
    EXPECT_EQ(c.R[15], kCode + 12);
    EXPECT_EQ(flags(), "NzCv");
    EXPECT_EQ(c.QuitFlag, 0u);
}

TEST_F(ArmStatusTransfer, WholeStatusWriteFromRegisterIsIgnored) {
    c.R[0] = 0xF000001F;
    EXPECT_TRUE(exec(0xE129F000));  // msr cpsr_fc, r0
    EXPECT_TRUE(exec(0xE169F000));  // msr spsr_fc, r0
    EXPECT_EQ(c.R[15], kCode + 16);
    EXPECT_EQ(flags(), "nzcv");
    EXPECT_TRUE(debug_lines().empty());
    EXPECT_TRUE(boxes().empty());
}

TEST_F(ArmStatusTransfer, StatusReadIsFatal) {
    c.R[0] = 77;
    expect_fatal(exec(0xE10F0000), "CPU Error : Not Emulated => MRS\n");  // mrs r0, cpsr
    EXPECT_EQ(c.R[0], 77u);
}

TEST_F(ArmStatusTransfer, FlagFieldWritesAreFatal) {
    expect_fatal(exec(0xE328F20F), "CPU Error : Not Emulated => MSR Immediate\n");
    EXPECT_EQ(flags(), "nzcv");

    TestMachine other;
    other.m.cpu.R[15] = kCode + 8;
    EXPECT_FALSE(arm_execute(other.m, 0xE128F000));  // msr cpsr_f, r0
    ASSERT_EQ(other.host.boxes.size(), 1u);
    EXPECT_EQ(other.host.boxes[0].text, "CPU Error : Not Emulated => MSR Immediate\n");
}

TEST_F(ArmStatusTransfer, OtherStatusWritesRunAsTheCompareTheyEncode) {
    // msr cpsr_c, #0x1F shares its encoding with "teq r1, #0x1F" without S.
    c.R[1] = 0x1F;
    EXPECT_TRUE(exec(0xE321F01F));
    EXPECT_EQ(flags(), "nZcv");
    EXPECT_EQ(c.R[15], kCode + 12);
    EXPECT_TRUE(debug_lines().empty());
    EXPECT_TRUE(boxes().empty());
}

// ---------------------------------------------------------------------------------------------

TEST_F(ArmMultiply, MulAndMlaWriteBits19To16) {
    c.R[1] = 7;
    c.R[2] = 6;
    c.R[3] = 100;
    exec(0xE0000291);  // mul r0, r1, r2
    EXPECT_EQ(c.R[0], 42u);
    exec(0xE0203291);  // mla r0, r1, r2, r3
    EXPECT_EQ(c.R[0], 142u);
    c.R[1] = 0x10001;
    c.R[2] = 0x10000;
    exec(0xE0000291);  // only the low 32 bits remain
    EXPECT_EQ(c.R[0], 0x10000u);
    EXPECT_EQ(c.R[3], 100u);
    EXPECT_EQ(c.R[15], kCode + 20);
}

TEST_F(ArmMultiply, MulsSetsOnlyNAndZ) {
    c.R[1] = 0xFFFFFFFF;
    c.R[2] = 3;
    set_flags(0, 1, 1, 1);
    exec(0xE0100291);  // muls r0, r1, r2
    EXPECT_EQ(c.R[0], 0xFFFFFFFDu);
    EXPECT_EQ(flags(), "NzCV");
    c.R[2] = 0;
    set_flags(1, 0, 0, 0);
    exec(0xE0100291);
    EXPECT_EQ(flags(), "nZcv");
}

TEST_F(ArmMultiply, UnsignedLongForms) {
    c.R[2] = 0xFFFFFFFF;
    c.R[3] = 0xFFFFFFFF;
    exec(0xE0810392);  // umull r0, r1, r2, r3
    EXPECT_EQ(c.R[0], 0x00000001u);
    EXPECT_EQ(c.R[1], 0xFFFFFFFEu);

    // The accumulation carries from the low word into the high word.
    c.R[0] = 0xFFFFFFFF;
    c.R[1] = 0x00000001;
    c.R[2] = 1;
    c.R[3] = 1;
    exec(0xE0A10392);  // umlal r0, r1, r2, r3
    EXPECT_EQ(c.R[0], 0u);
    EXPECT_EQ(c.R[1], 2u);

    // With S, Z needs both words zero; C and V stay.
    c.R[2] = 0x80000000;
    c.R[3] = 2;
    set_flags(1, 1, 1, 1);
    exec(0xE0910392);  // umulls r0, r1, r2, r3
    EXPECT_EQ(c.R[0], 0u);
    EXPECT_EQ(c.R[1], 1u);
    EXPECT_EQ(flags(), "nzCV");
    c.R[0] = 0;
    c.R[1] = 0;
    c.R[3] = 0;
    exec(0xE0B10392);  // umlals r0, r1, r2, r3
    EXPECT_EQ(flags(), "nZCV");
}

TEST_F(ArmMultiply, SignedLongForms) {
    c.R[2] = 0xFFFFFFFF;  // -1
    c.R[3] = 1;
    set_flags(0, 1, 0, 1);
    exec(0xE0D10392);  // smulls r0, r1, r2, r3
    EXPECT_EQ(c.R[0], 0xFFFFFFFFu);
    EXPECT_EQ(c.R[1], 0xFFFFFFFFu);
    EXPECT_EQ(flags(), "NzcV");
    c.R[4] = 0;
    exec(0xA3A04001);  // movge r4, #1: N = V, so taken
    EXPECT_EQ(c.R[4], 1u);

    c.R[0] = 10;
    c.R[1] = 0;
    c.R[2] = uint32_t(-2);
    c.R[3] = 3;
    exec(0xE0E10392);  // smlal r0, r1, r2, r3: -6 + 10
    EXPECT_EQ(c.R[0], 4u);
    EXPECT_EQ(c.R[1], 0u);

    c.R[2] = 0x80000000;
    c.R[3] = 0x80000000;
    exec(0xE0C10392);  // smull: (-2^31)^2 = 2^62
    EXPECT_EQ(c.R[0], 0u);
    EXPECT_EQ(c.R[1], 0x40000000u);
}

// ---------------------------------------------------------------------------------------------

TEST_F(ArmSingleTransfer, ImmediateOffsetsAndWriteBack) {
    for (uint32_t i = 0; i < 4; ++i) write32(m, kData + 4 * i, 0x11111111 * (i + 1));
    c.R[1] = kData + 4;
    exec(0xE5910000);  // ldr r0, [r1]
    EXPECT_EQ(c.R[0], 0x22222222u);
    exec(0xE5910004);  // ldr r0, [r1, #4]
    EXPECT_EQ(c.R[0], 0x33333333u);
    exec(0xE5110004);  // ldr r0, [r1, #-4]
    EXPECT_EQ(c.R[0], 0x11111111u);
    EXPECT_EQ(c.R[1], kData + 4);

    exec(0xE5B10004);  // ldr r0, [r1, #4]!
    EXPECT_EQ(c.R[0], 0x33333333u);
    EXPECT_EQ(c.R[1], kData + 8);
    exec(0xE4910004);  // ldr r0, [r1], #4
    EXPECT_EQ(c.R[0], 0x33333333u);
    EXPECT_EQ(c.R[1], kData + 12);

    c.R[0] = 0xCAFEF00D;
    exec(0xE4010004);  // str r0, [r1], #-4
    EXPECT_EQ(read32(m, kData + 12), 0xCAFEF00Du);
    EXPECT_EQ(c.R[1], kData + 8);
    EXPECT_EQ(c.R[15], kCode + 8 + 24);
}

TEST_F(ArmSingleTransfer, RegisterOffsets) {
    for (uint32_t i = 0; i < 8; ++i) write32(m, kData + 4 * i, i);
    c.R[1] = kData + 16;
    c.R[2] = 1;
    exec(0xE7910102);  // ldr r0, [r1, r2, lsl #2]
    EXPECT_EQ(c.R[0], 5u);
    c.R[2] = 4;
    exec(0xE7110002);  // ldr r0, [r1, -r2]
    EXPECT_EQ(c.R[0], 3u);
    c.R[2] = 2;
    exec(0xE7B10102);  // ldr r0, [r1, r2, lsl #2]!
    EXPECT_EQ(c.R[0], 6u);
    EXPECT_EQ(c.R[1], kData + 24);
    c.R[2] = 3;
    exec(0xE6110102);  // ldr r0, [r1], -r2, lsl #2
    EXPECT_EQ(c.R[0], 6u);
    EXPECT_EQ(c.R[1], kData + 12);

    c.R[2] = 0x40;
    exec(0xE7910262);  // ldr r0, [r1, r2, ror #4]
    EXPECT_EQ(c.R[0], 4u);

    // The bit-4 form (no assembler produces it) shifts by the low byte of Rs.
    c.R[2] = 1;
    c.R[3] = 0x102;
    exec(0xE7910312);  // "ldr r0, [r1, r2, lsl r3]"
    EXPECT_EQ(c.R[0], 4u);
}

TEST_F(ArmSingleTransfer, ZeroShiftFieldsMeanThirtyTwoOrRrx) {
    write32(m, kData, 0xAAAA0000);
    write32(m, kData + 4, 0xBBBB0000);
    write32(m, kData + 8, 0xCCCC0000);
    c.R[1] = kData + 4;
    c.R[2] = 0x80000000;
    exec(0xE7910022);  // ldr r0, [r1, r2, lsr #32]: offset 0
    EXPECT_EQ(c.R[0], 0xBBBB0000u);
    c.R[1] = kData + 5;
    exec(0xE7910042);  // ldr r0, [r1, r2, asr #32]: offset -1
    EXPECT_EQ(c.R[0], 0xBBBB0000u);

    // RRX with the carry set puts bit 31 in the offset; the carry itself stays.
    c.R[1] = kData + 4 - 0x80000001u;
    c.R[2] = 2;
    set_flags(0, 0, 1, 0);
    exec(0xE7910062);  // ldr r0, [r1, r2, rrx]
    EXPECT_EQ(c.R[0], 0xBBBB0000u);
    EXPECT_EQ(flags(), "nzCv");
}

TEST_F(ArmSingleTransfer, BytesAndUnalignedWords) {
    write32(m, kData, 0x44332280);
    write32(m, kData + 4, 0x88776655);
    c.R[1] = kData;
    exec(0xE5D10000);  // ldrb r0, [r1]
    EXPECT_EQ(c.R[0], 0x80u);
    exec(0xE5F10003);  // ldrb r0, [r1, #3]!
    EXPECT_EQ(c.R[0], 0x44u);
    EXPECT_EQ(c.R[1], kData + 3);

    // A word load at an unaligned address gets the bus's word, not rotated.
    exec(0xE5910000);  // ldr r0, [r1]
    EXPECT_EQ(c.R[0], 0x77665544u);

    c.R[0] = 0x123456AB;
    c.R[1] = kData;
    exec(0xE5C10001);  // strb r0, [r1, #1]
    EXPECT_EQ(read32(m, kData), 0x4433AB80u);
}

TEST_F(ArmSingleTransfer, ProgramCounterAsDataOrDestination) {
    c.R[1] = kData;
    exec(0xE581F000);  // str pc, [r1]
    EXPECT_EQ(read32(m, kData), kCode + 8);

    exec(0xE51F0008);  // ldr r0, [pc, #-8]: the instruction itself
    EXPECT_EQ(c.R[0], 0xE51F0008u);

    write32(m, kData, 0x08000101);
    c.R[15] = kCode + 8;
    exec(0xE591F000);  // ldr pc, [r1]: a branch that stays in ARM state
    EXPECT_EQ(c.R[15], 0x08000109u);
    EXPECT_EQ(c.ThumbState, 0u);
}

TEST_F(ArmSingleTransfer, WriteBackComesAfterTheTransfer) {
    write32(m, kData, 0x11111111);
    write32(m, kData + 4, 0x22222222);
    c.R[1] = kData;
    exec(0xE5B11004);  // ldr r1, [r1, #4]!: the address wins over the loaded word
    EXPECT_EQ(c.R[1], kData + 4);
    c.R[1] = kData;
    exec(0xE4911004);  // ldr r1, [r1], #4
    EXPECT_EQ(c.R[1], kData + 4);
    c.R[1] = kData;
    exec(0xE5A11004);  // str r1, [r1, #4]!: stores the base before write-back
    EXPECT_EQ(read32(m, kData + 4), kData);
    EXPECT_EQ(c.R[1], kData + 4);
}

// ---------------------------------------------------------------------------------------------

TEST_F(ArmHalfwordTransfer, LoadsExtendAsAsked) {
    write32(m, kData, 0x7F808001);
    write16(m, kData + 0x1F, 0xBEEF);
    c.R[1] = kData;
    exec(0xE1D100B0);  // ldrh r0, [r1]
    EXPECT_EQ(c.R[0], 0x8001u);
    exec(0xE1D100F0);  // ldrsh r0, [r1]
    EXPECT_EQ(c.R[0], 0xFFFF8001u);
    c.R[1] = kData + 2;
    exec(0xE1D100D0);  // ldrsb r0, [r1]
    EXPECT_EQ(c.R[0], 0xFFFFFF80u);
    c.R[1] = kData + 3;
    exec(0xE1D100D0);
    EXPECT_EQ(c.R[0], 0x7Fu);

    c.R[1] = kData;
    exec(0xE1D101BF);  // ldrh r0, [r1, #0x1F]: the offset's two nibbles
    EXPECT_EQ(c.R[0], 0xBEEFu);

    c.R[1] = kData + 1;  // unaligned: the bus's halfword at that address
    exec(0xE1D100B0);
    EXPECT_EQ(c.R[0], 0x8080u);
}

TEST_F(ArmHalfwordTransfer, AddressingModes) {
    write32(m, kData, 0x22221111);
    write32(m, kData + 4, 0x44443333);
    c.R[1] = kData + 4;
    exec(0xE05100B2);  // ldrh r0, [r1], #-2
    EXPECT_EQ(c.R[0], 0x3333u);
    EXPECT_EQ(c.R[1], kData + 2);
    c.R[2] = 4;
    exec(0xE19100B2);  // ldrh r0, [r1, r2]
    EXPECT_EQ(c.R[0], 0x4444u);
    EXPECT_EQ(c.R[1], kData + 2);
    c.R[2] = 1;
    exec(0xE13100D2);  // ldrsb r0, [r1, -r2]!
    EXPECT_EQ(c.R[0], 0x11u);
    EXPECT_EQ(c.R[1], kData + 1);

    c.R[0] = 0xABCD1234;
    c.R[1] = kData;
    exec(0xE1E100B2);  // strh r0, [r1, #2]!
    EXPECT_EQ(read32(m, kData), 0x12341111u);
    EXPECT_EQ(c.R[1], kData + 2);
    c.R[2] = 4;
    exec(0xE08100B2);  // strh r0, [r1], r2
    EXPECT_EQ(read32(m, kData), 0x12341111u);
    EXPECT_EQ(read32(m, kData + 4), 0x44443333u);
    EXPECT_EQ(c.R[1], kData + 6);

    // Subtracted offsets without write-back share their encoding space with SWP and the status
    // transfers.
    c.R[0] = 0x5678;
    c.R[1] = kData + 8;
    exec(0xE14100B2);  // strh r0, [r1, #-2]
    c.R[0] = 0x9ABC;
    c.R[2] = 4;
    exec(0xE10100B2);  // strh r0, [r1, -r2]
    EXPECT_EQ(read32(m, kData + 4), 0x56789ABCu);
    EXPECT_EQ(c.R[1], kData + 8);
}

TEST_F(ArmHalfwordTransfer, OddStoreFormsWriteByteOrHalfword) {
    c.R[0] = 0xABCD1234;
    c.R[1] = kData;
    exec(0xE1C10095);  // hand-built store with S = 0, H = 0, offset 5: a byte
    EXPECT_EQ(read32(m, kData + 4), 0x00003400u);
    exec(0xE1C100D6);  // hand-built store with S = 1, H = 0, offset 6: a byte
    EXPECT_EQ(read32(m, kData + 4), 0x00343400u);
    exec(0xE1C100F8);  // hand-built store with S = 1, H = 1, offset 8: a halfword
    EXPECT_EQ(read32(m, kData + 8), 0x00001234u);
}

TEST_F(ArmHalfwordTransfer, LoadWithoutSignOrHalfIsFatal) {
    c.R[0] = 5;
    c.R[1] = kData;
    expect_fatal(exec(0xE1F10091), "LDR/STR Error\n");  // hand-built, with write-back
    EXPECT_EQ(c.R[0], 5u);
    EXPECT_EQ(c.R[1], kData);
}

TEST_F(ArmHalfwordTransfer, SwapIsFatal) {
    write32(m, kData, 0x12345678);
    c.R[1] = 0xFFFFFFFF;
    c.R[2] = kData;
    expect_fatal(exec(0xE1020091), "ARM Error : Not Emulated => SWP\n");  // swp r0, r1, [r2]
    EXPECT_EQ(read32(m, kData), 0x12345678u);

    TestMachine other;
    other.m.cpu.R[15] = kCode + 8;
    EXPECT_FALSE(arm_execute(other.m, 0xE1420091));  // swpb r0, r1, [r2]
    ASSERT_EQ(other.host.boxes.size(), 1u);
    EXPECT_EQ(other.host.boxes[0].text, "ARM Error : Not Emulated => SWP\n");
}

// ---------------------------------------------------------------------------------------------

TEST_F(ArmBlockTransfer, StoresInAllFourDirections) {
    struct Case {
        uint32_t op;
        uint32_t first;  // offset of R1's word from the base
        int32_t change;  // of the base by write-back
    };
    const Case cases[] = {
        {0xE8A0000E, 0, 12},      // stmia r0!, {r1, r2, r3}
        {0xE9A0000E, 4, 12},      // stmib r0!, {r1, r2, r3}
        {0xE820000E, -8u, -12},   // stmda r0!, {r1, r2, r3}
        {0xE920000E, -12u, -12},  // stmdb r0!, {r1, r2, r3}
    };
    const uint32_t base = kData + 0x20;
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << k.op);
        for (uint32_t a = kData; a < kData + 0x40; a += 4) write32(m, a, 0);
        c.R[0] = base;
        c.R[1] = 0x11;
        c.R[2] = 0x22;
        c.R[3] = 0x33;
        c.R[15] = kCode + 8;
        exec(k.op);
        EXPECT_EQ(read32(m, base + k.first), 0x11u);
        EXPECT_EQ(read32(m, base + k.first + 4), 0x22u);
        EXPECT_EQ(read32(m, base + k.first + 8), 0x33u);
        EXPECT_EQ(read32(m, base + k.first - 4), 0u);
        EXPECT_EQ(read32(m, base + k.first + 12), 0u);
        EXPECT_EQ(c.R[0], base + k.change);
        EXPECT_EQ(c.R[15], kCode + 12);
    }
}

TEST_F(ArmBlockTransfer, LoadsInAllFourDirections) {
    struct Case {
        uint32_t op;
        uint32_t first;
        int32_t change;
    };
    const Case cases[] = {
        {0xE8B0000E, 0, 12},      // ldmia r0!, {r1, r2, r3}
        {0xE9B0000E, 4, 12},      // ldmib r0!, {r1, r2, r3}
        {0xE830000E, -8u, -12},   // ldmda r0!, {r1, r2, r3}
        {0xE930000E, -12u, -12},  // ldmdb r0!, {r1, r2, r3}
        {0xE890000E, 0, 0},       // ldmia r0, {r1, r2, r3}
    };
    const uint32_t base = kData + 0x20;
    for (uint32_t a = kData; a < kData + 0x40; a += 4) write32(m, a, a - kData);
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << k.op);
        c.R[0] = base;
        c.R[15] = kCode + 8;
        exec(k.op);
        EXPECT_EQ(c.R[1], 0x20 + k.first);
        EXPECT_EQ(c.R[2], 0x24 + k.first);
        EXPECT_EQ(c.R[3], 0x28 + k.first);
        EXPECT_EQ(c.R[0], base + k.change);
        EXPECT_EQ(c.R[15], kCode + 12);
    }
}

TEST_F(ArmBlockTransfer, LoadingPcBranches) {
    for (uint32_t i = 0; i < 4; ++i) write32(m, kData + 4 * i, i + 1);
    write32(m, kData + 16, 0x08000200);
    c.R[13] = kData;
    exec(0xE8BD800F);  // ldmia sp!, {r0-r3, pc}
    EXPECT_EQ(c.R[0], 1u);
    EXPECT_EQ(c.R[3], 4u);
    EXPECT_EQ(c.R[15], 0x08000208u);
    EXPECT_EQ(c.R[13], kData + 20);
    EXPECT_EQ(c.ThumbState, 0u);

    c.R[0] = kData + 8;
    c.R[15] = kCode + 8;
    exec(0xE9108002);  // ldmdb r0, {r1, pc}: PC comes from the highest address
    EXPECT_EQ(c.R[1], 1u);
    EXPECT_EQ(c.R[15], 2u + 8);
    EXPECT_EQ(c.R[0], kData + 8);
}

TEST_F(ArmBlockTransfer, StoringPcDependsOnDirection) {
    c.R[0] = kData;
    c.R[1] = 0x11;
    exec(0xE8808002);  // stmia r0, {r1, pc}
    EXPECT_EQ(read32(m, kData), 0x11u);
    EXPECT_EQ(read32(m, kData + 4), kCode + 8);
    EXPECT_TRUE(debug_lines().empty());

    c.R[0] = kData + 0x20;
    c.R[15] = kCode + 8;
    exec(0xE9208002);  // stmdb r0!, {r1, pc}
    EXPECT_EQ(read32(m, kData + 0x18), 0x11u);
    EXPECT_EQ(read32(m, kData + 0x1C), kCode + 4);
    EXPECT_EQ(c.R[0], kData + 0x18);
    EXPECT_EQ(debug_lines(), std::vector<std::string>{"*** Tout s'explique ***\n"});

    c.R[0] = kData + 0x30;
    c.R[15] = kCode + 8;
    exec(0xE8008000);  // stmda r0, {pc}
    EXPECT_EQ(read32(m, kData + 0x30), kCode + 4);
    EXPECT_EQ(debug_lines().size(), 2u);
    EXPECT_EQ(c.R[15], kCode + 12);
}

TEST_F(ArmBlockTransfer, BaseInListAndEmptyList) {
    write32(m, kData, 0xAAAA);
    write32(m, kData + 4, 0xBBBB);
    c.R[0] = kData;
    exec(0xE8B00003);  // ldmia r0!, {r0, r1}: write-back follows the loads
    EXPECT_EQ(c.R[0], kData + 8);
    EXPECT_EQ(c.R[1], 0xBBBBu);

    c.R[0] = kData;
    c.R[1] = 0x1234;
    exec(0xE8A00003);  // stmia r0!, {r0, r1}: the base as it was
    EXPECT_EQ(read32(m, kData), kData);
    EXPECT_EQ(read32(m, kData + 4), 0x1234u);
    EXPECT_EQ(c.R[0], kData + 8);

    c.R[0] = kData;
    c.R[15] = kCode + 8;
    exec(0xE8A00000);  // hand-built stmia r0!, {}
    exec(0xE9300000);  // hand-built ldmdb r0!, {}
    EXPECT_EQ(c.R[0], kData);
    EXPECT_EQ(read32(m, kData), kData);
    EXPECT_EQ(c.R[15], kCode + 16);

    // The user-bank bit changes nothing.
    write32(m, kData, 5);
    write32(m, kData + 4, 6);
    c.R[13] = kData;
    exec(0xE8FD0003);  // ldmfd sp!, {r0, r1}^
    EXPECT_EQ(c.R[0], 5u);
    EXPECT_EQ(c.R[1], 6u);
    EXPECT_EQ(c.R[13], kData + 8);
}

// ---------------------------------------------------------------------------------------------

TEST_F(ArmBranch, BranchAndLink) {
    exec(0xEA000002);  // b .+0x10
    EXPECT_EQ(c.R[15], kCode + 0x10 + 8);

    c.R[15] = kCode + 0x20 + 8;
    exec(0xEAFFFFFC);  // b .-8
    EXPECT_EQ(c.R[15], kCode + 0x18 + 8);

    c.R[15] = kCode + 8;
    exec(0xEB00003E);  // bl .+0x100
    EXPECT_EQ(c.R[15], kCode + 0x100 + 8);
    EXPECT_EQ(c.R[14], kCode + 4);

    c.R[15] = 0x08000008;
    exec(0xEAFFFFFE);  // b . (offset -8)
    EXPECT_EQ(c.R[15], 0x08000008u);
}

TEST_F(ArmBranch, ExchangeChoosesTheStateFromBitZero) {
    c.R[0] = 0x08000101;
    exec(0xE12FFF10);  // bx r0
    EXPECT_EQ(c.ThumbState, 1u);
    EXPECT_EQ(c.R[15], 0x08000104u);

    TestMachine other;
    other.m.cpu.R[15] = kCode + 8;
    other.m.cpu.R[14] = 0x08000100;
    arm_execute(other.m, 0xE12FFF1E);  // bx lr
    EXPECT_EQ(other.m.cpu.ThumbState, 0u);
    EXPECT_EQ(other.m.cpu.R[15], 0x08000108u);
}

// ---------------------------------------------------------------------------------------------

TEST_F(ArmUnsupported, CoprocessorAndSoftwareInterruptsAreFatal) {
    const std::pair<uint32_t, const char*> cases[] = {
        {0xED900100, "ARM Error : Not Emulated => Coprocessor Data Transfers\n"},      // ldc
        {0xED800100, "ARM Error : Not Emulated => Coprocessor Data Transfers\n"},      // stc
        {0xEE000100, "ARM Error : Not Emulated => Coprocessor Data Operations\n"},     // cdp
        {0xEE000110, "ARM Error : Not Emulated => Coprocessor Register Transfers\n"},  // mcr
        {0xEE100110, "ARM Error : Not Emulated => Coprocessor Register Transfers\n"},  // mrc
        {0xEF000000, "BIOS Access Not Emulated\nPlease contact VARN\n"},               // swi 0
    };
    for (auto [op, text] : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << op);
        TestMachine fresh;
        fresh.m.cpu.R[15] = kCode + 8;
        EXPECT_FALSE(arm_execute(fresh.m, op));
        EXPECT_EQ(fresh.m.cpu.QuitFlag, 1u);
        EXPECT_EQ(fresh.m.cpu.R[15], kCode + 8);
        ASSERT_EQ(fresh.host.boxes.size(), 1u);
        EXPECT_EQ(fresh.host.boxes[0].caption, "Tamo-Emulator");
        EXPECT_EQ(fresh.host.boxes[0].text, text);
    }
}

// ---------------------------------------------------------------------------------------------

TEST_F(ArmProgram, CountingLoopEndsOnConditionFifteen) {
    load_program({
        0xE3A00000,  // mov r0, #0
        0xE2800001,  // loop: add r0, r0, #1
        0xE3500005,  // cmp r0, #5
        0x1AFFFFFC,  // bne loop
        0xF0000000,  // stop
        0xE3A00063,  // mov r0, #99 (never reached)
    });
    cpu_run(m);
    EXPECT_EQ(c.R[0], 5u);
    EXPECT_EQ(c.QuitFlag, 1u);
    EXPECT_EQ(c.SliceCount, 16u);  // the stop itself is not counted
    EXPECT_EQ(c.R[15], kCode + 16 + 8);
    EXPECT_TRUE(boxes().empty());
}

TEST_F(ArmProgram, AndIntoPcIsCountedButFatalsAreNot) {
    load_program({
        0xE3A01000,  // mov r1, #0
        0xE001F002,  // and pc, r1, r2
    });
    cpu_run(m);
    EXPECT_EQ(c.SliceCount, 2u);
    EXPECT_EQ(c.R[15], 0u);
    EXPECT_EQ(boxes().size(), 1u);

    TestMachine other;
    Machine& m2 = other.m;
    write32(m2, kCode, 0xE3A01000);      // mov r1, #0
    write32(m2, kCode + 4, 0xE1020091);  // swp r0, r1, [r2]
    m2.cpu.R[15] = kCode + 8;
    cpu_run(m2);
    EXPECT_EQ(m2.cpu.SliceCount, 1u);
    EXPECT_EQ(m2.cpu.R[15], kCode + 4 + 8);
}

TEST_F(ArmProgram, OrrIntoPcEndsTheSliceAfterIt) {
    load_program({
        0xE3A01000,  // mov r1, #0
        0xE181F002,  // orr pc, r1, r2
        0xE3A00001,  // mov r0, #1
    });
    c.R[2] = kCode + 8;
    cpu_run(m);
    EXPECT_EQ(c.SliceCount, 2u);
    EXPECT_EQ(c.R[0], 0u);
    EXPECT_EQ(debug_lines(), std::vector<std::string>{"ORR sur le PC !!\n"});
}

TEST_F(ArmProgram, ReturnFromInterruptThroughMovPcLr) {
    // The handler at kCode returns to the magic address; the interrupted code at kData holds a
    // stop, so the run ends right after the return.
    load_program({
        0xE3A05007,  // mov r5, #7
        0xE1A0F00E,  // mov pc, lr
    });
    write32(m, kData, 0xF0000000);
    c.InInterrupt = 1;
    c.SavedRegisters[5] = 3;
    c.SavedRegisters[15] = kData + 8;
    c.SavedFlags[kSavedZ] = 1;
    c.R[14] = kInterruptReturnAddress;
    cpu_run(m);
    EXPECT_EQ(c.InInterrupt, 0u);
    EXPECT_EQ(c.R[5], 3u);
    EXPECT_EQ(c.R[15], kData + 8);
    EXPECT_EQ(c.FlagZ, 1u);
    EXPECT_EQ(c.QuitFlag, 1u);
    EXPECT_EQ(c.SliceCount, 2u);
}

}  // namespace
