#include "frontend/settings.h"

#include <cctype>
#include <charconv>
#include <sstream>

#include "frontend/regular_file.h"

namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

bool equal_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

}  // namespace

std::optional<uint32_t> parse_setting_integer(std::string_view text) {
    text = trim(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) return std::nullopt;
    uint64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (negative) {
        if (value > 0x80000000ull) return std::nullopt;
        return uint32_t(0u - uint32_t(value));
    }
    if (value > 0xFFFFFFFFull) return std::nullopt;
    return uint32_t(value);
}

Settings settings_from_text(std::string_view text) {
    Settings s;
    bool in_section = false;
    // As with Windows' profile functions, the first line that names a key is the one that counts.
    constexpr int kKeyCount = 6;
    bool seen[kKeyCount] = {};
    static constexpr std::string_view kKeys[kKeyCount] = {
        "DisplayFPS", "Breakpoint", "CountBreak", "ROMWriteEnable", "DisableWindows", "FrameLimit"};
    std::istringstream lines{std::string(text)};
    std::string raw;
    while (std::getline(lines, raw)) {
        std::string_view line = trim(raw);
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        if (line.front() == '[') {
            size_t close = line.find(']');
            in_section = close != std::string_view::npos &&
                         equal_ignoring_case(trim(line.substr(1, close - 1)), "Tamo");
            continue;
        }
        if (!in_section) continue;
        size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        std::string_view key = trim(line.substr(0, eq));
        int k = 0;
        while (k < kKeyCount && !equal_ignoring_case(key, kKeys[k])) ++k;
        if (k == kKeyCount || seen[k]) continue;
        seen[k] = true;
        std::optional<uint32_t> value = parse_setting_integer(line.substr(eq + 1));
        if (!value) continue;  // not an integer: the default applies
        switch (k) {
            case 0: s.DisplayFPS = int32_t(*value); break;
            case 1: s.Breakpoint = *value; break;
            case 2: s.CountBreak = *value; break;
            case 3: s.ROMWriteEnable = *value != 0; break;
            case 4: s.WindowsEnabled = *value == 0; break;
            case 5: s.FrameLimit = *value != 0; break;
        }
    }
    return s;
}

SettingsFile settings_read(const std::string& path, Settings& s, std::string& error) {
    s = Settings{};
    RegularFile file;
    std::string text;
    size_t got = 0;
    if (!file.open(path)) {
        if (file.missing()) return SettingsFile::Missing;
        error = file_error(path, file.reason());
    } else if (file.size() > kMaxSettingsFileSize) {
        error = file_error(path, "larger than 1 MB: not a settings file");
    } else {
        text.resize(size_t(file.size()));
        if (!file.read(reinterpret_cast<uint8_t*>(text.data()), text.size(), got))
            error = file_error(path, file.reason());
    }
    if (!error.empty()) return SettingsFile::Failed;
    text.resize(got);
    s = settings_from_text(text);
    return SettingsFile::Read;
}

Settings settings_load(const std::string& path) {
    Settings s;
    std::string error;
    settings_read(path, s, error);
    return s;
}
