#include "memory/oam.h"

#include "machine.h"

uint32_t oam_read8(Machine& m, uint32_t offset) {
    return m.Oam[offset];
}
uint32_t oam_read16(Machine& m, uint32_t offset) {
    return m.Oam[offset] | (m.Oam[offset + 1] << 8);
}
uint32_t oam_read32(Machine& m, uint32_t offset) {
    return oam_read16(m, offset) | (oam_read16(m, offset + 2) << 16);
}
void oam_write8(Machine& m, uint32_t offset, uint32_t value) {
    m.Oam[offset] = uint8_t(value);
}
void oam_write16(Machine& m, uint32_t offset, uint32_t value) {
    oam_write8(m, offset, value);
    oam_write8(m, offset + 1, value >> 8);
}
void oam_write32(Machine& m, uint32_t offset, uint32_t value) {
    oam_write16(m, offset, value);
    oam_write16(m, offset + 2, value >> 16);
}
void oam_reset(Machine& m) {
    (void)m;
}
