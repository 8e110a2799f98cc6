#include "debugger/debugger.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "fake_host.h"
#include "frontend/frontend.h"

namespace {

// ARM start, then THUMB: 08000016 a call (a BL pair), 0800001C a wait (b .), 0800001E the
// routine. An ARM call (08000004) and a wait; a counting loop.
const std::vector<uint32_t> kArmThenThumb = {0xE3A00001, 0xE3A01002, 0xE3A02003,
                                             0xE28F3001, 0xE12FFF13, 0xF0002404,
                                             0x2505F802, 0x2606E7FE, 0x47703601};
const std::vector<uint32_t> kArmCall = {0xE3A00001, 0xEB000001, 0xE3A01002, 0xEAFFFFFE,
                                        0xE3A02003, 0xE3A03004, 0xE12FFF1E};
const std::vector<uint32_t> kArmLoop = {0xE3A00000, 0xE2800001, 0xEAFFFFFD};

void load(Machine& m, const std::vector<uint32_t>& words) {
    m.RomSize = uint32_t(words.size() * 4);
    m.RomImage = std::make_unique<uint8_t[]>(m.RomSize + kSlack);
    std::memcpy(m.RomImage.get(), words.data(), m.RomSize);
    cpu_reset(m, kCartridgeEntry);
}

// The address of the instruction about to start.
uint32_t next_instruction(const Machine& m) {
    return m.cpu.R[15] - (m.cpu.ThumbState ? 4 : 8);
}

// Runs slices until the processor stops in the debugger; the instruction it stopped at, or 0
// when it ran on.
uint32_t run(Machine& m) {
    for (int i = 0; i < 300 && !debugger_waiting(m); ++i) cpu_run(m);
    return debugger_waiting(m) ? next_instruction(m) : 0;
}

// The stop rules: where the processor stops first, and after each action (c Continue, s Step
// In, o Step Over, r reset, d the stop key, x the breakpoint removed).
TEST(Debugger, StopRules) {
    struct Case {
        const std::vector<uint32_t>* code;
        uint32_t breakpoint, count;
        const char* actions;
        std::vector<uint32_t> stops;  // low 16 bits of each stop address, 0 for running on
    } const cases[] = {
        // A breakpoint or count stops before its instruction; Continue there runs it and stops
        // once more at the next one (the view comes back where it was left), then runs on.
        {&kArmThenThumb, 0x08000008, ~0u, "cc", {0x08, 0x0C, 0}},
        {&kArmThenThumb, 0x08000016, ~0u, "c", {0x16, 0x18}},
        {&kArmThenThumb, 0x08000000, ~0u, "", {0x00}},
        {&kArmThenThumb, ~0u, 1, "cc", {0x04, 0x08, 0}},
        {&kArmThenThumb, ~0u, 0, "sss", {0x00, 0x04, 0x08, 0x0C}},
        // Step Over: a THUMB BL pair half by half, the routine run through; an ARM call.
        {&kArmThenThumb, ~0u, 5, "soo", {0x14, 0x16, 0x18, 0x1A}},
        {&kArmCall, ~0u, 0, "so", {0x00, 0x04, 0x08}},
        // The Step Over target stays until changed: the loop stops there each time round.
        {&kArmLoop, ~0u, 0, "soccccd", {0x00, 0x04, 0x08, 0x04, 0x08, 0x04, 0x08, 0x08}},
        // A reset clears the stop, and the rerun stops at the same place, not one later.
        {&kArmCall, 0x08000008, ~0u, "r", {0x08, 0x08}},
        {&kArmLoop, ~0u, 1, "or", {0x04, 0x08, 0x04}},
        // A breakpoint on a tight loop stops each time round; the stop key in it shows the view
        // again, and steps go on there.
        {&kArmThenThumb, 0x0800001C, ~0u, "ccxcdsc", {0x1C, 0x1C, 0x1C, 0x1C, 0, 0x1C, 0x1C, 0}},
        {&kArmThenThumb, ~0u, ~0u, "dd", {0, 0x1C, 0x1C}},
    };
    for (const Case& c : cases) {
        TestMachine t;
        Machine& m = t.m;
        load(m, *c.code);
        m.settings.Breakpoint = c.breakpoint;
        m.settings.CountBreak = c.count;
        std::vector<uint32_t> stops = {run(m) & 0xFFFF};
        for (const char* a = c.actions; *a; ++a) {
            switch (*a) {
                case 'c': debugger_continue(m); break;
                case 's': debugger_step_in(m); break;
                case 'o': debugger_step_over(m); break;
                case 'r': machine_reset(m); break;
                case 'd': debugger_request(m); break;
                case 'x': m.settings.Breakpoint = ~0u; break;
            }
            stops.push_back(run(m) & 0xFFFF);
            if (!debugger_waiting(m)) continue;
            char view[40];  // every stop shows the view, refreshed
            std::snprintf(view, sizeof view, "%08X %u", next_instruction(m),
                          m.cpu.InstructionCount);
            EXPECT_TRUE(m.debugger.ViewVisible);
            EXPECT_EQ(m.debugger.Model.Pc + " " + m.debugger.Model.Cnt, view);
        }
        EXPECT_EQ(stops, c.stops) << c.actions << " from " << c.breakpoint << "/" << c.count;
    }
}

// The view's text is checked in the text debugger's transcripts; here what they cannot reach.
TEST(Debugger, FlagsCountQuitAndArmRows) {
    TestMachine t;
    Machine& m = t.m;
    const DebuggerModel& model = m.debugger.Model;
    load(m, kArmCall);
    m.settings.Breakpoint = 0x08000004;
    ASSERT_EQ(run(m), 0x08000004u);
    debugger_up(m);  // in ARM state a row is four bytes
    EXPECT_EQ(model.Listing[0].Address + model.Listing[1].Text, "08000000EB000001");
    m.cpu.FlagN = m.cpu.FlagC = m.cpu.InInterrupt = 1;
    m.cpu.InstructionCount = 0x80000000;
    debugger_refresh(m);
    EXPECT_TRUE(model.FlagN && model.FlagC && !model.FlagZ && !model.FlagV && !model.FlagI);
    EXPECT_EQ(model.Cnt, "2147483648");  // unsigned
    debugger_quit(m);                    // the view closes and nothing runs any more
    EXPECT_EQ(m.cpu.QuitFlag + t.host.hides, 2u);
    EXPECT_EQ(run(m), 0u);
    EXPECT_EQ(m.cpu.InstructionCount, 0x80000000u);
}

}  // namespace
