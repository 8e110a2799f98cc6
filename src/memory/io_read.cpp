#include "machine.h"
#include "memory/io.h"

uint32_t io_read8(Machine& m, uint32_t offset) {
    return m.IoBytes[offset];
}
uint32_t io_read16(Machine& m, uint32_t offset) {
    return io_read8(m, offset) | (io_read8(m, offset + 1) << 8);
}
uint32_t io_read32(Machine& m, uint32_t offset) {
    return io_read16(m, offset) | (io_read16(m, offset + 2) << 16);
}
