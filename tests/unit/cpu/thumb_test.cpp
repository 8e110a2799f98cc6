// The THUMB interpreter, one instruction family per test. Opcodes are written as the GNU
// assembler encodes them; the assembly is in the comment beside each one.

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>

#include "cpu/cpu.h"
#include "fake_host.h"
#include "machine.h"
#include "memory/bus.h"

namespace {

constexpr uint32_t kCode = 0x03000000;  // instructions run from IWRAM
constexpr uint32_t kData = 0x03000100;
constexpr uint32_t kStack = 0x03007F00;

class ThumbTest : public ::testing::Test {
  protected:
    TestMachine t;
    Machine& m = t.m;
    CpuState& c = m.cpu;

    void SetUp() override {
        c.ThumbState = 1;
        at(kCode);
    }

    // The next instruction executes from `address`.
    void at(uint32_t address) { c.R[15] = address + 4; }

    // Executes `op` as the instruction that the run loop fetched from R15 - 4.
    bool step(uint32_t op) {
        write16(m, c.R[15] - 4, op);
        return thumb_execute(m, op);
    }

    void flags(uint32_t n, uint32_t z, uint32_t carry, uint32_t v) {
        c.FlagN = n;
        c.FlagZ = z;
        c.FlagC = carry;
        c.FlagV = v;
    }

    // The flags as one number NZCV, so that a failure prints all four at once.
    uint32_t nzcv() const { return c.FlagN << 3 | c.FlagZ << 2 | c.FlagC << 1 | c.FlagV; }

