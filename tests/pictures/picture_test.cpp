// Golden pictures, the renderer's check: each scene writes registers, VRAM, palette and OAM through
// the bus of a fresh machine (some writes again before given lines of every frame), draws two
// frames and compares the second exactly with golden/NAME.png, a picture a person has looked at;
// so is the demo's frame 120. A mismatch leaves the picture drawn in actual/NAME.png in the build
// tree; TAMO_UPDATE_GOLDEN=1 makes the pictures drawn the goldens (look at each before committing).
#include <gtest/gtest.h>
#include <png.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <functional>

#include "fake_host.h"
#include "memory/io.h"
#include "platform/headless/screenshot.h"

namespace {

namespace fs = std::filesystem;
using u32 = uint32_t;
using Pixels = std::function<u32(u32, u32)>;  // a colour index or map entry at (x, y)

constexpr u32 kSize[4][4][2] = {{{8, 8}, {16, 16}, {32, 32}, {64, 64}},
                                {{16, 8}, {32, 8}, {32, 16}, {64, 32}},
                                {{8, 16}, {8, 32}, {16, 32}, {32, 64}},
                                {{8, 8}, {8, 8}, {8, 8}, {8, 8}}};  // shape 3: no shape
constexpr uint64_t kGlyphF = 0x000101011F01013F;  // an "F": row y in byte y, column x in bit x
constexpr u32 kBg0 = 0x100, kObj = 0x1000, kObj1D = 0x40, kWin0 = 0x2000, kWin1 = 0x4000;
constexpr u32 kMosaic = 0x40, k256 = 0x80, kWrap = 0x2000, kOam = 0x07000000, kPal = 0x05000000;
constexpr auto rgb = [](u32 r, u32 g, u32 b) { return r | g << 5 | b << 10; };
constexpr auto BGCNT = [](u32 n) { return BG0CNT + 2 * n; };
// BGnCNT: priority, character base block (16 KB), screen base block (2 KB), screen size.
constexpr auto bgcnt = [](u32 prio, u32 chr, u32 screen, u32 size, u32 flags = 0) {
    return prio | chr << 2 | screen << 8 | size << 14 | flags;
};
// PA, PB, PC, PD for a picture turned `degrees` clockwise and shown `zoom` times its size.
const auto affine = [](double degrees, double zoom) {
    const double a = degrees * M_PI / 180, s = 256 / zoom;
    const int c = int(std::lround(std::cos(a) * s)), n = int(std::lround(std::sin(a) * s));
    return std::array<int, 4>{c, n, -n, c};
};
// The sprite drawing: a white border, a yellow triangle in the top-left corner, a black
// diagonal, over 8x8 squares, every other one clear: the bank's bright hue, or a rainbow.
const auto drawing = [](u32 x, u32 y, u32 w, u32 h, bool c256) -> u32 {
    if (x == 0 || y == 0 || x == w - 1 || y == h - 1) return 1;
    if (x + y < 8 || x * h / w == y) return x + y < 8 ? 2 : 3;
    return (x / 8 + y / 8) & 1 ? 0 : c256 ? 16 * ((x / 8 + y / 4) % 15 + 1) + 13 : 15;
};

struct Scene : TestMachine {
    std::vector<u32> px = std::vector<u32>(256 * 160);  // 0x00RRGGBB
    std::vector<std::array<u32, 3>> writes;             // line, register or address, halfword
    std::function<void(int)> at_line = [](int) {};

