#include "memory/save_file.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#endif

#include "frontend/frontend.h"
#include "frontend/regular_file.h"
#include "machine.h"

namespace {

// The images other tools keep of the console's save memory alone.
constexpr uint64_t kSramImage32 = 0x8000;
constexpr uint64_t kSramImage64 = 0x10000;

bool has_sav_extension(const std::string& name, size_t dot) {
    if (name.size() - dot != 4) return false;
    for (size_t i = 1; i < 4; ++i) {
        if (std::tolower(static_cast<unsigned char>(name[dot + i])) != "sav"[i - 1]) return false;
    }
    return true;
}

#ifndef _WIN32

std::string os_error(const std::string& path) {
    return file_error(path, std::strerror(errno));
}

bool write_all(int fd, const uint8_t* data, size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, data, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        data += w;
        n -= size_t(w);
    }
    return true;
}

// A new file, never one that exists already and never through a link. A stale temporary file of
// this program (left by a crash) or a link in its place is removed first: removing a link never
// touches the file it leads to.
int create_new(const std::string& path, mode_t mode, bool replace_stale) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    struct stat st;
    if (fd < 0 && errno == EEXIST && replace_stale && ::lstat(path.c_str(), &st) == 0 &&
        (S_ISLNK(st.st_mode) || S_ISREG(st.st_mode)) && ::unlink(path.c_str()) == 0)
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    return fd;
}

// Copies the whole save file to a new backup beside it; returns the backup's name, or an empty
// text with `error` set.
std::string make_backup(const std::string& name, std::string& error) {
    RegularFile in;
    if (!in.open(name)) {
        error = file_error(name, in.reason());
        return {};
    }
    for (int n = 0; n < 10; ++n) {
        std::string backup = name + ".bak" + (n ? std::to_string(n) : "");
        int fd = create_new(backup, 0666, false);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) {
            error = os_error(backup);
            return {};
        }
        std::vector<uint8_t> chunk(1 << 16);
        size_t got = 0;
        bool ok = true;
        do {
            ok = in.read(chunk.data(), chunk.size(), got) && write_all(fd, chunk.data(), got);
        } while (ok && got > 0);
        if (ok && ::fsync(fd) == 0 && ::close(fd) == 0) return backup;
        error = in.reason().empty() ? os_error(backup) : file_error(name, in.reason());
        ::unlink(backup.c_str());
        return {};
    }
    error = file_error(name + ".bak", "ten backups exist already");
    return {};
}

// Writes both areas to `target` through `target`.tmp; returns false with `error` set.
bool write_through_temporary(Machine& m, const std::string& name, std::string& error) {
    std::string target = name;
    struct stat st;
    mode_t mode = 0666;
    if (::lstat(name.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        // The link stays; the file it leads to is replaced.
        char resolved[PATH_MAX];
        if (!::realpath(name.c_str(), resolved)) {
            error = os_error(name);
            return false;
        }
        target = resolved;
    }
    if (::stat(target.c_str(), &st) == 0) {
        mode = st.st_mode & 0777;
        // A save file made read-only by its owner is not replaced behind their back.
        if (::access(target.c_str(), W_OK) != 0) {
            error = os_error(target);
            return false;
        }
    }
    std::string temporary = target + ".tmp";
    int fd = create_new(temporary, mode, true);
    if (fd < 0) {
        error = os_error(temporary);
        return false;
    }
    ::fchmod(fd, mode);  // the old file's permissions, whatever the umask says
    bool ok = write_all(fd, m.SaveWindow, kSaveWindowSize) && write_all(fd, m.Sram, kSramSize) &&
              ::fsync(fd) == 0;
    if (!ok) error = os_error(temporary);
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = os_error(temporary);
    }
    if (ok && ::rename(temporary.c_str(), target.c_str()) != 0) {
        ok = false;
        error = os_error(target);
    }
    if (!ok) ::unlink(temporary.c_str());
    return ok;
}

#else

// Windows: standard C++ only. The temporary file is looked for before it is created (no
// exclusive creation in the standard library) and std::filesystem::rename replaces the old file.
std::string make_backup(const std::string& name, std::string& error) {
    for (int n = 0; n < 10; ++n) {
        std::string backup = name + ".bak" + (n ? std::to_string(n) : "");
        std::error_code ec;
        if (std::filesystem::exists(backup, ec)) continue;
        if (std::filesystem::copy_file(name, backup, ec)) return backup;
        error = file_error(backup, ec.message());
        return {};
    }
    error = file_error(name + ".bak", "ten backups exist already");
    return {};
}

