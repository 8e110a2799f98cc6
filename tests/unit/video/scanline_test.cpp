#include <gtest/gtest.h>

#include <vector>

#include "fake_host.h"
#include "memory/bus.h"
#include "memory/io.h"

namespace {

// A machine with a 32-bit 0x00RRGGBB back surface attached.
struct DisplayMachine : TestMachine {
    std::vector<uint32_t> pixels = std::vector<uint32_t>(256 * 160, 0xDEADBEEF);
    DisplayMachine() {
        EXPECT_TRUE(display_attach(m, reinterpret_cast<uint8_t*>(pixels.data()), 256 * 4, 4,
                                   0xFF0000, 0xFF00, 0xFF));
        video_reset(m);
    }
    void steps(int n) {
        for (int i = 0; i < n; ++i) scanline_step(m);
    }
};

TEST(Scanline, AFrameIs228StepsAndPresentsOnce) {
    DisplayMachine d;
    d.steps(227);
    EXPECT_EQ(d.m.video.VCOUNT, 227u);
    EXPECT_EQ(d.host.presents, 0);
    d.steps(1);
    EXPECT_EQ(d.m.video.VCOUNT, 0u);
    EXPECT_EQ(d.host.presents, 1);
    EXPECT_EQ(d.m.video.FrameCounter, 1u);
    // While the debugger holds the processor, frames are shown but not counted.
    d.m.cpu.DebugPause = 1;
    d.steps(228);
    EXPECT_EQ(d.host.presents, 2);
    EXPECT_EQ(d.m.video.FrameCounter, 1u);
}

TEST(Scanline, WithoutADisplayNothingAdvances) {
    TestMachine t;
    scanline_step(t.m);
    EXPECT_EQ(t.m.video.VCOUNT, 0u);
    EXPECT_EQ(t.host.presents, 0);
}

TEST(Scanline, VblankRequestNeedsImeAndIeAtLine160) {
    DisplayMachine d;
    d.m.IME = 1;
    d.m.IE = kIrqVblank;
    d.steps(160);
    EXPECT_EQ(d.m.IF & kIrqVblank, 0);
    d.steps(1);
    EXPECT_EQ(d.m.IF & kIrqVblank, kIrqVblank);
    EXPECT_EQ(d.m.video.VCOUNT, 161u);  // what the handler reads
    d.m.IF = 0;
    d.m.IME = 0;
    d.steps(228);
    EXPECT_EQ(d.m.IF, 0);
}

TEST(Scanline, HblankOnEveryLineIncludingVblank) {
    DisplayMachine d;
    d.m.IME = 1;
    d.m.IE = kIrqHblank;
    d.steps(200);
    d.m.IF = 0;
    d.steps(1);  // line 200
    EXPECT_EQ(d.m.IF, kIrqHblank);
}

TEST(Scanline, VcountMatchIgnoresIme) {
    DisplayMachine d;
    d.m.IE = kIrqVcount;
    write8(d.m, 0x04000000 + DISPSTAT + 1, 100);
    d.steps(99);
    EXPECT_EQ(d.m.IF, 0);
    d.steps(1);
    EXPECT_EQ(d.m.IF, kIrqVcount);
    // A setting of 0 matches in the step that ends the frame.
    write8(d.m, 0x04000000 + DISPSTAT + 1, 0);
    d.steps(128);  // to the end of this frame
    d.m.IF = 0;
    d.steps(227);
    EXPECT_EQ(d.m.IF, 0);
    d.steps(1);
    EXPECT_EQ(d.m.IF, kIrqVcount);
    // 228 or more never matches; without the IE bit nothing is raised.
    d.m.IF = 0;
    write8(d.m, 0x04000000 + DISPSTAT + 1, 228);
    d.steps(228);
    EXPECT_EQ(d.m.IF, 0);
    d.m.IE = 0;
    write8(d.m, 0x04000000 + DISPSTAT + 1, 5);
    d.steps(228);
    EXPECT_EQ(d.m.IF, 0);
}

TEST(Scanline, BlankingDmaRunsAtItsLines) {
    DisplayMachine d;
    // Channel 0 at V-blank: copies one halfword from EWRAM to IWRAM, once.
    write16(d.m, 0x02000000, 0x1234);
    d.m.dma[0] = DmaChannel{0x02000000, 0x03000000, 0x90000001u, 0, 0};
    dma_start(d.m, 0);
    // Channel 1 at H-blank with repeat, destination fixed: counts lines by its source stepping.
    d.m.dma[1] = DmaChannel{0x02000000, 0x03000100, 0xA2400001u, 0, 0};
    dma_start(d.m, 1);
    d.steps(160);
    EXPECT_EQ(read16(d.m, 0x03000000), 0u);
    EXPECT_EQ(d.m.dma[1].DmaSource, 0x02000000u + 2 * 160);
    d.steps(1);
    EXPECT_EQ(read16(d.m, 0x03000000), 0x1234u);
    EXPECT_EQ(d.m.dma[0].VblankPending, 0u);
    d.steps(67);
    EXPECT_EQ(d.m.dma[1].DmaSource, 0x02000000u + 2 * 228);
    EXPECT_EQ(d.m.dma[1].HblankPending, 1u);
}

TEST(Scanline, ReferencePointsReloadAtTheEndOfTheFrame) {
    DisplayMachine d;
    BackgroundState& bg = d.m.video.Bg[2];
    bg.LatchedX = 0x100;
    bg.LatchedY = -0x200;
    bg.InternalReferenceX = 5;
    bg.InternalReferenceY = 6;
    d.steps(227);
    EXPECT_EQ(bg.InternalReferenceX, 5);
    d.steps(1);
    EXPECT_EQ(bg.InternalReferenceX, 0x100);
    EXPECT_EQ(bg.InternalReferenceY, -0x200);
}

TEST(Scanline, ForcedBlankShowsTheLastBackdropColour) {
    DisplayMachine d;
    write16(d.m, 0x04000000 + DISPCNT, 0x0080);
    d.steps(1);
    EXPECT_EQ(d.pixels[0], 0x000000u);  // black before any line was drawn
    EXPECT_EQ(d.pixels[239], 0x000000u);
    EXPECT_EQ(d.pixels[240], 0xDEADBEEFu);  // columns 240 and on are left alone
    write16(d.m, 0x05000000, 0x001F);       // red backdrop
    write16(d.m, 0x04000000 + DISPCNT, 0x0000);
    d.steps(1);
    EXPECT_EQ(d.pixels[256], 0xF80000u);
    write16(d.m, 0x05000000, 0x7C00);  // blue, but forced blank keeps the last colour
    write16(d.m, 0x04000000 + DISPCNT, 0x0080);
    d.steps(1);
    EXPECT_EQ(d.pixels[512 + 100], 0xF80000u);
}

TEST(Video, ResetRestoresPowerOnValues) {
    DisplayMachine d;
    write16(d.m, 0x04000000 + DISPCNT, 0x1F47);
    write16(d.m, 0x04000000 + BG2PA, 0x0010);
    write16(d.m, 0x04000000 + BG0HOFS, 0x0033);
    write16(d.m, 0x04000000 + WIN0H, 0x1020);
    write16(d.m, 0x05000000, 0x7FFF);
    write16(d.m, 0x06000000, 0x7FFF);
    d.steps(10);
    video_reset(d.m);
    const VideoState& v = d.m.video;
    EXPECT_EQ(v.BgMode, 0u);
    EXPECT_EQ(v.Bg[0].Enabled, 0u);
    EXPECT_EQ(v.Bg[2].PA, 256);
    EXPECT_EQ(v.Bg[2].PD, 256);
    EXPECT_EQ(v.Bg[2].PB, 0);
    EXPECT_EQ(v.Bg[0].HOffset, 0u);
    EXPECT_EQ(v.VCOUNT, 0u);
    EXPECT_EQ(v.Win0Left, 0x10u);  // window edges are kept
    EXPECT_EQ(read16(d.m, 0x06000000), 0u);
    EXPECT_EQ(read16(d.m, 0x05000000), 0u);
    EXPECT_EQ(d.m.ColourCache[0], 0x40F8F8F8u);  // the colour cache keeps its colours
}

TEST(Display, ChannelShifts) {
    uint32_t left = 99, right = 99;
    ASSERT_TRUE(mask_shifts(0xF800, left, right));
    EXPECT_EQ(left, 11u);
    EXPECT_EQ(right, 3u);
    ASSERT_TRUE(mask_shifts(0x07E0, left, right));
    EXPECT_EQ(left, 5u);
    EXPECT_EQ(right, 2u);
    ASSERT_TRUE(mask_shifts(0x7C00, left, right));
    EXPECT_EQ(left, 10u);
    EXPECT_EQ(right, 3u);
    ASSERT_TRUE(mask_shifts(0xFF0000, left, right));
    EXPECT_EQ(left, 16u);
    EXPECT_EQ(right, 0u);
    EXPECT_FALSE(mask_shifts(0, left, right));
    EXPECT_FALSE(mask_shifts(0x3FF, left, right));   // wider than 8 bits
    EXPECT_FALSE(mask_shifts(0xF0F0, left, right));  // not contiguous
}

TEST(Display, SixteenBitDesktopPixels) {
    TestMachine t;
    std::vector<uint16_t> pixels(256 * 160 + 2);
    ASSERT_TRUE(display_attach(t.m, reinterpret_cast<uint8_t*>(pixels.data()), 512, 2, 0xF800,
                               0x07E0, 0x001F));
    write16(t.m, 0x05000000, 0x7FFF);  // the console's white
    scanline_step(t.m);
    EXPECT_EQ(pixels[0], 0xFFDF);      // the lowest bit of the 6-bit green is always 0
    write16(t.m, 0x05000000, 0x0020);  // the smallest green
    scanline_step(t.m);
    EXPECT_EQ(pixels[256 + 239], 0x0040);
}

}  // namespace
