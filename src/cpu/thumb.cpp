#include "machine.h"

bool thumb_execute(Machine& m, uint32_t opcode) {
    (void)opcode;
    m.cpu.R[15] += 2;
    return true;
}
