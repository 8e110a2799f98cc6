#include "platform/sdl/app.h"

#include <backends/imgui_impl_sdl.h>
#include <imgui.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "cpu/cpu.h"
#include "debugger/debugger.h"
#include "frontend/frontend.h"
#include "frontend/settings.h"
#include "frontend/window.h"
#include "input/keypad.h"
#include "machine.h"
#include "platform/headless/headless_host.h"
#include "platform/headless/screenshot.h"
#include "platform/sdl/file_chooser.h"
#include "platform/sdl/imgui_renderer.h"

namespace {

constexpr const char* kUiFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr const char* kMonoFont = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";
constexpr float kUiFontSize = 15;
constexpr float kFramePaddingY = 4;
constexpr int kDebuggerWidth = 780;
constexpr int kDebuggerHeight = 620;

// The fixed key map, from the keys' positions (SDL scancodes, like the codes of the key map):
// the right Ctrl key, the keypad's Enter and the keypad's arrows are other keys.
struct KeyBinding {
    SDL_Scancode scancode;
    uint8_t key;
};
constexpr KeyBinding kKeyboardMap[] = {
    {SDL_SCANCODE_SPACE, kKeySpace},
    {SDL_SCANCODE_TAB, kKeyTab},
    {SDL_SCANCODE_LCTRL, kKeyLeftControl},
    {SDL_SCANCODE_RETURN, kKeyReturn},
    {SDL_SCANCODE_RIGHT, kKeyRight},
    {SDL_SCANCODE_LEFT, kKeyLeft},
    {SDL_SCANCODE_UP, kKeyUp},
    {SDL_SCANCODE_DOWN, kKeyDown},
    {SDL_SCANCODE_W, kKeyW},
    {SDL_SCANCODE_Q, kKeyQ},
};
// Hotkeys, none of them a console key.
constexpr SDL_Scancode kFastForwardKey = SDL_SCANCODE_F;  // held
constexpr SDL_Keycode kScreenshotKey = SDLK_F12;
constexpr SDL_Keycode kFullscreenKey = SDLK_F11;

struct ButtonBinding {
    SDL_GameControllerButton button;
    uint8_t key;
};
constexpr ButtonBinding kControllerMap[] = {
    {SDL_CONTROLLER_BUTTON_A, kKeySpace},          {SDL_CONTROLLER_BUTTON_B, kKeyTab},
    {SDL_CONTROLLER_BUTTON_BACK, kKeyLeftControl}, {SDL_CONTROLLER_BUTTON_START, kKeyReturn},
    {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, kKeyRight}, {SDL_CONTROLLER_BUTTON_DPAD_LEFT, kKeyLeft},
    {SDL_CONTROLLER_BUTTON_DPAD_UP, kKeyUp},       {SDL_CONTROLLER_BUTTON_DPAD_DOWN, kKeyDown},
    {SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, kKeyW},  {SDL_CONTROLLER_BUTTON_LEFTSHOULDER, kKeyQ},
};
constexpr int16_t kStickThreshold = 16000;

int64_t now_ns() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool file_exists(const char* path) {
    return access(path, R_OK) == 0;
}

uint32_t event_window(const SDL_Event& e) {
    switch (e.type) {
        case SDL_WINDOWEVENT: return e.window.windowID;
        case SDL_KEYDOWN:
        case SDL_KEYUP: return e.key.windowID;
        case SDL_TEXTINPUT: return e.text.windowID;
        case SDL_TEXTEDITING: return e.edit.windowID;
        case SDL_MOUSEMOTION: return e.motion.windowID;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: return e.button.windowID;
        case SDL_MOUSEWHEEL: return e.wheel.windowID;
        default: return 0;
    }
}

void show_box(uint32_t flags, std::string_view caption, std::string_view text) {
    std::string title(caption);
    std::string body = windows1252_to_utf8(text);
    if (SDL_ShowSimpleMessageBox(flags, title.c_str(), body.c_str(), nullptr) != 0)
        std::fprintf(stderr, "tamo: %s: %s\n", title.c_str(), body.c_str());
}

}  // namespace

App::App(AppOptions options)
    : options_(std::move(options)), machine_(std::make_unique<Machine>(*this)) {}

