#include "debugger/debugger.h"

#include <gtest/gtest.h>

#include <vector>

#include "fake_host.h"
#include "frontend/frontend.h"

namespace {

// A cartridge image assembled by hand, ARM words and THUMB halfwords in order from 0x08000000.
struct Code {
    std::vector<uint8_t> bytes;
    Code& arm(uint32_t w) {
        for (int i = 0; i < 4; ++i) bytes.push_back(uint8_t(w >> (8 * i)));
        return *this;
    }
    Code& thumb(uint16_t h) {
        bytes.push_back(uint8_t(h));
        bytes.push_back(uint8_t(h >> 8));
        return *this;
    }
};

void load(Machine& m, const Code& code) {
    m.RomSize = uint32_t(code.bytes.size());
    m.RomImage = std::make_unique<uint8_t[]>(m.RomSize + kSlack);
    std::copy(code.bytes.begin(), code.bytes.end(), m.RomImage.get());
    cpu_reset(m, kCartridgeEntry);
}

// ARM start, then a THUMB part that calls a routine and waits in a loop.
const Code kArmThenThumb = Code()
                               .arm(0xE3A00001)  // 08000000 mov r0, #1
                               .arm(0xE3A01002)  // 08000004 mov r1, #2
                               .arm(0xE3A02003)  // 08000008 mov r2, #3
                               .arm(0xE28F3001)  // 0800000C add r3, pc, #1 (0x08000015)
                               .arm(0xE12FFF13)  // 08000010 bx r3
                               .thumb(0x2404)    // 08000014 mov r4, #4
                               .thumb(0xF000)    // 08000016 bl 0800001E (first half)
                               .thumb(0xF802)    // 08000018          (second half)
                               .thumb(0x2505)    // 0800001A mov r5, #5
                               .thumb(0xE7FE)    // 0800001C b .
                               .thumb(0x2606)    // 0800001E mov r6, #6
                               .thumb(0x3601)    // 08000020 add r6, #1
                               .thumb(0x4770);   // 08000022 bx lr
constexpr uint32_t kThumbWait = 0x0800001C;

// An ARM call and a wait.
const Code kArmCall = Code()
                          .arm(0xE3A00001)   // 08000000 mov r0, #1
                          .arm(0xEB000001)   // 08000004 bl 08000010
                          .arm(0xE3A01002)   // 08000008 mov r1, #2
                          .arm(0xEAFFFFFE)   // 0800000C b .
                          .arm(0xE3A02003)   // 08000010 mov r2, #3
                          .arm(0xE3A03004)   // 08000014 mov r3, #4
                          .arm(0xE12FFF1E);  // 08000018 bx lr

// A counting loop.
const Code kArmLoop = Code()
                          .arm(0xE3A00000)   // 08000000 mov r0, #0
                          .arm(0xE2800001)   // 08000004 add r0, r0, #1
                          .arm(0xEAFFFFFD);  // 08000008 b 08000004

// The address of the instruction about to start.
uint32_t next_instruction(const Machine& m) {
    return m.cpu.R[15] - (m.cpu.ThumbState ? 4 : 8);
}

// Runs slices until the processor stops in the debugger (or a bounded number of slices ran).
void run_until_stopped(Machine& m) {
    for (int i = 0; i < 1000 && !debugger_waiting(m); ++i) cpu_run(m);
}

TEST(DebuggerStops, BreakpointOnAnArmInstruction) {
    TestMachine t;
    Machine& m = t.m;
    load(m, kArmThenThumb);
    m.settings.Breakpoint = 0x08000008;
    cpu_run(m);
    EXPECT_TRUE(debugger_waiting(m));
    EXPECT_EQ(m.cpu.R[15], 0x08000010u);  // stopped before the instruction: address + 8
    EXPECT_EQ(m.cpu.R[1], 2u);
    EXPECT_EQ(m.cpu.R[2], 0u);
    EXPECT_EQ(t.host.shows, 1);
    EXPECT_EQ(t.host.refreshes, 1);
    EXPECT_EQ(m.debugger.ListingAddress, 0x08000010u);
    const DebuggerModel& model = m.debugger.Model;
    EXPECT_EQ(model.Pc, "08000008");
    EXPECT_EQ(model.Registers[15], "08000010");
    EXPECT_EQ(model.Registers[1], "00000002");
    EXPECT_EQ(model.Cnt, "2");
    EXPECT_FALSE(model.FlagT);
    EXPECT_TRUE(model.FlagI);
    EXPECT_EQ(model.Listing[0].Address, "08000008");
    EXPECT_EQ(model.Listing[0].Opcode, "E3A02003");
    EXPECT_EQ(model.Listing[0].Text, "Data Processing");
    EXPECT_EQ(model.Listing[2].Text, "BX R3");
    // Rows follow in the present state: the THUMB code beyond reads as ARM words.
    EXPECT_EQ(model.Listing[13].Address, "0800003C");

    // Held: further slices run nothing and draw nothing.
    cpu_run(m);
    cpu_run(m);
    EXPECT_EQ(m.cpu.R[2], 0u);
    EXPECT_EQ(t.host.refreshes, 1);
}

TEST(DebuggerStops, BreakpointOnAThumbInstruction) {
    TestMachine t;
    Machine& m = t.m;
    load(m, kArmThenThumb);
    m.settings.Breakpoint = 0x08000016;
    run_until_stopped(m);
    ASSERT_TRUE(debugger_waiting(m));
    EXPECT_EQ(m.cpu.R[15], 0x0800001Au);  // address + 4
    EXPECT_EQ(m.cpu.R[4], 4u);
    const DebuggerModel& model = m.debugger.Model;
    EXPECT_EQ(model.Pc, "08000016");
    EXPECT_TRUE(model.FlagT);
    EXPECT_EQ(model.Listing[0].Address, "08000016");
    EXPECT_EQ(model.Listing[0].Opcode, "0000F000");  // a halfword, in eight digits
    EXPECT_EQ(model.Listing[0].Text, "BL 0800001E");
    EXPECT_EQ(model.Listing[1].Text, "BL ...");
    EXPECT_EQ(model.Listing[2].Address, "0800001A");
    EXPECT_EQ(model.Listing[2].Text, "MOV R5,#5");
    EXPECT_EQ(model.Listing[13].Address, "08000030");
}

TEST(DebuggerStops, BreakpointAtTheEntryAndCountBreakZeroStopBeforeTheFirstInstruction) {
    TestMachine t;
    load(t.m, kArmThenThumb);
    t.m.settings.Breakpoint = kCartridgeEntry;
    cpu_run(t.m);
    EXPECT_TRUE(debugger_waiting(t.m));
    EXPECT_EQ(t.m.debugger.Model.Pc, "08000000");
    EXPECT_EQ(t.m.debugger.Model.Registers[15], "08000008");

    TestMachine u;
    load(u.m, kArmThenThumb);
    u.m.settings.CountBreak = 0;
    cpu_run(u.m);
    EXPECT_TRUE(debugger_waiting(u.m));
    EXPECT_EQ(u.m.debugger.Model.Cnt, "0");
    EXPECT_EQ(u.m.cpu.R[0], 0u);
}

TEST(DebuggerStops, ArmInstructionsWithoutTextRepeatTheOpcode) {
    TestMachine t;
    load(t.m, kArmCall);
    t.m.settings.CountBreak = 0;
    cpu_run(t.m);
    const ListingRow& branch = t.m.debugger.Model.Listing[1];
    EXPECT_EQ(branch.Opcode, "EB000001");
    EXPECT_EQ(branch.Text, "EB000001");
}

TEST(DebuggerStops, ContinueAtAStopPointStopsAgainOnce) {
    TestMachine t;
    Machine& m = t.m;
    load(m, kArmThenThumb);
    m.settings.Breakpoint = 0x08000004;
    cpu_run(m);
    ASSERT_TRUE(debugger_waiting(m));
    debugger_continue(m);
    EXPECT_EQ(t.host.hides, 1);
    EXPECT_FALSE(m.debugger.ViewVisible);
    cpu_run(m);
    // The stop point's instruction ran, and the processor stopped at the next, in view.
    EXPECT_TRUE(debugger_waiting(m));
    EXPECT_EQ(m.cpu.R[1], 2u);
    EXPECT_EQ(m.cpu.R[2], 0u);
    EXPECT_EQ(next_instruction(m), 0x08000008u);
    EXPECT_EQ(m.debugger.Model.Pc, "08000008");
    // A second Continue runs on.
    debugger_continue(m);
    cpu_run(m);
    EXPECT_FALSE(debugger_waiting(m));
    EXPECT_EQ(m.cpu.SliceCount, 192u);

    // The same with the count.
    TestMachine u;
    load(u.m, kArmThenThumb);
    u.m.settings.CountBreak = 1;
    cpu_run(u.m);
    debugger_continue(u.m);
    cpu_run(u.m);
    EXPECT_TRUE(debugger_waiting(u.m));
    EXPECT_EQ(u.m.cpu.InstructionCount, 2u);
    debugger_continue(u.m);
    cpu_run(u.m);
    EXPECT_EQ(u.m.cpu.SliceCount, 192u);
}

TEST(DebuggerStepping, StepInRunsOneInstruction) {
    TestMachine t;
    Machine& m = t.m;
    load(m, kArmThenThumb);
    m.settings.CountBreak = 0;
    cpu_run(m);
    for (uint32_t n = 1; n <= 3; ++n) {
        debugger_step_in(m);
        cpu_run(m);
        EXPECT_TRUE(debugger_waiting(m));
        EXPECT_EQ(m.cpu.InstructionCount, n);
        EXPECT_EQ(m.debugger.Model.Cnt, std::to_string(n));
    }
    EXPECT_EQ(m.cpu.R[2], 3u);
    EXPECT_EQ(t.host.shows, 4);
}

TEST(DebuggerStepping, StepOverAThumbBlPairAndTheRoutine) {
    TestMachine t;
    Machine& m = t.m;
    load(m, kArmThenThumb);
    // A stop point stays due while the processor stands on it (a Step Over there runs only that
    // instruction), so the processor is stepped onto the pair from the instruction before.
    m.settings.CountBreak = 5;
    run_until_stopped(m);
    debugger_step_in(m);
    cpu_run(m);
    ASSERT_EQ(next_instruction(m), 0x08000016u);
    // Over the first half: the processor stops at the second half.
    debugger_step_over(m);
    EXPECT_EQ(m.cpu.RunToAddress, 0x0800001Cu);
    run_until_stopped(m);
    EXPECT_EQ(next_instruction(m), 0x08000018u);
    EXPECT_EQ(m.cpu.R[6], 0u);
    // Over the second half: the routine runs through and the processor stops after the pair.
    debugger_step_over(m);
    run_until_stopped(m);
    EXPECT_EQ(next_instruction(m), 0x0800001Au);
    EXPECT_EQ(m.cpu.R[6], 7u);
    EXPECT_EQ(m.cpu.R[5], 0u);
    EXPECT_EQ(m.debugger.Model.Pc, "0800001A");
}

TEST(DebuggerStepping, StepOverAnArmCall) {
    TestMachine t;
    Machine& m = t.m;
    load(m, kArmCall);
    m.settings.CountBreak = 0;
    cpu_run(m);
    debugger_step_in(m);
    cpu_run(m);
    ASSERT_EQ(next_instruction(m), 0x08000004u);
    debugger_step_over(m);
    run_until_stopped(m);
    EXPECT_EQ(next_instruction(m), 0x08000008u);
    EXPECT_EQ(m.cpu.R[2], 3u);
    EXPECT_EQ(m.cpu.R[3], 4u);
    EXPECT_EQ(m.cpu.R[1], 0u);
}

TEST(DebuggerStepping, RunToAddressStaysUntilChanged) {
    TestMachine t;
    Machine& m = t.m;
    load(m, kArmLoop);
    m.settings.CountBreak = 0;
    cpu_run(m);
    debugger_step_in(m);
    cpu_run(m);
    ASSERT_EQ(next_instruction(m), 0x08000004u);
    debugger_step_over(m);  // to the branch after the add
    run_until_stopped(m);
    EXPECT_EQ(next_instruction(m), 0x08000008u);
    EXPECT_EQ(m.cpu.R[0], 1u);
    // Each time round the loop the processor stops there again (after the one extra stop that a
    // Continue at a stop point makes).
    for (uint32_t round = 2; round <= 4; ++round) {
        debugger_continue(m);
        run_until_stopped(m);
        EXPECT_EQ(next_instruction(m), 0x08000004u);
        debugger_continue(m);
        run_until_stopped(m);
        EXPECT_EQ(next_instruction(m), 0x08000008u);
        EXPECT_EQ(m.cpu.R[0], round);
    }
    // Another Step Over moves the target (here past the branch, where the loop never goes).
    debugger_step_over(m);
    EXPECT_EQ(m.cpu.RunToAddress, 0x08000014u);
    cpu_run(m);
    cpu_run(m);
    EXPECT_FALSE(debugger_waiting(m));
    EXPECT_EQ(m.cpu.SliceCount, 192u);
}

TEST(DebuggerStepping, ResetClearsTheStop) {
    TestMachine t;
    Machine& m = t.m;
    load(m, kArmLoop);
    m.settings.CountBreak = 1;
    cpu_run(m);
    debugger_step_over(m);
    run_until_stopped(m);
    ASSERT_TRUE(debugger_waiting(m));
    machine_reset(m);
    EXPECT_EQ(m.cpu.DebugStop, 0u);
    EXPECT_EQ(m.cpu.DebugPause, 0u);
    EXPECT_EQ(m.cpu.RunToAddress, 0xFFFFFFFFu);
    EXPECT_FALSE(debugger_waiting(m));
    m.settings.CountBreak = 0xFFFFFFFF;
    cpu_run(m);
    EXPECT_EQ(m.cpu.SliceCount, 192u);
    EXPECT_GT(m.cpu.R[0], 90u);  // the loop ran from the entry again
}

// After a reset the same run reaches the same stop at the same count: it stops there again, not
// one instruction later.
TEST(DebuggerStepping, RerunAfterResetStopsAtTheSameInstruction) {
    TestMachine t;
    Machine& m = t.m;
    load(m, kArmCall);
    m.settings.Breakpoint = 0x08000008;
    run_until_stopped(m);
    ASSERT_TRUE(debugger_waiting(m));
    uint32_t count = m.cpu.InstructionCount;
    machine_reset(m);
    run_until_stopped(m);
    ASSERT_TRUE(debugger_waiting(m));
    EXPECT_EQ(m.cpu.R[15], 0x08000008u + 8);
    EXPECT_EQ(m.cpu.InstructionCount, count);
    EXPECT_EQ(t.host.shows, 2);
}

TEST(DebuggerView, UpAndDownMoveTheListing) {
    TestMachine t;
    Machine& m = t.m;
    load(m, kArmThenThumb);
    m.settings.Breakpoint = 0x0800001A;
    run_until_stopped(m);
    ASSERT_TRUE(m.cpu.ThumbState);
    int refreshes = t.host.refreshes;
    for (int i = 0; i < 3; ++i) debugger_up(m);
    EXPECT_EQ(t.host.refreshes, refreshes + 3);
    EXPECT_EQ(m.debugger.ListingAddress, m.cpu.R[15] - 6);
    EXPECT_EQ(m.debugger.Model.Listing[0].Address, "08000014");
    EXPECT_EQ(m.debugger.Model.Listing[3].Address, "0800001A");
    EXPECT_EQ(m.debugger.Model.Listing[0].Text, "MOV R4,#4");
    debugger_down(m);
    EXPECT_EQ(m.debugger.Model.Listing[0].Address, "08000016");
    // The processor did not move.
    EXPECT_EQ(next_instruction(m), 0x0800001Au);
    EXPECT_TRUE(debugger_waiting(m));

    // In ARM state a row is four bytes.
    TestMachine u;
    load(u.m, kArmCall);
    u.m.settings.Breakpoint = 0x08000008;
    run_until_stopped(u.m);
    debugger_up(u.m);
    EXPECT_EQ(u.m.debugger.Model.Listing[0].Address, "08000004");
}

TEST(DebuggerView, ModelShowsFlagsAndTheCountAsUnsigned) {
    TestMachine t;
    Machine& m = t.m;
    load(m, kArmThenThumb);
    m.cpu.FlagN = 1;
    m.cpu.FlagC = 1;
    m.cpu.InInterrupt = 1;
    m.cpu.InstructionCount = 0x80000000;
    debugger_refresh(m);
    const DebuggerModel& model = m.debugger.Model;
    EXPECT_TRUE(model.FlagN);
    EXPECT_FALSE(model.FlagZ);
    EXPECT_TRUE(model.FlagC);
    EXPECT_FALSE(model.FlagV);
    EXPECT_FALSE(model.FlagI);  // inside an interrupt handler
    EXPECT_FALSE(model.FlagT);
    EXPECT_EQ(model.Cnt, "2147483648");  // not a negative number
    m.cpu.InstructionCount = 0xFFFFFFFF;
    debugger_refresh(m);
    EXPECT_EQ(m.debugger.Model.Cnt, "4294967295");
    EXPECT_EQ(t.host.refreshes, 2);
}

TEST(DebuggerView, QuitStopsTheMachine) {
    TestMachine t;
    Machine& m = t.m;
    load(m, kArmThenThumb);
    m.settings.CountBreak = 1;
    cpu_run(m);
    debugger_quit(m);
    EXPECT_EQ(m.cpu.QuitFlag, 1u);
    EXPECT_FALSE(m.debugger.ViewVisible);
    EXPECT_EQ(t.host.hides, 1);
    EXPECT_FALSE(debugger_waiting(m));
    cpu_run(m);
    EXPECT_EQ(m.cpu.InstructionCount, 1u);
    EXPECT_EQ(t.host.shows, 1);  // the view stays closed
}

TEST(DebuggerRequest, StopsBeforeTheNextInstruction) {
    TestMachine t;
    Machine& m = t.m;
    load(m, kArmThenThumb);
    cpu_run(m);
    EXPECT_EQ(t.host.shows, 0);
    uint32_t count = m.cpu.InstructionCount;
    EXPECT_TRUE(debugger_request(m));
    EXPECT_FALSE(debugger_request(m));  // already stopping
    cpu_run(m);
    EXPECT_TRUE(debugger_waiting(m));
    EXPECT_EQ(m.cpu.InstructionCount, count);
    EXPECT_EQ(t.host.shows, 1);
    EXPECT_FALSE(debugger_request(m));  // held: nothing to do
}

// A game waiting in a tight loop sits at the very instruction where the view was last shown.
TEST(DebuggerRequest, ShowsTheViewInATightLoop) {
    TestMachine t;
    Machine& m = t.m;
    load(m, kArmThenThumb);
    m.settings.Breakpoint = kThumbWait;
    run_until_stopped(m);
    ASSERT_EQ(next_instruction(m), kThumbWait);
    m.settings.Breakpoint = 0xFFFFFFFF;
    debugger_continue(m);
    cpu_run(m);
    cpu_run(m);
    EXPECT_FALSE(debugger_waiting(m));
    EXPECT_EQ(next_instruction(m), kThumbWait);  // the view's own instruction, as last shown

    int shows = t.host.shows;
    ASSERT_TRUE(debugger_request(m));
    cpu_run(m);
    EXPECT_TRUE(debugger_waiting(m));
    EXPECT_EQ(t.host.shows, shows + 1);
    EXPECT_EQ(m.debugger.Model.Cnt, std::to_string(m.cpu.InstructionCount));
    // And it can be stepped there: each step shows the new count.
    uint32_t count = m.cpu.InstructionCount;
    debugger_step_in(m);
    cpu_run(m);
    EXPECT_TRUE(debugger_waiting(m));
    EXPECT_EQ(m.cpu.InstructionCount, count + 1);
    EXPECT_EQ(m.debugger.Model.Cnt, std::to_string(count + 1));

    // Continue and the stop key at once, before any instruction ran.
    debugger_continue(m);
    ASSERT_TRUE(debugger_request(m));
    cpu_run(m);
    EXPECT_TRUE(debugger_waiting(m));
    EXPECT_EQ(m.cpu.InstructionCount, count + 1);
}

TEST(DebuggerRequest, ABreakpointOnATightLoopStopsEachTimeRound) {
    TestMachine t;
    Machine& m = t.m;
    load(m, kArmThenThumb);
    m.settings.Breakpoint = kThumbWait;
    run_until_stopped(m);
    uint32_t count = m.cpu.InstructionCount;
    for (uint32_t round = 1; round <= 3; ++round) {
        debugger_continue(m);
        cpu_run(m);
        EXPECT_TRUE(debugger_waiting(m));
        EXPECT_TRUE(m.debugger.ViewVisible);
        EXPECT_EQ(m.cpu.InstructionCount, count + round);
    }
}

}  // namespace
