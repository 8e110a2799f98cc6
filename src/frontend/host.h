// The only door from the emulator core to the outside world. Each host (desktop window, Windows
// program, headless runner, unit-test fake) implements it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class Host {
  public:
    virtual ~Host() = default;

    // A modal message with an OK button.
    virtual void message_box(std::string_view caption, std::string_view text) = 0;
    // A modal question with Yes and No buttons; true when the user answers Yes.
    virtual bool ask_yes_no(std::string_view caption, std::string_view text) = 0;
    // One line for the developer's debug output (never shown in the user interface).
    virtual void debug_output(std::string_view line) = 0;
    // False when debug lines are not shown: the core then does not even format them.
    virtual bool debug_output_wanted() const { return true; }
    // The back surface holds a finished frame: show it.
    virtual void present() = 0;
    // Fills the 256-byte keyboard state (bit 7 set: key down). False when the keyboard cannot be
    // read now (for example the window is not in the foreground).
    virtual bool read_keyboard(uint8_t (&state)[256]) = 0;
    // The debugger view: show it (after its model was refreshed), hide it, redraw it.
    virtual void debugger_show() = 0;
    virtual void debugger_hide() = 0;
    virtual void debugger_refresh() = 0;
    // The open-file dialog for a cartridge ("Gameboy Advance Rom (*.bin;*.gba;*.agb)" and
    // "Tous (*.*)"): the name to load, or an empty text when the user cancelled. A host whose
    // dialog makes the chosen folder the working folder may return the bare file name; any other
    // returns the full path, so that the save file lands beside the ROM.
    virtual std::string choose_rom_file() { return {}; }
};