App::~App() {
    for (SDL_GameController* c : controllers_) SDL_GameControllerClose(c);
    if (picture_) SDL_DestroyTexture(picture_);
    destroy_ui_window(debugger_);
    destroy_ui_window(main_);
    SDL_Quit();
}

bool App::create_ui_window(UiWindow& w, const char* title, int width, int height, uint32_t flags) {
    int x = flags & SDL_WINDOW_HIDDEN ? 0 : int(SDL_WINDOWPOS_UNDEFINED);
    w.window = SDL_CreateWindow(title, x, x, width, height, flags);
    if (!w.window) return false;
    w.id = SDL_GetWindowID(w.window);
    w.renderer = SDL_CreateRenderer(w.window, -1, 0);
    if (!w.renderer) return false;
    w.context = ImGui::CreateContext();
    ImGui::SetCurrentContext(w.context);
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr;
    ImGui::StyleColorsDark();
    ImGuiStyle& style = ImGui::GetStyle();
    style.WindowRounding = 0;
    style.FramePadding = ImVec2(6, kFramePaddingY);
    style.ItemSpacing = ImVec2(8, 6);
    style.FrameRounding = 2;
    if (file_exists(kUiFont) && file_exists(kMonoFont)) {
        io.Fonts->AddFontFromFileTTF(kUiFont, kUiFontSize);
        w.mono = io.Fonts->AddFontFromFileTTF(kMonoFont, kUiFontSize - 1);
    } else {
        w.mono = io.Fonts->AddFontDefault();
    }
    ImGui_ImplSDL2_InitForSDLRenderer(w.window);
    return imgui_renderer_init(w.renderer);
}

void App::destroy_ui_window(UiWindow& w) {
    if (w.context) {
        ImGui::SetCurrentContext(w.context);
        imgui_renderer_shutdown();
        ImGui_ImplSDL2_Shutdown();
        ImGui::DestroyContext(w.context);
    }
    if (w.renderer) SDL_DestroyRenderer(w.renderer);
    if (w.window) SDL_DestroyWindow(w.window);
    w = UiWindow{};
}

// The presentation set-up: a renderer for the window and a 256x160 picture texture in a
// true-colour format, into which the scanline driver writes each line.
bool App::display_init() {
    Machine& m = *machine_;
    if (!main_.renderer || !main_.context) {
        show_box(SDL_MESSAGEBOX_ERROR, "Tamo-Emulator", "Can't create Primary Surface\n");
        return false;
    }
    if (SDL_BITSPERPIXEL(SDL_GetWindowPixelFormat(main_.window)) < 16) {
        show_box(SDL_MESSAGEBOX_ERROR, "Tamo-Emulator", "Need a truecolor desktop to work.");
        return false;
    }
    picture_ = SDL_CreateTexture(main_.renderer, SDL_PIXELFORMAT_RGB888,
                                 SDL_TEXTUREACCESS_STREAMING, kSurfaceWidth, kScreenHeight);
    if (!picture_) {
        show_box(SDL_MESSAGEBOX_ERROR, "Tamo-Emulator", "Can't Create Back Surface");
        return false;
    }
    SDL_SetTextureScaleMode(picture_, SDL_ScaleModeNearest);
    display_attach(m, reinterpret_cast<uint8_t*>(surface_.data()), kSurfaceWidth * 4, 4, 0xFF0000,
                   0x00FF00, 0x0000FF);
    SDL_UpdateTexture(picture_, nullptr, surface_.data(), kSurfaceWidth * 4);
    return true;
}

