// A machine with a 32-bit 0x00RRGGBB back surface, for the picture tests: everything is written
// through the bus (registers, VRAM, palette, OAM), so the tests go through the real decoding.
#pragma once

#include <cstdint>
#include <vector>

#include "fake_host.h"
#include "memory/bus.h"
#include "memory/io.h"

namespace picture {

// A console colour (5 bits per channel) and what the 32-bit surface shows for it.
constexpr uint32_t console(uint32_t r, uint32_t g, uint32_t b) {
    return r | (g << 5) | (b << 10);
}
constexpr uint32_t shown(uint32_t r, uint32_t g, uint32_t b) {
    return ((r << 3) << 16) | ((g << 3) << 8) | (b << 3);
}
// The surface value of a line pixel's colour (red in bits 0-7).
constexpr uint32_t shown_line_pixel(uint32_t p) {
    return ((p & 0xFF) << 16) | (p & 0xFF00) | ((p >> 16) & 0xFF);
}

// Register offsets the video tests use besides those of memory/io.h.
inline constexpr uint32_t BG1CNT = BG0CNT + 2, BG2CNT = BG0CNT + 4, BG3CNT = BG0CNT + 6;
inline constexpr uint32_t BG0VOFS = BG0HOFS + 2;
inline constexpr uint32_t BG2PB = BG2PA + 2, BG2PC = BG2PA + 4, BG2PD = BG2PA + 6;
inline constexpr uint32_t BG2X = BG2X_L, BG2Y = BG2X_L + 4;

// DISPCNT bits.
inline constexpr uint32_t kSprites1D = 0x0040;
inline constexpr uint32_t kForcedBlank = 0x0080;
inline constexpr uint32_t kBg0On = 0x0100;  // BG n: kBg0On << n
inline constexpr uint32_t kSpritesOn = 0x1000;
inline constexpr uint32_t kWin0On = 0x2000;
inline constexpr uint32_t kWin1On = 0x4000;
inline constexpr uint32_t kSpriteWinOn = 0x8000;

struct PictureMachine : TestMachine {
    std::vector<uint32_t> pixels = std::vector<uint32_t>(256 * 160, 0xDEADBEEF);

    PictureMachine() {
        EXPECT_TRUE(display_attach(m, reinterpret_cast<uint8_t*>(pixels.data()), 256 * 4, 4,
                                   0xFF0000, 0xFF00, 0xFF));
        video_reset(m);
        oam_reset(m);
    }

    void reg(uint32_t offset, uint32_t value) { write16(m, 0x04000000 + offset, value); }
    void reg32(uint32_t offset, uint32_t value) { write32(m, 0x04000000 + offset, value); }
    void vram16(uint32_t offset, uint32_t value) { write16(m, 0x06000000 + offset, value); }
    void vram32(uint32_t offset, uint32_t value) { write32(m, 0x06000000 + offset, value); }
    void vram8s(uint32_t offset, std::initializer_list<uint8_t> bytes) {
        // VRAM takes halfwords; pairs of bytes are joined.
        std::vector<uint8_t> b(bytes);
        if (b.size() & 1) b.push_back(read8(m, 0x06000000 + offset + uint32_t(b.size())));
        for (size_t i = 0; i < b.size(); i += 2)
            vram16(offset + uint32_t(i), b[i] | (b[i + 1] << 8));
    }
    void colour(uint32_t index, uint32_t console_colour) {
        write16(m, 0x05000000 + 2 * index, console_colour);
    }
    // Sprite s's three attributes.
    void sprite(uint32_t s, uint32_t a0, uint32_t a1, uint32_t a2) {
        write16(m, 0x07000000 + 8 * s, a0);
        write16(m, 0x07000000 + 8 * s + 2, a1);
        write16(m, 0x07000000 + 8 * s + 4, a2);
    }
    // After the OAM reset every sprite is an 8x8 square at (0, 0); the tests hide them all first.
    void hide_sprites() {
        for (uint32_t s = 0; s < 128; ++s) write16(m, 0x07000000 + 8 * s, 0x0200);
    }
    // PA, PB, PC, PD of sprite rotation/scaling group g.
    void sprite_affine(uint32_t g, int pa, int pb, int pc, int pd) {
        write16(m, 0x07000000 + 32 * g + 6, uint32_t(pa) & 0xFFFF);
        write16(m, 0x07000000 + 32 * g + 14, uint32_t(pb) & 0xFFFF);
        write16(m, 0x07000000 + 32 * g + 22, uint32_t(pc) & 0xFFFF);
        write16(m, 0x07000000 + 32 * g + 30, uint32_t(pd) & 0xFFFF);
    }

    // Runs scanline steps until line y has been drawn.
    void draw(uint32_t y) {
        while (m.video.VCOUNT != y) scanline_step(m);
        scanline_step(m);
    }
    // Runs a whole frame from line 0 (finishing the current one first).
    void frame() {
        while (m.video.VCOUNT != 0) scanline_step(m);
        for (int i = 0; i < 228; ++i) scanline_step(m);
    }
    uint32_t at(uint32_t x, uint32_t y) const { return pixels[y * 256 + x]; }
    // The surface row y, columns from `from` on, `count` of them.
    std::vector<uint32_t> row(uint32_t y, uint32_t from, uint32_t count) const {
        return std::vector<uint32_t>(pixels.begin() + y * 256 + from,
                                     pixels.begin() + y * 256 + from + count);
    }
    uint32_t composed(uint32_t x) const { return m.video.ComposedLine[x]; }
};

// Distinct colours for all 512 palette entries (backgrounds 0-255, sprites 256-511): entry i gets
// console colour (i & 31, (i >> 5) & 31, 31 - (i & 31)), except entry 0 (the backdrop), a dark
// grey.
inline uint32_t test_colour(uint32_t i) {
    return i == 0 ? console(2, 2, 2) : console(i & 31, (i >> 5) & 31, 31 - (i & 31));
}
inline uint32_t test_shown(uint32_t i) {
    return i == 0 ? shown(2, 2, 2) : shown(i & 31, (i >> 5) & 31, 31 - (i & 31));
}
inline void fill_palettes(PictureMachine& p) {
    for (uint32_t i = 0; i < 512; ++i) p.colour(i, test_colour(i));
}

}  // namespace picture
