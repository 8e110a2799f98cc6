// The Windows program's host: the main window, DirectDraw presentation, the DirectInput keyboard,
// message boxes, the debug output, the open dialog and the modeless debugger dialog.
#pragma once

#define DIRECTINPUT_VERSION 0x0500
#include <windows.h>

// These build on windows.h's types.
#include <commctrl.h>
#include <commdlg.h>
#include <ddraw.h>
#include <dinput.h>
#include <mmsystem.h>

#include <cstdint>
#include <vector>

#include "frontend/host.h"
#include "frontend/pacer.h"

struct Machine;
class GdbServer;

class Win32Host : public Host {
  public:
    explicit Win32Host(HINSTANCE instance) : instance_(instance) {}
    ~Win32Host() override;
    void attach(Machine& m) { machine_ = &m; }
    // --gdb: the waits between frames answer gdb.
    void attach_gdb(GdbServer& gdb) { gdb_ = &gdb; }

    // DirectDraw in windowed mode: a primary surface clipped to the window and a 256x160 back
    // surface in the desktop's format. False after a failure, whose message has been shown.
    bool display_init(HWND window);
    void display_release();
    // The DirectInput keyboard; false when it cannot be used (the keypad then stays released).
    bool keyboard_init(HWND window);
    void keyboard_release();
    void set_frame_limit(bool on) { pacer_ = FramePacer(on); }

    // True while a modal box or dialog runs from inside the emulation: the main window then takes
    // no menu command and does not close, so that the machine is never reset under itself.
    bool modal() const { return modal_ > 0; }
    HWND debugger_dialog() const { return dialog_; }
    // The debugger's Quit was pressed.
    bool quit_pressed() const { return quit_pressed_; }

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
    static INT_PTR CALLBACK dialog_procedure(HWND dialog, UINT message, WPARAM w, LPARAM l);
    void create_dialog();
    bool display_fail(const char* text);
    bool restore_surfaces();
    void blit();
    void pace();
    void show_dialog();

    HINSTANCE instance_;
    Machine* machine_ = nullptr;
    GdbServer* gdb_ = nullptr;
    int modal_ = 0;
    bool quit_pressed_ = false;

    HWND window_ = nullptr;
    IDirectDraw* direct_draw_ = nullptr;
    IDirectDrawSurface* primary_ = nullptr;
    IDirectDrawSurface* back_ = nullptr;
    // The machine draws each line here, in the desktop's format; every frame is copied into the
    // back surface under a lock, so the picture survives lost surfaces and drivers that keep the
    // surface elsewhere than in the memory a set-up lock showed.
    std::vector<uint8_t> frame_;
    int32_t frame_pitch_ = 0;
    FramePacer pacer_;
    bool fine_timer_ = false;  // the system timer runs at 1 ms while the display is up

    IDirectInputA* input_ = nullptr;
    IDirectInputDeviceA* keyboard_ = nullptr;
    uint8_t key_state_[256] = {};

    HWND dialog_ = nullptr;
    bool dialog_wanted_ = false;  // the debugger's view is up: the dialog follows once a frame

    // The open dialog's buffers live for the whole run, so that the next dialog opens at the
    // previous choice.
    char path_[260] = {};
    char file_name_[516] = {};
};
