// Measures the emulator's speed on fixed cartridges: frames per second and nanoseconds per
// emulated instruction, running the main loop unpaced as tamo-headless does.
//
//   tamo-bench [--frames N] ROM...
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "frontend/frontend.h"
#include "machine.h"

namespace {

class BenchHost : public Host {
  public:
    void message_box(std::string_view, std::string_view text) override {
        std::fprintf(stderr, "message: %.*s\n", int(text.size()), text.data());
    }
    bool ask_yes_no(std::string_view, std::string_view) override { return true; }
    void debug_output(std::string_view) override {}
    void present() override {}
    bool read_keyboard(uint8_t (&state)[256]) override {
        std::memset(state, 0, sizeof state);
        return true;
    }
    void debugger_show() override {}
    void debugger_hide() override {}
    void debugger_refresh() override {}
};

}  // namespace

int main(int argc, char** argv) {
    uint32_t frames = 3000;
    std::vector<std::string> roms;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc) {
            frames = uint32_t(std::strtoul(argv[++i], nullptr, 10));
        } else if (argv[i][0] == '-') {
            std::fprintf(stderr, "usage: tamo-bench [--frames N] ROM...\n");
            return 2;
        } else {
            roms.emplace_back(argv[i]);
        }
    }
    if (roms.empty()) {
        std::fprintf(stderr, "usage: tamo-bench [--frames N] ROM...\n");
        return 2;
    }
    std::printf("%-28s %8s %10s %12s %10s\n", "cartridge", "frames", "fps", "Minstr/s", "ns/instr");
    for (const std::string& rom : roms) {
        BenchHost host;
        auto machine = std::make_unique<Machine>(host);
        std::vector<uint32_t> surface(256 * 160);
        display_attach(*machine, reinterpret_cast<uint8_t*>(surface.data()), 256 * 4, 4, 0xFF0000,
                       0xFF00, 0xFF);
        if (!rom_load(*machine, rom, true)) return 2;
        machine->SaveFileName.clear();  // a benchmark leaves no save file behind
        run_frames(*machine, 60);       // warm up
        uint64_t before = machine->cpu.InstructionCount;
        auto start = std::chrono::steady_clock::now();
        run_frames(*machine, frames);
        auto stop = std::chrono::steady_clock::now();
        double seconds = std::chrono::duration<double>(stop - start).count();
        uint64_t instructions = uint32_t(machine->cpu.InstructionCount - before);
        if (machine->cpu.QuitFlag) {
            std::fprintf(stderr, "%s: the machine stopped during the run\n", rom.c_str());
            return 1;
        }
        std::string name = rom.substr(rom.find_last_of('/') + 1);
        std::printf("%-28s %8u %10.0f %12.1f %10.2f\n", name.c_str(), frames, frames / seconds,
                    instructions / seconds / 1e6, seconds * 1e9 / double(instructions));
    }
    return 0;
}
