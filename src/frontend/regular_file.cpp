#include "frontend/regular_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

std::string file_error(const std::string& path, const std::string& reason) {
    return "'" + path + "': " + reason;
}

#ifndef _WIN32

RegularFile::~RegularFile() {
    if (fd_ >= 0) ::close(fd_);
}

bool RegularFile::open(const std::string& path) {
    // O_NONBLOCK: opening a FIFO that no program writes to returns at once instead of waiting.
    fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        missing_ = errno == ENOENT;
        reason_ = std::strerror(errno);
        return false;
    }
    struct stat st;
    if (::fstat(fd_, &st) != 0) {
        reason_ = std::strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        reason_ = S_ISDIR(st.st_mode) ? "is a folder" : "is not a regular file";
        return false;
    }
    size_ = uint64_t(st.st_size);
    return true;
}

bool RegularFile::read(uint8_t* out, size_t n, size_t& got) {
    got = 0;
    while (got < n) {
        ssize_t r = ::read(fd_, out + got, n - got);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) {
            reason_ = std::strerror(errno);
            return false;
        }
        if (r == 0) break;
        got += size_t(r);
    }
    return true;
}

bool same_file(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

#else

// Windows: standard C++ only. The kind of the file is looked at before it is opened; a file
// replaced in between is not guarded against (Windows has no FIFOs in the file system).
RegularFile::~RegularFile() {
    if (file_) std::fclose(file_);
}

bool RegularFile::open(const std::string& path) {
    std::error_code ec;
    std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (status.type() == std::filesystem::file_type::not_found) {
        missing_ = true;
        reason_ = "No such file or directory";
        return false;
    }
    if (ec) {
        reason_ = ec.message();
        return false;
    }
    if (!std::filesystem::is_regular_file(status)) {
        reason_ = std::filesystem::is_directory(status) ? "is a folder" : "is not a regular file";
        return false;
    }
    size_ = std::filesystem::file_size(path, ec);
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_ || ec) {
        reason_ = ec ? ec.message() : std::strerror(errno);
        return false;
    }
    return true;
}

bool RegularFile::read(uint8_t* out, size_t n, size_t& got) {
    got = std::fread(out, 1, n, file_);
    if (got < n && std::ferror(file_)) {
        reason_ = std::strerror(errno);
        return false;
    }
    return true;
}

bool same_file(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec);
}

#endif
