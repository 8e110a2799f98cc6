// Tamo.exe: the emulator as a Windows program. Start-up, the settings from .\Tamo.ini, the main
// window and its menu, the main loop (one scanline and one processor slice per pass, at most one
// message per window), and the boxes and dialogs that the emulation asks for.
#include <charconv>
#include <optional>
#include <string>

#include "cpu/cpu.h"
#include "frontend/frontend.h"
#include "frontend/window.h"
#include "machine.h"
#include "platform/common/gdb_server.h"
#include "platform/win32/resource.h"
#include "platform/win32/win32_host.h"

static_assert(IDM_RESET == kMenuReset && IDM_OPEN == kMenuOpen && IDM_SIZE1 == kMenuSize1 &&
              IDM_SIZE4 == kMenuSize4 && IDM_ROM_WRITE_ENABLE == kMenuRomWriteEnable);

namespace {

constexpr char kClassName[] = "Tamo-Emulator";
constexpr char kSettingsFile[] = ".\\Tamo.ini";
constexpr UINT kTitleTimer = 1;
constexpr DWORD kWindowStyle = WS_OVERLAPPEDWINDOW;  // 0x00CF0000
constexpr UINT kSizeFlags = SWP_NOMOVE | SWP_NOZORDER | SWP_NOOWNERZORDER;
// The loop looks at the queues on every scanline, 13,680 times a second: an empty look must not
// give the processor away (wine yields the time slice otherwise, and a busy computer then runs
// the game at a few frames a second).
constexpr UINT kPeek = PM_REMOVE | PM_NOYIELD;

// A setting from .\Tamo.ini; a missing key or a value that is not an integer keeps the default.
uint32_t read_setting(const char* key, uint32_t fallback) {
    char text[64];
    GetPrivateProfileStringA("Tamo", key, "", text, sizeof text, kSettingsFile);
    return parse_setting_integer(text).value_or(fallback);
}

Settings read_settings() {
    Settings s;
    s.DisplayFPS = int32_t(read_setting("DisplayFPS", uint32_t(s.DisplayFPS)));
    s.Breakpoint = read_setting("Breakpoint", s.Breakpoint);
    s.CountBreak = read_setting("CountBreak", s.CountBreak);
    s.ROMWriteEnable = read_setting("ROMWriteEnable", s.ROMWriteEnable) ? 1 : 0;
    s.WindowsEnabled = read_setting("DisableWindows", 0) == 0 ? 1 : 0;
    s.FrameLimit = read_setting("FrameLimit", s.FrameLimit) ? 1 : 0;
    return s;
}

constexpr char kUsage[] =
    "Usage: Tamo.exe [--gdb PORT [--gdb-wait]] [ROM]\r\n"
    "Plays a Game Boy Advance cartridge; without a ROM the open dialog asks for one.\r\n"
    "  --gdb PORT   serve gdb's remote protocol on 127.0.0.1:PORT (0: any free port);\r\n"
    "               a port in use ends the program with status 2; gdb's kill ends the\r\n"
    "               run without writing the save file\r\n"
    "  --gdb-wait   with --gdb: wait for gdb before the first instruction (the title\r\n"
    "               names the port)\r\n"
    "  --help       this text\r\n"
    "The options come first; the rest of the command line is the ROM's name.\r\n";

// Tamo.exe has no console: a text goes to the standard output or error that a command prompt or
// a script gave it, or else into a message box.
void tell(DWORD stream, const std::string& text) {
    HANDLE handle = GetStdHandle(stream);
    DWORD written = 0;
    if (handle && handle != INVALID_HANDLE_VALUE &&
        WriteFile(handle, text.data(), DWORD(text.size()), &written, nullptr))
        return;
    MessageBoxA(nullptr, text.c_str(), "Tamo", MB_OK);
}

struct CommandLine {
    std::string rom;
    std::optional<uint16_t> gdb_port;
    bool gdb_wait = false;
    bool help = false;
    std::string error;
};

// Options first (--gdb PORT, --gdb-wait, --help), then the ROM's name as the whole rest.
CommandLine parse_command_line(std::string_view text) {
    CommandLine line;
    auto next_word = [&text] {
        text.remove_prefix(std::min(text.find_first_not_of(' '), text.size()));
        std::string_view word = text.substr(0, text.find(' '));
        text.remove_prefix(word.size());
        return word;
    };
    while (text.substr(std::min(text.find_first_not_of(' '), text.size())).starts_with("--")) {
        std::string_view option = next_word();
        if (option == "--gdb") {
            std::string_view port = next_word();
            uint16_t value = 0;
            auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
            if (port.empty() || ec != std::errc() || end != port.data() + port.size())
                line.error = "--gdb: '" + std::string(port) + "' is not a port number";
            line.gdb_port = value;
        } else if (option == "--gdb-wait") {
            line.gdb_wait = true;
        } else if (option == "--help") {
            line.help = true;
        } else {
            line.error = "unknown option " + std::string(option);
        }
    }
    if (line.gdb_wait && !line.gdb_port) line.error = "--gdb-wait needs --gdb";
    if (line.gdb_port || line.gdb_wait || line.help)
        text.remove_prefix(std::min(text.find_first_not_of(' '), text.size()));
    line.rom = rom_name_from_command_line(text);
    return line;
}

struct Program {
    Win32Host& host;
    Machine& machine;
    bool running = false;  // from the start of the main loop to its end
    bool ended = false;    // the window was closed
};

void show_rom_write_enable(HWND window, const Machine& m) {
    CheckMenuItem(GetMenu(window), IDM_ROM_WRITE_ENABLE,
                  m.settings.ROMWriteEnable ? MF_CHECKED : MF_UNCHECKED);
}

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(l);
        SetWindowLongPtrA(window, GWLP_USERDATA, LONG_PTR(create->lpCreateParams));
    }
    auto* program = reinterpret_cast<Program*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!program) return DefWindowProcA(window, message, w, l);
    Machine& m = program->machine;
    switch (message) {
        case WM_COMMAND: {
            // A box opened by the emulation or the open dialog is running: the machine is in
            // the middle of something and must not be reset or reloaded now.
            if (program->host.modal()) return 0;
            uint32_t id = uint32_t(w);
            window_command(m, id);
            if (id >= IDM_SIZE1 && id <= IDM_SIZE4) {
                WindowSize size = window_outer_size(int(id - IDM_SIZE1) + 1);
                SetWindowPos(window, nullptr, 0, 0, size.width, size.height, kSizeFlags);
            }
            if (id == IDM_ROM_WRITE_ENABLE) show_rom_write_enable(window, m);
            return 0;
        }
        case WM_TIMER: SetWindowTextA(window, frame_rate_title(m).c_str()); return 0;
        case WM_CHAR: window_char(m, uint32_t(w)); return 0;
        case WM_CLOSE:
            if (program->host.modal()) return 0;
            break;
        case WM_DESTROY:
            // Closed by the user: the reset writes the save file. A run that the machine ended
            // itself (an emulation error, Quit, also one that gdb held) leaves the save file alone.
            if (program->running && !m.cpu.QuitFlag) window_destroyed(m);
            program->ended = true;
            PostQuitMessage(0);
            return 0;
        default: break;
    }
    return DefWindowProcA(window, message, w, l);
}

