#include <gtest/gtest.h>

#include "fake_host.h"
#include "memory/bus.h"
#include "memory/io.h"

namespace {

constexpr uint32_t kCode = 0x03000000;
constexpr uint32_t kBranchToSelf = 0xEAFFFFFE;  // b .
constexpr uint32_t kMovR0_1 = 0xE3A00001, kMovR1_2 = 0xE3A01002, kMovR2_3 = 0xE3A02003;

void put_arm(Machine& m, uint32_t address, std::initializer_list<uint32_t> words) {
    for (uint32_t w : words) {
        write32(m, address, w);
        address += 4;
    }
}

void start_arm(Machine& m, uint32_t address) {
    cpu_reset(m, address);
}

TEST(CpuRun, OneSliceRunsAtMost192Instructions) {
    TestMachine t;
    put_arm(t.m, kCode, {kBranchToSelf});
    start_arm(t.m, kCode);
    cpu_run(t.m);
    EXPECT_EQ(t.m.cpu.InstructionCount, 192u);
    EXPECT_EQ(t.m.cpu.SliceCount, 192u);
    cpu_run(t.m);
    EXPECT_EQ(t.m.cpu.InstructionCount, 384u);
    EXPECT_EQ(t.host.shows, 0);
}

TEST(CpuRun, StopInstructionEndsTheSliceAndQuitFlagHoldsIt) {
    TestMachine t;
    put_arm(t.m, kCode, {kMovR0_1, 0xF0000000});
    start_arm(t.m, kCode);
    cpu_run(t.m);
    EXPECT_EQ(t.m.cpu.QuitFlag, 1u);
    EXPECT_EQ(t.m.cpu.SliceCount, 1u);
    uint32_t count = t.m.cpu.InstructionCount;
    cpu_run(t.m);
    EXPECT_EQ(t.m.cpu.InstructionCount, count);
    cpu_reset(t.m, kCode);
    EXPECT_EQ(t.m.cpu.QuitFlag, 0u);
}

TEST(CpuRun, BreakpointStopsBeforeTheInstructionAndContinueStopsOnceMore) {
    TestMachine t;
    put_arm(t.m, kCode, {kMovR0_1, kMovR1_2, kMovR2_3, kBranchToSelf});
    start_arm(t.m, kCode);
    t.m.settings.Breakpoint = kCode + 8;
    cpu_run(t.m);
    EXPECT_EQ(t.m.cpu.R[15], kCode + 16);  // the breakpoint's address + 8
    EXPECT_EQ(t.m.cpu.R[1], 2u);
    EXPECT_EQ(t.m.cpu.R[2], 0u);
    EXPECT_EQ(t.m.cpu.DebugStop, 1u);
    EXPECT_EQ(t.m.cpu.DebugPause, 1u);
    EXPECT_EQ(t.host.shows, 1);
    cpu_run(t.m);  // paused: nothing runs
    EXPECT_EQ(t.m.cpu.R[2], 0u);

    // Continue at the stop point runs that one instruction and stops at the next.
    t.m.cpu.DebugStop = 0;
    t.m.cpu.DebugPause = 0;
    cpu_run(t.m);
    EXPECT_EQ(t.m.cpu.R[2], 3u);
    EXPECT_EQ(t.m.cpu.R[15], kCode + 20);
    EXPECT_EQ(t.m.cpu.DebugPause, 1u);
    EXPECT_EQ(t.host.shows, 2);
    // A second Continue runs on.
    t.m.cpu.DebugStop = 0;
    t.m.cpu.DebugPause = 0;
    cpu_run(t.m);
    EXPECT_EQ(t.m.cpu.SliceCount, 192u);
}

TEST(CpuRun, CountBreakStopsBeforeTheNextInstruction) {
    TestMachine t;
    put_arm(t.m, kCode, {kMovR0_1, kMovR1_2, kMovR2_3, kBranchToSelf});
    start_arm(t.m, kCode);
    t.m.settings.CountBreak = 0;
    cpu_run(t.m);
    EXPECT_EQ(t.m.cpu.InstructionCount, 0u);
    EXPECT_EQ(t.m.cpu.R[0], 0u);
    EXPECT_EQ(t.host.shows, 1);

    TestMachine u;
    put_arm(u.m, kCode, {kMovR0_1, kMovR1_2, kMovR2_3, kBranchToSelf});
    start_arm(u.m, kCode);
    u.m.settings.CountBreak = 2;
    cpu_run(u.m);
    EXPECT_EQ(u.m.cpu.InstructionCount, 2u);
    EXPECT_EQ(u.m.cpu.R[1], 2u);
    EXPECT_EQ(u.m.cpu.R[2], 0u);
}

// Fills the code area with instructions that do nothing, so that every instruction has its own
// address (the debugger shows itself again only at a new address).
void put_nops(Machine& m, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) write32(m, kCode + 4 * i, 0xE1A00000);  // mov r0, r0
}

