// The cartridge's save memory file beside the ROM: the 128 KB save window, then the 64 KB SRAM.
#pragma once

#include <cstdint>
#include <string>

struct Machine;

inline constexpr uint32_t kSaveFileSize = 0x30000;

// The ROM name with its extension replaced by ".sav"; a name without an extension (or whose last
// "." belongs to a folder) gets ".sav" appended.
std::string save_file_name(const std::string& rom_name);

// Writes the save memory to m.SaveFileName through a temporary file renamed over the old one, so
// that a failed write never leaves a damaged save. Returns false (and reports on the debug output)
// when the file could not be written; the old file is then intact.
bool save_file_write(Machine& m);

// Reads the save file into the save window and SRAM; what the file does not hold reads 0.
void save_file_read(Machine& m);