int App::run() {
    Machine& m = *machine_;
    m.settings = settings_load(options_.ini);
    pacer_ = FramePacer(m.settings.FrameLimit != 0);
    if (options_.gdb_port) {
        std::string error;
        if (!gdb_.listen(*options_.gdb_port, error)) {
            std::fprintf(stderr, "tamo: --gdb: %s\n", error.c_str());
            return 2;
        }
        std::fprintf(stderr, "tamo: gdb: listening on 127.0.0.1:%u\n", gdb_.port());
    }

    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    // Without a display SDL falls back on its drivers that draw nowhere: that is no display for
    // a player, unless asked for by name.
    bool initialised = SDL_Init(SDL_INIT_VIDEO | SDL_INIT_GAMECONTROLLER) == 0;
    const char* driver = initialised ? SDL_GetCurrentVideoDriver() : nullptr;
    bool nowhere =
        driver && (std::string_view(driver) == "offscreen" || std::string_view(driver) == "dummy");
    if (!initialised || (nowhere && !SDL_getenv("SDL_VIDEODRIVER"))) {
        std::fprintf(stderr,
                     "tamo: no display to open a window on (%s).\n"
                     "tamo: start it on a desktop (DISPLAY or WAYLAND_DISPLAY set), or run "
                     "tamo-headless.\n",
                     initialised ? "only an off-screen video driver" : SDL_GetError());
        return 1;
    }
    menu_bar_height_ = int((file_exists(kUiFont) && file_exists(kMonoFont) ? kUiFontSize : 13) +
                           2 * kFramePaddingY);
    int n = std::clamp(options_.scale, 1, 4);
    uint32_t flags =
        SDL_WINDOW_RESIZABLE | (options_.fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
    create_ui_window(main_, "Tamo", kScreenWidth * n, kScreenHeight * n + menu_bar_height_, flags);
    if (!main_.window) {
        std::fprintf(stderr, "tamo: cannot open a window: %s\n", SDL_GetError());
        return 1;
    }
    SDL_SetWindowMinimumSize(main_.window, kScreenWidth, kScreenHeight + menu_bar_height_);
    if (!display_init()) return 1;
    draw_main_window();

    if (!rom_load(m, options_.rom, false) && !rom_open_dialog(m)) return 1;
    cpu_reset(m, kCartridgeEntry);
    if (options_.gdb_wait) wait_for_gdb();
    next_title_ = SDL_GetTicks64() + 1000;

    // A stop that ends the run while gdb is connected is reported to gdb first, and the run goes
    // on while gdb holds the processor there, unless the user ends it.
    while (!m.cpu.QuitFlag || (!user_ended_ && !close_requested_ && gdb_.holding())) {
        main_loop_pass(m);
        gdb_.serve(m, false);
        if (frame_presented_) {
            frame_presented_ = false;
            end_of_frame();
        }
    }
    if (gdb_.killed()) std::fputs("tamo: killed from gdb; no save file written\n", stderr);
    int status = user_ended_ && !save_failed_ ? 0 : 1;
    gdb_.finish(status);
    return status;
}

// --gdb-wait: no instruction runs before gdb has connected; the window is drawn and can be closed
// meanwhile (its menus do nothing yet).
void App::wait_for_gdb() {
    std::string title = format_message("Tamo - waiting for gdb on 127.0.0.1:%u", gdb_.port());
    SDL_SetWindowTitle(main_.window, title.c_str());
    while (!gdb_.connected() && !close_requested_) {
        handle_events();
        draw_main_window();
        pending_command_ = 0;
        gdb_.wait(*machine_, 16);
    }
    if (close_requested_) close_main_window();
}

void App::end_of_frame() {
    Machine& m = *machine_;
    handle_events();
    if (close_requested_) {
        close_main_window();
        return;
    }
    gdb_.serve(m, true);
    show_debugger_window();
    uint64_t ticks = SDL_GetTicks64();
    if (ticks >= next_title_) {
        SDL_SetWindowTitle(main_.window, frame_rate_title(m).c_str());
        next_title_ = std::max(next_title_ + 1000, ticks + 1);
    }

    bool fast = false;
    if (SDL_GetKeyboardFocus() == main_.window) {
        fast = SDL_GetKeyboardState(nullptr)[kFastForwardKey];
        for (SDL_GameController* c : controllers_) {
            fast |=
                SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_TRIGGERRIGHT) > kStickThreshold;
        }
    }
    pacer_.set_fast_forward(fast);

    // Paced, every frame is shown; unpaced, the screen shows at most sixty of them a second.
    if ((pacer_.enabled() && !fast) || ticks - last_draw_ >= 16) {
        last_draw_ = ticks;
        draw_main_window();
        if (debugger_.window && (SDL_GetWindowFlags(debugger_.window) & SDL_WINDOW_SHOWN))
            draw_debugger_window();
    }

    if (pending_command_) {
        uint32_t id = pending_command_;
        pending_command_ = 0;
        apply_menu_command(id);
    }
    DebuggerAction action = pending_action_;
    pending_action_ = DebuggerAction::None;
    switch (action) {
        case DebuggerAction::None: break;
        case DebuggerAction::StepIn: debugger_step_in(m); break;
        case DebuggerAction::StepOver: debugger_step_over(m); break;
        case DebuggerAction::Continue: debugger_continue(m); break;
        case DebuggerAction::Quit:
            user_ended_ = true;
            debugger_quit(m);
            break;
        case DebuggerAction::Up: debugger_up(m); break;
        case DebuggerAction::Down: debugger_down(m); break;
    }

    int64_t wait = pacer_.frame_done(now_ns());
    if (wait > 0 && gdb_.listening()) {
        gdb_.pause(m, wait);
    } else if (wait > 0) {
        std::this_thread::sleep_for(std::chrono::nanoseconds(wait));
    }
}

