// Reading the user's files (ROM, save file, settings) without surprises: only regular files are
// read, so that a FIFO never blocks the program and a device is never taken for a cartridge, and
// every failure carries the system's reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

class RegularFile {
  public:
    RegularFile() = default;
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;
    ~RegularFile();

    // Opens `path` for reading when it is a regular file (a link to one counts). On failure
    // reason() says why and missing() tells a name that does not exist from the rest.
    bool open(const std::string& path);
    bool missing() const { return missing_; }
    uint64_t size() const { return size_; }
    // Reads up to `n` bytes at the current position into `out`; false on a read error.
    bool read(uint8_t* out, size_t n, size_t& got);
    const std::string& reason() const { return reason_; }

  private:
#ifndef _WIN32
    int fd_ = -1;
#else
    std::FILE* file_ = nullptr;
#endif
    uint64_t size_ = 0;
    bool missing_ = false;
    std::string reason_;
};

// "'NAME': REASON", the form of every file error line.
std::string file_error(const std::string& path, const std::string& reason);

// True when both names lead to the same existing file (through links, or hard links).
bool same_file(const std::string& a, const std::string& b);