    // Every palette bank (backgrounds and sprites): entry 1 white, 2 yellow, 3 black, 4-15 the
    // bank's hue from dark to bright (bank 0: greys). The backdrop is dark grey; no sprites.
    Scene() {
        EXPECT_TRUE(display_attach(m, reinterpret_cast<uint8_t*>(px.data()), 1024, 4, 0xFF0000,
                                   0xFF00, 0xFF));
        video_reset(m);
        oam_reset(m);
        const u32 kHue[16][3] = {{31, 31, 31}, {31, 0, 0},   {0, 31, 0},   {0, 0, 31},
                                 {31, 31, 0},  {31, 0, 31},  {0, 31, 31},  {31, 16, 0},
                                 {16, 0, 31},  {0, 31, 16},  {31, 0, 16},  {16, 31, 0},
                                 {0, 16, 31},  {31, 16, 16}, {16, 31, 16}, {16, 16, 31}};
        for (u32 i = 1; i < 512; ++i) {
            const u32 *h = kHue[(i >> 4) & 15], k = i & 15;
            write16(m, kPal + 2 * i,
                    k == 1  ? rgb(31, 31, 31)
                    : k < 4 ? rgb(31, 31, 0) * (k == 2)
                            : rgb(h[0] * k / 15, h[1] * k / 15, h[2] * k / 15));
        }
        write16(m, kPal, rgb(5, 5, 6));
        for (u32 s = 0; s < 128; ++s) write16(m, kOam + 8 * s, 0x0200);
    }
    void io(u32 reg, u32 v) { write16(m, 0x04000000 + reg, v); }
    void at(int line, u32 reg, u32 v) { writes.push_back({u32(line), reg, v}); }
    void vram(u32 a, u32 v, bool byte = false) {
        const u32 old = read16(m, 0x06000000 + (a & ~1u)), shift = byte ? (a & 1) * 8 : 0;
        write16(m, 0x06000000 + (a & ~1u), byte ? (old & ~(0xFFu << shift)) | v << shift : v);
    }
    // Background n's rotation/scaling, written before line `line` of every frame (or once now,
    // for -1): texture point (tx, ty) at screen point (sx, sy), y from the line drawn first.
    void turn(u32 n, std::array<int, 4> p, int tx, int ty, int sx, int sy, int line) {
        const u32 x = u32(tx * 256 - p[0] * sx - p[1] * sy),
                  y = u32(ty * 256 - p[2] * sx - p[3] * sy);
        const u32 v[8] = {u32(p[0]), u32(p[1]), u32(p[2]), u32(p[3]), x, x >> 16, y, y >> 16};
        for (u32 i = 0; i < 8; ++i)
            line < 0 ? io(BG2PA + 16 * (n - 2) + 2 * i, v[i] & 0xFFFF)
                     : at(line, BG2PA + 16 * (n - 2) + 2 * i, v[i] & 0xFFFF);
    }
    // An image of 8x8 tiles from VRAM offset `base`, `pitch` bytes from a row of tiles to the next.
    void image(u32 base, u32 pitch, bool c256, u32 w, u32 h, const Pixels& f) {
        for (u32 y = 0; y < h; ++y)
            for (u32 x = 0; x < w; ++x) {
                const u32 a =
                    base + y / 8 * pitch +
                    (c256 ? x / 8 * 64 + y % 8 * 8 + x % 8 : x / 8 * 32 + y % 8 * 4 + x % 8 / 2);
                const u32 shift = (a & 1) * 8 + (c256 ? 0 : (x & 1) * 4);
                const u32 old = read16(m, 0x06000000 + (a & ~1u));
                vram(a & ~1u, (old & ~((c256 ? 0xFFu : 0xFu) << shift)) | f(x, y) << shift);
            }
    }
    void tile(u32 base, bool c256, const Pixels& f) { image(base, 0, c256, 8, 8, f); }
    // A w x h (in tiles) map at `base`: text maps of 32x32 screen blocks (two across when 64
    // wide), or rotation/scaling maps of bytes.
    void map(u32 base, u32 w, u32 h, bool text, const Pixels& entry) {
        for (u32 y = 0; y < h; ++y)
            for (u32 x = 0; x < w; ++x)
                text
                    ? vram(base + (x / 32 + y / 32 * (w / 32)) * 0x800 + (y % 32 * 32 + x % 32) * 2,
                           entry(x, y))
                    : vram(base + y * w + x, entry(x, y), true);
    }
    // Sprite s showing the drawing at tile t: 1D mapping packs its tiles, 2D (`sheet`) places
    // them in a sheet 32 tiles wide.
    void sprite(u32 s, u32 x, u32 y, u32 shape, u32 size, u32 t, bool c256, bool sheet, u32 a0 = 0,
                u32 a1 = 0, u32 a2 = 0) {
        const u32 w = kSize[shape][size][0], h = kSize[shape][size][1];
        image(0x10000 + 32 * t, sheet ? 1024 : w / 8 * (c256 ? 64 : 32), c256, w, h,
              [&](u32 px, u32 py) { return drawing(px, py, w, h, c256); });
        const u32 attr[3] = {(y & 255) | c256 << 13 | shape << 14 | a0, (x & 511) | size << 14 | a1,
                             t | a2};
        for (u32 i = 0; i < 3; ++i) write16(m, kOam + 8 * s + 2 * i, attr[i]);
    }
    std::vector<u32> draw() {
        for (int frame = 0; frame < 2; ++frame)
            for (int y = 0; y < kLinesPerFrame; ++y) {
                at_line(y);
                for (const auto& w : writes)
                    if (w[0] == u32(y)) write16(m, w[1] < 0x400 ? 0x04000000 + w[1] : w[1], w[2]);
                scanline_step(m);
            }
        return px;
    }
};

// Text tiles: 16 colours at 0x0000 (1: a bright "F" on a dark square, 2: a white square), 256
// colours at 0x4000 (1-4: an "F" in a gradient of hue 1-4 on its dark shade, 5: a white square).
void glyph_tiles(Scene& s) {
    auto f = [](u32 x, u32 y, u32 on, u32 off) {
        return x == 7 || y == 7 ? 0 : (kGlyphF >> (y * 8 + x) & 1) ? on : off;
    };
    s.tile(32, false, [&](u32 x, u32 y) { return f(x, y, 15, 6); });
    s.tile(64, false, [&](u32 x, u32 y) { return f(x, y, 1, 1); });
    for (u32 b = 1; b <= 5; ++b)
        s.tile(0x4000 + 64 * b, true, [&](u32 x, u32 y) {
            return b == 5 ? f(x, y, 1, 1) : f(x, y, 16 * b + 15 - y, 16 * b + 5);
        });
}

// A text map of glyph tiles: each screen block in its own hue (16 colours: palette bank 1-4;
// 256: tile 1-4), its first row and column white, columns flipped: none, H, V, both.
Pixels glyph_map(u32 w, bool c256) {
    return [=](u32 x, u32 y) {
        const u32 block = x / 32 + y / 32 * (w / 32), seam = x % 32 == 0 || y % 32 == 0;
        return (x & 3) << 10 | (c256 ? (seam ? 5 : 1 + block) : (seam ? 2 : 1) | (block + 1) << 12);
    };
}

using Picture = std::pair<const char*, void (*)(Scene&)>;
const Picture kPictures[] = {
    // A band per text background (the four sizes, 16 then 256 colours), scrolled across block
    // seams (white lines) and the map's wrap: BG0 256x256, BG1 512x256, BG2 256x512, BG3 512x512.
    // Lines 32-39: BG1 (priority 0) over BG0 (1); 112-119: BG2 over BG3, both priority 2.
    {"text",
     [](Scene& s) {
         glyph_tiles(s);
         const u32 w[4] = {32, 64, 32, 64}, prio[4] = {1, 0, 2, 2};
         const u32 scroll[4][2] = {{159, 0}, {141, 200}, {2, 156}, {139, 116}};
         for (u32 n = 0; n < 4; ++n) {
             s.io(BGCNT(n), bgcnt(prio[n], n >= 2, 16 + 4 * n, n, n >= 2 ? k256 : 0));
             s.map(0x8000 + 0x2000 * n, w[n], n >= 2 ? 64 : 32, true, glyph_map(w[n], n >= 2));
             s.io(BG0HOFS + 4 * n, scroll[n][0]), s.io(BG0HOFS + 4 * n + 2, scroll[n][1]);
         }
         for (auto [line, bgs] : {std::pair{0, 1}, {32, 3}, {40, 2}, {80, 4}, {112, 12}, {120, 8}})
             s.at(line, DISPCNT, kBg0 * bgs);
     }},
    // Lines 0-79, mode 1: BG2 256x256, wrapping, turned 30 degrees, twice its size, over BG1's
    // stripes. 80-159, mode 2: BG2 128x128, not wrapping, turned -20 degrees, 0.8 times its size;
    // BG3 512x512, wrapping, half size, its registers written once (kept, reloaded every frame).
    // Window 0, showing nothing, in both modes: columns 200-239 from line 60.
    {"affine",
     [](Scene& s) {
         glyph_tiles(s);
         s.tile(0x4000 + 64 * 6, true, [](u32 x, u32 y) { return (x + y) % 8 < 3 ? 140 : 0; });
         s.io(BGCNT(1), bgcnt(1, 1, 16, 0, k256));
         s.map(0x8000, 32, 32, true, [](u32, u32) { return 6; });
         s.map(0x8800, 32, 32, false,
               [](u32 x, u32 y) { return x * y == 0 ? 5 : (x + y) % 2 * 2; });
         s.map(0x9000, 16, 16, false,
               [](u32 x, u32 y) { return x % 15 == 0 || y % 15 == 0 ? 5 : 3 + (x + y) % 2; });
         s.map(0xA000, 64, 64, false, [](u32 x, u32 y) {
             return x * y == 0 ? 5 : (x ^ y) & 1 ? 1 : 4;
         });
         s.io(BGCNT(3), bgcnt(1, 1, 20, 2, kWrap));
         s.turn(3, affine(0, 0.5), -40, -24, 0, 0, -1);
         s.turn(2, affine(30, 2), 20, 20, 120, 40, 0);
         s.turn(2, affine(-20, 0.8), 64, 64, 120, 40, 80);
         s.io(WIN0H, 200 << 8 | 239), s.io(WIN0V, 60 << 8 | 159), s.io(WINOUT, 0x3F);
         s.at(0, BGCNT(2), bgcnt(0, 1, 17, 1, kWrap)), s.at(0, DISPCNT, 1 | kBg0 * 6 | kWin0);
         s.at(80, BGCNT(2), bgcnt(0, 1, 18, 0)), s.at(80, DISPCNT, 2 | kBg0 * 12 | kWin0);
     }},
    // Backdrop magenta. Mode 3 (columns 96-111 colour 0, opaque black; window 0 would hide all,
    // but does not act), mode 4 frames 1 (entry 0: backdrop) and 0 (mode 3's bytes), mode 5
    // frames 1 and 0 (160x128, backdrop around), mode 6 (backdrop), forced blank (the last
    // backdrop, though the palette is green). Mosaic 4x3 from line 20 on, which mode 5 ignores.
    {"bitmap",
     [](Scene& s) {
         for (u32 y = 0; y < 128; ++y)
             for (u32 x = 0; x < 240; ++x) {
                 if (y < 40)
                     s.vram((y * 240 + x) * 2, x / 16 == 6 ? 0 : rgb(x / 8, y * 31 / 39, 12));
                 const u32 stripe = (x + y) / 8 % 16;
                 if (y >= 40 && y < 80)
                     s.vram(0xA000 + y * 240 + x, stripe * 16 + 15 * !!stripe, true);
                 if (y >= 80 && x < 160)  // frame 1, then frame 0 from line 104
                     s.vram((y < 104) * 0xA000 + (y * 160 + x) * 2,
                            y < 104 ? rgb(31 - x / 5, y - 80, x / 5)
                                    : rgb(x / 5, y - 104, 31 - x / 5));
             }
         s.io(WIN0H, 8 << 8 | 63), s.io(WIN0V, 8 << 8 | 31), s.io(WININ, 0);
         s.at(0, kPal, rgb(31, 0, 31)), s.at(0, DISPCNT, 3 | kBg0 * 4 | kWin0);
         s.io(MOSAIC, 3 | 2 << 4);
         s.at(40, DISPCNT, 4 | 0x10 | kBg0 * 4), s.at(60, DISPCNT, 4 | kBg0 * 4);
         s.at(0, BGCNT(2), 0), s.at(20, BGCNT(2), kMosaic);
         s.at(80, DISPCNT, 5 | 0x10 | kBg0 * 4), s.at(104, DISPCNT, 5 | kBg0 * 4);
         s.at(136, DISPCNT, 6 | kBg0 * 4);
         s.at(144, kPal, rgb(0, 31, 0)), s.at(144, DISPCNT, 3 | 0x80 | kBg0 * 4);
     }},
    // 1D mapping, 16 colours: the square (red), tall (blue) and wide (green) sizes; orange ones
    // wrapping at X 496, Y 248 and (504, 252); yellow, moved right at line 128 (its lower half
    // shifted); a hidden one at (100, 112) and one of shape 3 at (60, 112): nothing.
    {"sprite_shapes",
     [](Scene& s) {
         const u32 place[][4] = {
             {0, 3, 4, 4},   {0, 2, 72, 4},  {0, 1, 108, 4},   {0, 0, 128, 4},   {2, 0, 140, 4},
             {2, 1, 152, 4}, {2, 2, 164, 4}, {2, 3, 184, 4},   {1, 0, 4, 72},    {1, 1, 24, 72},
             {1, 2, 60, 72}, {1, 3, 96, 72}, {0, 2, 496, 112}, {0, 1, 216, 248}, {0, 1, 504, 252}};
         u32 t = 0, n = 0;
         for (const auto& p : place) {
             const u32 bank = n >= 12 ? 7 : p[0] == 0 ? 1 : p[0] == 1 ? 2 : 3;
             s.sprite(n++, p[2], p[3], p[0], p[1], t, false, false, 0, 0, bank << 12);
             t += kSize[p[0]][p[1]][0] * kSize[p[0]][p[1]][1] / 64;
         }
         s.sprite(20, 180, 112, 0, 2, t, false, false, 0, 0, 4 << 12);
         s.sprite(21, 100, 112, 0, 2, t, false, false, 0x200);
         s.sprite(22, 60, 112, 3, 2, t + 16, false, false);  // shape 3: no shape, nothing drawn
         s.at(0, kOam + 8 * 20 + 2, 180 | 2 << 14), s.at(128, kOam + 8 * 20 + 2, 196 | 2 << 14);
         s.io(DISPCNT, kObj | kObj1D);
     }},
    // 2D mapping, over BG1 (priority 3, grey), BG0 (1, the teal bar), BG2 (0, the magenta bar;
    // right of it tile 513, past the 64 KB of background tiles: clear).
    // Lines 4, 40: flips none, H, V, both, 16 and 256 colours; a 64x64 of priority 0 over BG2.
    // Line 80: priorities 0-3 across BG0. Line 120: the lower number, then priority 0, in front.
    {"sprite_attrs",
     [](Scene& s) {
         for (u32 t = 1; t <= 3; ++t) s.tile(32 * t, false, [t](u32, u32) { return 18 - 3 * t; });
         s.io(BGCNT(0), bgcnt(1, 0, 16, 0)), s.io(BGCNT(1), bgcnt(3, 0, 17, 0));
         s.io(BGCNT(2), bgcnt(0, 3, 18, 0));
         s.tile(0xC020, false, [](u32, u32) { return 15; });
         s.map(0x8000, 32, 32, true, [](u32, u32 y) { return y - 11 < 2 ? 0x6001 : 0; });
         s.map(0x8800, 32, 32, true, [](u32 x, u32 y) { return 2 + (x + y) % 2; });
         s.map(0x9000, 32, 32, true, [](u32 x, u32) {
             return x == 22 ? 0x5001 : x == 23 ? 0x5201 : 0;
         });
         for (u32 i = 0; i < 4; ++i) {
             s.sprite(i, 4 + 40 * i, 4, 0, 2, 0, false, true, 0, i << 12, 1 << 12);
             s.sprite(4 + i, 4 + 40 * i, 40, 0, 2, 4, true, true, 0, i << 12);
             s.sprite(9 + i, 4 + 40 * i, 80, 0, 2, 0, false, true, 0, 0, i << 10 | 2 << 12);
         }
         s.sprite(8, 168, 4, 0, 3, 12, true, true);
         for (u32 i = 0; i < 3; ++i)
             s.sprite(20 + i, 8 + 16 * i, 120, 0, 2, 0, false, true, 0, 0, 2 << 10 | (1 + i) << 12);
         s.sprite(23, 100, 120, 0, 2, 0, false, true, 0, 0, 3 << 10 | 7 << 12);
         s.sprite(30, 116, 120, 0, 2, 0, false, true, 0, 0, 3 << 12);
         s.io(DISPCNT, kObj | kBg0 * 7);
     }},
    // Rotation/scaling sprites: none; turned 30 degrees (corners cut), the same double size;
    // twice the size, double size (1D mapping). From line 72, 2D: half size, a quarter turn,
    // mirrored; turned and double size in 16 colours, and a wide 32x16.
    {"sprites_affine",
     [](Scene& s) {
         const std::array<int, 4> groups[6] = {affine(0, 1),   affine(30, 1), affine(0, 2),
                                               affine(0, 0.5), affine(90, 1), {-256, 0, 0, 256}};
         for (u32 g = 0; g < 24; ++g)
             write16(s.m, kOam + 32 * (g / 4) + 8 * (g % 4) + 6, u32(groups[g / 4][g % 4]));
         const u32 place[][5] = {{0, 8, 4, 0, 0},    {1, 48, 4, 0, 0},   {1, 88, 4, 1, 0},
                                 {2, 160, 4, 1, 0},  {3, 8, 72, 0, 512}, {4, 48, 72, 0, 512},
                                 {5, 88, 72, 0, 512}};
         for (u32 i = 0; i < 7; ++i) {
             const auto& p = place[i];
             s.sprite(i, p[1], p[2], 0, 2, p[4], true, p[4] != 0, 0x100 | p[3] << 9, p[0] << 9);
         }
         s.sprite(7, 128, 72, 0, 2, 520, false, true, 0x300, 1 << 9, 2 << 12);
         s.sprite(8, 8, 136, 1, 2, 640, true, true, 0x300, 1 << 9);
         s.at(0, DISPCNT, kObj | kObj1D), s.at(72, DISPCNT, kObj);
     }},
    // Red stripes (BG0) over blue squares (BG1), brightened where a window allows. Outside: both
    // backgrounds. Window 0 (16-111 x 16-79, edges in): BG1 and sprites; window 1 (64-191 x
    // 48-127): BG0, sprites, effect; the sprite window (a 64x64 window-mode sprite): BG1 and the
    // effect. From line 136 the settings turn windows off.
    {"windows",
     [](Scene& s) {
         s.tile(32, false, [](u32 x, u32 y) { return (x + y) % 8 < 4 ? 15 : 0; });
         s.tile(64, false, [](u32 x, u32 y) { return (x / 4 + y / 4) & 1 ? 15 : 7; });
         s.io(BGCNT(0), bgcnt(1, 0, 16, 0)), s.io(BGCNT(1), bgcnt(2, 0, 17, 0));
         s.map(0x8000, 32, 32, true, [](u32, u32) { return 0x1001; });
         s.map(0x8800, 32, 32, true, [](u32, u32) { return 0x3002; });
         s.sprite(0, 96, 8, 0, 2, 0, false, false, 0, 0, 1 << 12);
         s.sprite(1, 176, 90, 0, 2, 0, false, false, 0, 0, 2 << 12);
         s.sprite(3, 160, 8, 0, 3, 16, false, false, 0x800);
         s.io(WIN0H, 16 << 8 | 111), s.io(WIN0V, 16 << 8 | 79);
         s.io(WIN1H, 64 << 8 | 191), s.io(WIN1V, 48 << 8 | 127);
         s.io(WININ, 0x12 | 0x31 << 8), s.io(WINOUT, 0x03 | 0x22 << 8);
         s.io(BLDCNT, 0x13 | 0x80), s.io(BLDY, 10);
         s.io(DISPCNT, kBg0 * 3 | kObj | kObj1D | kWin0 | kWin1 | 0x8000);
         s.at_line = [&s](int y) { s.m.settings.WindowsEnabled = y < 136; };
     }},
    // Orange BG0 (columns 0-119) over blue BG1 (80-199) and the backdrop. Bands: alpha 12/4;
    // alpha 20/20 (as 16/16: held at 255); brighten 8; darken 8; brighten 20 (white); darken 31
    // (black). Semi-transparent sprites blend with a second target below whatever the effect.
    {"effects",
     [](Scene& s) {
         write16(s.m, kPal, rgb(10, 14, 10));
         s.tile(32, false, [](u32, u32) { return 15; });
         s.io(BGCNT(0), bgcnt(0, 0, 16, 0)), s.io(BGCNT(1), bgcnt(1, 0, 17, 0));
         s.map(0x8000, 32, 32, true, [](u32 x, u32) { return x < 15 ? 0x7001 : 0; });
         s.map(0x8800, 32, 32, true, [](u32 x, u32) { return x - 10 < 15 ? 0x3001 : 0; });
         const u32 semi[][2] = {{150, 8}, {210, 40}, {150, 128}, {40, 144}, {210, 70}};
         for (u32 i = 0; i < 5; ++i)
             s.sprite(i, semi[i][0], semi[i][1], 0, 1, 0, false, false, i < 4 ? 0x400 : 0, 0,
                      4 << 12);
         const u32 band[][4] = {
             {0, 0x2241, 12 | 4 << 8, 0}, {32, 0x2241, 20 | 20 << 8, 0},  {64, 0x00B1, 0, 8},
             {96, 0x00E2, 0, 8},          {128, 0x02A2, 6 | 10 << 8, 20}, {144, 0x00C1, 0, 31}};
         for (const auto& b : band)
             s.at(int(b[0]), BLDCNT, b[1]), s.at(int(b[0]), BLDALPHA, b[2]),
                 s.at(int(b[0]), BLDY, b[3]);
         s.io(DISPCNT, kBg0 * 3 | kObj | kObj1D);
     }},
    // Mosaic 5x3 on BG0 (16 colours), BG1 (256), BG2 (rotation/scaling, from (8, 84)); 8x4 on
    // the sprites at x 160 (256 and 16 colours), not on those at x 200.
    {"mosaic",
     [](Scene& s) {
         glyph_tiles(s);
         s.io(MOSAIC, 4 | 2 << 4 | 7 << 8 | 3 << 12);
         s.io(BG0HOFS, 2), s.io(BG0HOFS + 2, 1), s.io(BG0HOFS + 4, 3);  // blocks follow scrolling
         s.io(BGCNT(0), bgcnt(0, 0, 16, 0, kMosaic)),
             s.io(BGCNT(1), bgcnt(0, 1, 17, 0, kMosaic | k256));
         s.io(BGCNT(2), bgcnt(0, 1, 18, 0, kMosaic));
         s.map(0x8000, 32, 32, true, glyph_map(32, false));
         s.map(0x8800, 32, 32, true, glyph_map(32, true));
         s.map(0x9000, 16, 16, false,
               [](u32 x, u32 y) { return x % 15 == 0 || y % 15 == 0 ? 5 : 1 + (x + y) % 4; });
         s.io(BG2X_L, 0xF800), s.io(BG2X_L + 2, 0xFFFF);  // x -8; PA-PD as after a reset
         for (u32 i = 0; i < 4; ++i)
             s.sprite(i, 160 + 40 * (i & 1), 96 + 32 * (i / 2), 0, 2, 64 * (i / 2), i < 2, false,
                      (i & 1) ? 0 : 0x1000, 0, 5 << 12);
         for (auto [line, bgs] : {std::pair{0, 1}, {40, 2}, {80, 0}, {84, 4}})
             s.at(line, DISPCNT, 1 | kBg0 * bgs | kObj | kObj1D);
     }},
};

// Reads a 240x160 PNG in the given libpng format.
bool read_png(const fs::path& path, u32 format, void* out, int row_bytes) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = format;
    return image.width == 240 && image.height == 160 &&
           png_image_finish_read(&image, nullptr, out, row_bytes, nullptr);
}

