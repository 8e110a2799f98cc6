// The desktop program: the main window with its menu bar and picture, the debugger window, the
// keyboard and game controllers, and the main loop around the core.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "frontend/host.h"
#include "frontend/pacer.h"
#include "platform/common/gdb_server.h"
#include "platform/sdl/debugger_window.h"

struct Machine;
struct ImGuiContext;
struct ImFont;

struct AppOptions {
    std::string rom;
    std::string ini = "Tamo.ini";
    int scale = 1;
    bool fullscreen = false;
    bool debug_output = false;
    std::optional<uint16_t> gdb_port;
    bool gdb_wait = false;
};

// An SDL window with its renderer and its own ImGui context.
struct UiWindow {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    ImGuiContext* context = nullptr;
    ImFont* mono = nullptr;  // the fixed-width font for numbers
    uint32_t id = 0;
};

class App : public Host {
  public:
    explicit App(AppOptions options);
    ~App() override;

    // Start-up, the main loop and shutdown; returns the exit status.
    int run();

    void message_box(std::string_view caption, std::string_view text) override;
    bool ask_yes_no(std::string_view caption, std::string_view text) override;
    void debug_output(std::string_view line) override;
    void present() override;
    bool read_keyboard(uint8_t (&state)[256]) override;
    void debugger_show() override;
    void debugger_hide() override;
    void debugger_refresh() override;
    std::string choose_rom_file() override;

  private:
    bool display_init();
    bool create_ui_window(UiWindow& w, const char* title, int width, int height, uint32_t flags);
    void destroy_ui_window(UiWindow& w);
    void end_of_frame();
    void handle_events();
    void handle_event(const SDL_Event& event);
    bool idle_while_modal();
    void wait_for_gdb();
    void show_debugger_window();
    void draw_main_window();
    void draw_debugger_window();
    void apply_menu_command(uint32_t id);
    void set_scale(int n);
    void save_screenshot();
    void close_main_window();
    int menu_bar_height() const { return menu_bar_height_; }

    AppOptions options_;
    std::unique_ptr<Machine> machine_;
    std::vector<uint32_t> surface_ = std::vector<uint32_t>(256 * 160);
    UiWindow main_;
    UiWindow debugger_;
    SDL_Texture* picture_ = nullptr;
    DebuggerWindow debugger_view_;
    FramePacer pacer_;
    GdbServer gdb_;
    std::vector<SDL_GameController*> controllers_;

    int menu_bar_height_ = 23;
    bool frame_presented_ = false;
    bool close_requested_ = false;
    bool user_ended_ = false;
    bool save_failed_ = false;
    bool debugger_wanted_ = false;  // the debugger's view is up: the window follows once a frame
    uint32_t pending_command_ = 0;
    DebuggerAction pending_action_ = DebuggerAction::None;
    uint64_t next_title_ = 0;
    uint64_t last_draw_ = 0;
    std::string last_chosen_;
};
