#include <gtest/gtest.h>

#include "picture_machine.h"

namespace {

using namespace picture;

// BG0 as a text background: characters at VRAM 0, map in screen block 8 (VRAM 0x4000).
constexpr uint32_t kMap = 0x4000;
constexpr uint32_t kBg0Map8 = 0x0800;  // BG0CNT: screen base 8
constexpr uint32_t kColours256 = 0x0080;
constexpr uint32_t kMosaicOn = 0x0040;
constexpr uint32_t kHFlip = 0x400, kVFlip = 0x800;

struct TextBackground : PictureMachine {
    explicit TextBackground(uint32_t bgcnt = kBg0Map8) {
        fill_palettes(*this);
        reg(DISPCNT, kBg0On);
        reg(BG0CNT, bgcnt);
    }
    void entry(uint32_t col, uint32_t row, uint32_t value, uint32_t block_offset = 0) {
        vram16(kMap + block_offset + 2 * (row * 32 + col), value);
    }
    // 16-colour tile t, row r: eight nibbles, pixel 0 in the lowest.
    void row16(uint32_t t, uint32_t r, uint32_t word) { vram32(t * 32 + 4 * r, word); }
    void solid16(uint32_t t, uint32_t nibble) {
        for (uint32_t r = 0; r < 8; ++r) row16(t, r, nibble * 0x11111111u);
    }
    void row256(uint32_t t, uint32_t r, std::initializer_list<uint8_t> bytes) {
        vram8s(t * 64 + 8 * r, bytes);
    }
    std::vector<uint32_t> colours(std::initializer_list<uint32_t> indices) const {
        std::vector<uint32_t> out;
        for (uint32_t i : indices) out.push_back(test_shown(i));
        return out;
    }
};

TEST(TextBackground, SixteenColourTileFromMapEntryAndPaletteBank) {
    TextBackground p;
    p.entry(0, 0, 1 | (2 << 12));  // tile 1, bank 2
    p.row16(1, 0, 0x87654320);     // nibble 0 first: transparent in any bank
    p.row16(1, 3, 0x000000F0);
    p.entry(2, 1, 1 | (3 << 12));  // map row 1, column 2
    p.row16(1, 5, 0x87654321);
    p.draw(0);
    EXPECT_EQ(p.row(0, 0, 9), p.colours({0, 34, 35, 36, 37, 38, 39, 40, 0}));
    p.draw(3);
    EXPECT_EQ(p.row(3, 0, 3), p.colours({0, 47, 0}));
    p.draw(13);  // line 13: map row 1, tile row 5
    EXPECT_EQ(p.row(13, 16, 8), p.colours({49, 50, 51, 52, 53, 54, 55, 56}));
    EXPECT_EQ(p.at(15, 13), test_shown(0));
    // Opaque background pixels carry BG0's layer flag in the composed line.
    EXPECT_EQ(p.composed(16) >> 24, 0x01u);
    EXPECT_EQ(p.composed(15) >> 24, 0x20u);
}

TEST(TextBackground, HorizontalOffsetStartsInsideTheFirstTile) {
    TextBackground p;
    p.entry(0, 0, 1);
    p.entry(1, 0, 2);
    p.row16(1, 0, 0x87654321);
    p.solid16(2, 9);
    p.reg(BG0HOFS, 7);
    p.draw(0);
    EXPECT_EQ(p.row(0, 0, 3), p.colours({8, 9, 9}));
    // A vertical offset picks the tile row.
    p.row16(1, 2, 0x0000000A);
    p.reg(BG0HOFS, 0);
    p.reg(BG0VOFS, 1);
    p.draw(1);
    EXPECT_EQ(p.at(0, 1), test_shown(10));
}

TEST(TextBackground, SixteenColourFlips) {
    TextBackground p;
    p.entry(0, 0, 1 | kHFlip);
    p.entry(1, 0, 2);
    p.row16(1, 0, 0x87654321);
    p.solid16(2, 9);
    p.reg(BG0HOFS, 3);
    p.draw(0);
    // A flipped first tile from offset 3: source pixels 4, 3, 2, 1, 0, then the next tile.
    EXPECT_EQ(p.row(0, 0, 7), p.colours({5, 4, 3, 2, 1, 9, 9}));
    // Vertical flip: the tile's first line shows its row 7, the next one row 6.
    p.reg(BG0HOFS, 0);
    p.row16(1, 7, 0x000000BA);
    p.row16(1, 6, 0x0000000C);
    p.entry(0, 1, 1 | kVFlip);
    p.entry(0, 2, 1 | kVFlip | kHFlip);
    p.draw(8);
    EXPECT_EQ(p.row(8, 0, 2), p.colours({10, 11}));
    p.draw(9);
    EXPECT_EQ(p.at(0, 9), test_shown(12));
    p.draw(16);
    EXPECT_EQ(p.row(16, 6, 2), p.colours({11, 10}));
}

TEST(TextBackground, TwoHundredFiftySixColourTilesAndFlips) {
    TextBackground p(kBg0Map8 | kColours256);
    p.row256(1, 0, {10, 11, 12, 0, 14, 15, 16, 17});
    p.row256(1, 7, {200, 201, 202, 203, 204, 205, 206, 207});
    p.entry(0, 0, 1 | (5 << 12));  // the palette bank plays no part
    p.entry(1, 0, 1 | kHFlip);
    p.entry(2, 0, 1 | kVFlip);
    p.draw(0);
    EXPECT_EQ(p.row(0, 0, 8), p.colours({10, 11, 12, 0, 14, 15, 16, 17}));
    EXPECT_EQ(p.row(0, 8, 8), p.colours({17, 16, 15, 14, 0, 12, 11, 10}));
    EXPECT_EQ(p.row(0, 16, 8), p.colours({200, 201, 202, 203, 204, 205, 206, 207}));
    // With an offset the first tile starts at its pixel (offset AND 7) and 31 tiles cover the
    // line: the last column comes from the 31st tile.
    p.reg(BG0HOFS, 5);
    p.entry(30, 0, 1);
    p.draw(0);
    EXPECT_EQ(p.row(0, 0, 3), p.colours({15, 16, 17}));
    EXPECT_EQ(p.row(0, 235, 5), p.colours({10, 11, 12, 0, 14}));
}

TEST(TextBackground, WideMapSeamsGoToTheRightScreenBlockAndBack) {
    TextBackground p(kBg0Map8 | (1 << 14));  // 512x256
    p.solid16(1, 1);
    p.solid16(2, 2);
    p.solid16(3, 3);
    p.solid16(4, 4);
    p.entry(31, 0, 1);
    p.entry(0, 0, 2, 0x800);  // column 32: the right-hand screen block, 2 KB further
    p.entry(0, 0, 3);
    p.entry(31, 0, 4, 0x800);  // column 63
    p.reg(BG0HOFS, 248);
    p.draw(0);
    EXPECT_EQ(p.at(7, 0), test_shown(1));
    EXPECT_EQ(p.at(8, 0), test_shown(2));
    p.reg(BG0HOFS, 504);
    p.draw(1);
    EXPECT_EQ(p.at(7, 1), test_shown(4));
    EXPECT_EQ(p.at(8, 1), test_shown(3));
    // A 256-wide map goes from column 31 back to its own column 0.
    p.reg(BG0CNT, kBg0Map8);
    p.reg(BG0HOFS, 248);
    p.draw(2);
    EXPECT_EQ(p.at(7, 2), test_shown(1));
    EXPECT_EQ(p.at(8, 2), test_shown(3));
}

TEST(TextBackground, TallMapsReadTheirLowerHalfFromTheRightScreenBlock) {
    TextBackground p(kBg0Map8 | (3 << 14));  // 512x512
    p.solid16(1, 1);
    p.solid16(2, 2);
    p.solid16(3, 3);
    p.entry(0, 0, 1);
    p.entry(0, 0, 3, 0x800);   // block 1: the lower half of a 256x512 map
    p.entry(0, 0, 2, 0x1000);  // block 2: the lower half of a 512x512 map
    p.reg(BG0VOFS, 256);
    p.draw(0);
    EXPECT_EQ(p.at(0, 0), test_shown(2));
    p.reg(BG0CNT, kBg0Map8 | (2 << 14));  // 256x512: its second screen block, 2 KB on
    p.draw(1);
    EXPECT_EQ(p.at(0, 1), test_shown(3));
    p.reg(BG0CNT, kBg0Map8);  // 256x256 wraps at 256 lines
    p.draw(2);
    EXPECT_EQ(p.at(0, 2), test_shown(1));
    // 512 lines wrap back to the top.
    p.reg(BG0CNT, kBg0Map8 | (3 << 14));
    p.reg(BG0VOFS, 511);
    p.draw(3);  // source line 514 & 511 = 2
    EXPECT_EQ(p.at(0, 3), test_shown(1));
}

TEST(TextBackground, TilesPastTheBackgroundAreaAreTransparent) {
    // Character base 3 (48 KB): 256-colour tile 255 is the last inside the first 64 KB, tile 256
    // and on lie past it; for 16 colours the limit is tile 512.
    TextBackground p(kBg0Map8 | kColours256 | 0x0C);
    p.vram16(0xC000 + 255 * 64, 0x0505);
    p.vram16(0xC000 + 256 * 64, 0x0606);
    p.entry(0, 0, 255);
    p.entry(1, 0, 256);
    p.draw(0);
    EXPECT_EQ(p.at(0, 0), test_shown(5));
    EXPECT_EQ(p.at(8, 0), test_shown(0));
    p.reg(BG0CNT, kBg0Map8 | 0x0C);
    p.vram16(0xC000 + 511 * 32 + 4, 0x0007);  // row 1, for line 1
    p.vram16(0xC000 + 512 * 32 + 4, 0x0007);
    p.entry(0, 0, 511);
    p.entry(1, 0, 512);
    p.draw(1);
    EXPECT_EQ(p.at(0, 1), test_shown(7));
    EXPECT_EQ(p.at(8, 1), test_shown(0));
}

TEST(TextBackground, MosaicBlocksFollowTheScrolledSource) {
    TextBackground p(kBg0Map8 | kColours256 | kMosaicOn);
    p.row256(1, 0, {10, 11, 12, 13, 14, 15, 16, 17});
    p.row256(2, 0, {20, 21, 22, 23, 24, 25, 26, 27});
    p.row256(1, 4, {40, 41, 42, 43, 44, 45, 46, 47});
    p.entry(0, 0, 1);
    p.entry(1, 0, 2);
    p.reg(MOSAIC, 0x0003);  // blocks of 4
    p.draw(0);
    EXPECT_EQ(p.row(0, 0, 16),
              p.colours({10, 10, 10, 10, 14, 14, 14, 14, 20, 20, 20, 20, 24, 24, 24, 24}));
    p.reg(BG0HOFS, 2);
    p.draw(0);
    EXPECT_EQ(p.row(0, 0, 16),
              p.colours({12, 12, 12, 12, 16, 16, 16, 16, 22, 22, 22, 22, 26, 26, 26, 26}));
    // Vertically the scrolled line is snapped to blocks of 4: with offset 1, lines 0 to 2 show
    // source line 0 and line 3 source line 4.
    p.reg(BG0HOFS, 0);
    p.reg(MOSAIC, 0x0030);
    p.reg(BG0VOFS, 1);
    p.draw(2);
    EXPECT_EQ(p.at(1, 2), test_shown(11));
    p.draw(3);
    EXPECT_EQ(p.at(1, 3), test_shown(41));
}

TEST(TextBackground, MosaicAppliesToSixteenColourBackgroundsToo) {
    TextBackground p(kBg0Map8 | kMosaicOn);
    p.entry(0, 0, 1);
    p.row16(1, 0, 0x87654321);
    p.row16(1, 1, 0x99999999);
    p.reg(MOSAIC, 0x0011);  // blocks of 2 by 2
    p.draw(0);
    EXPECT_EQ(p.row(0, 0, 8), p.colours({1, 1, 3, 3, 5, 5, 7, 7}));
    p.draw(1);
    EXPECT_EQ(p.row(1, 0, 8), p.colours({1, 1, 3, 3, 5, 5, 7, 7}));
    // Without the background's mosaic flag the sizes do nothing.
    p.reg(BG0CNT, kBg0Map8);
    p.draw(1);
    EXPECT_EQ(p.row(1, 0, 2), p.colours({9, 9}));
}

// BG2 as a rotation/scaling background in mode 1: 256-colour tiles from character block 1
// (VRAM 0x4000), a 128x128 map in screen block 16 (VRAM 0x8000).
constexpr uint32_t kRotTiles = 0x4000;
constexpr uint32_t kRotMap = 0x8000;
constexpr uint32_t kBg2Rot = 0x1004;  // BG2CNT: character base 1, screen base 16, size 0
constexpr uint32_t kWrap = 0x2000;

struct RotScaleBackground : PictureMachine {
    RotScaleBackground() {
        fill_palettes(*this);
        reg(DISPCNT, 1 | (kBg0On << 2));
        reg(BG2CNT, kBg2Rot);
        reg32(BG2X, 0);
        reg32(BG2Y, 0);
        // Tile 1: pixel (x, y) is colour 1 + 8y + x. Tile 2: all colour 100.
        for (uint32_t i = 0; i < 64; i += 2) {
            vram16(kRotTiles + 64 + i, (1 + i) | ((2 + i) << 8));
            vram16(kRotTiles + 128 + i, 100 | (100 << 8));
        }
        vram16(kRotMap, 1 | (2 << 8));  // map (0,0) tile 1, (1,0) tile 2
    }
    uint32_t tile1(uint32_t x, uint32_t y) const { return test_shown(1 + 8 * y + x); }
};

TEST(RotScaleBackground, IdentityDrawsTheMapUnscaledLineByLine) {
    RotScaleBackground p;
    p.draw(0);
    for (uint32_t x = 0; x < 8; ++x) EXPECT_EQ(p.at(x, 0), p.tile1(x, 0)) << x;
    EXPECT_EQ(p.at(8, 0), test_shown(100));
    EXPECT_EQ(p.at(16, 0), test_shown(0));  // tile 0 is colour 0: transparent
    p.draw(1);
    EXPECT_EQ(p.at(3, 1), p.tile1(3, 1));
    EXPECT_EQ(p.composed(3) >> 24, 0x04u);
}

TEST(RotScaleBackground, StepsPerPixelAndPerLine) {
    RotScaleBackground p;
    p.reg(BG2PA, 128);  // half a texel per column
    p.reg(BG2PD, 512);  // two texel rows per line
    p.draw(0);
    EXPECT_EQ(p.row(0, 0, 4),
              std::vector<uint32_t>({p.tile1(0, 0), p.tile1(0, 0), p.tile1(1, 0), p.tile1(1, 0)}));
    p.draw(1);
    EXPECT_EQ(p.at(2, 1), p.tile1(1, 2));
    // PC steps Y along the line, PB steps X from line to line.
    p.reg(BG2PA, 0);
    p.reg(BG2PC, 256);
    p.reg(BG2PB, 256);
    p.reg(BG2PD, 0);
    p.reg32(BG2X, 0);
    p.reg32(BG2Y, 0);
    p.draw(2);
    EXPECT_EQ(p.row(2, 0, 3), std::vector<uint32_t>({p.tile1(0, 0), p.tile1(0, 1), p.tile1(0, 2)}));
    p.draw(3);
    EXPECT_EQ(p.at(1, 3), p.tile1(1, 1));
}

TEST(RotScaleBackground, OutsideTheMapIsTransparentUnlessItWraps) {
    RotScaleBackground p;
    p.vram16(kRotMap + 14, 2 << 8);  // map (15,0): tile 2
    p.reg32(BG2X, 0x0FFFFF00);       // -1.0
    p.draw(0);
    EXPECT_EQ(p.at(0, 0), test_shown(0));
    EXPECT_EQ(p.at(1, 0), p.tile1(0, 0));
    p.reg(BG2CNT, kBg2Rot | kWrap);
    p.reg32(BG2X, 0x0FFFFF00);
    p.draw(1);
    EXPECT_EQ(p.at(0, 1), test_shown(100));  // x 127 of the 128-wide map
    // Far past the map's end it is transparent again without wraparound.
    p.reg(BG2CNT, kBg2Rot);
    p.reg32(BG2X, 128 << 8);
    p.draw(2);
    EXPECT_EQ(p.at(0, 2), test_shown(0));
}

TEST(RotScaleBackground, LargerMapsUseLongerRows) {
    RotScaleBackground p;
    p.reg(BG2CNT, kBg2Rot | (1 << 14));  // 256x256: 32 tiles per map row
    p.vram16(kRotMap + 32, 2);           // map (0,1)
    p.draw(8);
    EXPECT_EQ(p.at(0, 8), test_shown(100));
}

TEST(RotScaleBackground, OnlyDrawnLinesAdvanceTheReferencePoint) {
    RotScaleBackground p;
    p.reg(DISPCNT, 1);  // BG2 off for line 0
    p.draw(0);
    EXPECT_EQ(p.m.video.Bg[2].InternalReferenceY, 0);
    p.reg(DISPCNT, 1 | (kBg0On << 2));
    p.draw(1);  // shows texel row 0, as line 0 was not drawn
    EXPECT_EQ(p.at(0, 1), p.tile1(0, 0));
    EXPECT_EQ(p.m.video.Bg[2].InternalReferenceY, 256);
    // In mode 0 BG2 is a text background and its reference point stands still.
    p.reg(DISPCNT, kBg0On << 2);
    p.draw(2);
    EXPECT_EQ(p.m.video.Bg[2].InternalReferenceY, 256);
}

TEST(RotScaleBackground, MosaicUsesTheFirstLineOfItsBlock) {
    RotScaleBackground p;
    p.reg(BG2CNT, kBg2Rot | kMosaicOn);
    p.reg(MOSAIC, 0x0031);  // 2 wide, 4 high
    p.draw(0);
    EXPECT_EQ(p.row(0, 0, 4),
              std::vector<uint32_t>({p.tile1(0, 0), p.tile1(0, 0), p.tile1(2, 0), p.tile1(2, 0)}));
    p.draw(3);
    EXPECT_EQ(p.at(0, 3), p.tile1(0, 0));
    p.draw(5);
    EXPECT_EQ(p.at(0, 5), p.tile1(0, 4));
    // The running point keeps advancing by PD on every line.
    EXPECT_EQ(p.m.video.Bg[2].InternalReferenceY, 6 * 256);
}

TEST(RotScaleBackground, ModeTwoDrawsBg2AndBg3) {
    RotScaleBackground p;
    p.reg(BG3CNT, 0x1104);                       // character base 1, screen base 17
    p.vram16(kRotMap + 0x800, 2);                // BG3's map (0,0): tile 2
    p.reg(DISPCNT, 2 | kBg0On | (kBg0On << 3));  // BG0 means nothing in mode 2
    p.draw(0);
    EXPECT_EQ(p.at(0, 0), test_shown(100));
    EXPECT_EQ(p.at(8, 0), test_shown(0));
    p.reg(DISPCNT, 2 | (kBg0On << 2) | (kBg0On << 3));  // BG2 before BG3 at equal priority
    p.draw(1);
    EXPECT_EQ(p.at(0, 1), p.tile1(0, 0));  // BG2 was not drawn on line 0
}

// The bitmap modes fill BG2's line whatever BG2's enable bit says.
TEST(Bitmap, ModeThreeIsDirectColourAndAlwaysOpaque) {
    PictureMachine p;
    p.colour(0, console(5, 5, 5));
    p.reg(DISPCNT, 3);
    p.vram16(2 * (10 * 240 + 6), console(31, 16, 1));
    p.vram16(2 * (10 * 240 + 239), console(0, 0, 31));
    p.draw(10);
    EXPECT_EQ(p.at(6, 10), shown(31, 16, 1));
    EXPECT_EQ(p.at(239, 10), shown(0, 0, 31));
    EXPECT_EQ(p.at(7, 10), 0u);  // colour 0 is opaque black, not the backdrop
    EXPECT_EQ(p.composed(7) >> 24, 0x04u);
    // Mosaic through BG2's flag: blocks of 2 by 2 show their top left pixel.
    p.reg(BG2CNT, kMosaicOn);
    p.reg(MOSAIC, 0x0011);
    p.draw(11);
    EXPECT_EQ(p.at(6, 11), shown(31, 16, 1));
    EXPECT_EQ(p.at(7, 11), shown(31, 16, 1));
    EXPECT_EQ(p.at(238, 11), shown(0, 0, 0));
    EXPECT_EQ(p.at(239, 11), shown(0, 0, 0));
}

TEST(Bitmap, ModeFourIndexesThePaletteAndSelectsItsFrame) {
    PictureMachine p;
    fill_palettes(p);
    p.reg(DISPCNT, 4);
    p.vram8s(5 * 240 + 2, {7, 0, 9});
    p.vram8s(0xA000 + 5 * 240 + 2, {17, 18});
    p.draw(5);
    EXPECT_EQ(p.row(5, 2, 3), std::vector<uint32_t>({test_shown(7), test_shown(0), test_shown(9)}));
    p.reg(DISPCNT, 4 | 0x10);
    p.draw(5);
    EXPECT_EQ(p.row(5, 2, 2), std::vector<uint32_t>({test_shown(17), test_shown(18)}));
}

TEST(Bitmap, ModeFiveIsSmallerAndShowsTheBackdropAround) {
    PictureMachine p;
    p.colour(0, console(3, 4, 5));
    p.reg(DISPCNT, 5);
    p.vram16(2 * (1 * 160 + 159), console(31, 0, 0));
    p.vram16(0xA000 + 2 * (1 * 160 + 0), console(0, 31, 0));
    p.draw(1);
    EXPECT_EQ(p.at(159, 1), shown(31, 0, 0));
    EXPECT_EQ(p.at(0, 1), shown(0, 0, 0));
    EXPECT_EQ(p.at(160, 1), shown(3, 4, 5));  // columns 160 to 239: the backdrop
    EXPECT_EQ(p.at(239, 1), shown(3, 4, 5));
    p.draw(128);
    EXPECT_EQ(p.at(0, 128), shown(3, 4, 5));  // lines 128 to 159 as well
    p.reg(DISPCNT, 5 | 0x10);
    p.draw(1);
    EXPECT_EQ(p.at(0, 1), shown(0, 31, 0));
}

TEST(Bitmap, ModesSixAndSevenShowTheBackdrop) {
    PictureMachine p;
    p.colour(0, console(9, 9, 9));
    p.vram16(0, 0x7FFF);
    for (uint32_t mode : {6u, 7u}) {
        p.reg(DISPCNT, mode | 0x1F00);
        p.draw(0);
        EXPECT_EQ(p.at(0, 0), shown(9, 9, 9)) << mode;
    }
}

}  // namespace