    void load_program(uint32_t address, std::initializer_list<uint16_t> ops) {
        for (uint16_t op : ops) {
            write16(m, address, op);
            address += 2;
        }
    }
};

TEST_F(ThumbTest, ShiftByImmediate) {
    // lsls r0, r1, #4: carry is the last bit shifted out, V is left alone.
    flags(0, 1, 0, 1);
    c.R[1] = 0x18000001;
    EXPECT_TRUE(step(0x0108));
    EXPECT_EQ(c.R[0], 0x80000010u);
    EXPECT_EQ(nzcv(), 0b1011u);
    EXPECT_EQ(c.R[15], kCode + 6);

    // lsls r0, r1, #31
    at(kCode);
    c.R[1] = 3;
    step(0x07C8);
    EXPECT_EQ(c.R[0], 0x80000000u);
    EXPECT_EQ(c.FlagC, 1u);

    // lsls r0, r1, #0 is a plain move that keeps the carry, whichever it is.
    for (uint32_t carry : {0u, 1u}) {
        at(kCode);
        flags(1, 0, carry, 0);
        c.R[1] = 0;
        step(0x0008);
        EXPECT_EQ(c.R[0], 0u);
        EXPECT_EQ(nzcv(), 0b0100u | carry << 1);
    }

    // lsrs r0, r1, #1
    at(kCode);
    c.R[1] = 0x80000003;
    step(0x0848);
    EXPECT_EQ(c.R[0], 0x40000001u);
    EXPECT_EQ(nzcv(), 0b0010u);

    // lsrs r0, r1, #31
    at(kCode);
    c.R[1] = 0x80000000;
    step(0x0FC8);
    EXPECT_EQ(c.R[0], 1u);
    EXPECT_EQ(c.FlagC, 0u);

    // An LSR with a zero field copies Rs and keeps the carry (it is not a shift by 32 here).
    for (uint32_t carry : {0u, 1u}) {
        at(kCode);
        flags(0, 1, carry, 0);
        c.R[1] = 0x80000000;
        step(0x0808);
        EXPECT_EQ(c.R[0], 0x80000000u);
        EXPECT_EQ(nzcv(), 0b1000u | carry << 1);
    }

    // asrs r0, r1, #1 fills with the sign bit.
    at(kCode);
    c.R[1] = 0x80000001;
    step(0x1048);
    EXPECT_EQ(c.R[0], 0xC0000000u);
    EXPECT_EQ(nzcv(), 0b1010u);

    // asrs r0, r1, #31
    at(kCode);
    c.R[1] = 0x40000000;
    step(0x17C8);
    EXPECT_EQ(c.R[0], 0u);
    EXPECT_EQ(nzcv(), 0b0110u);

    // asrs r0, r1, #32 (a zero field) spreads bit 31 over the word and into the carry.
    at(kCode);
    flags(0, 1, 0, 0);
    c.R[1] = 0x80000000;
    step(0x1008);
    EXPECT_EQ(c.R[0], 0xFFFFFFFFu);
    EXPECT_EQ(nzcv(), 0b1010u);
    at(kCode);
    flags(1, 0, 1, 0);
    c.R[1] = 0x7FFFFFFF;
    step(0x1008);
    EXPECT_EQ(c.R[0], 0u);
    EXPECT_EQ(nzcv(), 0b0100u);
}

TEST_F(ThumbTest, AddAndSubtractRegistersAndImm3) {
    // adds r0, r1, r2
    c.R[1] = 0xFFFFFFFF;
    c.R[2] = 1;
    step(0x1888);
    EXPECT_EQ(c.R[0], 0u);
    EXPECT_EQ(nzcv(), 0b0110u);
    EXPECT_EQ(c.R[15], kCode + 6);

    // subs r0, r1, r2: a borrow clears C.
    at(kCode);
    c.R[1] = 1;
    c.R[2] = 2;
    step(0x1A88);
    EXPECT_EQ(c.R[0], 0xFFFFFFFFu);
    EXPECT_EQ(nzcv(), 0b1000u);

    // subs r0, r1, r2: equal operands, no borrow.
    at(kCode);
    c.R[1] = 5;
    c.R[2] = 5;
    step(0x1A88);
    EXPECT_EQ(c.R[0], 0u);
    EXPECT_EQ(nzcv(), 0b0110u);

    // subs r0, r1, r2: signed overflow from the most negative number.
    at(kCode);
    c.R[1] = 0x80000000;
    c.R[2] = 1;
    step(0x1A88);
    EXPECT_EQ(c.R[0], 0x7FFFFFFFu);
    EXPECT_EQ(nzcv(), 0b0011u);

    // adds r0, r1, #7: the field is the value, not a register number.
    at(kCode);
    c.R[1] = 0x7FFFFFF9;
    c.R[7] = 100;
    step(0x1DC8);
    EXPECT_EQ(c.R[0], 0x80000000u);
    EXPECT_EQ(nzcv(), 0b1001u);

    // subs r0, r1, #7
    at(kCode);
    c.R[1] = 3;
    step(0x1FC8);
    EXPECT_EQ(c.R[0], 0xFFFFFFFCu);
    EXPECT_EQ(nzcv(), 0b1000u);
}

TEST_F(ThumbTest, Imm8Operations) {
    // movs r3, #0xAB sets N and Z only.
    flags(1, 1, 1, 1);
    step(0x23AB);
    EXPECT_EQ(c.R[3], 0xABu);
    EXPECT_EQ(nzcv(), 0b0011u);
    EXPECT_EQ(c.R[15], kCode + 6);

    // movs r3, #0
    at(kCode);
    flags(0, 0, 0, 0);
    step(0x2300);
    EXPECT_EQ(c.R[3], 0u);
    EXPECT_EQ(nzcv(), 0b0100u);

    // cmp r3, #0xAB writes nothing.
    at(kCode);
    c.R[3] = 0xAB;
    step(0x2BAB);
    EXPECT_EQ(c.R[3], 0xABu);
    EXPECT_EQ(nzcv(), 0b0110u);
    at(kCode);
    c.R[3] = 0x10;
    step(0x2BAB);
    EXPECT_EQ(c.R[3], 0x10u);
    EXPECT_EQ(nzcv(), 0b1000u);

    // adds r3, #1 on 0x7FFFFFFF overflows into the sign bit.
    at(kCode);
    flags(0, 1, 1, 0);
    c.R[3] = 0x7FFFFFFF;
    step(0x3301);
    EXPECT_EQ(c.R[3], 0x80000000u);
    EXPECT_EQ(nzcv(), 0b1001u);

    // subs r3, #1
    at(kCode);
    c.R[3] = 0;
    step(0x3B01);
    EXPECT_EQ(c.R[3], 0xFFFFFFFFu);
    EXPECT_EQ(nzcv(), 0b1000u);
    at(kCode);
    c.R[3] = 1;
    step(0x3B01);
    EXPECT_EQ(c.R[3], 0u);
    EXPECT_EQ(nzcv(), 0b0110u);
}

TEST_F(ThumbTest, LogicalOperationsKeepCarryAndOverflow) {
    // ands r0, r1
    flags(0, 1, 1, 1);
    c.R[0] = 0xF0F0FFFF;
    c.R[1] = 0x8F0F00FF;
    step(0x4008);
    EXPECT_EQ(c.R[0], 0x800000FFu);
    EXPECT_EQ(nzcv(), 0b1011u);

    // eors r0, r1
    at(kCode);
    c.R[0] = c.R[1] = 0x12345678;
    step(0x4048);
    EXPECT_EQ(c.R[0], 0u);
    EXPECT_EQ(nzcv(), 0b0111u);

    // orrs r0, r1
    at(kCode);
    c.R[0] = 0x0000FF00;
    c.R[1] = 0x000000F0;
    step(0x4308);
    EXPECT_EQ(c.R[0], 0x0000FFF0u);
    EXPECT_EQ(nzcv(), 0b0011u);

    // bics r0, r1
    at(kCode);
    c.R[0] = 0xFFFFFFFF;
    c.R[1] = 0x0000FFFF;
    step(0x4388);
    EXPECT_EQ(c.R[0], 0xFFFF0000u);
    EXPECT_EQ(nzcv(), 0b1011u);

    // mvns r0, r1
    at(kCode);
    c.R[0] = 5;
    c.R[1] = 0xFFFFFFFF;
    step(0x43C8);
    EXPECT_EQ(c.R[0], 0u);
    EXPECT_EQ(nzcv(), 0b0111u);

    // tst r0, r1 sets N and Z and writes nothing.
    at(kCode);
    c.R[0] = 0xF0;
    c.R[1] = 0x0F;
    step(0x4208);
    EXPECT_EQ(c.R[0], 0xF0u);
    EXPECT_EQ(nzcv(), 0b0111u);

    // muls r0, r1 keeps the low word and leaves C and V alone.
    at(kCode);
    flags(1, 1, 1, 1);
    c.R[0] = 0x00010001;
    c.R[1] = 0x00010001;
    step(0x4348);
    EXPECT_EQ(c.R[0], 0x00020001u);
    EXPECT_EQ(nzcv(), 0b0011u);
    at(kCode);
    flags(0, 0, 0, 0);
    c.R[0] = uint32_t(-3);
    c.R[1] = 5;
    step(0x4348);
    EXPECT_EQ(c.R[0], uint32_t(-15));
    EXPECT_EQ(nzcv(), 0b1000u);
    EXPECT_EQ(c.R[15], kCode + 6);
}

TEST_F(ThumbTest, ArithmeticWithCarryAndNegation) {
    // adcs r0, r1: the incoming carry makes the sum wrap.
    flags(0, 0, 1, 0);
    c.R[0] = 0xFFFFFFFF;
    c.R[1] = 0;
    step(0x4148);
    EXPECT_EQ(c.R[0], 0u);
    EXPECT_EQ(nzcv(), 0b0110u);

    // adcs r0, r1: the incoming carry alone overflows.
    at(kCode);
    flags(0, 0, 1, 0);
    c.R[0] = 0x7FFFFFFF;
    c.R[1] = 0;
    step(0x4148);
    EXPECT_EQ(c.R[0], 0x80000000u);
    EXPECT_EQ(nzcv(), 0b1001u);

    // adcs r0, r1 without a carry in.
    at(kCode);
    flags(0, 0, 0, 0);
    c.R[0] = 1;
    c.R[1] = 2;
    step(0x4148);
    EXPECT_EQ(c.R[0], 3u);
    EXPECT_EQ(nzcv(), 0b0000u);

    // sbcs r0, r1: C set means no borrow pending.
    at(kCode);
    flags(0, 0, 1, 0);
    c.R[0] = 5;
    c.R[1] = 3;
    step(0x4188);
    EXPECT_EQ(c.R[0], 2u);
    EXPECT_EQ(nzcv(), 0b0010u);

    // sbcs r0, r1: C clear takes one more.
    at(kCode);
    flags(0, 0, 0, 0);
    c.R[0] = 5;
    c.R[1] = 3;
    step(0x4188);
    EXPECT_EQ(c.R[0], 1u);
    EXPECT_EQ(nzcv(), 0b0010u);
    at(kCode);
    flags(0, 0, 0, 0);
    c.R[0] = 3;
    c.R[1] = 3;
    step(0x4188);
    EXPECT_EQ(c.R[0], 0xFFFFFFFFu);
    EXPECT_EQ(nzcv(), 0b1000u);
    at(kCode);
    flags(0, 0, 0, 0);
    c.R[0] = 0x80000000;
    c.R[1] = 0;
    step(0x4188);
    EXPECT_EQ(c.R[0], 0x7FFFFFFFu);
    EXPECT_EQ(nzcv(), 0b0011u);

    // negs r0, r1 of 0: no borrow.
    at(kCode);
    flags(1, 0, 0, 1);
    c.R[0] = 7;
    c.R[1] = 0;
    step(0x4248);
    EXPECT_EQ(c.R[0], 0u);
    EXPECT_EQ(nzcv(), 0b0110u);

    // negs r0, r1 of the most negative number overflows.
    at(kCode);
    c.R[1] = 0x80000000;
    step(0x4248);
    EXPECT_EQ(c.R[0], 0x80000000u);
    EXPECT_EQ(nzcv(), 0b1001u);

    // negs r0, r1 of 1
    at(kCode);
    c.R[1] = 1;
    step(0x4248);
    EXPECT_EQ(c.R[0], 0xFFFFFFFFu);
    EXPECT_EQ(nzcv(), 0b1000u);
}

TEST_F(ThumbTest, CompareRegisters) {
    // cmp r0, r0
    flags(1, 0, 0, 1);
    c.R[0] = 0x12345678;
    step(0x4280);
    EXPECT_EQ(nzcv(), 0b0110u);
    EXPECT_EQ(c.R[0], 0x12345678u);

    // cmp r0, r1 with r0 < r1
    at(kCode);
    c.R[0] = 5;
    c.R[1] = 7;
    step(0x4288);
    EXPECT_EQ(nzcv(), 0b1000u);
    EXPECT_EQ(c.R[0], 5u);

    // cmp r0, r1 crossing the signed limit
    at(kCode);
    c.R[0] = 0x80000000;
    c.R[1] = 1;
    step(0x4288);
    EXPECT_EQ(nzcv(), 0b0011u);

    // cmn r0, r1
    at(kCode);
    c.R[0] = 0xFFFFFFFF;
    c.R[1] = 1;
    step(0x42C8);
    EXPECT_EQ(nzcv(), 0b0110u);
    EXPECT_EQ(c.R[0], 0xFFFFFFFFu);
    at(kCode);
    c.R[0] = 0x7FFFFFFF;
    c.R[1] = 1;
    step(0x42C8);
    EXPECT_EQ(nzcv(), 0b1001u);
    EXPECT_EQ(c.R[15], kCode + 6);
}

TEST_F(ThumbTest, ShiftByRegister) {
    constexpr uint16_t kLsl = 0x4088;  // lsls r0, r1
    constexpr uint16_t kLsr = 0x40C8;  // lsrs r0, r1
    constexpr uint16_t kAsr = 0x4108;  // asrs r0, r1
    struct Case {
        uint16_t op;
        uint32_t value, amount, carry_in;
        uint32_t result, carry_out;
    };
    const Case cases[] = {
        // A zero amount changes nothing, also when only the low byte is zero.
        {kLsl, 0x80000000, 0, 0, 0x80000000, 0},
        {kLsl, 0x80000000, 0, 1, 0x80000000, 1},
        {kLsl, 0x80000000, 0x100, 1, 0x80000000, 1},
        {kLsl, 0x80000001, 1, 0, 0x00000002, 1},
        {kLsl, 0x00000003, 31, 0, 0x80000000, 1},
        {kLsl, 0x00000001, 32, 0, 0, 1},
        {kLsl, 0xFFFFFFFE, 32, 1, 0, 0},
        {kLsl, 0xFFFFFFFF, 33, 1, 0, 0},
        {kLsl, 0xFFFFFFFF, 0x1FF, 1, 0, 0},
        {kLsr, 0x00000001, 0, 0, 0x00000001, 0},
        {kLsr, 0x00000001, 0x100, 1, 0x00000001, 1},
        {kLsr, 0x00000003, 1, 0, 0x00000001, 1},
        {kLsr, 0x80000000, 31, 1, 0x00000001, 0},
        {kLsr, 0x80000000, 32, 0, 0, 1},
        {kLsr, 0x7FFFFFFF, 32, 1, 0, 0},
        {kLsr, 0xFFFFFFFF, 33, 1, 0, 0},
        {kAsr, 0x80000000, 0, 0, 0x80000000, 0},
        {kAsr, 0x80000000, 0x100, 1, 0x80000000, 1},
        {kAsr, 0x80000008, 4, 0, 0xF8000000, 1},
        {kAsr, 0x40000000, 31, 0, 0x00000000, 1},
        {kAsr, 0x80000000, 32, 0, 0xFFFFFFFF, 1},
        {kAsr, 0x7FFFFFFF, 32, 1, 0x00000000, 0},
        {kAsr, 0x80000000, 200, 0, 0xFFFFFFFF, 1},
        {kAsr, 0x7FFFFFFF, 200, 1, 0x00000000, 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << "op " << k.op << " value " << k.value
                                        << " amount " << k.amount);
        at(kCode);
        flags(0, 0, k.carry_in, 1);
        c.R[0] = k.value;
        c.R[1] = k.amount;
        EXPECT_TRUE(step(k.op));
        EXPECT_EQ(c.R[0], k.result);
        EXPECT_EQ(c.FlagC, k.carry_out);
        EXPECT_EQ(c.FlagN, k.result >> 31);
        EXPECT_EQ(c.FlagZ, k.result == 0 ? 1u : 0u);
        EXPECT_EQ(c.FlagV, 1u);
        EXPECT_EQ(c.R[1], k.amount);
        EXPECT_EQ(c.R[15], kCode + 6);
    }
}

TEST_F(ThumbTest, RotateByRegister) {
    constexpr uint16_t kRor = 0x41C8;  // rors r0, r1

    c.R[0] = 0x12345678;
    c.R[1] = 4;
    step(kRor);
    EXPECT_EQ(c.R[0], 0x81234567u);
    EXPECT_EQ(nzcv(), 0b1010u);

    // Only the low five bits of the amount count: 36 rotates by 4.
    at(kCode);
    flags(0, 0, 0, 0);
    c.R[0] = 0x12345678;
    c.R[1] = 36;
    step(kRor);
    EXPECT_EQ(c.R[0], 0x81234567u);
    EXPECT_EQ(c.FlagC, 1u);

    at(kCode);
    flags(0, 0, 0, 0);
    c.R[0] = 1;
    c.R[1] = 1;
    step(kRor);
    EXPECT_EQ(c.R[0], 0x80000000u);
    EXPECT_EQ(nzcv(), 0b1010u);

    // Low five bits of 0 (here 32 and 0): Rd and C stay, N and Z come from Rd.
    for (uint32_t carry : {0u, 1u}) {
        at(kCode);
        flags(0, 1, carry, 1);
        c.R[0] = 0x87654321;
        c.R[1] = 32;
        step(kRor);
        EXPECT_EQ(c.R[0], 0x87654321u);
        EXPECT_EQ(nzcv(), 0b1001u | carry << 1);
    }
    at(kCode);
    flags(1, 0, 1, 0);
    c.R[0] = 0;
    c.R[1] = 0;
    step(kRor);
    EXPECT_EQ(c.R[0], 0u);
    EXPECT_EQ(nzcv(), 0b0110u);
}

TEST_F(ThumbTest, HighRegisterAddCompareMove) {
    // add r8, r1 and add r1, r8 reach the high registers and set no flags.
    flags(1, 0, 1, 0);
    c.R[8] = 10;
    c.R[1] = 5;
    step(0x4488);
    EXPECT_EQ(c.R[8], 15u);
    EXPECT_EQ(nzcv(), 0b1010u);
    EXPECT_EQ(c.R[15], kCode + 6);
    at(kCode);
    step(0x4441);
    EXPECT_EQ(c.R[1], 20u);

    // add pc, r1 branches within THUMB state: bit 0 of the sum is dropped.
    at(kCode);
    c.R[1] = 0x101;
    step(0x448F);
    EXPECT_EQ(c.R[15], kCode + 0x104 + 4);
    EXPECT_EQ(c.ThumbState, 1u);

    // cmp r8, r1 sets all four flags and writes nothing.
    at(kCode);
    flags(0, 1, 1, 1);
    c.R[8] = 1;
    c.R[1] = 2;
    step(0x4588);
    EXPECT_EQ(nzcv(), 0b1000u);
    EXPECT_EQ(c.R[8], 1u);
    EXPECT_EQ(c.R[15], kCode + 6);

    // mov r9, pc reads the instruction's address + 4.
    at(kCode + 0x20);
    step(0x46F9);
    EXPECT_EQ(c.R[9], kCode + 0x24);
    EXPECT_EQ(c.R[15], kCode + 0x26);

    // mov r2, r10
    at(kCode);
    c.R[10] = 0xCAFEF00D;
    step(0x4652);
    EXPECT_EQ(c.R[2], 0xCAFEF00Du);
    EXPECT_EQ(nzcv(), 0b1000u);

    // mov pc, r1 stays in THUMB state whatever bit 0 says.
    for (uint32_t target : {0x08000201u, 0x08000200u}) {
        at(kCode);
        c.R[1] = target;
        step(0x468F);
        EXPECT_EQ(c.R[15], 0x08000204u);
        EXPECT_EQ(c.ThumbState, 1u);
    }

    // mov pc, lr with the interrupt return address does not give 0, so it is not taken for a
    // return from the handler.
    at(kCode);
    c.R[14] = kInterruptReturnAddress;
    step(0x46F7);
    EXPECT_NE(c.R[15], 0u);
    EXPECT_EQ(c.R[15], 0xFFFFFFFCu);
}

TEST_F(ThumbTest, BranchAndExchange) {
    // bx r1 to an odd address stays in THUMB state.
    c.R[1] = 0x03000101;
    EXPECT_TRUE(step(0x4708));
    EXPECT_EQ(c.ThumbState, 1u);
    EXPECT_EQ(c.R[15], 0x03000104u);

    // bx r1 to an even address switches to ARM, with no further alignment.
    at(kCode);
    c.R[1] = 0x08000102;
    step(0x4708);
    EXPECT_EQ(c.ThumbState, 0u);
    EXPECT_EQ(c.R[15], 0x0800010Au);

    // bx lr, and the same with bit 7 set, which is ignored.
    for (uint16_t op : {uint16_t(0x4770), uint16_t(0x47F0)}) {
        c.ThumbState = 1;
        at(kCode);
        c.R[14] = 0x08000401;
        step(op);
        EXPECT_EQ(c.ThumbState, 1u);
        EXPECT_EQ(c.R[15], 0x08000404u);
    }

    // bx pc from an aligned address enters ARM code two halfwords further on.
    c.ThumbState = 1;
    at(kCode + 0x40);
    step(0x4778);
    EXPECT_EQ(c.ThumbState, 0u);
    EXPECT_EQ(c.R[15], kCode + 0x44 + 8);
}

TEST_F(ThumbTest, PcRelativeLoadAlignsThePc) {
    // ldr r2, [pc, #8] from a halfword-aligned address: the base is (R15 AND NOT 3).
    write32(m, kCode + 0x0C, 0xDEADBEEF);
    write32(m, kCode + 0x10, 0x11111111);
    at(kCode + 2);
    step(0x4A02);
    EXPECT_EQ(c.R[2], 0xDEADBEEFu);
    EXPECT_EQ(c.R[15], kCode + 8);

    at(kCode + 4);
    step(0x4A02);
    EXPECT_EQ(c.R[2], 0x11111111u);
}

TEST_F(ThumbTest, RegisterOffsetTransfers) {
    const uint32_t base = kData, offset = 0x10, address = kData + 0x10;
    auto reset = [&] {
        at(kCode);
        c.R[1] = base;
        c.R[2] = offset;
        for (uint32_t i = 0; i < 8; ++i) write8(m, address + i, 0);
    };

    // str r0, [r1, r2]
    reset();
    c.R[0] = 0x11223344;
    step(0x5088);
    EXPECT_EQ(read32(m, address), 0x11223344u);
    EXPECT_EQ(c.R[15], kCode + 6);

    // strb r0, [r1, r2] stores the low byte only.
    reset();
    c.R[0] = 0xAABBCCDD;
    step(0x5488);
    EXPECT_EQ(read32(m, address), 0x000000DDu);

    // strh r0, [r1, r2] stores the low half only.
    reset();
    step(0x5288);
    EXPECT_EQ(read32(m, address), 0x0000CCDDu);

    // ldr r0, [r1, r2] from an address that is not a multiple of 4 takes the bus word as is.
    reset();
    for (uint32_t i = 0; i < 8; ++i) write8(m, address + i, i * 0x11);
    c.R[2] = offset + 1;
    step(0x5888);
    EXPECT_EQ(c.R[0], 0x44332211u);

    // ldrb r0, [r1, r2] zero-extends; ldrsb r0, [r1, r2] sign-extends from bit 7.
    reset();
    write8(m, address, 0xF0);
    write8(m, address + 1, 0x70);
    step(0x5C88);
    EXPECT_EQ(c.R[0], 0xF0u);
    at(kCode);
    step(0x5688);
    EXPECT_EQ(c.R[0], 0xFFFFFFF0u);
    at(kCode);
    c.R[2] = offset + 1;
    step(0x5688);
    EXPECT_EQ(c.R[0], 0x70u);

    // ldrh r0, [r1, r2] zero-extends; ldrsh r0, [r1, r2] sign-extends from bit 15.
    reset();
    write16(m, address, 0x8001);
    write16(m, address + 2, 0x7FFF);
    step(0x5A88);
    EXPECT_EQ(c.R[0], 0x8001u);
    at(kCode);
    step(0x5E88);
    EXPECT_EQ(c.R[0], 0xFFFF8001u);
    at(kCode);
    c.R[2] = offset + 2;
    step(0x5E88);
    EXPECT_EQ(c.R[0], 0x7FFFu);
}

TEST_F(ThumbTest, ImmediateOffsetTransfersAlignTheBaseByWidth) {
    for (uint32_t i = 0; i < 0x100; i += 4) write32(m, kData + i, 0);

    // str r0, [r1, #8] with an unaligned base: word forms clear the base's low two bits.
    c.R[0] = 0x11223344;
    c.R[1] = kData + 2;
    step(0x6088);
    EXPECT_EQ(read32(m, kData + 8), 0x11223344u);
    EXPECT_EQ(c.R[15], kCode + 6);

    // ldr r0, [r1, #8]
    at(kCode);
    c.R[0] = 0;
    c.R[1] = kData + 3;
    step(0x6888);
    EXPECT_EQ(c.R[0], 0x11223344u);

    // ldr r0, [r1, #124], the largest offset
    at(kCode);
    write32(m, kData + 124, 0x5A5A5A5A);
    c.R[1] = kData + 1;
    step(0x6FC8);
    EXPECT_EQ(c.R[0], 0x5A5A5A5Au);

    // strb r0, [r1, #5]: the byte form adds to the base as it is.
    at(kCode);
    c.R[0] = 0xAABBCCDD;
    c.R[1] = kData + 0x21;
    step(0x7148);
    EXPECT_EQ(read32(m, kData + 0x24), 0x00DD0000u);

    // ldrb r0, [r1, #5]
    at(kCode);
    c.R[0] = 0xFFFFFFFF;
    step(0x7948);
    EXPECT_EQ(c.R[0], 0xDDu);

    // strh r0, [r1, #6]: halfword forms clear the base's bit 0.
    at(kCode);
    c.R[0] = 0xAABBCCDD;
    c.R[1] = kData + 0x41;
    step(0x80C8);
    EXPECT_EQ(read32(m, kData + 0x44), 0xCCDD0000u);

    // ldrh r0, [r1, #6] zero-extends.
    at(kCode);
    c.R[0] = 0;
    write16(m, kData + 0x46, 0x8765);
    step(0x88C8);
    EXPECT_EQ(c.R[0], 0x8765u);

    // str r2, [sp, #8] and ldr r2, [sp, #8] clear the stack pointer's low two bits.
    at(kCode);
    c.R[13] = kData + 0x83;
    c.R[2] = 0xFEEDFACE;
    step(0x9202);
    EXPECT_EQ(read32(m, kData + 0x88), 0xFEEDFACEu);
    EXPECT_EQ(c.R[13], kData + 0x83);
    at(kCode);
    c.R[2] = 0;
    write32(m, kData + 0x88, 0x01020304);
    step(0x9A02);
    EXPECT_EQ(c.R[2], 0x01020304u);
    EXPECT_EQ(c.R[15], kCode + 6);
}

TEST_F(ThumbTest, LoadAddressAndStackAdjustment) {
    flags(1, 0, 1, 0);

    // add r2, pc, #8 from a halfword-aligned address
    at(kCode + 2);
    step(0xA202);
    EXPECT_EQ(c.R[2], kCode + 4 + 8);
    EXPECT_EQ(c.R[15], kCode + 8);

    // add r2, sp, #8 aligns the stack pointer down first.
    at(kCode);
    c.R[13] = kStack + 1;
    step(0xAA02);
    EXPECT_EQ(c.R[2], kStack + 8);
    EXPECT_EQ(c.R[13], kStack + 1);

    // add sp, #12 and sub sp, #12 do not align.
    at(kCode);
    step(0xB003);
    EXPECT_EQ(c.R[13], kStack + 13);
    at(kCode);
    step(0xB083);
    EXPECT_EQ(c.R[13], kStack + 1);
    at(kCode);
    c.R[13] = kStack;
    step(0xB0FF);  // sub sp, #508
    EXPECT_EQ(c.R[13], kStack - 508);
    at(kCode);
    step(0xB07F);  // add sp, #508
    EXPECT_EQ(c.R[13], kStack);
    EXPECT_EQ(c.R[15], kCode + 6);

    EXPECT_EQ(nzcv(), 0b1010u);
}

TEST_F(ThumbTest, PushAndPop) {
    // push {r0, r2, lr}: lowest register at the lowest address, LR at the top.
    c.R[13] = kStack;
    c.R[0] = 0xA0;
    c.R[2] = 0xA2;
    c.R[14] = 0x08000101;
    step(0xB505);
    EXPECT_EQ(c.R[13], kStack - 12);
    EXPECT_EQ(read32(m, kStack - 12), 0xA0u);
    EXPECT_EQ(read32(m, kStack - 8), 0xA2u);
    EXPECT_EQ(read32(m, kStack - 4), 0x08000101u);
    EXPECT_EQ(c.R[15], kCode + 6);

    // pop {r0, r2, pc} returns in THUMB state past the odd return address.
    at(kCode);
    c.R[0] = c.R[2] = 0;
    EXPECT_TRUE(step(0xBD05));
    EXPECT_EQ(c.R[0], 0xA0u);
    EXPECT_EQ(c.R[2], 0xA2u);
    EXPECT_EQ(c.R[13], kStack);
    EXPECT_EQ(c.R[15], 0x08000104u);
    EXPECT_EQ(c.ThumbState, 1u);

    // pop {pc} of an even address does not switch to ARM either.
    at(kCode);
    c.R[13] = kStack - 4;
    write32(m, kStack - 4, 0x08000100);
    step(0xBD00);
    EXPECT_EQ(c.R[15], 0x08000104u);
    EXPECT_EQ(c.ThumbState, 1u);
    EXPECT_EQ(c.R[13], kStack);

    // push {r1}, then pop {r1} after r1 changed: without PC the instruction just moves on.
    at(kCode);
    c.R[1] = 0x12345678;
    step(0xB402);
    EXPECT_EQ(c.R[13], kStack - 4);
    c.R[1] = 0;
    at(kCode);
    step(0xBC02);
    EXPECT_EQ(c.R[1], 0x12345678u);
    EXPECT_EQ(c.R[13], kStack);
    EXPECT_EQ(c.R[15], kCode + 6);

    // push {r0-r7} and pop {r0-r7} round trip.
    at(kCode);
    for (uint32_t r = 0; r < 8; ++r) c.R[r] = 0x100 + r;
    c.R[13] = kStack;
    step(0xB4FF);
    EXPECT_EQ(c.R[13], kStack - 32);
    EXPECT_EQ(read32(m, kStack - 32), 0x100u);
    EXPECT_EQ(read32(m, kStack - 4), 0x107u);
    for (uint32_t r = 0; r < 8; ++r) c.R[r] = 0;
    at(kCode);
    step(0xBCFF);
    for (uint32_t r = 0; r < 8; ++r) EXPECT_EQ(c.R[r], 0x100 + r);
    EXPECT_EQ(c.R[13], kStack);
}

TEST_F(ThumbTest, BlockTransfers) {
    // stmia r1!, {r2, r3, r4}
    c.R[1] = kData;
    c.R[2] = 2;
    c.R[3] = 3;
    c.R[4] = 4;
    step(0xC11C);
    EXPECT_EQ(read32(m, kData), 2u);
    EXPECT_EQ(read32(m, kData + 4), 3u);
    EXPECT_EQ(read32(m, kData + 8), 4u);
    EXPECT_EQ(c.R[1], kData + 12);
    EXPECT_EQ(c.R[15], kCode + 6);

    // ldmia r0!, {r1, r2}
    at(kCode);
    c.R[0] = kData + 4;
    c.R[1] = c.R[2] = 0;
    step(0xC806);
    EXPECT_EQ(c.R[1], 3u);
    EXPECT_EQ(c.R[2], 4u);
    EXPECT_EQ(c.R[0], kData + 12);

    // stmia r0!, {r0, r1} stores the base as it was, and writes back.
    at(kCode);
    c.R[0] = kData + 0x20;
    c.R[1] = 0x11;
    step(0xC003);
    EXPECT_EQ(read32(m, kData + 0x20), kData + 0x20);
    EXPECT_EQ(read32(m, kData + 0x24), 0x11u);
    EXPECT_EQ(c.R[0], kData + 0x28);

    // ldmia r0!, {r0, r1}: the loaded base is kept, there is no write-back.
    at(kCode);
    write32(m, kData + 0x30, 0xB0B0B0B0);
    write32(m, kData + 0x34, 0xB1B1B1B1);
    c.R[0] = kData + 0x30;
    step(0xC803);
    EXPECT_EQ(c.R[0], 0xB0B0B0B0u);
    EXPECT_EQ(c.R[1], 0xB1B1B1B1u);

    // ldmia r1!, {r0, r1, r2}: registers after the base still load from the original addresses.
    at(kCode);
    write32(m, kData + 0x38, 0xB2B2B2B2);
    c.R[1] = kData + 0x30;
    step(0xC907);
    EXPECT_EQ(c.R[0], 0xB0B0B0B0u);
    EXPECT_EQ(c.R[1], 0xB1B1B1B1u);
    EXPECT_EQ(c.R[2], 0xB2B2B2B2u);

    // Empty lists transfer nothing and leave the base alone.
    at(kCode);
    c.R[0] = kData + 0x40;
    write32(m, kData + 0x40, 0x77777777);
    step(0xC000);  // stmia r0!, {}
    EXPECT_EQ(c.R[0], kData + 0x40);
    EXPECT_EQ(read32(m, kData + 0x40), 0x77777777u);
    at(kCode);
    c.R[1] = 0;
    step(0xC800);  // ldmia r0!, {}
    EXPECT_EQ(c.R[0], kData + 0x40);
    EXPECT_EQ(c.R[1], 0u);
    EXPECT_EQ(c.R[15], kCode + 6);
}

TEST_F(ThumbTest, ConditionalBranches) {
    struct Case {
        uint32_t cond, n, z, carry, v;
        bool taken;
    };
    const Case cases[] = {
        {0x0, 0, 1, 0, 0, true},  {0x0, 0, 0, 0, 0, false},  // EQ
        {0x1, 0, 0, 0, 0, true},  {0x1, 0, 1, 0, 0, false},  // NE
        {0x2, 0, 0, 1, 0, true},  {0x2, 0, 0, 0, 0, false},  // CS
        {0x3, 0, 0, 0, 0, true},  {0x3, 0, 0, 1, 0, false},  // CC
        {0x4, 1, 0, 0, 0, true},  {0x4, 0, 0, 0, 0, false},  // MI
        {0x5, 0, 0, 0, 0, true},  {0x5, 1, 0, 0, 0, false},  // PL
        {0x6, 0, 0, 0, 1, true},  {0x6, 0, 0, 0, 0, false},  // VS
        {0x7, 0, 0, 0, 0, true},  {0x7, 0, 0, 0, 1, false},  // VC
        {0x8, 0, 0, 1, 0, true},  {0x8, 0, 1, 1, 0, false},  // HI
        {0x8, 0, 0, 0, 0, false},                            //
        {0x9, 0, 0, 0, 0, true},  {0x9, 0, 1, 1, 0, true},   // LS
        {0x9, 0, 0, 1, 0, false},                            //
        {0xA, 1, 0, 0, 1, true},  {0xA, 0, 0, 0, 0, true},   // GE
        {0xA, 1, 0, 0, 0, false}, {0xA, 0, 0, 0, 1, false},  //
        {0xB, 1, 0, 0, 0, true},  {0xB, 0, 0, 0, 1, true},   // LT
        {0xB, 1, 0, 0, 1, false}, {0xB, 0, 0, 0, 0, false},  //
        {0xC, 0, 0, 0, 0, true},  {0xC, 1, 0, 0, 1, true},   // GT
        {0xC, 0, 1, 0, 0, false}, {0xC, 1, 0, 0, 0, false},  //
        {0xD, 0, 1, 0, 0, true},  {0xD, 1, 0, 0, 0, true},   // LE
        {0xD, 0, 0, 0, 0, false}, {0xD, 1, 0, 0, 1, false},  //
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message()
                     << "cond " << k.cond << " nzcv " << k.n << k.z << k.carry << k.v);
        // b<cond> .+8 from kCode + 0x40
        at(kCode + 0x40);
        flags(k.n, k.z, k.carry, k.v);
        EXPECT_TRUE(step(0xD002 | k.cond << 8));
        EXPECT_EQ(c.R[15], k.taken ? kCode + 0x48 + 4 : kCode + 0x46);
        EXPECT_EQ(nzcv(), k.n << 3 | k.z << 2 | k.carry << 1 | k.v);
    }

