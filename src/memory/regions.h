// Sizes and places of the console's memory regions.
#pragma once

#include <cstdint>

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
