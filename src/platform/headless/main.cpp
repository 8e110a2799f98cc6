// tamo-headless: runs a cartridge without a window, for tests, scripts and benchmarks.
#include <CLI/CLI.hpp>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "debugger/debugger.h"
#include "debugger/peek.h"
#include "frontend/frontend.h"
#include "frontend/regular_file.h"
#include "frontend/settings.h"
#include "machine.h"
#include "memory/save_file.h"
#include "platform/common/gdb_options.h"
#include "platform/common/gdb_server.h"
#include "platform/headless/headless_host.h"
#include "platform/headless/key_script.h"
#include "platform/headless/screenshot.h"
#include "platform/headless/text_debugger.h"

namespace {

enum ExitStatus {
    kExitOk = 0,
    kExitMachineStopped = 1,
    kExitUsage = 2,
    kExitOutputFailed = 3,
};

const char* const kFooter = R"footer(
Key scripts (--keys): a comma-separated list of KEYS@FRAMES. KEYS is one key or
several joined by '+', from A B SELECT START RIGHT LEFT UP DOWN R L (any case).
FRAMES is N or N-M (inclusive), counted from 1, the first frame run. The console
reads its keys at the end of each frame for the next, so keys count from frame 2.
Example: --keys START@10-12,A+B@30

Messages go to standard error, one line each, behind a prefix:
  warning:  a warning question, with the answer given (--answer)
  fatal:    an emulation error that stopped the machine
  error:    a ROM that cannot be loaded, a file that cannot be read or written
            (with the system's reason and the file's name)
  note:     a save file of another size was read and kept as NAME.bak
  debug:    the developer's debug lines (only with --debug-output)

Debugger (--debugger): when the machine stops in the debugger (at the Breakpoint
or CountBreak of the settings file or of --break and --count, or on the command
d), the debugger view is printed on standard output:
  Tamo Debugger
  R0  00000000  R8  00000000     eight lines: R0..R7 and R8..R15 (R15 as held:
  ...                            the instruction's address + 8 ARM, + 4 THUMB)
  PC  08000000  Cnt 0            next instruction's address, instructions run
  N=0 Z=0 C=0 V=0 I=1 T=0        flags; I=1 outside an interrupt handler
  => 08000000  E3A00001  Data Processing    fourteen rows: address, opcode,
     08000004  EAFFFFFE  EAFFFFFE           text ("=>": the next instruction)
then the prompt "(tamo) " and one command is read from standard input:
  step      run one instruction (Step In)
  over      run until the instruction after this one (Step Over)
  continue  run on (Continue...)
  quit      end the run at once (Quit): exit status 1, no save file written
  up, down  move the listing by one instruction and print the view again
  d         while running: stop before the next instruction
When standard input is not a terminal the command is echoed after the prompt.
Unknown commands print "unknown command" and the prompt again. At the end of
the input every stop continues by itself ("continue (end of input)"). No frames
pass while a command is awaited; each command takes one main-loop pass (a
scanline); the run still ends after --frames frames. While the machine runs,
the input is looked at once per frame: a d at its head stops the machine, any
other line waits for the next stop. Without --debugger a stop holds the
processor to the end of the run, as an unanswered debugger window would (a
line on standard error says where).

Exit status:
  0  the frames ran; the machine was reset as when the window closes, which
     writes the cartridge's save file (the ROM's name with .sav) beside the ROM
  1  the cartridge stopped the machine first (emulation error or a stop
     instruction), or the debugger's quit command ended the run; no save file
     is written
  2  bad command line (also an empty or non-numeric --frames, --break or
     --count, a --screenshot that names the ROM or its save file), a --ini file
     that cannot be read, or a ROM that cannot be loaded (only regular files are)
  3  the save file or the screenshot could not be written (a save file that
     could not be read at the start is never written over)

Save files: a save of another size than 196,608 bytes is copied to NAME.bak
first; 32 KB and 64 KB images are read as the 64 KB SRAM. Messages that span
several lines are printed as several lines, each behind its prefix.)footer";

// The main loop of run_frames with gdb served between passes. With `wait`, no instruction runs
// before a debugger has connected. While gdb holds the processor, the loop waits for its
// commands; while the processor runs, the connection is looked at once per frame.
void run_frames_with_gdb(Machine& m, GdbServer& gdb, uint32_t frames, bool wait) {
    while (wait && !gdb.connected()) gdb.wait(m, -1);
    auto serve = [&](bool look) {
        gdb.serve(m, look);
        while (gdb.holding()) gdb.wait(m, -1);
    };
    for (uint32_t f = 0; f < frames && !m.cpu.QuitFlag; ++f) {
        serve(true);
        for (int line = 0; line < kLinesPerFrame && !m.cpu.QuitFlag; ++line) {
            main_loop_pass(m);
            serve(false);
        }
    }
    gdb.finish(m.cpu.QuitFlag ? 1 : 0);
}

