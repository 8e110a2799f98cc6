// Whatever a cartridge puts into video memory, OAM and the display registers, drawing stays inside
// the machine's memory and finishes: random contents, many frames, every mode.
#include <gtest/gtest.h>

#include <random>

#include "fake_host.h"
#include "memory/io.h"

TEST(RandomPicture, AnyVideoStateDrawsWithoutLeavingMemory) {
    TestMachine t;
    std::vector<uint32_t> pixels(256 * 160);
    ASSERT_TRUE(display_attach(t.m, reinterpret_cast<uint8_t*>(pixels.data()), 1024, 4, 0xFF0000,
                               0xFF00, 0xFF));
    std::mt19937 random(20261206);
    for (int round = 0; round < 60; ++round) {
        for (uint32_t a = 0; a < 0x400; a += 2)  // palette and OAM
            write16(t.m, 0x05000000 + a, random()), write16(t.m, 0x07000000 + a, random());
        for (uint32_t a = 0; a < kVramSize; a += 4) write32(t.m, 0x06000000 + a, random());
        for (uint32_t r = DISPCNT; r < 0x056; r += 2) write16(t.m, 0x04000000 + r, random());
        // Now and then a fully enabled display, so that every layer is drawn.
        if (round % 3 == 0) write16(t.m, 0x04000000 + DISPCNT, (random() & 0x0077) | 0xFF00);
        for (int line = 0; line < kLinesPerFrame; ++line) scanline_step(t.m);
    }
    EXPECT_EQ(t.host.presents, 60);
}
