// The host of tamo-headless: no window. Messages go to standard error, each line with a prefix
// that says what it is; questions are answered from the command line; the picture stays in memory.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "frontend/host.h"
#include "platform/headless/key_script.h"

class HeadlessHost : public Host {
  public:
    bool answer_yes = true;
    bool show_debug_output = false;
    KeyScript keys;
    std::FILE* err = stderr;

    // The back surface, 256x160 pixels of 0x00RRGGBB, and a copy of the last presented frame.
    std::vector<uint32_t> surface = std::vector<uint32_t>(256 * 160);
    std::vector<uint32_t> last_frame = std::vector<uint32_t>(256 * 160);
    uint32_t frames_presented = 0;
    // Set when the machine stopped on a data-processing instruction that wrote R15, so that R15
    // no longer tells where the stopping instruction was.
    bool pc_written_by_stop = false;

    void message_box(std::string_view caption, std::string_view text) override;
    bool ask_yes_no(std::string_view caption, std::string_view text) override;
    void debug_output(std::string_view line) override;
    bool debug_output_wanted() const override { return show_debug_output; }
    void present() override;
    bool read_keyboard(uint8_t (&state)[256]) override;
    void debugger_show() override {}
    void debugger_hide() override {}
    void debugger_refresh() override {}

    // Writes `text` line by line, each line behind `prefix`.
    void print(const char* prefix, std::string_view text, std::string_view suffix = {});
};

// Turns Windows-1252 text (the emulator's own messages) into UTF-8 for the terminal.
std::string windows1252_to_utf8(std::string_view text);