// Compares a picture (256x160, 0x00RRGGBB) with its golden, or makes it the golden when
// TAMO_UPDATE_GOLDEN=1.
void expect_golden(const std::string& name, const std::vector<u32>& drawn) {
    const fs::path golden = fs::path(TAMO_GOLDEN_DIR) / (name + ".png");
    const fs::path actual = fs::path(TAMO_ACTUAL_DIR) / (name + ".png");
    const bool renew =
        std::getenv("TAMO_UPDATE_GOLDEN") && *std::getenv("TAMO_UPDATE_GOLDEN") == '1';
    std::string error;
    fs::create_directories(actual.parent_path());
    ASSERT_TRUE(write_screenshot(renew ? golden : actual, drawn.data(), error)) << error;
    if (renew) return;
    std::vector<uint8_t> want(240 * 160 * 3);
    ASSERT_TRUE(read_png(golden, PNG_FORMAT_RGB, want.data(), 0)) << "no golden " << golden;
    int differing = 0, first = 0;
    for (int i = 0; i < 240 * 160; ++i)
        if (u32(want[3 * i] << 16 | want[3 * i + 1] << 8 | want[3 * i + 2]) !=
                (drawn[i / 240 * 256 + i % 240] & 0xFFFFFF) &&
            differing++ == 0)
            first = i;
    if (differing == 0) fs::remove(actual);
    EXPECT_EQ(differing, 0) << name << ": the first at (" << first % 240 << ", " << first / 240
                            << "); the picture drawn is " << actual;
}

TEST(Pictures, ScenesMatchGoldens) {
    for (const auto& [name, build] : kPictures) {
        Scene s;
        build(s);
        expect_golden(name, s.draw());
    }
}

// The demo cartridge after its first two seconds, no key pressed.
TEST(Demo, MatchesGoldenAtFrame120) {
    const fs::path shot = fs::path(TAMO_ACTUAL_DIR) / "demo-run.png";
    fs::create_directories(shot.parent_path());
    ASSERT_EQ(std::system(("'" TAMO_HEADLESS "' --frames 120 --screenshot '" + shot.string() +
                           "' '" TAMO_DEMO_ROM "' > /dev/null")
                              .c_str()),
              0);
    std::vector<u32> surface(256 * 160);  // BGRA: 0xAARRGGBB words on a little-endian machine
    ASSERT_TRUE(read_png(shot, PNG_FORMAT_BGRA, surface.data(), 1024));
    expect_golden("demo", surface);
}

}  // namespace
