// What the scanline driver does besides drawing (the drawing is checked by the golden pictures).
#include <gtest/gtest.h>

#include "fake_host.h"
#include "memory/io.h"

namespace {

struct DisplayMachine : TestMachine {
    std::vector<uint32_t> pixels = std::vector<uint32_t>(256 * 160, 0xDEADBEEF);
    DisplayMachine() {
        EXPECT_TRUE(display_attach(m, reinterpret_cast<uint8_t*>(pixels.data()), 1024, 4, 0xFF0000,
                                   0xFF00, 0xFF));
    }
    void steps(int n) {
        for (int i = 0; i < n; ++i) scanline_step(m);
    }
};

TEST(Scanline, FramesPresentsAndTheDebuggerPause) {
    DisplayMachine d;
    d.steps(227);
    EXPECT_EQ(d.host.presents, 0);
    d.steps(1);
    EXPECT_EQ(d.host.presents + d.m.video.FrameCounter, 2u);
    d.m.cpu.DebugPause = 1;  // frames are shown but not counted
    d.steps(228);
    EXPECT_EQ(d.host.presents + d.m.video.FrameCounter, 3u);
    EXPECT_EQ(d.pixels[240], 0xDEADBEEFu);  // columns 240 and on are left alone
    d.steps(100);
    video_reset(d.m);  // a reset in the middle of a frame starts a whole one
    const int presents = d.host.presents;
    d.steps(227);
    EXPECT_EQ(d.host.presents, presents);
    d.steps(1);
    EXPECT_EQ(d.host.presents, presents + 1);
    TestMachine none;  // without a display nothing advances
    scanline_step(none.m);
    EXPECT_EQ(none.m.video.VCOUNT, 0u);
}

TEST(Scanline, InterruptRequests) {
    // clang-format off
    const struct {
        uint16_t ime, ie;
        uint32_t vcount_setting;
        int steps;  // from the start of a frame; IF is looked at in the last one only
        uint16_t requested;
    } cases[] = {{1, kIrqVblank, 0, 160, 0}, {1, kIrqVblank, 0, 161, kIrqVblank}, {0, kIrqVblank, 0, 161, 0},
        {1, kIrqHblank, 0, 201, kIrqHblank}, {0, kIrqVcount, 100, 99, 0}, {0, kIrqVcount, 100, 100, kIrqVcount},
        {0, kIrqVcount, 0, 228, kIrqVcount}, {0, kIrqVcount, 228, 228 * 2, 0}, {0, 0, 5, 228, 0}};
    // clang-format on
    for (const auto& c : cases) {
        DisplayMachine d;
        d.m.IME = c.ime;
        d.m.IE = c.ie;
        write8(d.m, 0x04000000 + DISPSTAT + 1, c.vcount_setting);
        d.steps(c.steps - 1);
        d.m.IF = 0;
        d.steps(1);
        EXPECT_EQ(d.m.IF, c.requested) << c.ie << " after " << c.steps;
        EXPECT_EQ(d.m.video.VCOUNT, uint32_t(c.steps % 228));  // what a handler reads
    }
}

TEST(Display, ChannelShiftsAndSixteenBitPixels) {
    const uint32_t masks[][3] = {{0xF800, 11, 3}, {0x07E0, 5, 2}, {0xFF0000, 16, 0}};
    uint32_t left = 99, right = 99;
    for (const auto& c : masks) {
        ASSERT_TRUE(mask_shifts(c[0], left, right)) << c[0];
        EXPECT_TRUE(left == c[1] && right == c[2]) << c[0];
    }
    for (uint32_t bad : {0x0u, 0x3FFu, 0xF0F0u}) EXPECT_FALSE(mask_shifts(bad, left, right)) << bad;
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
