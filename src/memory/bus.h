// The console's address space and the six bus operations.
#pragma once

#include <cstdint>

struct Machine;

inline constexpr uint32_t kEwramSize = 0x40000;
inline constexpr uint32_t kIwramSize = 0x8000;
inline constexpr uint32_t kIoSize = 0x300;
inline constexpr uint32_t kPaletteSize = 0x400;
inline constexpr uint32_t kVramSize = 0x18000;
inline constexpr uint32_t kOamSize = 0x400;
inline constexpr uint32_t kSramSize = 0x10000;
inline constexpr uint32_t kSaveWindowSize = 0x20000;
inline constexpr uint32_t kSaveWindowStart = 0x1FE0000;  // cartridge offset of the save window
inline constexpr uint32_t kCartridgeWindow = 0x2000000;  // 32 MB, seen at 0x08, 0x0A and 0x0C

// Every store has this many zeroed bytes behind it, so that a 16- or 32-bit access that starts in
// a region's last bytes stays inside the array. The slack is never visible at a console address.
inline constexpr uint32_t kSlack = 8;

uint32_t read8(Machine& m, uint32_t address);
uint32_t read16(Machine& m, uint32_t address);
uint32_t read32(Machine& m, uint32_t address);
void write8(Machine& m, uint32_t address, uint32_t value);
void write16(Machine& m, uint32_t address, uint32_t value);
void write32(Machine& m, uint32_t address, uint32_t value);

// Converts a 15-bit console colour into colour cache entry `index`.
void colour_cache_set(Machine& m, uint32_t index, uint32_t colour);

// Clears the work RAMs, writes the save file when a cartridge is loaded, then clears the save
// memory. When the save file could not be written the save memory is kept (so the game's save is
// not lost) and the result is false.
bool memory_reset(Machine& m);
