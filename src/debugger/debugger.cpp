#include "debugger/debugger.h"

#include "machine.h"

void debugger_hook(Machine& m) {
    CpuState& c = m.cpu;
    if (c.R[15] == m.debugger.LastShownPc) return;
    m.debugger.ListingAddress = c.R[15];
    c.DebugPause = 1;
    m.debugger.ViewCreated = true;
    m.host->debugger_refresh();
    m.host->debugger_show();
    m.debugger.LastShownPc = c.R[15];
}