// The debugger window follows the debugger's view once a frame, so that gdb's steps (each hides
// the view and shows it again) leave it standing. While gdb is connected it is not raised: the
// keyboard stays with gdb.
void App::show_debugger_window() {
    if (!debugger_.window) return;
    bool shown = SDL_GetWindowFlags(debugger_.window) & SDL_WINDOW_SHOWN;
    if (debugger_wanted_ && !shown) {
        SDL_ShowWindow(debugger_.window);
        if (!gdb_.connected()) SDL_RaiseWindow(debugger_.window);
    } else if (!debugger_wanted_ && shown) {
        SDL_HideWindow(debugger_.window);
    }
}

void App::handle_events() {
    SDL_Event event;
    while (SDL_PollEvent(&event)) handle_event(event);
}

void App::handle_event(const SDL_Event& event) {
    Machine& m = *machine_;
    uint32_t window = event_window(event);
    if (window != 0 && (window == main_.id || window == debugger_.id)) {
        ImGui::SetCurrentContext(window == main_.id ? main_.context : debugger_.context);
        ImGui_ImplSDL2_ProcessEvent(&event);
    }
    switch (event.type) {
        case SDL_QUIT: close_requested_ = true; break;
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
                if (window == main_.id) close_requested_ = true;
                if (window == debugger_.id) pending_action_ = DebuggerAction::Continue;
            }
            break;
        case SDL_TEXTINPUT:
            if (window == main_.id) {
                for (const char* c = event.text.text; *c; ++c) window_char(m, uint8_t(*c));
            }
            break;
        case SDL_KEYDOWN:
            if (window != main_.id || event.key.repeat) break;
            if (event.key.keysym.sym == kScreenshotKey) save_screenshot();
            if (event.key.keysym.sym == kFullscreenKey) {
                bool full = SDL_GetWindowFlags(main_.window) & SDL_WINDOW_FULLSCREEN_DESKTOP;
                SDL_SetWindowFullscreen(main_.window, full ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
            }
            break;
        case SDL_DROPFILE:
            // A ROM dropped on the window loads as one chosen with Open... does.
            rom_load(m, event.drop.file, true);
            SDL_free(event.drop.file);
            break;
        case SDL_CONTROLLERDEVICEADDED:
            if (SDL_GameController* c = SDL_GameControllerOpen(event.cdevice.which))
                controllers_.push_back(c);
            break;
        case SDL_CONTROLLERDEVICEREMOVED:
            for (size_t i = 0; i < controllers_.size(); ++i) {
                SDL_Joystick* stick = SDL_GameControllerGetJoystick(controllers_[i]);
                if (SDL_JoystickInstanceID(stick) == event.cdevice.which) {
                    SDL_GameControllerClose(controllers_[i]);
                    controllers_.erase(controllers_.begin() + long(i));
                    break;
                }
            }
            break;
        default: break;
    }
}

// While a file chooser runs, the windows keep being drawn; nothing reaches the program but a
// close, which also ends the chooser.
bool App::idle_while_modal() {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_QUIT ||
            (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE &&
             event.window.windowID == main_.id))
            close_requested_ = true;
    }
    draw_main_window();
    pending_command_ = 0;
    SDL_Delay(16);
    return !close_requested_;
}

