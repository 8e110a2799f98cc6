// The debugger: what the stop check calls, and the debugger's own state.
#pragma once

#include <cstdint>

struct Machine;

struct DebuggerState {
    uint32_t LastShownPc = 0;
    uint32_t ListingAddress = 0;
    bool ViewCreated = false;
};

// Called by cpu_run when a stop is due. Shows the debugger view and pauses the processor when R15
// differs from the value last shown.
void debugger_hook(Machine& m);
