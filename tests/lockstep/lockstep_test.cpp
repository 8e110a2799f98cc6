// The shortcuts (skipped waiting loops, whole-layer composition) change nothing: every cartridge
// the build assembles runs in two machines side by side, one with them and one without, and the
// whole machine is compared at the end of every frame.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "fake_host.h"
#include "frontend/frontend.h"
#include "input/keypad.h"

namespace {

constexpr uint32_t kFrames = 240;

struct Side : TestMachine {
    std::vector<uint32_t> surface = std::vector<uint32_t>(256 * 160);
    size_t calls = 0;  // message boxes, questions and debug lines
};

struct Field {
    const char* name;
    const void* data;
    size_t size;
};

// Everything a cartridge or the player can see, and the counts. The processor state is all words.
// clang-format off
#define FIELD(x) Field{#x, &(x), sizeof(x)}
std::vector<Field> fields(Side& s) {
    const Machine& m = s.m;
    std::vector<Field> f = {
        FIELD(m.cpu), FIELD(m.IE), FIELD(m.IF), FIELD(m.IME), FIELD(m.dma), FIELD(m.Ewram),
        FIELD(m.Iwram), FIELD(m.Palette), FIELD(m.Vram), FIELD(m.Oam), FIELD(m.SaveWindow),
        FIELD(m.Sram), FIELD(m.IoBytes), FIELD(m.KEYINPUT), FIELD(m.IoWarningsEnabled),
        FIELD(m.BiosWarningsEnabled), FIELD(s.calls),
        {"video registers", &m.video.BgMode, offsetof(VideoState, LayerLine)},
        {"picture", s.surface.data(), s.surface.size() * 4}};
    for (const Timer& t : m.timers)
        f.insert(f.end(), {FIELD(t.TimerCounter), FIELD(t.TimerEnabled), FIELD(t.TimerPrescaleMask)});
    return f;
}
// clang-format on

TEST(Lockstep, ShortcutsLeaveEveryFrameAsThePlainWayDoes) {
    size_t cartridges = 0;  // those the build assembled: each has its linked program beside it
    for (const auto& e : std::filesystem::recursive_directory_iterator(TAMO_BUILD_DIR)) {
        const std::filesystem::path rom = e.path();
        if (rom.extension() != ".gba" ||
            !std::filesystem::exists(std::filesystem::path(rom).replace_extension(".elf")))
            continue;
        ++cartridges;
        SCOPED_TRACE(rom.string());
        Side fast, plain;
        plain.m.FastPaths = 0;
        for (Side* s : {&fast, &plain}) {
            display_attach(s->m, reinterpret_cast<uint8_t*>(s->surface.data()), 256 * 4, 4,
                           0xFF0000, 0xFF00, 0xFF);
            ASSERT_TRUE(rom_load(s->m, rom.string(), false));
            s->m.SaveFileName.clear();
        }
        std::memcpy(plain.m.SaveWindow, fast.m.SaveWindow, sizeof fast.m.SaveWindow);
        std::memcpy(plain.m.Sram, fast.m.Sram, sizeof fast.m.Sram);
        bool same = true;
        for (uint32_t frame = 1; frame <= kFrames && same; ++frame) {
            for (Side* s : {&fast, &plain}) {
                // A different key now and then, for the cartridges that answer them.
                std::memset(s->host.keys, 0, sizeof s->host.keys);
                s->host.keys[kKeyMap[(frame / 7) % 10]] = (frame & 8) ? 0x80 : 0;
                run_frames(s->m, 1);
                s->calls = s->host.boxes.size() + s->host.debug_lines.size();
            }
            const auto a = fields(fast), b = fields(plain);
            for (size_t i = 0; i < a.size() && same; ++i)
                if (std::memcmp(a[i].data, b[i].data, a[i].size) != 0) {
                    ADD_FAILURE() << "frame " << frame << ": " << a[i].name << " differs";
                    same = false;
                }
        }
        EXPECT_EQ(plain.m.IdleLoops.SkippedInstructions, 0u);
        const std::string name = rom.filename().string();
        if (name == "demo.gba" || name == "bench_picture.gba") {
            EXPECT_GT(fast.m.IdleLoops.SkippedInstructions, 0u) << "no waiting loop skipped";
        }
    }
    EXPECT_GE(cartridges, 4u);  // at least the benchmarks and the demo
}

}  // namespace