// A stop that ends the run while gdb is connected is reported to gdb first (gdb is looked at
// after every pass, its commands read once a frame), and the run goes on while gdb holds the
// processor there, unless the window is closed or Quit pressed.
void main_loop(Win32Host& host, Machine& m, HWND window, const Program& program, GdbServer& gdb) {
    MSG message;
    while (true) {
        if (HWND dialog = host.debugger_dialog()) {
            if (PeekMessageA(&message, dialog, 0, 0, kPeek)) IsDialogMessageA(dialog, &message);
        }
        if (PeekMessageA(&message, window, 0, 0, kPeek)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (program.ended || host.quit_pressed()) break;
        main_loop_pass(m);
        gdb.serve(m, m.video.VCOUNT == 0);
        if (m.cpu.QuitFlag && !gdb.holding()) break;
    }
}

// --gdb-wait: no instruction runs before gdb has connected; the window can be closed meanwhile.
void wait_for_gdb(Machine& m, HWND window, const Program& program, GdbServer& gdb) {
    SetWindowTextA(window,
                   format_message("Tamo - waiting for gdb on 127.0.0.1:%u", gdb.port()).c_str());
    MSG message;
    while (!gdb.connected() && !program.ended) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        gdb.wait(m, 16);
    }
}

int run(HINSTANCE instance, const char* text) {
    CommandLine command_line = parse_command_line(text ? text : "");
    if (!command_line.error.empty()) {
        tell(STD_ERROR_HANDLE, "Tamo.exe: " + command_line.error + "\r\n" + kUsage);
        return 2;
    }
    if (command_line.help) {
        tell(STD_OUTPUT_HANDLE, kUsage);
        return 0;
    }
    GdbServer gdb;
    if (command_line.gdb_port) {
        std::string error;
        if (!gdb.listen(*command_line.gdb_port, error)) {
            tell(STD_ERROR_HANDLE, "Tamo.exe: --gdb: " + error + "\r\n");
            return 2;
        }
        std::string listening =
            format_message("Tamo.exe: gdb: listening on 127.0.0.1:%u\r\n", gdb.port());
        HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
        DWORD written = 0;
        if (err && err != INVALID_HANDLE_VALUE)
            WriteFile(err, listening.data(), DWORD(listening.size()), &written, nullptr);
    }
    const std::string& rom_name = command_line.rom;
    Win32Host host(instance);
    Machine machine(host);
    host.attach(machine);
    host.attach_gdb(gdb);
    machine.settings = read_settings();
    host.set_frame_limit(machine.settings.FrameLimit != 0);
    Program program{host, machine};

    WNDCLASSEXA window_class = {};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = window_procedure;
    window_class.hInstance = instance;
    window_class.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_TAMO));
    window_class.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    window_class.lpszMenuName = MAKEINTRESOURCEA(IDR_MENU);
    window_class.lpszClassName = kClassName;
    RegisterClassExA(&window_class);

    WindowSize size = window_outer_size(1);
    HWND window = CreateWindowExA(0, kClassName, "Tamo", kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                                  size.width, size.height, nullptr, nullptr, instance, &program);
    if (!window) return 1;
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);

    if (!host.display_init(window)) return 1;
    show_rom_write_enable(window, machine);

    if (!rom_load(machine, rom_name, false) && !rom_open_dialog(machine)) {
        host.display_release();
        return 1;
    }
    cpu_reset(machine, kCartridgeEntry);
    program.running = true;
    if (command_line.gdb_wait) wait_for_gdb(machine, window, program, gdb);
    SetTimer(window, kTitleTimer, 1000, nullptr);
    host.keyboard_init(window);

    main_loop(host, machine, window, program, gdb);
    program.running = false;
    gdb.finish(program.ended ? 0 : 1);

    host.keyboard_release();
    host.display_release();
    machine.RomImage.reset();
    machine.RomSize = 0;
    return 1;
}

}  // namespace

