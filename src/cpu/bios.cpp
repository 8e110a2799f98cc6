// The console's firmware is not present, so the few functions that cartridges call through SWI
// are carried out here on the emulated machine.
#include "frontend/frontend.h"
#include "machine.h"
#include "memory/bus.h"
#include "memory/dma.h"

namespace {

constexpr uint32_t kCpuSet = 0x0B;
constexpr uint32_t kCpuFastSet = 0x0C;
constexpr uint32_t kLz77UnCompVram = 0x12;
constexpr uint32_t kRlUnCompVram = 0x15;

constexpr uint32_t kDmaForBios = 3;

// CpuSet's control word read as a DMA control word: the count in bits 0..15, 32-bit units in bit
// 26, and the firmware's fill flag (bit 24) lands in the source mode as a fixed source.
void cpu_set(Machine& m) {
    DmaChannel& ch = m.dma[kDmaForBios];
    ch.DmaControl = m.cpu.R[2];
    ch.DmaSource = m.cpu.R[0];
    ch.DmaDest = m.cpu.R[1];
    dma_transfer(m, kDmaForBios);
}

// The decompressors' reads and writes, which gdb's read and access watchpoints see as the
// processor's own (CpuSet's go through a DMA transfer, which notes them).
uint32_t bios_read8(Machine& m, uint32_t address) {
    if (m.gdb.Watching) [[unlikely]]
        gdb_note_access(m, address, 1, false);
    return read8(m, address);
}

void bios_write8(Machine& m, uint32_t address, uint32_t value) {
    if (m.gdb.Watching) [[unlikely]]
        gdb_note_access(m, address, 1, true);
    write8(m, address, value);
}

// Both decompressors are bounded by the 24-bit uncompressed size in the stream's header: every
// step writes at least one byte, so malformed data can make them write at most 16 MB of output
// (to wherever the bus puts it) but never loop forever.
void lz77_uncompress(Machine& m) {
    uint32_t a = m.cpu.R[0];
    uint32_t d = m.cpu.R[1];
    const uint32_t size =
        bios_read8(m, a + 1) | (bios_read8(m, a + 2) << 8) | (bios_read8(m, a + 3) << 16);
    a += 4;
    uint32_t written = 0;
    while (written < size) {
        const uint32_t flags = bios_read8(m, a++);
        for (uint32_t bit = 0x80; bit != 0 && written < size; bit >>= 1) {
            if (flags & bit) {
                const uint32_t b0 = bios_read8(m, a);
                const uint32_t b1 = bios_read8(m, a + 1);
                a += 2;
                const uint32_t length = (b0 >> 4) + 3;
                const uint32_t displacement = (((b0 & 0xF) << 8) | b1) + 1;
                // Byte by byte, so that a displacement shorter than the length repeats what this
                // item has just written. The item is completed even past the size.
                for (uint32_t i = 0; i < length; ++i, ++d)
                    bios_write8(m, d, bios_read8(m, d - displacement));
                written += length;
            } else {
                bios_write8(m, d++, bios_read8(m, a++));
                ++written;
            }
        }
    }
}

void rl_uncompress(Machine& m) {
    uint32_t a = m.cpu.R[0];
    uint32_t d = m.cpu.R[1];
    if (m.gdb.Watching) [[unlikely]]
        gdb_note_access(m, a, 4, false);
    uint32_t remaining = read32(m, a) >> 8;
    a += 4;
    while (remaining > 0) {
        const uint32_t f = bios_read8(m, a++);
        if (f & 0x80) {
            const uint32_t v = bios_read8(m, a++);
            for (uint32_t n = (f & 0x7F) + 3; n > 0 && remaining > 0; --n, --remaining) {
                bios_write8(m, d++, v);
            }
        } else {
            for (uint32_t n = f + 1; n > 0 && remaining > 0; --n, --remaining) {
                bios_write8(m, d++, bios_read8(m, a++));
            }
        }
    }
}

void warn_not_emulated(Machine& m, uint32_t function) {
    if (!m.BiosWarningsEnabled) return;
    std::string text = format_message(
        "BIOS funtion 0x%02X don't emulated\nDisable this kind of WARNING ?", unsigned(function));
    // Yes switches this warning off for the rest of the run.
    m.BiosWarningsEnabled = m.host->ask_yes_no("Tamo", text) ? 0 : 1;
}

}  // namespace

// No function changes a register or a flag: the SWI returns to the next instruction with R0..R2
// as the cartridge set them.
void bios_call(Machine& m, uint32_t instruction) {
    const uint32_t function = instruction & 0xFF;
    switch (function) {
        case kCpuSet:
        case kCpuFastSet: cpu_set(m); return;
        case kLz77UnCompVram: lz77_uncompress(m); return;
        case kRlUnCompVram: rl_uncompress(m); return;
        default: warn_not_emulated(m, function); return;
    }
}
