#include "cpu/cpu.h"

#include <cstring>

#include "debugger/debugger.h"
#include "machine.h"
#include "memory/bus.h"
#include "memory/io.h"

void cpu_reset(Machine& m, uint32_t start) {
    CpuState& c = m.cpu;
    std::memset(c.R, 0, sizeof c.R);
    c.DebugPause = 0;
    c.QuitFlag = 0;
    c.InstructionCount = 0;
    c.DebugStop = 0;
    c.FlagN = c.FlagZ = c.FlagC = c.FlagV = 0;
    c.ThumbState = 0;
    c.InInterrupt = 0;
    c.R[15] = start + 8;
    c.RunToAddress = 0xFFFFFFFF;
}

void interrupt_registers_reset(Machine& m) {
    m.IME = 0;
    m.IF = 0;
    m.IE = 0;
}

namespace {

// A running timer advances by 2 each time the instruction count passes its prescaler, and raises
// its request when it wraps past 0xFFFF, if the interrupt is enabled at that very moment.
inline void tick_timers(Machine& m) {
    uint32_t count = m.cpu.InstructionCount;
    for (uint32_t n = 0; n < 4; ++n) {
        Timer& t = m.timers[n];
        if (!t.TimerEnabled || (count & t.TimerPrescaleMask) != 0) continue;
        uint16_t bit = uint16_t(kIrqTimer0 << n);
        if (m.IME && (m.IE & bit) && t.TimerCounter >= 0xFFFE) m.IF |= bit;
        t.TimerCounter = uint16_t(t.TimerCounter + 2);
    }
}

// The handler jumped to the magic return address: everything it did to the registers is undone.
inline void interrupt_return(CpuState& c) {
    c.ThumbState = c.SavedFlags[kSavedThumb];
    c.FlagN = c.SavedFlags[kSavedN];
    c.FlagZ = c.SavedFlags[kSavedZ];
    c.FlagC = c.SavedFlags[kSavedC];
    c.FlagV = c.SavedFlags[kSavedV];
    c.InInterrupt = 0;
    std::memcpy(c.R, c.SavedRegisters, sizeof c.R);
}

// There is no firmware: the handler whose address the cartridge stored at the end of IWRAM is
// entered directly, in ARM state, on the interrupted code's stack.
inline void interrupt_entry(Machine& m) {
    CpuState& c = m.cpu;
    c.SavedFlags[kSavedC] = c.FlagC;
    c.SavedFlags[kSavedThumb] = c.ThumbState;
    c.SavedFlags[kSavedN] = c.FlagN;
    c.SavedFlags[kSavedZ] = c.FlagZ;
    c.SavedFlags[kSavedV] = c.FlagV;
    c.InInterrupt = 1;
    std::memcpy(c.SavedRegisters, c.R, sizeof c.R);
    c.ThumbState = 0;
    uint32_t vector;
    std::memcpy(&vector, m.Iwram + kInterruptVectorOffset, 4);
    c.R[15] = vector + 8;
    c.R[14] = kInterruptReturnAddress;
}

}  // namespace

void cpu_run(Machine& m) {
    CpuState& c = m.cpu;
    c.SliceCount = 0;
    for (;;) {
        uint32_t next = c.R[15] - (c.ThumbState ? 4 : 8);
        uint32_t trace = 0;
        if (c.DebugStop || c.R[15] == c.RunToAddress || next == m.settings.Breakpoint ||
            c.InstructionCount == m.settings.CountBreak) {
            c.DebugStop = 1;
            debugger_hook(m);
            trace = c.DebugStop;
        }
        if (c.QuitFlag || c.DebugPause) return;
        ++c.InstructionCount;
        c.DebugPause = trace;

        if (m.TimersRunning) tick_timers(m);
        if (c.InInterrupt && c.R[15] == 0) interrupt_return(c);
        if (!trace && !c.InInterrupt && m.IME && m.IF) interrupt_entry(m);

        bool go_on = c.ThumbState ? thumb_execute(m, read16(m, c.R[15] - 4))
                                  : arm_execute(m, read32(m, c.R[15] - 8));
        if (!go_on) return;
        if (++c.SliceCount >= kInstructionsPerSlice) return;
    }
}
