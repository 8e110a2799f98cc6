#include "machine.h"

void bios_call(Machine& m, uint32_t instruction) {
    (void)m;
    (void)instruction;
}