void App::draw_main_window() {
    Machine& m = *machine_;
    ImGui::SetCurrentContext(main_.context);
    ImGui_ImplSDL2_NewFrame();
    ImGui::NewFrame();
    if (ImGui::BeginMainMenuBar()) {
        if (ImGui::BeginMenu("File")) {
            if (ImGui::MenuItem("Open...")) pending_command_ = kMenuOpen;
            if (ImGui::MenuItem("Reset")) pending_command_ = kMenuReset;
            ImGui::Separator();
            ImGui::MenuItem("Exit", nullptr, false, false);
            ImGui::EndMenu();
        }
        if (ImGui::BeginMenu("Size")) {
            for (int n = 1; n <= 4; ++n) {
                char label[16];
                std::snprintf(label, sizeof label, "x %d", n);
                if (ImGui::MenuItem(label)) pending_command_ = kMenuSize1 + uint32_t(n - 1);
            }
            ImGui::EndMenu();
        }
        if (ImGui::BeginMenu("Special")) {
            if (ImGui::MenuItem("ROM Write Enable", nullptr, m.settings.ROMWriteEnable != 0))
                pending_command_ = kMenuRomWriteEnable;
            ImGui::EndMenu();
        }
        ImGui::EndMainMenuBar();
    }
    ImGui::Render();

    SDL_SetRenderDrawColor(main_.renderer, 0, 0, 0, 255);
    SDL_RenderClear(main_.renderer);
    // The picture fills the room below the menu bar as far as its shape allows, each console
    // pixel a block of whole screen pixels where the size is a whole multiple.
    int width = 0, height = 0;
    SDL_GetRendererOutputSize(main_.renderer, &width, &height);
    int room = std::max(height - menu_bar_height_, 1);
    double scale = std::min(double(width) / kScreenWidth, double(room) / kScreenHeight);
    int w = int(kScreenWidth * scale + 0.5), h = int(kScreenHeight * scale + 0.5);
    SDL_Rect source{0, 0, kScreenWidth, kScreenHeight};
    SDL_Rect target{(width - w) / 2, menu_bar_height_ + (room - h) / 2, w, h};
    SDL_RenderCopy(main_.renderer, picture_, &source, &target);
    imgui_renderer_draw(main_.renderer, ImGui::GetDrawData());
    SDL_RenderPresent(main_.renderer);
}

void App::draw_debugger_window() {
    ImGui::SetCurrentContext(debugger_.context);
    ImGui_ImplSDL2_NewFrame();
    ImGui::NewFrame();
    DebuggerAction action = debugger_view_.draw(*machine_, debugger_.mono);
    if (action != DebuggerAction::None) pending_action_ = action;
    ImGui::Render();
    SDL_SetRenderDrawColor(debugger_.renderer, 0, 0, 0, 255);
    SDL_RenderClear(debugger_.renderer);
    imgui_renderer_draw(debugger_.renderer, ImGui::GetDrawData());
    SDL_RenderPresent(debugger_.renderer);
}

void App::apply_menu_command(uint32_t id) {
    if (id >= kMenuSize1 && id <= kMenuSize4) {
        set_scale(int(id - kMenuSize1) + 1);
        return;
    }
    window_command(*machine_, id);
}

// The Size menu: the picture area becomes n times the console's screen, below the menu bar.
void App::set_scale(int n) {
    if (SDL_GetWindowFlags(main_.window) & SDL_WINDOW_FULLSCREEN_DESKTOP)
        SDL_SetWindowFullscreen(main_.window, 0);
    if (SDL_GetWindowFlags(main_.window) & SDL_WINDOW_MAXIMIZED) SDL_RestoreWindow(main_.window);
    SDL_SetWindowSize(main_.window, kScreenWidth * n, kScreenHeight * n + menu_bar_height_);
}

