// The frame of the emulator: machine reset, fatal errors, the main-loop pass, ROM loading and the
// command line.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>
#include <string_view>

struct Machine;

inline constexpr size_t kMessageBufferSize = 200;

// Formats a message into the 200-character message buffer, cutting what does not fit.
std::string format_message(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Puts the whole console back to its power-on state. The save memory is written to the save file
// and then read back from it, so that a stored save is never replaced by cleared memory. Returns
// false when the save file could not be written (the save memory is then kept as it was).
bool machine_reset(Machine& m);

// The reset inside a ROM load: like machine_reset, but the save memory is left cleared (the load
// reads the new cartridge's save file itself).
void machine_reset_for_load(Machine& m);

// Reports an emulation error ("Tamo-Emulator" message box) and stops the machine.
void fatal_error(Machine& m, std::string_view text);

// One pass of the main loop: one scanline, one processor slice, and the keyboard poll once per
// frame. The host handles its events before each pass.
void main_loop_pass(Machine& m);

// Runs `frames` frames of 228 passes; stops early when the machine stops (QuitFlag).
void run_frames(Machine& m, uint32_t frames);

// Largest part of a ROM file that is loaded: the cartridge window.
inline constexpr uint32_t kMaxRomSize = 0x2000000;

// Loads a cartridge image and its save file and resets the machine. Returns false when the file
// cannot be opened (message "Can find Rom '%s'." when show_errors) or memory runs out.
bool rom_load(Machine& m, const std::string& name, bool show_errors);

// The ROM name from a command-line text: a leading double quote takes the text up to the next
// quote (or to the end when none closes it); otherwise the whole text, spaces included.
std::string rom_name_from_command_line(std::string_view text);