int usage_error(const std::string& text) {
    std::fprintf(stderr, "tamo-headless: %s\n", text.c_str());
    return kExitUsage;
}

// Where the machine stopped: the instruction at the processor's current address, unless that
// instruction wrote R15 itself (a data-processing instruction into the PC).
std::string stopping_instruction(Machine& m, bool pc_written) {
    char text[96];
    if (pc_written) {
        std::snprintf(text, sizeof text, "an instruction that wrote R15 = %08X",
                      unsigned(m.cpu.R[15]));
    } else if (m.cpu.ThumbState) {
        uint32_t at = m.cpu.R[15] - 4;
        std::snprintf(text, sizeof text, "the THUMB instruction at %08X (opcode %04X)",
                      unsigned(at), unsigned(peek16(m, at)));
    } else {
        uint32_t at = m.cpu.R[15] - 8;
        std::snprintf(text, sizeof text, "the ARM instruction at %08X (opcode %08X)", unsigned(at),
                      unsigned(peek32(m, at)));
    }
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"tamo-headless " TAMO_VERSION
                 " - runs a Game Boy Advance cartridge without a window",
                 "tamo-headless"};
    app.footer(kFooter);
    app.set_version_flag("--version", "tamo-headless " TAMO_VERSION);

    std::string rom;
    std::string frames_text = "60";
    std::string keys_text;
    std::string ini = "Tamo.ini";
    std::string answer = "yes";
    bool debug_output = false;
    std::string screenshot;
    bool text_debugger = false;
    std::string break_text;
    std::string count_text;
    std::optional<uint16_t> gdb_port;
    bool gdb_wait = false;

    app.add_option("ROM", rom, "the cartridge image (.gba, .agb, .bin)")->required();
    app.add_option("--frames", frames_text, "number of frames to run, unpaced (default 60)")
        ->type_name("N");
    app.add_option("--keys", keys_text, "console keys to hold over frame ranges (see below)");
    auto* ini_option =
        app.add_option("--ini", ini, "the settings file (default Tamo.ini in the working folder)");
    app.add_option("--answer", answer, "answer to the warning questions: yes (default) or no")
        ->check(CLI::IsMember({"yes", "no"}));
    app.add_flag("--debug-output", debug_output, "print the debug lines to standard error");
    app.add_option("--screenshot", screenshot, "write the last frame to this PNG file (240x160)");
    app.add_flag("--debugger", text_debugger,
                 "the debugger on standard output and input (see below)");
    auto* break_option =
        app.add_option("--break", break_text,
                       "stop in the debugger before the instruction at this address (0x hex or "
                       "decimal; replaces the settings file's Breakpoint)");
    auto* count_option =
        app.add_option("--count", count_text,
                       "stop in the debugger when this many instructions have run (0x hex or "
                       "decimal; replaces the settings file's CountBreak)");
    add_gdb_options(app, gdb_port, gdb_wait);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::fprintf(stderr, "tamo-headless: %s\nRun 'tamo-headless --help' for the options.\n",
                     e.what());
        return kExitUsage;
    }
    // With --debugger and `| head`, the view's reader may go away: the run still ends and saves.
    std::signal(SIGPIPE, SIG_IGN);

    uint32_t frames = 0;
    {
        const char* end = frames_text.data() + frames_text.size();
        auto [stop, error] = std::from_chars(frames_text.data(), end, frames);
        if (frames_text.empty() || error != std::errc() || stop != end || frames > 100000000u)
            return usage_error("--frames: '" + frames_text +
                               "' is not a number of frames from 0 to 100000000");
    }

    auto host = std::make_unique<HeadlessHost>();
    host->answer_yes = answer == "yes";
    host->show_debug_output = debug_output;
    if (!keys_text.empty()) {
        std::string error;
        std::optional<KeyScript> script = parse_key_script(keys_text, error);
        if (!script) {
            std::fprintf(stderr, "tamo-headless: --keys: %s\n", error.c_str());
            return kExitUsage;
        }
        host->keys = *script;
    }

    auto machine = std::make_unique<Machine>(*host);
    Machine& m = *machine;
    // A settings file named on the command line must be read; the default one may be missing, and
    // when it cannot be read its defaults apply.
    std::string error;
    SettingsFile read = settings_read(ini, m.settings, error);
    if (ini_option->count() > 0 && read != SettingsFile::Read)
        return usage_error("--ini: cannot read the settings file " +
                           (error.empty() ? file_error(ini, "No such file or directory") : error));
    if (read == SettingsFile::Failed)
        std::fprintf(stderr, "tamo-headless: settings file not read, the defaults apply: %s\n",
                     error.c_str());
    // The stop settings given on the command line win over the settings file.
    auto override_setting = [](const CLI::Option* option, const std::string& text,
                               uint32_t& setting) {
        if (option->count() == 0) return true;
        std::optional<uint32_t> value = parse_setting_integer(text);
        if (!value) {
            usage_error(option->get_name() + ": '" + text + "' is not a number");
            return false;
        }
        setting = *value;
        return true;
    };
    if (!override_setting(break_option, break_text, m.settings.Breakpoint) ||
        !override_setting(count_option, count_text, m.settings.CountBreak))
        return kExitUsage;
    // The picture must never land on the cartridge or its save.
    if (!screenshot.empty()) {
        std::error_code ec;
        auto canonical = [&](const std::string& p) {
            return std::filesystem::weakly_canonical(std::filesystem::absolute(p, ec), ec);
        };
        for (const std::string& own : {rom, save_file_name(rom)}) {
            if (same_file(screenshot, own) || canonical(screenshot) == canonical(own))
                return usage_error("--screenshot: '" + screenshot + "' is " +
                                   (own == rom ? "the ROM" : "the ROM's save file"));
        }
    }

    display_attach(m, reinterpret_cast<uint8_t*>(host->surface.data()), 256 * 4, 4, 0xFF0000,
                   0x00FF00, 0x0000FF);
    if (!rom_load(m, rom, true)) return kExitUsage;
    cpu_reset(m, kCartridgeEntry);

    GdbServer gdb;
    std::string gdb_error;
    if (gdb_port && !gdb.listen(*gdb_port, gdb_error)) {
        std::fprintf(stderr, "tamo-headless: --gdb: %s\n", gdb_error.c_str());
        return kExitUsage;
    }
    if (gdb_port)
        std::fprintf(stderr, "tamo-headless: gdb: listening on 127.0.0.1:%u\n", gdb.port());
    std::optional<TextDebugger> debugger;
    if (text_debugger) debugger.emplace(STDIN_FILENO, stdout);
    if (debugger) {
        run_frames_with_debugger(m, *debugger, frames);
    } else if (gdb_port) {
        run_frames_with_gdb(m, gdb, frames, gdb_wait);
    } else {
        run_frames(m, frames);
        // Nobody answers the debugger here: say so, or the held processor would go unnoticed.
        if (debugger_waiting(m)) {
            std::fprintf(stderr,
                         "tamo-headless: the machine stopped in the debugger before the "
                         "instruction at %s and stayed there (--debugger steps through it)\n",
                         m.debugger.Model.Pc.c_str());
        }
    }

    int status = kExitOk;
    if (gdb.killed()) {
        std::fputs("tamo-headless: killed from gdb; no save file written\n", stderr);
        status = kExitMachineStopped;
    } else if (debugger && debugger->quit()) {
        std::fprintf(stderr,
                     "tamo-headless: quit in the debugger in frame %u; no save file written\n",
                     host->frames_presented + 1);
        status = kExitMachineStopped;
    } else if (m.cpu.QuitFlag) {
        std::fprintf(stderr,
                     "tamo-headless: the cartridge stopped the machine in frame %u; no save file "
                     "written\n",
                     host->frames_presented + 1);
        std::fprintf(stderr, "tamo-headless: it stopped at %s\n",
                     stopping_instruction(m, host->pc_written_by_stop).c_str());
        status = kExitMachineStopped;
    } else if (!machine_reset(m)) {
        host->print("error: ", "the save file '" + m.SaveFileName +
                                   "' could not be written: " + m.SaveFile.Error);
        status = kExitOutputFailed;
    }
    if (!screenshot.empty()) {
        std::string error;
        if (!write_screenshot(screenshot, host->last_frame.data(), error)) {
            host->print("error: ", "screenshot '" + screenshot + "' not written: " + error);
            if (status == kExitOk) status = kExitOutputFailed;
        }
    }
    return status;
}
