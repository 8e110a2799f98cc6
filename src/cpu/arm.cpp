#include "machine.h"

bool arm_execute(Machine& m, uint32_t opcode) {
    (void)opcode;
    m.cpu.R[15] += 4;
    return true;
}
