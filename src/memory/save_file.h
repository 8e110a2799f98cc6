// The cartridge's save memory file beside the ROM: the 128 KB save window, then the 64 KB SRAM.
#pragma once

#include <cstdint>
#include <string>

struct Machine;

inline constexpr uint32_t kSaveFileSize = 0x30000;

// The caption of the notice that a save file of another layout was read and kept as a backup
// (errors have the caption "Tamo").
inline constexpr const char* kSaveNoticeCaption = "Tamo - save file";

// What the last read of the save file found, and so what a write may do with it.
struct SaveFileStatus {
    // A save file that exists but could not be read (no permission, not a regular file, the ROM
    // itself, a link to nothing) is never written over: the run keeps its save memory instead.
    bool Kept = false;
    // Why the last read or write failed: "'NAME': REASON", the temporary file's name when that
    // is the one at fault.
    std::string Error;
};

// The ROM name with its extension replaced by ".sav"; a name without an extension (or whose last
// "." belongs to a folder), or whose extension is already ".sav", gets ".sav" appended, so that
// the save never takes the ROM's own name.
std::string save_file_name(const std::string& rom_name);

// Writes the save memory to m.SaveFileName through a new temporary file beside it that is renamed
// over the old one, so that a failed write never leaves a damaged save; a link is kept and the file
// it leads to receives the save. Returns false (with m.SaveFile.Error set, and a debug line) when
// the file was not written; the old file is then intact.
bool save_file_write(Machine& m);

// Reads the save file into the save window and SRAM; what the file does not hold reads 0. A file
// of 196,608 bytes is the save window then SRAM; a 32 KB or 64 KB image (the console's own save
// memory) is read as SRAM. A file of any other size is first copied to NAME.bak (or .bak1 to
// .bak9) beside it. A message box says what was done when the file is not a plain save; a file
// that cannot be read is kept (m.SaveFile.Kept) and never written over. `rom` is the ROM's name.
void save_file_read(Machine& m, const std::string& rom = {});
