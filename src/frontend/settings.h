// The settings file (Tamo.ini, section [Tamo]).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct Settings {
    int32_t DisplayFPS = 0;
    uint32_t Breakpoint = 0xFFFFFFFF;
    uint32_t CountBreak = 0xFFFFFFFF;
    uint32_t ROMWriteEnable = 0;
    uint32_t WindowsEnabled = 1;  // from DisableWindows: 1 when that key reads 0
    uint32_t FrameLimit = 1;      // desktop hosts: 0 runs unpaced, as fast as the host allows
};

// Parses an integer setting: decimal with an optional sign, or hexadecimal with a 0x prefix.
// Anything else (empty, trailing characters, out of the 32-bit range) is not a value.
std::optional<uint32_t> parse_setting_integer(std::string_view text);

// Reads the settings from ini text; missing keys and values that are not integers keep their
// defaults. Keys and the section name are matched without regard to case.
Settings settings_from_text(std::string_view text);

// Reads the settings file into `s`: Read, or Missing when there is no such file, or Failed when
// it exists but is not a regular file (a FIFO would block), cannot be read or is larger than
// kMaxSettingsFileSize; `error` then says why ("'NAME': REASON"). Unread settings keep the
// defaults.
inline constexpr uint64_t kMaxSettingsFileSize = 1 << 20;
enum class SettingsFile { Read, Missing, Failed };
SettingsFile settings_read(const std::string& path, Settings& s, std::string& error);

// Reads the settings file; a missing or unreadable file gives the defaults.
Settings settings_load(const std::string& path);
