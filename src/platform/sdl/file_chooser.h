// The desktop's own file chooser for a cartridge, run as a separate program (zenity or kdialog on
// Linux and the BSDs, the system panel through osascript on macOS), so that it looks and behaves
// as every other open dialog of the desktop.
#pragma once

#include <functional>
#include <string>

struct ChooserResult {
    std::string path;   // empty: cancelled
    std::string error;  // non-empty: no chooser could be started
};

// Shows the chooser with the two filters "Gameboy Advance Rom (*.bin;*.gba;*.agb)" and
// "Tous (*.*)", starting at `previous`. `idle` runs about sixty times a second while the user
// chooses, so that the program's windows stay alive; when it returns false (the program is asked
// to end) the chooser is closed as if cancelled.
ChooserResult choose_rom_path(const std::string& previous, const std::function<bool()>& idle);
