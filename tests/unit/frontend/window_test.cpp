#include "frontend/window.h"

#include <gtest/gtest.h>

#include "fake_host.h"
#include "frontend/pacer.h"

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

// What the desktop programs' own tests do not reach (they open the debugger with Shift+D, read
// the title and close the window with the save written).
TEST(MainWindow, RomWritesLowerCaseDAndTheTitleCount) {
    TestMachine t;
    for (uint32_t on : {1u, 0u}) {
        EXPECT_TRUE(window_command(t.m, kMenuRomWriteEnable));
        EXPECT_EQ(t.m.settings.ROMWriteEnable, on);
    }
    EXPECT_FALSE(window_command(t.m, 40012));
    window_char(t.m, 'd');
    EXPECT_EQ(t.m.cpu.DebugStop, 0u);
    t.m.video.FrameCounter = 61;
    EXPECT_EQ(frame_rate_title(t.m), "Tamo : 61 fps");
    EXPECT_EQ(frame_rate_title(t.m), "Tamo : 0 fps");
}

}  // namespace
