#include "memory/save_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "frontend/frontend.h"
#include "machine.h"

std::string save_file_name(const std::string& rom_name) {
    size_t dot = rom_name.rfind('.');
    size_t folder = rom_name.find_last_of("/\\");
    // No extension (or the last "." belongs to a folder name): the ROM's whole name + ".sav".
    if (dot == std::string::npos || (folder != std::string::npos && dot < folder))
        return rom_name + ".sav";
    return rom_name.substr(0, dot) + ".sav";
}

bool save_file_write(Machine& m) {
    // Write beside the old file, then rename over it: a crash, a full disk or an unwritable folder
    // never leaves a truncated save.
    std::string temporary = m.SaveFileName + ".tmp";
    std::FILE* f = std::fopen(temporary.c_str(), "wb");
    bool ok = f != nullptr;
    int error = ok ? 0 : errno;
    if (ok) {
        ok = std::fwrite(m.SaveWindow, 1, kSaveWindowSize, f) == kSaveWindowSize &&
             std::fwrite(m.Sram, 1, kSramSize, f) == kSramSize;
        if (!ok) error = errno;
        if (std::fflush(f) != 0 && ok) {
            ok = false;
            error = errno;
        }
        if (std::fclose(f) != 0 && ok) {
            ok = false;
            error = errno;
        }
        // std::rename does not replace an existing file on Windows; this rename does everywhere.
        std::error_code renamed;
        if (ok) std::filesystem::rename(temporary, m.SaveFileName, renamed);
        if (ok && renamed) {
            ok = false;
            error = renamed.default_error_condition().value();
        }
        if (!ok) std::remove(temporary.c_str());
    }
    if (!ok) {
        m.host->debug_output(format_message("Save file '%s' not written: %s\n",
                                            m.SaveFileName.c_str(), std::strerror(error)));
    }
    return ok;
}

void save_file_read(Machine& m) {
    std::memset(m.SaveWindow, 0, kSaveWindowSize);
    std::memset(m.Sram, 0, kSramSize);
    std::FILE* f = std::fopen(m.SaveFileName.c_str(), "rb");
    if (!f) return;
    size_t got = std::fread(m.SaveWindow, 1, kSaveWindowSize, f);
    if (got == kSaveWindowSize) (void)std::fread(m.Sram, 1, kSramSize, f);
    std::fclose(f);
}
