#include "frontend/window.h"

#include "debugger/debugger.h"
#include "frontend/frontend.h"
#include "machine.h"

WindowSize window_outer_size(int n) {
    return {240 * n + 8, 160 * n + 46};
}

bool window_command(Machine& m, uint32_t id) {
    switch (id) {
        case kMenuReset: machine_reset(m); return true;
        case kMenuOpen: rom_open_dialog(m); return true;
        case kMenuRomWriteEnable:
            m.settings.ROMWriteEnable = m.settings.ROMWriteEnable ? 0 : 1;
            return true;
        default: return id >= kMenuBreak && id <= kMenuSize4;
    }
}

bool rom_open_dialog(Machine& m) {
    std::string name = m.host->choose_rom_file();
    if (name.empty()) return false;
    return rom_load(m, name, true);
}

std::string frame_rate_title(Machine& m) {
    std::string title = format_message("Tamo : %d fps", int32_t(m.video.FrameCounter));
    m.video.FrameCounter = 0;
    return title;
}

void window_char(Machine& m, uint32_t character) {
    if ((character & 0xFF) == 'D') debugger_request(m);
}

bool window_destroyed(Machine& m) {
    bool saved = machine_reset(m);
    m.cpu.QuitFlag = 1;  // after the reset, which clears it
    return saved;
}
