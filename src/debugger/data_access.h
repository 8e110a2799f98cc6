// The memory that the instruction about to run will read or write, worked out from its opcode and
// the registers before it runs. gdb's read and access watchpoints use it instead of a note on the
// bus, so that the bus costs nothing more while no such watchpoint is set.
#pragma once

#include <cstdint>

struct Machine;

// Length 0: the instruction makes no data access.
struct DataAccess {
    uint32_t Address = 0;
    uint32_t Length = 0;
    bool Write = false;
};

// The bytes that the instruction at the processor's current address (R15 - 8 in ARM state, R15 - 4
// in THUMB state) reads or writes, with the addresses that the interpreters use: loads and stores
// of every addressing mode, LDM/STM, PUSH/POP. A condition that fails, a fatal instruction and a
// THUMB SWI give none (the firmware functions note what they read and write themselves).
DataAccess instruction_access(Machine& m);