// Runs exactly `n` more instructions by stopping the processor at the count.
void run_instructions(Machine& m, uint32_t n) {
    m.settings.CountBreak = m.cpu.InstructionCount + n;
    m.cpu.DebugStop = 0;
    m.cpu.DebugPause = 0;
    cpu_run(m);
}

TEST(CpuRun, TimerWrapRaisesItsRequestOnlyWhenEnabledAtThatMoment) {
    TestMachine t;
    put_nops(t.m, 64);
    start_arm(t.m, kCode);
    write16(t.m, 0x04000000 + TM0CNT_L, 0xFFFC);
    write16(t.m, 0x04000000 + TM0CNT_H, 0x0080);
    t.m.IE = kIrqTimer0;  // IME stays 0 for now
    run_instructions(t.m, 1);
    EXPECT_EQ(t.m.timers[0].TimerCounter, 0xFFFE);
    run_instructions(t.m, 1);
    EXPECT_EQ(t.m.timers[0].TimerCounter, 0);
    EXPECT_EQ(t.m.IF, 0);  // wrapped with IME clear: no request, and none later
    t.m.IME = 1;
    run_instructions(t.m, 1);
    EXPECT_EQ(t.m.IF, 0);

    write16(t.m, 0x04000000 + TM0CNT_L, 0xFFFC);
    run_instructions(t.m, 1);
    EXPECT_EQ(t.m.IF, 0);
    run_instructions(t.m, 1);
    EXPECT_EQ(t.m.IF, kIrqTimer0);
    EXPECT_EQ(t.m.timers[0].TimerCounter, 0);
}

TEST(CpuRun, TimerPrescalerCountsInstructions) {
    TestMachine t;
    put_nops(t.m, 200);
    start_arm(t.m, kCode);
    write16(t.m, 0x04000000 + TM0CNT_H + 4, 0x0081);  // timer 1, every 16th instruction
    run_instructions(t.m, 160);
    EXPECT_EQ(t.m.timers[1].TimerCounter, 20);
    EXPECT_EQ(read16(t.m, 0x04000000 + TM0CNT_L + 4), 20u);
}

// Handler at 0x03000100: stores R0 at 0x03000200, clobbers registers and flags, acknowledges
// every request, and returns with BX LR.
void install_handler(Machine& m) {
    put_arm(m, 0x03000100,
            {
                0xE3A03403,  // mov r3, #0x03000000
                0xE5830200,  // str r0, [r3, #0x200]
                0xE3A00055,  // mov r0, #0x55
                0xE3A0D000,  // mov sp, #0
                0xE3A01301,  // mov r1, #0x04000000
                0xE2811C02,  // add r1, r1, #0x200
                0xE3E02000,  // mvn r2, #0
                0xE1C120B2,  // strh r2, [r1, #2]   (IF = all acknowledged)
                0xE3B02000,  // movs r2, #0         (Z set, N clear)
                0xE12FFF1E,  // bx lr
            });
    write32(m, 0x03007FFC, 0x03000100);
}

TEST(CpuRun, InterruptHandlerRunsAndBxLrRestoresEverything) {
    TestMachine t;
    install_handler(t.m);
    put_arm(t.m, kCode, {kBranchToSelf});
    start_arm(t.m, kCode);
    t.m.cpu.R[0] = 0x11;
    t.m.cpu.R[13] = 0x03007F00;
    t.m.cpu.FlagN = 1;
    t.m.cpu.FlagC = 1;
    t.m.IME = 1;
    t.m.IF = kIrqVblank;  // IE is not consulted
    cpu_run(t.m);
    EXPECT_EQ(read32(t.m, 0x03000200), 0x11u);
    EXPECT_EQ(t.m.IF, 0);
    EXPECT_EQ(t.m.cpu.InInterrupt, 0u);
    EXPECT_EQ(t.m.cpu.R[0], 0x11u);
    EXPECT_EQ(t.m.cpu.R[13], 0x03007F00u);
    EXPECT_EQ(t.m.cpu.FlagN, 1u);
    EXPECT_EQ(t.m.cpu.FlagZ, 0u);
    EXPECT_EQ(t.m.cpu.FlagC, 1u);
    EXPECT_EQ(t.m.cpu.R[15], kCode + 8);
}

