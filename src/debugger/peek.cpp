#include "debugger/peek.h"

#include "machine.h"
#include "memory/bus.h"

namespace {

// Of all the regions only the I/O block acts on a read: a register that the console does not let
// software read asks the warning question. With the warning held off for the one read, the value
// is the one the processor would get, and nothing else changes.
template <uint32_t (*Read)(Machine&, uint32_t)>
uint32_t peek(Machine& m, uint32_t address) {
    if ((address >> 24) != 0x04) return Read(m, address);
    uint32_t warnings = m.IoWarningsEnabled;
    m.IoWarningsEnabled = 0;
    uint32_t value = Read(m, address);
    m.IoWarningsEnabled = warnings;
    return value;
}

}  // namespace

uint32_t peek8(Machine& m, uint32_t address) {
    return peek<read8>(m, address);
}
uint32_t peek16(Machine& m, uint32_t address) {
    return peek<read16>(m, address);
}
uint32_t peek32(Machine& m, uint32_t address) {
    return peek<read32>(m, address);
}
