// The debugger: what the stop check calls, the model that the hosts draw, and the actions of the
// debugger view's buttons. The core decides everything; a host only draws the model when told to
// (Host::debugger_refresh / debugger_show / debugger_hide) and calls the actions when the user
// presses a button or types the stop key.
#pragma once

#include <cstdint>
#include <string>

struct Machine;

inline constexpr int kListingRows = 14;

// One row of the listing: the instruction's address, its opcode (eight hexadecimal digits, also
// for a THUMB halfword) and its disassembly (the opcode's text again when the disassembler has
// none).
struct ListingRow {
    std::string Address;
    std::string Opcode;
    std::string Text;
};

// What the debugger view shows, as texts ready to draw.
struct DebuggerModel {
    std::string Registers[16];  // R0..R15 as held, R15 in its +8 / +4 convention
    std::string Pc;             // the address of the instruction about to start
    std::string Cnt;            // InstructionCount
    bool FlagN = false, FlagZ = false, FlagC = false, FlagV = false;
    bool FlagI = false;  // set while the processor is not inside an interrupt handler
    bool FlagT = false;  // set in THUMB state
    ListingRow Listing[kListingRows];
};

struct DebuggerState {
    // R15 and InstructionCount when the view was last shown; neither is changed by a reset.
    uint32_t LastShownPc = 0;
    uint32_t LastShownCount = 0;
    // False after a machine reset, until the view is shown again: a rerun that reaches the same
    // stop at the same count must stop there too.
    bool LastShownValid = false;
    uint32_t ListingAddress = 0;  // R15-convention address of the listing's first row
    bool ViewCreated = false;     // the view exists from the first stop on
    bool ViewVisible = false;
    DebuggerModel Model;
};

// Called by cpu_run when a stop is due. When the processor has moved since the view was last
// shown, shows the view at the new instruction and pauses the processor. When it has not moved
// (the stop check runs again at the instruction on display) it does nothing, except that a hidden
// view is shown again, without touching DebugPause.
void debugger_hook(Machine& m);

// A machine reset: the next stop shows the view wherever it is.
void debugger_reset(Machine& m);

// Rebuilds the model from the processor and memory and asks the host to redraw the view.
void debugger_refresh(Machine& m);

// True while the processor stands in the debugger with the view up, waiting for the user.
bool debugger_waiting(const Machine& m);

// The view's buttons.
void debugger_step_in(Machine& m);
void debugger_step_over(Machine& m);
void debugger_continue(Machine& m);
void debugger_quit(Machine& m);  // stops the machine; the run ends without writing the save file
void debugger_up(Machine& m);
void debugger_down(Machine& m);

// The stop key ("D" in the main window): stops the processor before its next instruction. Does
// nothing (and returns false) while the debugger already holds the processor.
bool debugger_request(Machine& m);
