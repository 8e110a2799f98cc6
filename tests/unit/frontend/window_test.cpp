#include "frontend/window.h"

#include <gtest/gtest.h>

#include "debugger/peek.h"
#include "fake_host.h"
#include "frontend/frontend.h"
#include "frontend/pacer.h"
#include "memory/io.h"
#include "temp_dir.h"

namespace {

constexpr int64_t kSecond = kNanosecondsPerSecond;

// Plays `frames` frames that each take `work` of the host's time, sleeping as the pacer says.
void play(FramePacer& pacer, int64_t& now, int frames, int64_t work) {
    for (int i = 0; i < frames; ++i) now += work, now += pacer.frame_done(now);
}

TEST(FramePacer, HoldsTheConsoleRateWithoutDrift) {
    FramePacer pacer;
    int64_t now = 5 * kSecond;
    play(pacer, now, 1, 1'000'000);
    int64_t start = now;
    // A simulated minute of 3,584 frames of 3 ms work each: 59.73 frames a second to the
    // nanosecond's rounding, however long it runs.
    play(pacer, now, 3584, 3'000'000);
    EXPECT_NEAR(now - start, 3584 * 100 * kSecond / 5973, 1);
}

TEST(FramePacer, FastForwardAndLateFramesRestartTheSchedule) {
    FramePacer pacer;
    int64_t now = 0;
    play(pacer, now, 10, 1'000'000);
    pacer.set_fast_forward(true);
    EXPECT_EQ(pacer.frame_done(now + 1), 0);
    pacer.set_fast_forward(false);
    // After fast forward, and after a frame held a second by the debugger, the next frame waits a
    // full frame's time rather than running early frames back to back.
    for (int64_t late : {int64_t(0), kSecond}) {
        now += late;
        EXPECT_EQ(pacer.frame_done(now), 0);
        EXPECT_NEAR(pacer.frame_done(now + 1'000'000), 100 * kSecond / 5973 - 1'000'000, 1);
        now += 100 * kSecond / 5973;
    }
    FramePacer unpaced(false);
    EXPECT_EQ(unpaced.frame_done(0), 0);
    EXPECT_EQ(unpaced.frame_done(1), 0);
}

TEST(MainWindow, CommandsCharactersTitleAndClose) {
    TempDir dir;
    TestMachine t;
    write_file(dir.file("game.gba"), std::vector<uint8_t>(64, 0));
    ASSERT_TRUE(rom_load(t.m, dir.file("game.gba"), true));
    t.m.Sram[0] = 0x5A;
    for (uint32_t on : {1u, 0u}) {
        EXPECT_TRUE(window_command(t.m, kMenuRomWriteEnable));
        EXPECT_EQ(t.m.settings.ROMWriteEnable, on);
    }
    EXPECT_TRUE(window_command(t.m, kMenuExit));
    EXPECT_FALSE(window_command(t.m, 40012));
    EXPECT_TRUE(window_command(t.m, kMenuOpen));  // the fake host's dialog is cancelled
    EXPECT_TRUE(t.host.boxes.empty());
    window_char(t.m, 'd');
    EXPECT_EQ(t.m.cpu.DebugStop, 0u);
    window_char(t.m, 0x100 | 'D');
    EXPECT_EQ(t.m.cpu.DebugStop + t.m.cpu.DebugPause, 2u);
    t.m.video.FrameCounter = 61;
    EXPECT_EQ(frame_rate_title(t.m), "Tamo : 61 fps");
    EXPECT_EQ(frame_rate_title(t.m), "Tamo : 0 fps");
    EXPECT_TRUE(window_destroyed(t.m));
    EXPECT_EQ(t.m.cpu.QuitFlag, 1u);
    EXPECT_EQ(read_file(dir.file("game.sav")).at(0x20000), 0x5A);
}

TEST(Peek, ReadsIoWithoutTheWarning) {
    TestMachine t;
    write16(t.m, 0x04000000 + BG0HOFS, 0x123);
    write16(t.m, 0x04000000 + IE, 0x2001);
    EXPECT_EQ(peek16(t.m, 0x04000000 + BG0HOFS), 0u);
    EXPECT_EQ(peek32(t.m, 0x04000000 + IE), 0x2001u);
    EXPECT_TRUE(t.host.boxes.empty());
    EXPECT_EQ(t.m.IoWarningsEnabled, 1u);
    write32(t.m, 0x02000010, 0xCAFEF00D);
    EXPECT_EQ(peek32(t.m, 0x02000010), 0xCAFEF00Du);
    EXPECT_EQ(peek8(t.m, 0x02000013), 0xCAu);
}

}  // namespace