void Win32Host::message_box(std::string_view caption, std::string_view text) {
    ++modal_;
    MessageBoxA(nullptr, std::string(text).c_str(), std::string(caption).c_str(), MB_OK);
    --modal_;
}

bool Win32Host::ask_yes_no(std::string_view caption, std::string_view text) {
    ++modal_;
    int answer =
        MessageBoxA(nullptr, std::string(text).c_str(), std::string(caption).c_str(), MB_YESNO);
    --modal_;
    return answer == IDYES;
}

void Win32Host::debug_output(std::string_view line) {
    OutputDebugStringA(std::string(line).c_str());
}

// The system's open dialog. It leaves the chosen file's folder as the working folder, so the bare
// name opens the file and its save file lands beside it.
std::string Win32Host::choose_rom_file() {
    static constexpr char kFilter[] =
        "Gameboy Advance Rom (*.bin;*.gba;*.agb)\0*.bin;*.gba;*.agb\0Tous (*.*)\0*.*\0";
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    dialog.lpstrFilter = kFilter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path_;
    dialog.nMaxFile = sizeof path_;
    dialog.lpstrFileTitle = file_name_;
    dialog.nMaxFileTitle = sizeof file_name_;
    dialog.Flags = OFN_CREATEPROMPT;
    ++modal_;
    BOOL chosen = GetOpenFileNameA(&dialog);
    --modal_;
    return chosen ? std::string(file_name_) : std::string();
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int) {
    // One copy at a time: a second start ends at once, silently.
    HANDLE mutex = CreateMutexA(nullptr, FALSE, "TAMOdx");
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        if (mutex) CloseHandle(mutex);
        return 0;
    }
    int status = run(instance, command_line);
    if (mutex) {
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    }
    return status;
}