    // bne .-4: a backward offset.
    at(kCode + 0x94);
    flags(0, 0, 0, 0);
    step(0xD1FC);
    EXPECT_EQ(c.R[15], kCode + 0x90 + 4);

    // beq with the largest offsets, -256 and +254 bytes from R15.
    at(kCode + 0x200);
    flags(0, 1, 0, 0);
    step(0xD080);
    EXPECT_EQ(c.R[15], kCode + 0x204 - 256 + 4);
    at(kCode + 0x200);
    step(0xD07F);
    EXPECT_EQ(c.R[15], kCode + 0x204 + 254 + 4);
}

TEST_F(ThumbTest, ConditionFourteenStopsTheMachineQuietly) {
    flags(1, 1, 1, 1);
    EXPECT_FALSE(step(0xDE00));
    EXPECT_EQ(c.QuitFlag, 1u);
    EXPECT_TRUE(t.host.boxes.empty());

    // Through the run loop: the slice ends at the stop instruction and nothing after it runs.
    TestMachine fresh;
    Machine& m2 = fresh.m;
    m2.cpu.ThumbState = 1;
    m2.cpu.R[15] = kCode + 4;
    write16(m2, kCode, 0x2001);      // movs r0, #1
    write16(m2, kCode + 2, 0xDE00);  // the stop instruction
    write16(m2, kCode + 4, 0x2002);  // movs r0, #2
    cpu_run(m2);
    EXPECT_EQ(m2.cpu.QuitFlag, 1u);
    EXPECT_EQ(m2.cpu.R[0], 1u);
    EXPECT_EQ(m2.cpu.InstructionCount, 2u);
    cpu_run(m2);
    EXPECT_EQ(m2.cpu.R[0], 1u);
    EXPECT_EQ(m2.cpu.InstructionCount, 2u);
    EXPECT_TRUE(fresh.host.boxes.empty());
}

