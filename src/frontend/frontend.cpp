#include "frontend/frontend.h"

#include <cstdio>

#include "debugger/debugger.h"
#include "input/keypad.h"
#include "machine.h"
#include "memory/bus.h"
#include "memory/save_file.h"

std::string format_message(const char* format, ...) {
    char buffer[kMessageBufferSize];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n < 0) return {};
    return buffer;
}

namespace {

// Returns true when the save memory was written to its file and cleared.
bool machine_reset_steps(Machine& m) {
    cpu_reset(m, kCartridgeEntry);
    debugger_reset(m);
    video_reset(m);
    oam_reset(m);
    bool cleared = memory_reset(m);
    interrupt_registers_reset(m);
    return cleared;
}

}  // namespace

bool machine_reset(Machine& m) {
    // The save memory was written and cleared: read it back, as a ROM load does, so the next write
    // of the save file keeps the stored save.
    bool cleared = machine_reset_steps(m);
    if (cleared && !m.SaveFileName.empty()) save_file_read(m);
    return cleared;
}

// The ROM load resets the machine while the previous cartridge's save file name is still set, and
// reads the new cartridge's save file itself afterwards.
void machine_reset_for_load(Machine& m) {
    machine_reset_steps(m);
}

void fatal_error(Machine& m, std::string_view text) {
    m.host->message_box("Tamo-Emulator", text);
    m.cpu.QuitFlag = 1;
    m.EventsPending = 1;  // the run loop looks at the machine before the next instruction
}

void main_loop_pass(Machine& m) {
    scanline_step(m);
    cpu_run(m);
    if ((m.video.VCOUNT & 0xFF) == 0) keyboard_poll(m);
}

void run_frames(Machine& m, uint32_t frames) {
    for (uint32_t f = 0; f < frames && !m.cpu.QuitFlag; ++f) {
        for (int line = 0; line < kLinesPerFrame && !m.cpu.QuitFlag; ++line) main_loop_pass(m);
    }
}