TEST(CpuRun, InterruptOfThumbCodeResumesInThumb) {
    TestMachine t;
    install_handler(t.m);
    write16(t.m, kCode, 0xE7FE);  // b .
    start_arm(t.m, kCode);
    t.m.cpu.ThumbState = 1;
    t.m.cpu.R[15] = kCode + 4;
    t.m.IME = 1;
    t.m.IF = kIrqHblank;
    run_instructions(t.m, 1);
    EXPECT_EQ(t.m.cpu.InInterrupt, 1u);
    EXPECT_EQ(t.m.cpu.ThumbState, 0u);
    EXPECT_EQ(t.m.cpu.R[14], 0xFFFFFFF8u);
    run_instructions(t.m, 20);
    EXPECT_EQ(t.m.cpu.InInterrupt, 0u);
    EXPECT_EQ(t.m.cpu.ThumbState, 1u);
    EXPECT_EQ(t.m.cpu.R[15], kCode + 4);
}

TEST(CpuRun, NoInterruptWhileTracingOrWithoutIme) {
    TestMachine t;
    install_handler(t.m);
    put_arm(t.m, kCode, {kMovR0_1, kMovR1_2, kBranchToSelf});
    start_arm(t.m, kCode);
    t.m.IF = kIrqVblank;
    cpu_run(t.m);
    EXPECT_EQ(t.m.cpu.InInterrupt, 0u);
    // Stepping in the debugger: interrupts wait.
    cpu_reset(t.m, kCode);
    t.m.IME = 1;
    t.m.cpu.DebugStop = 1;
    cpu_run(t.m);  // shows the debugger and pauses
    t.m.cpu.DebugPause = 0;
    cpu_run(t.m);  // one step
    EXPECT_EQ(t.m.cpu.R[0], 1u);
    EXPECT_EQ(t.m.cpu.InInterrupt, 0u);
}

}  // namespace

namespace {

TEST(CpuRun, AllOnesCountBreakIsNoneEvenWhenTheCountWrapsToIt) {
    TestMachine t;
    put_arm(t.m, kCode, {kBranchToSelf});
    start_arm(t.m, kCode);
    t.m.cpu.InstructionCount = 0xFFFFFFF0;  // passes 0xFFFFFFFF during the slice
    t.m.settings.Breakpoint = 0xFFFFFFFF;
    cpu_run(t.m);
    EXPECT_EQ(t.host.shows, 0);
    EXPECT_EQ(t.m.cpu.SliceCount, 192u);
}

TEST(CpuRun, RequestsEnabledDuringASliceAreTakenAtTheNextInstruction) {
    TestMachine t;
    install_handler(t.m);
    put_arm(t.m, kCode,
            {
                0xE3A00301,  // mov r0, #0x04000000
                0xE2800C02,  // add r0, r0, #0x200
                0xE3A01001,  // mov r1, #1
                0xE1C010B8,  // strh r1, [r0, #8]   (IME = 1)
                0xE3A02007,  // mov r2, #7          (interrupted before this one)
                kBranchToSelf,
            });
    start_arm(t.m, kCode);
    t.m.IF = kIrqTimer0;
    run_instructions(t.m, 5);
    EXPECT_EQ(t.m.cpu.InInterrupt, 1u);
    EXPECT_EQ(t.m.cpu.R[2], 0u);
    EXPECT_EQ(t.m.cpu.SavedRegisters[15], kCode + 16 + 8);
    run_instructions(t.m, 20);
    EXPECT_EQ(read32(t.m, 0x03000200), 0x04000200u);  // the handler saw R0 of the interrupted code
    EXPECT_EQ(t.m.cpu.R[2], 7u);
}

TEST(CpuRun, DmaEndRequestDuringASliceIsTakenAtTheNextInstruction) {
    TestMachine t;
    install_handler(t.m);
    // DMA3: one halfword from EWRAM to EWRAM, now, with its end request.
    write32(t.m, 0x04000000 + DMA3SAD, 0x02000000);
    write32(t.m, 0x04000000 + DMA3DAD, 0x02000010);
    put_arm(t.m, kCode,
            {
                0xE59F0008,  // ldr r0, [pc, #8]   (the control word below)
                0xE59F1008,  // ldr r1, [pc, #8]   (DMA3CNT's address)
                0xE5810000,  // str r0, [r1]
                0xE3A02007,  // mov r2, #7
                0xC0000001,  // control: enable, end request, now, one unit
                0x040000DC,  // DMA3CNT
            });
    start_arm(t.m, kCode);
    t.m.IME = 1;
    t.m.IE = kIrqDma0 << 3;
    run_instructions(t.m, 4);
    EXPECT_EQ(t.m.cpu.InInterrupt, 1u);
    EXPECT_EQ(t.m.cpu.R[2], 0u);
}

}  // namespace
