#include "debugger/debugger.h"

#include "debugger/disassembler.h"
#include "frontend/frontend.h"
#include "machine.h"
#include "memory/bus.h"

namespace {

// The size of one instruction, and the distance from an instruction's address to its R15 value.
inline uint32_t instruction_size(const CpuState& c) {
    return c.ThumbState ? 2 : 4;
}
inline uint32_t pipeline_offset(const CpuState& c) {
    return c.ThumbState ? 4 : 8;
}

void show_view(Machine& m) {
    DebuggerState& d = m.debugger;
    d.ListingAddress = m.cpu.R[15];
    d.ViewCreated = true;
    debugger_refresh(m);
    d.ViewVisible = true;
    m.host->debugger_show();
    d.LastShownPc = m.cpu.R[15];
    d.LastShownCount = m.cpu.InstructionCount;
    d.LastShownValid = true;
}

}  // namespace

void debugger_hook(Machine& m) {
    CpuState& c = m.cpu;
    DebuggerState& d = m.debugger;
    // After Quit the slice ends at once; the view stays closed.
    if (c.QuitFlag) return;
    // The stop check calls the hook before every instruction while a stop is due, and on every
    // slice while the processor is held: as long as no instruction has run since the view was
    // shown, there is nothing new to show. The count tells apart an instruction that branches to
    // itself (a game waiting in a `b .` loop) from no instruction at all, so that a step there
    // or the stop key there shows the fresh registers.
    bool moved =
        !d.LastShownValid || c.R[15] != d.LastShownPc || c.InstructionCount != d.LastShownCount;
    if (moved) {
        c.DebugPause = 1;  // a new stop: hold the processor there
    } else if (d.ViewVisible) {
        return;  // still standing at the instruction on display
    }
    // Not moved with the view hidden: the user pressed Continue at a stop point (the pause stays
    // off, so that instruction runs and the processor stops at the next), or typed the stop key
    // right after Continue (it already set the pause). Either way the view must come up, or a
    // held processor would have no way back.
    show_view(m);
}

void debugger_reset(Machine& m) {
    m.debugger.LastShownValid = false;
}

void debugger_refresh(Machine& m) {
    CpuState& c = m.cpu;
    DebuggerModel& model = m.debugger.Model;
    for (int r = 0; r < 16; ++r) model.Registers[r] = format_message("%08X", c.R[r]);
    model.Pc = format_message("%08X", c.R[15] - pipeline_offset(c));
    // The count is unsigned and passes 2^31 after some fourteen minutes of play: shown as an
    // unsigned decimal it keeps growing instead of turning negative. Either form, pasted into the
    // CountBreak setting, names the same count.
    model.Cnt = format_message("%u", c.InstructionCount);
    model.FlagN = c.FlagN != 0;
    model.FlagZ = c.FlagZ != 0;
    model.FlagC = c.FlagC != 0;
    model.FlagV = c.FlagV != 0;
    model.FlagI = c.InInterrupt == 0;
    model.FlagT = c.ThumbState != 0;
    // Every row is read in the processor's present state, whatever the code there is.
    bool thumb = c.ThumbState != 0;
    for (int k = 0; k < kListingRows; ++k) {
        ListingRow& row = model.Listing[k];
        uint32_t a = m.debugger.ListingAddress + uint32_t(k) * instruction_size(c);
        uint32_t at = a - pipeline_offset(c);
        row.Address = format_message("%08X", at);
        row.Opcode = format_message("%08X", thumb ? read16(m, at) : read32(m, at));
        std::optional<std::string> text = disassemble(m, a, thumb);
        row.Text = text ? *text : row.Opcode;
    }
    m.host->debugger_refresh();
}

bool debugger_waiting(const Machine& m) {
    const CpuState& c = m.cpu;
    return m.debugger.ViewVisible && c.DebugStop && c.DebugPause && !c.QuitFlag;
}

void debugger_step_in(Machine& m) {
    m.cpu.DebugPause = 0;
}

void debugger_step_over(Machine& m) {
    CpuState& c = m.cpu;
    c.RunToAddress = c.R[15] + instruction_size(c);
    c.DebugStop = 0;
    c.DebugPause = 0;
}

void debugger_continue(Machine& m) {
    m.cpu.DebugPause = 0;
    m.cpu.DebugStop = 0;
    m.debugger.ViewVisible = false;
    m.host->debugger_hide();
}

void debugger_quit(Machine& m) {
    m.cpu.QuitFlag = 1;
    m.debugger.ViewVisible = false;
    m.host->debugger_hide();
}

void debugger_up(Machine& m) {
    m.debugger.ListingAddress -= instruction_size(m.cpu);
    debugger_refresh(m);
}

void debugger_down(Machine& m) {
    m.debugger.ListingAddress += instruction_size(m.cpu);
    debugger_refresh(m);
}

bool debugger_request(Machine& m) {
    if (m.cpu.DebugStop) return false;
    m.cpu.DebugStop = 1;
    m.cpu.DebugPause = 1;
    return true;
}
