// The run loop's slices and stops.
#include <gtest/gtest.h>

#include "fake_host.h"

namespace {

constexpr uint32_t kCode = 0x03000000, kNone = 0xFFFFFFFF;

// mov r0, #1; mov r1, #2; mov r2, #3; b .
void load(Machine& m, uint32_t count = 0) {
    const uint32_t program[] = {0xE3A00001, 0xE3A01002, 0xE3A02003, 0xEAFFFFFE};
    for (uint32_t i = 0; i < 4; ++i) write32(m, kCode + 4 * i, program[i]);
    cpu_reset(m, kCode);
    m.cpu.InstructionCount = count;
}

TEST(CpuRun, SlicesAndStops) {
    struct Case {
        uint32_t breakpoint, count_break, start_count;
        uint32_t pc, count, shows;  // pc: the next instruction
    };
    const Case cases[] = {
        {kNone, kNone, 0, kCode + 12, 192, 0},            // a slice is 192 instructions
        {kNone, kNone, 0xFFFFFFF0, kCode + 12, 0xB0, 0},  // all ones is never a count
        {kCode + 8, kNone, 0, kCode + 8, 2, 1},           // before the breakpoint
        {kNone, 0, 0, kCode, 0, 1},
        {kNone, 2, 0, kCode + 8, 2, 1},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << k.breakpoint << " " << k.count_break);
        TestMachine t;
        load(t.m, k.start_count);
        t.m.settings.Breakpoint = k.breakpoint;
        t.m.settings.CountBreak = k.count_break;
        cpu_run(t.m);
        if (k.shows) cpu_run(t.m);  // paused: nothing runs
        EXPECT_EQ(t.m.cpu.R[15], k.pc + 8);
        EXPECT_EQ(t.m.cpu.InstructionCount, k.count);
        EXPECT_EQ(t.host.shows, int(k.shows));
        EXPECT_EQ(t.m.cpu.DebugPause, k.shows);
    }
}

TEST(CpuRun, StopInstructionEndsTheSliceUntilTheReset) {
    TestMachine t;
    write32(t.m, kCode, 0xE3A00001);
    write32(t.m, kCode + 4, 0xF0000000);
    cpu_reset(t.m, kCode);
    cpu_run(t.m);
    cpu_run(t.m);
    EXPECT_EQ(t.m.cpu.QuitFlag, 1u);
    EXPECT_EQ(t.m.cpu.InstructionCount, 2u);
    cpu_reset(t.m, kCode);
    EXPECT_EQ(t.m.cpu.QuitFlag, 0u);
}

}  // namespace
