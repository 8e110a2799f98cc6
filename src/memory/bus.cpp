#include "memory/bus.h"

#include <bit>
#include <cstring>

#include "machine.h"
#include "memory/io.h"
#include "memory/oam.h"
#include "memory/save_file.h"

namespace {

using bus_detail::load;

template <typename T>
inline void store(uint8_t* p, T v) {
    std::memcpy(p, &v, sizeof(T));
}

// Writes `T` into a region; bytes that would fall past the region's end are dropped so the slack
// stays zero.
template <typename T>
inline void region_write(uint8_t* base, uint32_t size, uint32_t offset, uint32_t value) {
    if (offset + sizeof(T) <= size) {
        store<T>(base + offset, static_cast<T>(value));
    } else if (offset < size) {
        for (uint32_t i = 0; offset + i < size; ++i) base[offset + i] = uint8_t(value >> (8 * i));
    }
}

template <typename T>
inline void cartridge_write(Machine& m, uint32_t address, uint32_t value) {
    uint32_t offset = address & (kCartridgeWindow - 1);
    if (m.settings.ROMWriteEnable && offset < m.RomSize) {
        region_write<T>(m.RomImage.get(), m.RomSize, offset, value);
    } else if (offset >= kSaveWindowStart) {
        region_write<T>(m.SaveWindow, kSaveWindowSize, offset - kSaveWindowStart, value);
    }
}

void palette_write8(Machine& m, uint32_t offset, uint32_t value) {
    m.Palette[offset] = uint8_t(value);
    uint32_t even = offset & 0x3FE;
    colour_cache_set(m, offset >> 1, m.Palette[even] | (m.Palette[even + 1] << 8));
}

void palette_write16(Machine& m, uint32_t offset, uint32_t value) {
    // An odd offset whose second byte falls past the end stores only its first byte.
    region_write<uint16_t>(m.Palette, kPaletteSize, offset, value);
    colour_cache_set(m, offset >> 1, value & 0xFFFF);
}

void palette_write32(Machine& m, uint32_t offset, uint32_t value) {
    region_write<uint32_t>(m.Palette, kPaletteSize, offset, value);
    uint32_t index = offset >> 1;
    colour_cache_set(m, index, value & 0xFFFF);
    if (index + 1 < 512) colour_cache_set(m, index + 1, value >> 16);
}

template <typename T>
inline void bus_write(Machine& m, uint32_t address, uint32_t value) {
    uint32_t offset = address & 0xFFFFFF;
    switch (address >> 24) {
        case 0x02: region_write<T>(m.Ewram, kEwramSize, offset, value); return;
        case 0x03: region_write<T>(m.Iwram, kIwramSize, offset, value); return;
        case 0x04:
            if (offset >= kIoSize) return;
            if constexpr (sizeof(T) == 1) io_write8(m, offset, value);
            if constexpr (sizeof(T) == 2) io_write16(m, offset, value);
            if constexpr (sizeof(T) == 4) io_write32(m, offset, value);
            return;
        case 0x05:
            if (offset >= kPaletteSize) return;
            if constexpr (sizeof(T) == 1) palette_write8(m, offset, value);
            if constexpr (sizeof(T) == 2) palette_write16(m, offset, value);
            if constexpr (sizeof(T) == 4) palette_write32(m, offset, value);
            return;
        case 0x06: region_write<T>(m.Vram, kVramSize, offset, value); return;
        case 0x07:
            if (offset >= kOamSize) return;
            if constexpr (sizeof(T) == 1) oam_write8(m, offset, value);
            if constexpr (sizeof(T) == 2) oam_write16(m, offset, value);
            if constexpr (sizeof(T) == 4) oam_write32(m, offset, value);
            return;
        case 0x08:
        case 0x09:
        case 0x0A:
        case 0x0B:
        case 0x0C:
        case 0x0D: cartridge_write<T>(m, address, value); return;
        case 0x0E: region_write<T>(m.Sram, kSramSize, offset, value); return;
        default: return;
    }
}

}  // namespace

namespace bus_detail {

[[gnu::noinline]] void write_slow8(Machine& m, uint32_t address, uint32_t value) {
    bus_write<uint8_t>(m, address, value);
}
[[gnu::noinline]] void write_slow16(Machine& m, uint32_t address, uint32_t value) {
    bus_write<uint16_t>(m, address, value);
}
[[gnu::noinline]] void write_slow32(Machine& m, uint32_t address, uint32_t value) {
    bus_write<uint32_t>(m, address, value);
}

}  // namespace bus_detail

void colour_cache_set(Machine& m, uint32_t index, uint32_t colour) {
    uint32_t red = (colour & 0x1F) << 3;
    uint32_t green = (colour >> 2) & 0xF8;
    uint32_t blue = (colour >> 7) & 0xF8;
    // Colour 0 of the background and sprite palettes is transparent (and the backdrop colour).
    uint32_t flags = (index & 0xFF) == 0 ? 0x40u : 0u;
    m.ColourCache[index] = red | (green << 8) | (blue << 16) | (flags << 24);
    m.ColourCacheChanged = 1;
}

bool memory_reset(Machine& m) {
    std::memset(m.Ewram, 0, sizeof m.Ewram);
    std::memset(m.Iwram, 0, sizeof m.Iwram);
    bool saved = false;
    if (!m.SaveFileName.empty()) saved = save_file_write(m);
    // When the save could not be written the save memory is kept, so that the game's save is not
    // lost and the next reset or exit can write it again.
    if (!m.SaveFileName.empty() && !saved) return false;
    std::memset(m.SaveWindow, 0, sizeof m.SaveWindow);
    std::memset(m.Sram, 0, sizeof m.Sram);
    return true;
}
