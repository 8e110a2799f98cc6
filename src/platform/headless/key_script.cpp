#include "platform/headless/key_script.h"

#include <cctype>
#include <charconv>

namespace {

// The key names in KEYINPUT bit order.
const char* const kConsoleKeyNames[10] = {"A",    "B",  "SELECT", "START", "RIGHT",
                                          "LEFT", "UP", "DOWN",   "R",     "L"};

}  // namespace

uint16_t KeyScript::held(uint32_t frame) const {
    uint16_t keys = 0;
    for (const KeyScriptEntry& e : entries) {
        if (frame >= e.first && frame <= e.last) keys |= e.keys;
    }
    return keys;
}

namespace {

std::optional<uint32_t> parse_frame(std::string_view text) {
    uint32_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value == 0)
        return std::nullopt;
    return value;
}

std::optional<uint16_t> parse_key_name(std::string_view name) {
    for (uint32_t bit = 0; bit < 10; ++bit) {
        std::string_view known = kConsoleKeyNames[bit];
        if (known.size() != name.size()) continue;
        bool same = true;
        for (size_t i = 0; i < name.size(); ++i) {
            if (std::toupper(static_cast<unsigned char>(name[i])) != known[i]) same = false;
        }
        if (same) return uint16_t(1u << bit);
    }
    return std::nullopt;
}

}  // namespace

std::optional<KeyScript> parse_key_script(std::string_view text, std::string& error) {
    KeyScript script;
    while (!text.empty()) {
        size_t comma = text.find(',');
        std::string_view item = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
        size_t at = item.find('@');
        if (at == std::string_view::npos) {
            error.assign("no '@FRAMES' part in '").append(item).append("'");
            return std::nullopt;
        }
        KeyScriptEntry entry;
        std::string_view names = item.substr(0, at);
        while (true) {
            size_t plus = names.find('+');
            std::optional<uint16_t> key = parse_key_name(names.substr(0, plus));
            if (!key) {
                error.assign("unknown key '")
                    .append(names.substr(0, plus))
                    .append("' (keys: A B SELECT START RIGHT LEFT UP DOWN R L)");
                return std::nullopt;
            }
            entry.keys |= *key;
            if (plus == std::string_view::npos) break;
            names = names.substr(plus + 1);
        }
        std::string_view frames = item.substr(at + 1);
        size_t dash = frames.find('-');
        std::optional<uint32_t> first = parse_frame(frames.substr(0, dash));
        std::optional<uint32_t> last =
            dash == std::string_view::npos ? first : parse_frame(frames.substr(dash + 1));
        if (!first || !last || *last < *first) {
            error.assign("bad frames '").append(frames).append("' (N or N-M, numbered from 1)");
            return std::nullopt;
        }
        entry.first = *first;
        entry.last = *last;
        script.entries.push_back(entry);
    }
    return script;
}