bool write_through_temporary(Machine& m, const std::string& target, std::string& error) {
    std::string temporary = target + ".tmp";
    std::error_code ec;
    auto perms = std::filesystem::status(target, ec).permissions();
    if (!ec && (perms & std::filesystem::perms::owner_write) == std::filesystem::perms::none) {
        error = file_error(target, "Permission denied");
        return false;
    }
    if (std::filesystem::is_symlink(temporary, ec) ||
        std::filesystem::is_regular_file(temporary, ec))
        std::filesystem::remove(temporary, ec);
    std::FILE* f =
        std::filesystem::exists(temporary, ec) ? nullptr : std::fopen(temporary.c_str(), "wb");
    if (!f) {
        error = file_error(temporary, std::strerror(errno ? errno : EEXIST));
        return false;
    }
    bool ok = std::fwrite(m.SaveWindow, 1, kSaveWindowSize, f) == kSaveWindowSize &&
              std::fwrite(m.Sram, 1, kSramSize, f) == kSramSize && std::fflush(f) == 0;
    if (std::fclose(f) != 0) ok = false;
    if (!ok) error = file_error(temporary, std::strerror(errno));
    if (ok) std::filesystem::rename(temporary, target, ec);
    if (ok && ec) {
        ok = false;
        error = file_error(target, ec.message());
    }
    if (!ok) std::filesystem::remove(temporary, ec);
    return ok;
}

#endif

}  // namespace

std::string save_file_name(const std::string& rom_name) {
    size_t dot = rom_name.rfind('.');
    size_t folder = rom_name.find_last_of("/\\");
    // No extension (or the last "." belongs to a folder name): the ROM's whole name + ".sav".
    if (dot == std::string::npos || (folder != std::string::npos && dot < folder) ||
        has_sav_extension(rom_name, dot))
        return rom_name + ".sav";
    return rom_name.substr(0, dot) + ".sav";
}

bool save_file_write(Machine& m) {
    bool ok = !m.SaveFile.Kept;
    if (ok) {
        m.SaveFile.Error.clear();
        ok = write_through_temporary(m, m.SaveFileName, m.SaveFile.Error);
    }
    if (!ok) {
        m.host->debug_output(format_message("Save file '%s' not written: %s\n",
                                            m.SaveFileName.c_str(), m.SaveFile.Error.c_str()));
    }
    return ok;
}

void save_file_read(Machine& m, const std::string& rom) {
    std::memset(m.SaveWindow, 0, kSaveWindowSize);
    std::memset(m.Sram, 0, kSramSize);
    m.SaveFile = SaveFileStatus{};
    const std::string& name = m.SaveFileName;
    RegularFile file;
    std::string problem;
    std::error_code ec;
    if (!file.open(name)) {
        // No save yet is normal; a link to nothing is not: writing would not reach the file the
        // user meant.
        if (file.missing() && !std::filesystem::is_symlink(name, ec)) return;
        problem = file_error(name, file.missing() ? "a link to a missing file" : file.reason());
    } else if (!rom.empty() && same_file(name, rom)) {
        problem = file_error(name, "is the ROM itself");
    } else {
        uint64_t size = file.size();
        bool sram_image = size == kSramImage32 || size == kSramImage64;
        size_t got = 0;
        bool ok = sram_image ? file.read(m.Sram, kSramSize, got)
                             : file.read(m.SaveWindow, kSaveWindowSize, got) &&
                                   (got < kSaveWindowSize || file.read(m.Sram, kSramSize, got));
        if (!ok) {
            problem = file_error(name, file.reason());
        } else if (size != kSaveFileSize && size != 0) {
            // Another layout: keep the user's file as it was before anything is written over it.
            std::string backup = make_backup(name, problem);
            if (!backup.empty()) {
                m.host->message_box("Tamo",
                                    "Save file '" + name + "' holds " + std::to_string(size) +
                                        " bytes, not " + std::to_string(kSaveFileSize) + ": " +
                                        (sram_image ? "read as the 64 KB SRAM"
                                                    : "read as the save window, then the SRAM") +
                                        "; the file as it was is kept as '" + backup + "'.");
                return;
            }
        }
    }
    if (problem.empty()) return;
    m.SaveFile.Kept = true;
    m.SaveFile.Error = problem;
    std::memset(m.SaveWindow, 0, kSaveWindowSize);
    std::memset(m.Sram, 0, kSramSize);
    m.host->message_box(
        "Tamo", "Save file not read: " + problem +
                    ". It is not written over, and the game's saves of this run are not stored.");
}
