#include <gtest/gtest.h>

#include "picture_machine.h"

namespace {

using namespace picture;

// Sprite attribute bits.
constexpr uint32_t kRotScale = 0x0100, kDoubleOrHidden = 0x0200;
constexpr uint32_t kSemiTransparent = 0x0400, kWindowSprite = 0x0800;
constexpr uint32_t kSpriteMosaic = 0x1000, kSprite256 = 0x2000;
constexpr uint32_t kSquare = 0, kWide = 0x4000, kTall = 0x8000, kBadShape = 0xC000;
constexpr uint32_t kHFlip = 0x1000, kVFlip = 0x2000;
constexpr uint32_t kSize8 = 0, kSize16 = 0x4000, kSize32 = 0x8000;
constexpr uint32_t priority(uint32_t p) {
    return p << 10;
}
constexpr uint32_t palette(uint32_t p) {
    return p << 12;
}
constexpr uint32_t group(uint32_t g) {
    return g << 9;
}

constexpr uint32_t kSpriteTiles = 0x10000;

struct Sprites : PictureMachine {
    explicit Sprites(uint32_t dispcnt = kSpritesOn) {
        fill_palettes(*this);
        hide_sprites();
        reg(DISPCNT, dispcnt);
    }
    // 16-colour tile t (32-byte units from the start of sprite VRAM), row r.
    void row16(uint32_t t, uint32_t r, uint32_t word) {
        vram32(kSpriteTiles + 32 * t + 4 * r, word);
    }
    void solid16(uint32_t t, uint32_t nibble) {
        for (uint32_t r = 0; r < 8; ++r) row16(t, r, nibble * 0x11111111u);
    }
    // 256-colour tile starting at 32-byte unit t, row r.
    void row256(uint32_t t, uint32_t r, std::initializer_list<uint8_t> bytes) {
        vram8s(kSpriteTiles + 32 * t + 8 * r, bytes);
    }
    // What sprite palette bank `bank`, index i shows.
    static uint32_t ink(uint32_t i, uint32_t bank = 0) { return test_shown(256 + bank * 16 + i); }
    std::vector<uint32_t> inks(std::initializer_list<uint32_t> indices, uint32_t bank = 0) const {
        std::vector<uint32_t> out;
        for (uint32_t i : indices) out.push_back(i ? ink(i, bank) : test_shown(0));
        return out;
    }
};

TEST(Sprite, SixteenColourRowAndPaletteBank) {
    Sprites p;
    p.row16(4, 0, 0x87654301);  // nibble 0 is transparent
    p.sprite(0, 10, 20 | kSize8, 4 | palette(3));
    p.draw(10);
    EXPECT_EQ(p.row(10, 19, 10), p.inks({0, 1, 0, 3, 4, 5, 6, 7, 8, 0}, 3));
    EXPECT_EQ(p.composed(22) >> 24, 0x10u);
    EXPECT_EQ(p.composed(21) >> 24, 0x20u);
    p.draw(9);  // above the sprite: nothing
    EXPECT_EQ(p.at(21, 9), test_shown(0));
}

TEST(Sprite, OamChangesActFromTheNextLine) {
    Sprites p;
    p.solid16(1, 1);
    p.sprite(0, 10, 0, 1);
    p.draw(10);
    EXPECT_EQ(p.at(0, 10), Sprites::ink(1));
    // Moved in the middle of the frame: seen at once on the lines still to come.
    p.sprite(0, 20, 0, 1);
    p.draw(17);
    EXPECT_EQ(p.at(0, 17), test_shown(0));
    p.draw(20);
    EXPECT_EQ(p.at(0, 20), Sprites::ink(1));
    p.sprite(0, 30, 8, 1);
    p.draw(30);
    EXPECT_EQ(p.at(8, 30), Sprites::ink(1));
    // And in the next frames.
    p.draw(10);
    EXPECT_EQ(p.at(0, 10), test_shown(0));
    p.draw(30);
    EXPECT_EQ(p.at(8, 30), Sprites::ink(1));
    p.sprite(0, 0x0200, 0, 0);  // hidden
    p.draw(30);
    EXPECT_EQ(p.at(8, 30), test_shown(0));
    // After a machine's video and OAM reset every sprite is an 8x8 square at the top left.
    video_reset(p.m);
    oam_reset(p.m);
    fill_palettes(p);
    p.solid16(0, 2);
    p.reg(DISPCNT, kSpritesOn);
    p.draw(7);
    EXPECT_EQ(p.at(7, 7), Sprites::ink(2));
}

TEST(Sprite, RowsWrapFromTheBottomOfTheScreenRange) {
    Sprites p;
    for (uint32_t r = 0; r < 8; ++r) {
        p.row16(0, r, (r + 1) * 0x11111111u);          // rows 0-7: inks 1-8
        p.row16(32, r, ((r + 9) & 15) * 0x11111111u);  // rows 8-15: inks 9-15, then 0
    }
    p.sprite(0, 250 | kTall, 0, 0);  // 8x16 at Y 250: rows 6 to 15 on lines 0 to 9
    p.draw(0);
    EXPECT_EQ(p.at(0, 0), Sprites::ink(7));
    p.draw(2);
    EXPECT_EQ(p.at(0, 2), Sprites::ink(9));
    p.draw(8);
    EXPECT_EQ(p.at(0, 8), Sprites::ink(15));
    p.draw(10);
    EXPECT_EQ(p.at(0, 10), test_shown(0));
}

TEST(Sprite, ColumnsWrapAt512) {
    Sprites p;
    p.row16(0, 0, 0x87654321);
    p.sprite(0, 0, 508, 0);
    p.draw(0);
    EXPECT_EQ(p.row(0, 0, 5), p.inks({5, 6, 7, 8, 0}));
    // Flipped, the sprite's last column lands first.
    p.sprite(0, 0, 508 | kHFlip, 0);
    p.draw(0);
    EXPECT_EQ(p.row(0, 0, 5), p.inks({4, 3, 2, 1, 0}));
    EXPECT_EQ(p.at(239, 0), test_shown(0));
}

TEST(Sprite, Flips) {
    Sprites p;
    p.row16(0, 0, 0x87654321);
    p.row16(0, 7, 0x000000CB);
    p.row16(1, 0, 0x99999999);
    p.sprite(0, 0, 0 | kSize16 | kHFlip, 0 | palette(1));  // 16x16: tiles 0 and 1 across
    p.sprite(1, 0 | kSquare, 40 | kVFlip, 0);
    p.sprite(2, 0, 80 | kVFlip | kHFlip, 0);
    p.draw(0);
    // Flipped, the right-hand tile comes first and each tile's row runs backward.
    EXPECT_EQ(p.row(0, 0, 16), p.inks({9, 9, 9, 9, 9, 9, 9, 9, 8, 7, 6, 5, 4, 3, 2, 1}, 1));
    EXPECT_EQ(p.row(0, 40, 3), p.inks({11, 12, 0}));
    EXPECT_EQ(p.row(0, 85, 3), p.inks({0, 12, 11}));
}

TEST(Sprite, TwoHundredFiftySixColours) {
    Sprites p;
    p.row256(2, 0, {1, 2, 0, 200, 5, 6, 7, 8});
    p.row256(4, 0, {9, 9, 9, 9, 9, 9, 9, 9});            // the second tile across lies 64 bytes on
    p.sprite(0, kSprite256 | kWide, 0, 2 | palette(5));  // 16x8; the palette number plays no part
    p.draw(0);
    EXPECT_EQ(p.row(0, 0, 9),
              std::vector<uint32_t>({test_shown(257), test_shown(258), test_shown(0),
                                     test_shown(456), test_shown(261), test_shown(262),
                                     test_shown(263), test_shown(264), test_shown(265)}));
}

TEST(Sprite, TwoDimensionalMappingRowsLie1KbApart) {
    // 16x16 sprites: their second tile row starts 32 tiles (1 KB) further in 2D mapping, for 16
    // colours as for 256.
    Sprites p;
    p.solid16(32, 3);
    p.solid16(64, 4);  // where a 2 KB stride would land
    p.solid16(2, 5);   // where 1D mapping goes: two 16-colour tiles on
    p.sprite(0, 0 | kSquare, 0 | kSize16, 0);
    p.draw(8);
    EXPECT_EQ(p.at(0, 8), Sprites::ink(3));
    p.reg(DISPCNT, kSpritesOn | kSprites1D);
    p.draw(9);
    EXPECT_EQ(p.at(0, 9), Sprites::ink(5));

    Sprites q;
    q.row256(32 + 100, 0, {1});  // sprite at tile 100: 2D row 1 at tile 132
    q.row256(100 + 4, 0, {2});   // 1D: two 256-colour tiles (128 bytes) on
    q.sprite(0, kSprite256 | kSquare, 0 | kSize16, 100);
    q.draw(8);
    EXPECT_EQ(q.at(0, 8), test_shown(257));
    q.reg(DISPCNT, kSpritesOn | kSprites1D);
    q.draw(8);
    EXPECT_EQ(q.at(0, 8), test_shown(258));
}

TEST(Sprite, HiddenAndOneColumnSpritesDrawNothing) {
    Sprites p;
    p.solid16(0, 1);
    p.sprite(0, 0 | kDoubleOrHidden, 0, 0);  // hidden without rotation/scaling
    p.sprite(1, 0 | kBadShape, 10, 0);       // shape 3: one pixel wide, no whole tile
    p.sprite(2, 0 | kWindowSprite, 20, 0);   // window sprites are never drawn
    p.draw(0);
    EXPECT_EQ(p.at(0, 0), test_shown(0));
    EXPECT_EQ(p.at(10, 0), test_shown(0));
    EXPECT_EQ(p.at(20, 0), test_shown(0));
}

TEST(Sprite, LowerNumbersInFrontAndPriorityAgainstBackgrounds) {
    Sprites p(kSpritesOn | kBg0On);
    p.solid16(1, 1);
    p.solid16(2, 2);
    p.sprite(5, 0, 0, 1 | priority(1));
    p.sprite(6, 0, 4, 2 | priority(1));
    p.sprite(7, 0, 100, 2 | priority(3));  // lower priority number drawn later, whatever s
    p.sprite(4, 0, 104, 1 | priority(0));
    // BG0: a solid 16-colour tile 3 over the whole map.
    for (uint32_t r = 0; r < 8; ++r) p.vram32(0x60 + 4 * r, 0x33333333);
    for (uint32_t i = 0; i < 1024; ++i) p.vram16(0x4000 + 2 * i, 3);
    p.reg(BG0CNT, 0x0800 | 0);  // priority 0: in front of the priority 1 sprites
    p.draw(0);
    EXPECT_EQ(p.at(6, 0), test_shown(3));
    EXPECT_EQ(p.at(104, 0), Sprites::ink(1));
    p.reg(BG0CNT, 0x0800 | 1);  // equal priority: the sprites are in front
    p.draw(1);
    EXPECT_EQ(p.at(6, 1), Sprites::ink(1));   // sprite 5 covers sprite 6
    EXPECT_EQ(p.at(10, 1), Sprites::ink(2));  // sprite 6 alone
    EXPECT_EQ(p.at(104, 1), Sprites::ink(1));
    EXPECT_EQ(p.at(100, 1), test_shown(3));  // priority 3 behind BG0
    // The sprite enable bit.
    p.reg(DISPCNT, kBg0On);
    p.draw(2);
    EXPECT_EQ(p.at(104, 2), test_shown(3));
}

struct AffineSprites : Sprites {
    AffineSprites() {
        // Tile 0 (256 colours, 64 bytes, units 0 and 1): pixel (x, y) is 1 + 8y + x.
        for (uint32_t y = 0; y < 8; ++y)
            for (uint32_t x = 0; x < 8; x += 2)
                vram16(kSpriteTiles + 8 * y + x, (1 + 8 * y + x) | ((2 + 8 * y + x) << 8));
        // Tile 4 (16 colours): row y is the nibbles 1 + x (x 0 to 7) with bank 2.
        for (uint32_t y = 0; y < 8; ++y) row16(4, y, 0x87654321);
    }
    static uint32_t texel(uint32_t x, uint32_t y) { return test_shown(256 + 1 + 8 * y + x); }
};

TEST(AffineSprite, IdentityLooksLikeTheNormalSprite) {
    AffineSprites p;
    p.sprite_affine(3, 256, 0, 0, 256);
    p.sprite(0, 2 | kSprite256 | kRotScale, 0 | group(3), 0);
    p.sprite(1, 2 | kSprite256, 16, 0);
    p.sprite(2, 2 | kRotScale, 32 | group(3), 4);  // 16 colours
    p.sprite(3, 2, 48, 4);
    p.draw(5);
    EXPECT_EQ(p.row(5, 0, 8), p.row(5, 16, 8));
    EXPECT_EQ(p.at(0, 5), AffineSprites::texel(0, 3));
    EXPECT_EQ(p.row(5, 32, 8), p.row(5, 48, 8));
    EXPECT_EQ(p.at(32, 5), Sprites::ink(1));
}

TEST(AffineSprite, ScalingRoundsTowardZero) {
    AffineSprites p;
    p.sprite_affine(0, 128, 0, 0, 128);  // twice the size, inside the same 8x8 box
    p.sprite(0, kSprite256 | kRotScale, 0, 0);
    p.draw(3);  // dy 0: texture row 3
    // dx from -3 to 4 gives -1.5, -1, -0.5, 0, 0.5, 1, 1.5, 2: truncated to -1 -1 0 0 0 1 1 2.
    std::vector<uint32_t> want;
    for (uint32_t tx : {2, 2, 3, 3, 3, 4, 4, 5}) want.push_back(AffineSprites::texel(tx, 3));
    EXPECT_EQ(p.row(3, 0, 8), want);
}

TEST(AffineSprite, SixteenColourSpritesTurnToo) {
    AffineSprites p;
    p.sprite_affine(0, -256, 0, 0, 256);  // mirrored about the centre column 3
    p.sprite(0, 0 | kRotScale, 0, 4 | palette(2));
    p.draw(0);
    // Column c shows texel 6 - c; column 7 would need texel -1 and stays empty.
    EXPECT_EQ(p.row(0, 0, 8), p.inks({7, 6, 5, 4, 3, 2, 1, 0}, 2));
}

TEST(AffineSprite, DoubleSizeCentresTheTextureInTheDoubledBox) {
    AffineSprites p;
    p.sprite_affine(0, 256, 0, 0, 256);
    p.sprite(0, 20 | kSprite256 | kRotScale | kDoubleOrHidden, 30, 0);
    p.draw(23);
    EXPECT_EQ(p.at(34, 23), test_shown(0));  // texture row -1: nothing
    p.draw(24);
    EXPECT_EQ(p.at(33, 24), test_shown(0));
    EXPECT_EQ(p.at(34, 24), AffineSprites::texel(0, 0));  // texture centre at X + W = 37
    EXPECT_EQ(p.at(37, 24), AffineSprites::texel(3, 0));
    EXPECT_EQ(p.at(41, 24), AffineSprites::texel(7, 0));
    EXPECT_EQ(p.at(42, 24), test_shown(0));
    p.draw(31);
    EXPECT_EQ(p.at(34, 31), AffineSprites::texel(0, 7));
    // Scaled by two it fills the doubled box: on line 24 (dy -3, texture row 2) the columns
    // i = -7 to 7 show texels 0 (-3.5 truncated to -3), 0, 1, ... 6.
    p.sprite_affine(0, 128, 0, 0, 128);
    p.draw(24);
    EXPECT_EQ(p.at(29, 24), test_shown(0));
    EXPECT_EQ(p.at(30, 24), AffineSprites::texel(0, 2));
    EXPECT_EQ(p.at(31, 24), AffineSprites::texel(0, 2));
    EXPECT_EQ(p.at(44, 24), AffineSprites::texel(6, 2));
    EXPECT_EQ(p.at(45, 24), test_shown(0));
}

TEST(AffineSprite, TileRowsFollowTheMapping) {
    // A 16x16 sprite under the identity: line 8 shows texture row 8, the second tile row.
    Sprites p;
    p.sprite_affine(0, 256, 0, 0, 256);
    p.row256(200 + 32, 0, {1});  // 256 colours, 2D: 1 KB (32 units) on
    p.row256(200 + 4, 0, {2});   // 1D: two 64-byte tiles on
    p.sprite(0, kSprite256 | kRotScale, 0 | kSize16, 200);
    p.row16(300 + 32, 0, 0x3);  // 16 colours, 2D: 1 KB on
    p.row16(300 + 2, 0, 0x4);   // 1D: two 32-byte tiles on
    p.sprite(1, kRotScale, 20 | kSize16, 300);
    p.draw(8);
    EXPECT_EQ(p.at(0, 8), test_shown(257));
    EXPECT_EQ(p.at(20, 8), Sprites::ink(3));
    p.reg(DISPCNT, kSpritesOn | kSprites1D);
    p.draw(8);
    EXPECT_EQ(p.at(0, 8), test_shown(258));
    EXPECT_EQ(p.at(20, 8), Sprites::ink(4));
}

TEST(AffineSprite, RotationGroupsComeFromTheFourthHalfwords) {
    AffineSprites p;
    p.sprite_affine(0, 256, 0, 0, 256);
    p.sprite_affine(1, 0, 256, 256, 0);  // a transposition: column c shows texture row c
    p.sprite(0, 0 | kSprite256 | kRotScale, 0 | group(1), 0);
    p.draw(3);
    std::vector<uint32_t> want;
    for (uint32_t c = 0; c < 8; ++c) want.push_back(AffineSprites::texel(3, c));
    EXPECT_EQ(p.row(3, 0, 8), want);
}

TEST(SpriteMosaic, BlocksAreAlignedToTheScreen) {
    Sprites p;
    p.row16(0, 0, 0x87654321);
    p.row16(0, 1, 0x99999999);
    p.row16(0, 2, 0xAAAAAAAA);
    p.sprite(0, 0 | kSpriteMosaic, 0, 0);
    p.reg(MOSAIC, 0x1100);  // sprite blocks 2 by 2
    p.draw(0);
    EXPECT_EQ(p.row(0, 0, 8), p.inks({1, 1, 3, 3, 5, 5, 7, 7}));
    p.draw(1);
    EXPECT_EQ(p.row(1, 0, 2), p.inks({1, 1}));  // line 1 shows row 0
    p.draw(2);
    EXPECT_EQ(p.at(0, 2), Sprites::ink(10));
    // One column to the right: the blocks stay on even screen columns; the first one is held
    // at the sprite's first column.
    p.sprite(0, 0 | kSpriteMosaic, 1, 0);
    p.draw(0);
    EXPECT_EQ(p.row(0, 0, 9), p.inks({0, 1, 2, 2, 4, 4, 6, 6, 8}));
    // Without the sprite's flag the sizes do nothing.
    p.sprite(0, 0, 0, 0);
    p.draw(1);
    EXPECT_EQ(p.at(0, 1), Sprites::ink(9));
}

}  // namespace
