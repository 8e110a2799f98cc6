#include "platform/headless/headless_host.h"

#include <algorithm>

#include "input/keypad.h"

std::string windows1252_to_utf8(std::string_view text) {
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x80 || c >= 0xA0) {
            if (c < 0x80) {
                out += char(c);
            } else {
                out += char(0xC0 | (c >> 6));
                out += char(0x80 | (c & 0x3F));
            }
        } else {
            out += '?';  // the few printer's signs of 0x80-0x9F never occur in our messages
        }
    }
    return out;
}

void HeadlessHost::print(const char* prefix, std::string_view text, std::string_view suffix) {
    std::string utf8 = windows1252_to_utf8(text);
    std::string_view rest = utf8;
    while (!rest.empty() && (rest.back() == '\n' || rest.back() == '\r')) rest.remove_suffix(1);
    while (true) {
        size_t newline = rest.find('\n');
        std::string_view line = rest.substr(0, newline);
        if (newline == std::string_view::npos) {
            std::fprintf(err, "%s%.*s%.*s\n", prefix, int(line.size()), line.data(),
                         int(suffix.size()), suffix.data());
            break;
        }
        std::fprintf(err, "%s%.*s\n", prefix, int(line.size()), line.data());
        rest.remove_prefix(newline + 1);
    }
    std::fflush(err);
}

void HeadlessHost::message_box(std::string_view caption, std::string_view text) {
    if (text.find("sur le PC") != std::string_view::npos) pc_written_by_stop = true;
    print(caption == "Tamo-Emulator" ? "fatal: " : caption == "Tamo" ? "error: " : "note: ", text);
}

bool HeadlessHost::ask_yes_no(std::string_view, std::string_view text) {
    print("warning: ", text, answer_yes ? " [answered yes]" : " [answered no]");
    return answer_yes;
}

void HeadlessHost::debug_output(std::string_view line) {
    if (line.find("sur le PC") != std::string_view::npos) pc_written_by_stop = true;
    if (show_debug_output) print("debug: ", line);
}

void HeadlessHost::present() {
    ++frames_presented;
    std::copy(surface.begin(), surface.end(), last_frame.begin());
}

bool HeadlessHost::read_keyboard(uint8_t (&state)[256]) {
    // The poll at the end of frame k gives the keys of frame k + 1.
    uint16_t held = keys.held(frames_presented + 1);
    std::fill(std::begin(state), std::end(state), 0);
    for (uint32_t bit = 0; bit < 10; ++bit) {
        if (held & (1u << bit)) state[kKeyMap[bit]] = 0x80;
    }
    return true;
}
