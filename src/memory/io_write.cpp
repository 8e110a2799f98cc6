#include "machine.h"
#include "memory/io.h"

void io_write8(Machine& m, uint32_t offset, uint32_t value) {
    m.IoBytes[offset] = uint8_t(value);
}
void io_write16(Machine& m, uint32_t offset, uint32_t value) {
    io_write8(m, offset, value);
    io_write8(m, offset + 1, value >> 8);
}
void io_write32(Machine& m, uint32_t offset, uint32_t value) {
    io_write16(m, offset, value);
    io_write16(m, offset + 2, value >> 16);
}
