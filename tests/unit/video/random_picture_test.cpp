// Whatever a cartridge puts into video memory, OAM and the display registers, drawing stays inside
// the machine's memory, finishes, and draws with the shortcuts what it draws without them: random
// contents, many frames, every mode.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "fake_host.h"
#include "memory/io.h"
#include "video/render.h"

TEST(RandomPicture, AnyVideoStateDrawsInsideMemoryAsThePlainWayDoes) {
    TestMachine sides[2];  // the second without the shortcuts
    sides[1].m.FastPaths = 0;
    std::vector<uint32_t> pixels[2] = {std::vector<uint32_t>(256 * 160),
                                       std::vector<uint32_t>(256 * 160)};
    for (int i = 0; i < 2; ++i)
        ASSERT_TRUE(display_attach(sides[i].m, reinterpret_cast<uint8_t*>(pixels[i].data()), 1024,
                                   4, 0xFF0000, 0xFF00, 0xFF));
    std::mt19937 random(20261206);
    auto w16 = [&](uint32_t a, uint32_t v) {
        for (TestMachine& s : sides) write16(s.m, a, v);
    };
    for (int round = 0; round < 60; ++round) {
        for (uint32_t a = 0; a < 0x400; a += 2)  // palette and OAM
            w16(0x05000000 + a, random()), w16(0x07000000 + a, random());
        for (uint32_t a = 0; a < kVramSize; a += 2) w16(0x06000000 + a, random());
        for (uint32_t r = DISPCNT; r < 0x056; r += 2) w16(0x04000000 + r, random());
        // Now and then a fully enabled display, so that every layer is drawn: with every window,
        // or with none (and every other time no colour effect). Or small sprite turns and scales,
        // that meet the edges of their textures exactly.
        const uint32_t io = 0x04000000;
        if (round % 3 == 0) w16(io + DISPCNT, (random() & 0x0077) | 0xFF00);
        if (round % 3 == 1)
            w16(io + DISPCNT, (random() & 0x0077) | 0x1F00),
                w16(io + BLDCNT, random() & (round & 1 ? 0xFFFF : 0x3F));
        if (round % 3 == 2)
            for (uint32_t a = 6; a < 0x400; a += 8) w16(0x07000000 + a, (random() & 0x3FF) - 0x200);
        for (int line = 0; line < kLinesPerFrame; ++line) {
            if (line % 32 == 5) w16(0x05000000 + (random() & 0x3FE), random());  // a palette change
            for (TestMachine& s : sides) scanline_step(s.m);
            const uint32_t* composed[2] = {sides[0].m.video.ComposedLine,
                                           sides[1].m.video.ComposedLine};  // colours and flags
            ASSERT_TRUE(std::equal(composed[0], composed[0] + kScreenWidth, composed[1]))
                << "round " << round << ", line " << line;
        }
        EXPECT_EQ(pixels[0], pixels[1]) << "round " << round;
    }
    EXPECT_EQ(sides[0].host.presents, 60);
}

// The run of steps that a turning layer's coordinate spends inside its texture is the run that
// stepping finds: any start, step, bounds and count.
TEST(StepRun, HoldsEveryStepInsideTheBoundsAndNoOther) {
    std::mt19937 random(7);
    auto value = [&](int range) { return int64_t(random() % (2 * range + 1)) - range; };
    for (int i = 0; i < 20000; ++i) {
        const int64_t start = value(300), step = value(20), lo = value(200), hi = lo + value(150);
        const uint32_t count = random() % 40;
        const render_detail::StepRun run = render_detail::steps_between(start, step, lo, hi, count);
        for (uint32_t k = 0; k < count; ++k) {
            const int64_t at = start + k * step;
            ASSERT_EQ(at >= lo && at <= hi, k >= run.first && k < run.end) << start << " " << step;
        }
    }
}