TEST_F(ThumbTest, SoftwareInterruptCallsTheFirmwareEmulation) {
    // A firmware function that is not carried out: the call reports its number, then execution
    // continues after the SWI with registers and flags as they were.
    m.BiosWarningsEnabled = 1;
    t.host.answer_yes = false;
    flags(1, 0, 1, 0);
    c.R[0] = 0x10;
    c.R[1] = 0x11;
    c.R[2] = 0x12;
    EXPECT_TRUE(step(0xDF05));  // swi 0x05
    EXPECT_EQ(c.R[15], kCode + 6);
    EXPECT_EQ(c.ThumbState, 1u);
    EXPECT_EQ(c.QuitFlag, 0u);
    EXPECT_EQ(c.R[0], 0x10u);
    EXPECT_EQ(c.R[1], 0x11u);
    EXPECT_EQ(c.R[2], 0x12u);
    EXPECT_EQ(nzcv(), 0b1010u);
    ASSERT_EQ(t.host.boxes.size(), 1u);
    EXPECT_NE(t.host.boxes[0].text.find("0x05"), std::string::npos);
}

TEST_F(ThumbTest, UnconditionalBranch) {
    // b . loops on itself.
    at(kCode + 0x100);
    EXPECT_TRUE(step(0xE7FE));
    EXPECT_EQ(c.R[15], kCode + 0x100 + 4);

    // b .+6
    step(0xE001);
    EXPECT_EQ(c.R[15], kCode + 0x106 + 4);

    // The largest offsets: -2048 and +2046 bytes from R15.
    at(kCode + 0x1000);
    step(0xE400);
    EXPECT_EQ(c.R[15], kCode + 0x1004 - 2048 + 4);
    at(kCode + 0x1000);
    step(0xE3FF);
    EXPECT_EQ(c.R[15], kCode + 0x1004 + 2046 + 4);
    EXPECT_EQ(c.ThumbState, 1u);
}

