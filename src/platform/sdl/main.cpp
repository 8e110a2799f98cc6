// tamo: the desktop program. Plays a Game Boy Advance cartridge in a window, with the debugger
// in a second window.
#include <CLI/CLI.hpp>
#include <cstdio>

#include "platform/common/gdb_options.h"
#include "platform/sdl/app.h"
#include "platform/sdl/instance_lock.h"

namespace {

const char* const kFooter = R"footer(
Without a ROM, or with one that cannot be opened, the desktop's file chooser
asks for one; cancelling it ends the program.

Keys (fixed): Space A, Tab B, left Ctrl Select, Enter Start, the arrow keys the
pad, W R, Q L. Game controllers: the pad or left stick, A, B, the shoulders,
Start, and Back as Select. Hotkeys: Shift+D stops in the debugger, F (held)
fast forward, F12 screenshot (a PNG beside the ROM), F11 full screen.

Settings: Tamo.ini in the working folder, section [Tamo]: Breakpoint,
CountBreak, ROMWriteEnable, DisableWindows, DisplayFPS, and FrameLimit (1, the
default: the console's 59.73 frames a second; 0: as fast as the computer goes).

gdb (--gdb): every stop of the processor, gdb's or the debugger window's, shows
in the debugger window and is reported to gdb when gdb waits for one; Continue
in either runs on. While gdb is connected, an emulation error or a stop
instruction is reported to gdb instead of ending the run; the run ends when
gdb continues, detaches or kills, or when the window is closed.

Only one copy runs at a time: a second start ends at once with status 0.
Exit status: 0 when the window was closed (the save file written) or the
debugger's Quit ended the run; 1 when no window could be opened, no ROM was
loaded, the cartridge stopped the machine, gdb killed the run, or the save
file was not written; 2 for a bad command line or a --gdb port in use.)footer";

}  // namespace

int main(int argc, char** argv) {
    CLI::App cli{"tamo " TAMO_VERSION " - a Game Boy Advance emulator with a debugger", "tamo"};
    cli.footer(kFooter);
    cli.set_version_flag("--version", "tamo " TAMO_VERSION);
    AppOptions options;
    cli.add_option("ROM", options.rom, "the cartridge image (.gba, .agb, .bin)");
    cli.add_option("--scale", options.scale, "the window's starting size, 1 to 4 (default 1)")
        ->check(CLI::Range(1, 4));
    cli.add_flag("--fullscreen", options.fullscreen, "start in full screen");
    cli.add_option("--ini", options.ini, "the settings file (default Tamo.ini)");
    cli.add_flag("--debug-output", options.debug_output,
                 "print the developer's debug lines to standard error");
    add_gdb_options(cli, options.gdb_port, options.gdb_wait);
    try {
        cli.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return cli.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return cli.exit(e);
    } catch (const CLI::ParseError& e) {
        std::fprintf(stderr, "tamo: %s\nRun 'tamo --help' for the options.\n", e.what());
        return 2;
    }

    InstanceLock lock;
    if (!lock.acquire()) return 0;
    App app(std::move(options));
    return app.run();
}
