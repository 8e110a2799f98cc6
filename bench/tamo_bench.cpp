// Measures the emulator's speed on fixed cartridges: frames per second and nanoseconds per
// emulated instruction, running the main loop unpaced as tamo-headless does. With --runs N each
// cartridge runs N times on a fresh machine and the fastest run is shown, which is what a shared
// machine's noise leaves closest to the truth.
//
//   tamo-bench [--frames N] [--runs N] ROM...
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

constexpr const char* kUsage = "usage: tamo-bench [--frames N] [--runs N] ROM...\n";

struct Run {
    double seconds = 0;
    uint64_t instructions = 0;
};

// Runs `frames` frames of the cartridge after a warm-up. Returns 0, or the exit status: 2 when the
// cartridge cannot be loaded, 1 when the machine stops.
int run_once(const std::string& rom, uint32_t frames, Run& run) {
    BenchHost host;
    auto machine = std::make_unique<Machine>(host);
    std::vector<uint32_t> surface(256 * 160);
    display_attach(*machine, reinterpret_cast<uint8_t*>(surface.data()), 256 * 4, 4, 0xFF0000,
                   0xFF00, 0xFF);
    if (!rom_load(*machine, rom, true)) return 2;
    machine->SaveFileName.clear();  // a benchmark leaves no save file behind
    run_frames(*machine, 60);       // warm up
    uint32_t before = machine->cpu.InstructionCount;
    auto start = std::chrono::steady_clock::now();
    run_frames(*machine, frames);
    auto stop = std::chrono::steady_clock::now();
    run.seconds = std::chrono::duration<double>(stop - start).count();
    run.instructions = uint32_t(machine->cpu.InstructionCount - before);
    if (machine->cpu.QuitFlag) {
        std::fprintf(stderr, "%s: the machine stopped during the run\n", rom.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    uint32_t frames = 3000, runs = 1;
    std::vector<std::string> roms;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc) {
            frames = uint32_t(std::strtoul(argv[++i], nullptr, 10));
        } else if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = uint32_t(std::strtoul(argv[++i], nullptr, 10));
        } else if (std::strcmp(argv[i], "--help") == 0) {
            std::printf("%s", kUsage);
            return 0;
        } else if (argv[i][0] == '-') {
            std::fprintf(stderr, "%s", kUsage);
            return 2;
        } else {
            roms.emplace_back(argv[i]);
        }
    }
    if (roms.empty() || frames == 0 || runs == 0) {
        std::fprintf(stderr, "%s", kUsage);
        return 2;
    }
    std::printf("%-28s %8s %10s %12s %10s\n", "cartridge", "frames", "fps", "Minstr/s", "ns/instr");
    for (const std::string& rom : roms) {
        Run best;
        for (uint32_t r = 0; r < runs; ++r) {
            Run run;
            if (int status = run_once(rom, frames, run)) return status;
            if (r == 0 || run.seconds < best.seconds) best = run;
        }
        std::string name = rom.substr(rom.find_last_of('/') + 1);
        std::printf("%-28s %8u %10.0f %12.1f %10.2f\n", name.c_str(), frames, frames / best.seconds,
                    best.instructions / best.seconds / 1e6,
                    best.seconds * 1e9 / double(best.instructions));
    }
    return 0;
}