TEST_F(ThumbTest, BranchWithLink) {
    // bl .-0x100000 from 0x08300000, then bl .+0x1FC from 0x08300004
    const uint32_t a = 0x08300000;
    c.InstructionCount = 100;
    at(a);
    EXPECT_TRUE(step(0xF6FF));
    EXPECT_EQ(c.InstructionCount, 99u);
    EXPECT_EQ(c.R[15], a + 6);
    EXPECT_TRUE(step(0xFFFE));
    EXPECT_EQ(c.InstructionCount, 99u);
    EXPECT_EQ(c.R[15], a - 0x100000 + 4);
    EXPECT_EQ(c.R[14], (a + 4) | 1);
    EXPECT_EQ(c.ThumbState, 1u);

    at(a + 4);
    step(0xF000);
    step(0xF8FC);
    EXPECT_EQ(c.R[15], a + 0x200 + 4);
    EXPECT_EQ(c.R[14], (a + 8) | 1);
    EXPECT_EQ(c.InstructionCount, 98u);

    // The second half alone branches relative to whatever LR holds.
    at(a + 0x40);
    c.R[14] = 0x08001000;
    step(0xF810);
    EXPECT_EQ(c.R[15], 0x08001020u);
    EXPECT_EQ(c.R[14], (a + 0x42) | 1);
}

