// Reading console memory for a debugger: what the processor would read at an address, without
// the side effects of a processor read. An I/O register that the console does not let software
// read shows the last byte written to it, and no warning question is asked.
#pragma once

#include <cstdint>

struct Machine;

uint32_t peek8(Machine& m, uint32_t address);
uint32_t peek16(Machine& m, uint32_t address);
uint32_t peek32(Machine& m, uint32_t address);
