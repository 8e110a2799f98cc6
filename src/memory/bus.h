// The console's address space and the six bus operations. They sit on the interpreter's
// innermost path (every fetch, load and store), so they are inline: one switch on the address's
// top byte, one bounds test, one array access. Only I/O, palette and OAM writes do more, out of
// line.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "machine.h"
#include "memory/io.h"
#include "memory/oam.h"
#include "memory/regions.h"

static_assert(std::endian::native == std::endian::little,
              "the bus copies console words straight from little-endian memory");

// Converts a 15-bit console colour into colour cache entry `index`.
void colour_cache_set(Machine& m, uint32_t index, uint32_t colour);

// Clears the work RAMs, writes the save file when a cartridge is loaded, then clears the save
// memory. When the save file could not be written the save memory is kept (so the game's save is
// not lost) and the result is false.
bool memory_reset(Machine& m);

namespace bus_detail {

template <typename T>
inline T load(const uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof(T));
    return v;
}

// Reads `T` from a region of `size` bytes. Only the first byte's offset is tested: the bytes past
// the end come from the zeroed slack.
template <typename T>
inline uint32_t region_read(const uint8_t* base, uint32_t size, uint32_t offset) {
    return offset < size ? load<T>(base + offset) : 0;
}

template <typename T>
inline uint32_t cartridge_read(const Machine& m, uint32_t address) {
    uint32_t offset = address & (kCartridgeWindow - 1);
    if (offset >= kSaveWindowStart) return load<T>(m.SaveWindow + (offset - kSaveWindowStart));
    return offset < m.RomSize ? load<T>(m.RomImage.get() + offset) : 0;
}

// Every region but the two work RAMs and the first 16 MB of the cartridge: out of line.
template <typename T>
[[gnu::noinline]] uint32_t bus_read_other(Machine& m, uint32_t address) {
    uint32_t offset = address & 0xFFFFFF;
    switch (address >> 24) {
        case 0x02: return region_read<T>(m.Ewram, kEwramSize, offset);
        case 0x03: return region_read<T>(m.Iwram, kIwramSize, offset);
        case 0x04:
            if (offset >= kIoSize) return 0;
            if constexpr (sizeof(T) == 1) return io_read8(m, offset);
            if constexpr (sizeof(T) == 2) return io_read16(m, offset);
            if constexpr (sizeof(T) == 4) return io_read32(m, offset);
        case 0x05: return region_read<T>(m.Palette, kPaletteSize, offset);
        case 0x06: return region_read<T>(m.Vram, kVramSize, offset);
        case 0x07:
            if (offset >= kOamSize) return 0;
            if constexpr (sizeof(T) == 1) return oam_read8(m, offset);
            if constexpr (sizeof(T) == 2) return oam_read16(m, offset);
            if constexpr (sizeof(T) == 4) return oam_read32(m, offset);
        case 0x08:
        case 0x09:
        case 0x0A:
        case 0x0B:
        case 0x0C:
        case 0x0D: return cartridge_read<T>(m, address);
        case 0x0E: return region_read<T>(m.Sram, kSramSize, offset);
        default: return 0;
    }
}

// Where loads mostly go, work RAM and the program in ROM, the read is inline.
template <typename T>
[[gnu::always_inline]] inline uint32_t bus_read(Machine& m, uint32_t address) {
    const uint32_t offset = address & 0xFFFFFF;
    switch (address >> 24) {
        case 0x02:
            if (offset < kEwramSize) return load<T>(m.Ewram + offset);
            break;
        case 0x03:
            if (offset < kIwramSize) return load<T>(m.Iwram + offset);
            break;
        case 0x08:
            // The first 16 MB of the cartridge lie below the save window.
            if (offset < m.RomSize) return load<T>(m.RomImage.get() + offset);
            break;
        default: break;
    }
    return bus_read_other<T>(m, address);
}

// Writes that need more than a plain store: out of line, never inlined into an instruction.
void write_slow8(Machine& m, uint32_t address, uint32_t value);
void write_slow16(Machine& m, uint32_t address, uint32_t value);
void write_slow32(Machine& m, uint32_t address, uint32_t value);