TEST_F(ThumbTest, RunLoopCountsABranchWithLinkPairOnce) {
    // bl to kCode + 0x40, where b . spins until the slice ends.
    load_program(kCode, {0xF000, 0xF81E});
    load_program(kCode + 0x40, {0xE7FE});
    cpu_run(m);
    EXPECT_EQ(c.SliceCount, kInstructionsPerSlice);
    EXPECT_EQ(c.InstructionCount, kInstructionsPerSlice - 1);
    EXPECT_EQ(c.R[14], (kCode + 4) | 1);
    EXPECT_EQ(c.R[15], kCode + 0x40 + 4);
    EXPECT_EQ(c.ThumbState, 1u);
}

TEST_F(ThumbTest, RunLoopExecutesALoop) {
    load_program(kCode, {
                            0x2000,  // movs r0, #0
                            0x210A,  // movs r1, #10
                            0x1840,  // loop: adds r0, r0, r1
                            0x3901,  // subs r1, #1
                            0xD1FC,  // bne loop
                            0xDE00,  // stop
                            0x2063,  // movs r0, #99
                        });
    cpu_run(m);
    EXPECT_EQ(c.R[0], 55u);
    EXPECT_EQ(c.R[1], 0u);
    EXPECT_EQ(c.QuitFlag, 1u);
    EXPECT_EQ(c.InstructionCount, 2u + 10 * 3 + 1);
    EXPECT_EQ(nzcv(), 0b0110u);
}

}  // namespace
