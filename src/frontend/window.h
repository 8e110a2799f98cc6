// The main window's behaviour that every desktop host shares: its menu commands, its sizes, the
// frame-rate title, the debugger key and the end of the run when it closes. The hosts draw the
// window and its menu; what a command does to the machine is decided here.
#pragma once

#include <cstdint>
#include <string>

struct Machine;

// The menu's command ids.
enum MenuCommand : uint32_t {
    kMenuReset = 40003,
    kMenuBreak = 40004,  // the File menu's column break
    kMenuExit = 40005,   // greyed: does nothing
    kMenuOpen = 40006,
    kMenuSize1 = 40007,  // x 1 to x 4: kMenuSize1 + n - 1
    kMenuSize4 = 40010,
    kMenuRomWriteEnable = 40011,
};

// The window's outer size for the picture at n times the console's size (n = 1 to 4): the picture
// plus the frame, caption and menu bar of a Windows window.
struct WindowSize {
    int width, height;
};
WindowSize window_outer_size(int n);

// Carries out a menu command on the machine: Reset, Open... (through Host::choose_rom_file) and
// ROM Write Enable. The sizes are the host's to apply; other ids are ignored. Returns true when
// the id was one of the menu's.
bool window_command(Machine& m, uint32_t id);

// The open dialog: loads the chosen cartridge. False when the user cancelled or it did not load.
bool rom_open_dialog(Machine& m);

// The once-a-second title: "Tamo : N fps" with the frames presented since the last call.
std::string frame_rate_title(Machine& m);

// A character typed in the main window: an upper-case D stops the processor for the debugger.
void window_char(Machine& m, uint32_t character);

// The main window was closed: the machine is reset (writing the save file) and the run ends.
// False when the save file could not be written.
bool window_destroyed(Machine& m);