// Work RAM writes are plain stores; everything else takes the slow path.
template <typename T>
[[gnu::always_inline]] inline bool write_fast(Machine& m, uint32_t address, uint32_t value) {
    uint32_t offset = address & 0xFFFFFF;
    uint8_t* base;
    switch (address >> 24) {
        case 0x02:
            if (offset > kEwramSize - sizeof(T)) return false;
            base = m.Ewram;
            break;
        case 0x03:
            if (offset > kIwramSize - sizeof(T)) return false;
            base = m.Iwram;
            break;
        default: return false;
    }
    T v = static_cast<T>(value);
    std::memcpy(base + offset, &v, sizeof(T));
    return true;
}

// A load's value as the register receives it: sign-extended from `Extend` when that is signed.
template <typename Extend>
inline uint32_t extended(uint32_t value) {
    if constexpr (std::is_signed_v<Extend>)
        return uint32_t(int32_t(Extend(value)));
    else
        return value;
}

template <typename T, typename Extend>
[[gnu::noinline]] Flow load_other(Machine& m, uint32_t address, uint32_t& dest) {
    dest = extended<Extend>(bus_read_other<T>(m, address));
    return kNext;
}

}  // namespace bus_detail

// A load into a register as an instruction's last act, which says kNext: every other region is
// reached by a tail call that writes the register itself, so that the handler around it keeps
// nothing across a call and needs no registers saved on its common path.
template <typename T, typename Extend = T>
[[gnu::always_inline]] inline Flow load_into(Machine& m, uint32_t address, uint32_t& dest) {
    const uint32_t offset = address & 0xFFFFFF;
    const uint8_t* base;
    switch (address >> 24) {
        case 0x02:
            if (offset >= kEwramSize) return bus_detail::load_other<T, Extend>(m, address, dest);
            base = m.Ewram;
            break;
        case 0x03:
            if (offset >= kIwramSize) return bus_detail::load_other<T, Extend>(m, address, dest);
            base = m.Iwram;
            break;
        case 0x08:
            if (offset >= m.RomSize) return bus_detail::load_other<T, Extend>(m, address, dest);
            base = m.RomImage.get();
            break;
        default: return bus_detail::load_other<T, Extend>(m, address, dest);
    }
    dest = bus_detail::extended<Extend>(bus_detail::load<T>(base + offset));
    return kNext;
}

[[gnu::always_inline]] inline uint32_t read8(Machine& m, uint32_t address) {
    return bus_detail::bus_read<uint8_t>(m, address);
}
[[gnu::always_inline]] inline uint32_t read16(Machine& m, uint32_t address) {
    return bus_detail::bus_read<uint16_t>(m, address);
}
[[gnu::always_inline]] inline uint32_t read32(Machine& m, uint32_t address) {
    return bus_detail::bus_read<uint32_t>(m, address);
}
[[gnu::always_inline]] inline void write8(Machine& m, uint32_t address, uint32_t value) {
    if (!bus_detail::write_fast<uint8_t>(m, address, value))
        bus_detail::write_slow8(m, address, value);
}
[[gnu::always_inline]] inline void write16(Machine& m, uint32_t address, uint32_t value) {
    if (!bus_detail::write_fast<uint16_t>(m, address, value))
        bus_detail::write_slow16(m, address, value);
}
[[gnu::always_inline]] inline void write32(Machine& m, uint32_t address, uint32_t value) {
    if (!bus_detail::write_fast<uint32_t>(m, address, value))
        bus_detail::write_slow32(m, address, value);
}

// A store as an instruction's last act, which says kNext (see load_into).
template <typename T>
[[gnu::always_inline]] inline Flow store(Machine& m, uint32_t address, uint32_t value) {
    if constexpr (sizeof(T) == 1) write8(m, address, value);
    if constexpr (sizeof(T) == 2) write16(m, address, value);
    if constexpr (sizeof(T) == 4) write32(m, address, value);
    return kNext;
}