// The screenshot hotkey: the picture as it stands, beside the ROM, numbered from 1.
void App::save_screenshot() {
    std::string base = machine_->SaveFileName;
    if (base.size() > 4 && base.compare(base.size() - 4, 4, ".sav") == 0)
        base.resize(base.size() - 4);
    std::string path;
    for (int n = 1;; ++n) {
        path = base + "-" + std::to_string(n) + ".png";
        if (access(path.c_str(), F_OK) != 0) break;
    }
    std::string error;
    if (write_screenshot(path, surface_.data(), error)) {
        std::fprintf(stderr, "tamo: screenshot %s\n", path.c_str());
    } else {
        show_box(SDL_MESSAGEBOX_ERROR, "Tamo", "Screenshot '" + path + "' not written: " + error);
    }
}

// Closing the window (or the desktop asking the program to end) resets the machine, which
// writes the save file, and ends the run. After a stop that ended the run and that gdb held,
// closing ends the run as that stop ends it: status 1 and no save file.
void App::close_main_window() {
    Machine& m = *machine_;
    if (m.cpu.QuitFlag) return;
    user_ended_ = true;
    if (!window_destroyed(m)) {
        save_failed_ = true;
        show_box(SDL_MESSAGEBOX_ERROR, "Tamo",
                 "The save file '" + m.SaveFileName + "' could not be written.");
    }
}

void App::message_box(std::string_view caption, std::string_view text) {
    show_box(caption == "Tamo-Emulator" ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_WARNING, caption,
             text);
}

bool App::ask_yes_no(std::string_view caption, std::string_view text) {
    std::string title(caption);
    std::string body = windows1252_to_utf8(text);
    const SDL_MessageBoxButtonData buttons[] = {
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "No"},
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Yes"},
    };
    SDL_MessageBoxData box{
        SDL_MESSAGEBOX_WARNING, nullptr, title.c_str(), body.c_str(), 2, buttons, nullptr};
    int answer = 0;
    if (SDL_ShowMessageBox(&box, &answer) != 0) {
        std::fprintf(stderr, "tamo: %s: %s [answered yes]\n", title.c_str(), body.c_str());
        return true;
    }
    return answer == 1;
}

void App::debug_output(std::string_view line) {
    if (options_.debug_output) {
        std::string text = windows1252_to_utf8(line);
        std::fprintf(stderr, "debug: %s\n", text.c_str());
    }
}

void App::present() {
    SDL_UpdateTexture(picture_, nullptr, surface_.data(), kSurfaceWidth * 4);
    frame_presented_ = true;
}

bool App::read_keyboard(uint8_t (&state)[256]) {
    // Keys count only while the main window has the keyboard.
    if (!main_.window || SDL_GetKeyboardFocus() != main_.window) return false;
    std::fill(std::begin(state), std::end(state), 0);
    const uint8_t* keys = SDL_GetKeyboardState(nullptr);
    for (const KeyBinding& b : kKeyboardMap) {
        if (keys[b.scancode]) state[b.key] = 0x80;
    }
    for (SDL_GameController* c : controllers_) {
        for (const ButtonBinding& b : kControllerMap) {
            if (SDL_GameControllerGetButton(c, b.button)) state[b.key] = 0x80;
        }
        int16_t x = SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_LEFTX);
        int16_t y = SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_LEFTY);
        if (x > kStickThreshold) state[kKeyRight] = 0x80;
        if (x < -kStickThreshold) state[kKeyLeft] = 0x80;
        if (y > kStickThreshold) state[kKeyDown] = 0x80;
        if (y < -kStickThreshold) state[kKeyUp] = 0x80;
    }
    return true;
}

void App::debugger_show() {
    if (!debugger_.window &&
        !create_ui_window(debugger_, "Tamo Debugger", kDebuggerWidth, kDebuggerHeight,
                          SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE)) {
        std::fprintf(stderr, "tamo: cannot open the debugger window: %s\n", SDL_GetError());
        destroy_ui_window(debugger_);
        pending_action_ = DebuggerAction::Continue;
        return;
    }
    debugger_wanted_ = true;
}

void App::debugger_hide() {
    debugger_wanted_ = false;
}

void App::debugger_refresh() {
    debugger_view_.refresh(machine_->debugger.Model);
}

std::string App::choose_rom_file() {
    ChooserResult result = choose_rom_path(last_chosen_, [this] { return idle_while_modal(); });
    if (!result.error.empty()) {
        message_box("Tamo", result.error);
        return {};
    }
    if (!result.path.empty()) last_chosen_ = result.path;
    return result.path;
}
