#include <gtest/gtest.h>

#include "picture_machine.h"

namespace {

using namespace picture;

// Colours of background and sprite palette entries 1 to 4 and of the backdrop.
constexpr uint32_t kRed = 1, kGreen = 2, kBlue = 3, kWhite = 4;
constexpr uint32_t kShownRed = 0xF80000, kShownGreen = 0x00F800, kShownWhite = 0xF8F8F8;
constexpr uint32_t kShownBackdrop = shown(4, 8, 12);

// BLDCNT bits.
constexpr uint32_t kFirstBg0 = 0x01, kFirstSprites = 0x10, kFirstBackdrop = 0x20;
constexpr uint32_t kAlpha = 0x40, kBrighten = 0x80, kDarken = 0xC0;
constexpr uint32_t kSecondBg1 = 0x200, kSecondBackdrop = 0x2000;

// Up to four solid text backgrounds and solid 8x8 sprites, in the colours above.
struct Layers : PictureMachine {
    Layers() {
        hide_sprites();
        colour(0, console(4, 8, 12));
        const uint32_t colours[5] = {0, console(31, 0, 0), console(0, 31, 0), console(0, 0, 31),
                                     console(31, 31, 31)};
        for (uint32_t i = 1; i <= 4; ++i) {
            colour(i, colours[i]);
            colour(256 + i, colours[i]);
            for (uint32_t r = 0; r < 8; ++r) {
                vram32(32 * i + 4 * r, i * 0x11111111u);            // background tile i
                vram32(0x10000 + 32 * i + 4 * r, i * 0x11111111u);  // sprite tile i
            }
        }
    }
    // Background n: tile `tile` all over its map (screen block 8 + n), at priority `priority`.
    void solid_bg(uint32_t n, uint32_t tile, uint32_t priority) {
        for (uint32_t i = 0; i < 1024; ++i) vram16(0x4000 + 0x800 * n + 2 * i, tile);
        reg(BG0CNT + 2 * n, ((8 + n) << 8) | priority);
    }
};

TEST(Composition, PriorityThenBackgroundNumberDecideTheFront) {
    Layers p;
    p.reg(DISPCNT, kBg0On | (kBg0On << 1));
    p.solid_bg(0, kRed, 0);
    p.solid_bg(1, kGreen, 0);
    p.draw(0);
    EXPECT_EQ(p.at(0, 0), kShownRed);
    EXPECT_EQ(p.composed(0) >> 24, 0x01u);  // a plain write leaves only the layer's flag
    p.solid_bg(0, kRed, 1);
    p.draw(1);
    EXPECT_EQ(p.at(0, 1), kShownGreen);
    // Disabled backgrounds are not composed.
    p.reg(DISPCNT, kBg0On);
    p.draw(2);
    EXPECT_EQ(p.at(0, 2), kShownRed);
    p.reg(DISPCNT, 0);
    p.draw(3);
    EXPECT_EQ(p.at(0, 3), kShownBackdrop);
    EXPECT_EQ(p.composed(0) >> 24, 0x20u);
}

TEST(Composition, ForcedBlankIgnoresEveryLayer) {
    Layers p;
    p.solid_bg(0, kRed, 0);
    p.reg(DISPCNT, kBg0On);
    p.draw(0);
    p.reg(DISPCNT, kBg0On | kForcedBlank);
    p.draw(1);
    EXPECT_EQ(p.at(0, 1), kShownBackdrop);
}

struct Effects : Layers {
    Effects() {
        reg(DISPCNT, kBg0On | (kBg0On << 1) | kSpritesOn);
        solid_bg(0, kRed, 0);
        solid_bg(1, kGreen, 1);
    }
};

TEST(Effects, AlphaBlendsAFirstTargetOverASecondTarget) {
    Effects p;
    p.reg(BLDCNT, kFirstBg0 | kAlpha | kSecondBg1);
    p.reg(BLDALPHA, 8 | (8 << 8));
    p.draw(0);
    EXPECT_EQ(p.at(0, 0), 0x7C7C00u);       // (248 * 8) >> 4 = 124 of each
    EXPECT_EQ(p.composed(0) >> 24, 0x03u);  // the pixel keeps BG1's flag and gains BG0's
    // Over a layer that is not a second target the first target is drawn plainly.
    p.reg(BLDCNT, kFirstBg0 | kAlpha | kSecondBackdrop);
    p.draw(1);
    EXPECT_EQ(p.at(0, 1), kShownRed);
    // Over the backdrop as second target.
    p.reg(DISPCNT, kBg0On);
    p.draw(2);
    EXPECT_EQ(p.at(0, 2), 0x8C2030u);  // (32 * 8 + 248 * 8) >> 4 = 140, 64 / 2, 96 / 2
}

TEST(Effects, AlphaHoldsAt255AndStrengthsAbove16CountAs16) {
    Effects p;
    p.solid_bg(0, kWhite, 0);
    p.colour(2, console(31, 31, 31));  // BG1 white too
    p.reg(BLDCNT, kFirstBg0 | kAlpha | kSecondBg1);
    p.reg(BLDALPHA, 16 | (16 << 8));
    p.draw(0);
    EXPECT_EQ(p.at(0, 0), 0xFFFFFFu);  // 496 per channel held at 255
    // EVA 31 takes part as 16: white alone at full strength, not held at 255.
    p.reg(BLDALPHA, 31 | (0 << 8));
    p.draw(1);
    EXPECT_EQ(p.at(0, 1), kShownWhite);
    p.colour(2, console(0, 31, 0));
    p.reg(BLDALPHA, 0 | (20 << 8));
    p.draw(2);
    EXPECT_EQ(p.at(0, 2), kShownGreen);
}

TEST(Effects, BrightenAndDarken) {
    Effects p;
    p.reg(BLDCNT, kFirstBg0 | kBrighten);
    p.reg(BLDY, 8);
    p.draw(0);
    // (8 * 255 + 8 * 248) >> 4 = 251 and (8 * 255) >> 4 = 127.
    EXPECT_EQ(p.at(0, 0), 0xFB7F7Fu);
    EXPECT_EQ(p.composed(0) >> 24, 0x03u);
    p.reg(BLDY, 31);  // as 16: full white, no wrapping
    p.draw(1);
    EXPECT_EQ(p.at(0, 1), 0xFFFFFFu);
    p.reg(BLDCNT, kFirstBg0 | kDarken);
    p.reg(BLDY, 4);
    p.draw(2);
    EXPECT_EQ(p.at(0, 2), 0xBA0000u);  // 248 * 12 >> 4 = 186
    p.reg(BLDY, 20);
    p.draw(3);
    EXPECT_EQ(p.at(0, 3), 0u);
    // A layer that is not a first target is left alone.
    p.reg(BLDCNT, 0x02 | kDarken);
    p.reg(BLDY, 8);
    p.draw(4);
    EXPECT_EQ(p.at(0, 4), kShownRed);
}

TEST(Effects, SpritesAsFirstTargetAndSemiTransparentSprites) {
    Effects p;
    p.sprite(0, 0, 0, kBlue | (1 << 10));  // priority 1: behind BG0
    p.sprite(1, 0, 8, kBlue);              // priority 0
    p.reg(BLDCNT, kFirstSprites | kDarken);
    p.reg(BLDY, 8);
    p.draw(0);
    EXPECT_EQ(p.at(8, 0), shown(0, 0, 0) | 0x7C);  // blue 248 * 8 >> 4 = 124
    EXPECT_EQ(p.at(0, 0), kShownRed);
    // A semi-transparent sprite blends with a second target below whatever the effect is.
    p.sprite(1, 0x0400, 8, kBlue);
    p.reg(BLDCNT, kSecondBg1);
    p.reg(BLDALPHA, 8 | (8 << 8));
    p.reg(BG0CNT, 0x0800 | 2);  // BG0 behind BG1 now
    p.draw(1);
    EXPECT_EQ(p.at(8, 1), 0x007C7Cu);
    p.reg(BLDCNT, kSecondBg1 | kBrighten);
    p.draw(2);
    EXPECT_EQ(p.at(8, 2), 0x007C7Cu);
    // Over a pixel that is no second target it is drawn plainly.
    p.reg(BLDCNT, kSecondBackdrop);
    p.draw(3);
    EXPECT_EQ(p.at(8, 3), 0x0000F8u);
    // Semi-transparent over the backdrop as second target.
    p.reg(DISPCNT, kSpritesOn);
    p.draw(4);
    EXPECT_EQ(p.at(8, 4), 0x1020ACu);  // 32 / 2, 64 / 2, (96 * 8 + 248 * 8) >> 4 = 172
}

TEST(Effects, TheBackdropAsFirstTargetIsBrightenedOrDarkenedWhereUncovered) {
    Effects p;
    p.reg(DISPCNT, kBg0On);
    p.reg(BG0HOFS, 0);
    for (uint32_t i = 0; i < 1024; i += 2) p.vram16(0x4000 + 2 * i, 0);  // every other tile empty
    p.reg(BLDCNT, kFirstBackdrop | kBrighten);
    p.reg(BLDY, 16);
    p.draw(0);
    EXPECT_EQ(p.at(0, 0), 0xFFFFFFu);
    EXPECT_EQ(p.at(8, 0), kShownRed);
    p.reg(BLDCNT, kFirstBackdrop | kDarken);
    p.reg(BLDY, 8);
    p.draw(1);
    EXPECT_EQ(p.at(0, 1), shown(2, 4, 6));
    // The console blends the backdrop as first target with nothing.
    p.reg(BLDCNT, kFirstBackdrop | kAlpha | 0x3F00);
    p.reg(BLDALPHA, 4 | (4 << 8));
    p.draw(2);
    EXPECT_EQ(p.at(0, 2), kShownBackdrop);
    // Without its first-target bit the backdrop stays as it is.
    p.reg(BLDCNT, kFirstBg0 | kBrighten);
    p.draw(3);
    EXPECT_EQ(p.at(0, 3), kShownBackdrop);
}

struct Windows : Layers {
    Windows() {
        solid_bg(0, kRed, 0);
        solid_bg(1, kGreen, 1);
    }
};

TEST(Windows, EdgesAreInclusive) {
    Windows p;
    p.reg(DISPCNT, kBg0On | kWin0On);
    p.reg(WIN0H, (10 << 8) | 20);
    p.reg(WIN0V, (5 << 8) | 7);
    p.reg(WININ, 0);      // nothing inside
    p.reg(WINOUT, 0x01);  // BG0 outside
    p.draw(4);
    EXPECT_EQ(p.at(15, 4), kShownRed);
    p.draw(5);
    EXPECT_EQ(p.row(5, 9, 13),
              std::vector<uint32_t>({kShownRed, kShownBackdrop, kShownBackdrop, kShownBackdrop,
                                     kShownBackdrop, kShownBackdrop, kShownBackdrop, kShownBackdrop,
                                     kShownBackdrop, kShownBackdrop, kShownBackdrop, kShownBackdrop,
                                     kShownRed}));
    p.draw(7);
    EXPECT_EQ(p.at(20, 7), kShownBackdrop);
    p.draw(8);
    EXPECT_EQ(p.at(15, 8), kShownRed);
    // A left edge past the right edge covers nothing; a right edge past the screen stops there.
    p.reg(WIN0H, (20 << 8) | 10);
    p.draw(6);
    EXPECT_EQ(p.at(15, 6), kShownRed);
    p.reg(WIN0H, (230 << 8) | 255);
    p.draw(6);
    EXPECT_EQ(p.at(229, 6), kShownRed);
    EXPECT_EQ(p.at(230, 6), kShownBackdrop);
    EXPECT_EQ(p.at(239, 6), kShownBackdrop);
}

TEST(Windows, WindowZeroBeforeWindowOneBeforeOutside) {
    Windows p;
    p.reg(DISPCNT, kBg0On | (kBg0On << 1) | kWin0On | kWin1On);
    p.reg(WIN0H, (10 << 8) | 20);
    p.reg(WIN1H, (15 << 8) | 30);
    p.reg(WIN0V, 159);
    p.reg(WIN1V, 159);
    p.reg(WININ, 0x01 | (0x02 << 8));
    p.reg(WINOUT, 0);
    p.draw(0);
    EXPECT_EQ(p.at(9, 0), kShownBackdrop);
    EXPECT_EQ(p.at(15, 0), kShownRed);
    EXPECT_EQ(p.at(20, 0), kShownRed);
    EXPECT_EQ(p.at(21, 0), kShownGreen);
    EXPECT_EQ(p.at(30, 0), kShownGreen);
    EXPECT_EQ(p.at(31, 0), kShownBackdrop);
    // A window that is not enabled does not count.
    p.reg(DISPCNT, kBg0On | (kBg0On << 1) | kWin1On);
    p.draw(1);
    EXPECT_EQ(p.at(12, 1), kShownBackdrop);
    EXPECT_EQ(p.at(16, 1), kShownGreen);
}

TEST(Windows, EffectEnablesAndSprites) {
    Windows p;
    p.reg(DISPCNT, kBg0On | kSpritesOn | kWin0On);
    p.reg(WIN0H, (0 << 8) | 3);
    p.reg(WIN0V, 159);
    p.reg(WININ, 0x01);   // BG0 without effects inside
    p.reg(WINOUT, 0x21);  // BG0 with effects outside, no sprites
    p.reg(BLDCNT, kFirstBg0 | kBrighten);
    p.reg(BLDY, 16);
    p.draw(0);
    EXPECT_EQ(p.at(3, 0), kShownRed);
    EXPECT_EQ(p.at(4, 0), 0xFFFFFFu);
    // The sprite layer's bit masks sprite pixels, the effect bit their effects.
    p.sprite(0, 0, 0, kBlue);
    p.reg(BLDCNT, kFirstSprites | kBrighten);
    p.draw(1);
    EXPECT_EQ(p.at(3, 1), kShownRed);
    EXPECT_EQ(p.at(4, 1), kShownRed);
    p.reg(WININ, 0x11);   // sprites inside, no effects
    p.reg(WINOUT, 0x31);  // sprites outside, with effects
    p.draw(2);
    EXPECT_EQ(p.at(3, 2), 0x0000F8u);
    EXPECT_EQ(p.at(4, 2), 0xFFFFFFu);
}

TEST(Windows, SpriteWindowFromWindowModeSprites) {
    Windows p;
    p.reg(DISPCNT, kBg0On | (kBg0On << 1) | kSpritesOn | kSpriteWinOn);
    p.reg(WINOUT, 0x01 | (0x02 << 8));       // outside BG0, in the sprite window BG1
    p.vram32(0x10000 + 32 * 5, 0x10000001);  // sprite tile 5, row 0: columns 0 and 7 opaque
    p.sprite(0, 0x0800, 40, kWhite);         // a window sprite: forms the window, never drawn
    p.sprite(1, 0x0800, 100, 5);
    p.draw(0);
    EXPECT_EQ(p.at(39, 0), kShownRed);
    EXPECT_EQ(p.at(40, 0), kShownGreen);
    EXPECT_EQ(p.at(47, 0), kShownGreen);
    EXPECT_EQ(p.at(48, 0), kShownRed);
    EXPECT_EQ(p.row(0, 100, 8),
              std::vector<uint32_t>({kShownGreen, kShownRed, kShownRed, kShownRed, kShownRed,
                                     kShownRed, kShownRed, kShownGreen}));
    // Window 0 goes before the sprite window.
    p.reg(DISPCNT, kBg0On | (kBg0On << 1) | kSpritesOn | kSpriteWinOn | kWin0On);
    p.reg(WIN0H, (44 << 8) | 45);
    p.reg(WIN0V, 159);
    p.reg(WININ, 0x01);
    p.draw(1);
    EXPECT_EQ(p.at(43, 1), kShownGreen);
    EXPECT_EQ(p.at(44, 1), kShownRed);
    EXPECT_EQ(p.at(46, 1), kShownGreen);
    // With sprites off there are no window sprites: everything is outside.
    p.reg(DISPCNT, kBg0On | (kBg0On << 1) | kSpriteWinOn);
    p.draw(2);
    EXPECT_EQ(p.at(40, 2), kShownRed);
    // Without the sprite window's enable bit window sprites mask nothing.
    p.reg(DISPCNT, kBg0On | (kBg0On << 1) | kSpritesOn);
    p.draw(3);
    EXPECT_EQ(p.at(40, 3), kShownRed);
    EXPECT_EQ(p.at(0, 3), kShownRed);
}

TEST(Windows, OffInBitmapModesAndWhenTheSettingsSaySo) {
    Windows p;
    p.reg(WIN0H, (0 << 8) | 239);
    p.reg(WIN0V, 159);
    p.reg(WININ, 0);
    p.reg(WINOUT, 0);
    p.m.settings.WindowsEnabled = 0;
    p.reg(DISPCNT, kBg0On | kWin0On);
    p.draw(0);
    EXPECT_EQ(p.at(0, 0), kShownRed);
    p.m.settings.WindowsEnabled = 1;
    p.draw(1);
    EXPECT_EQ(p.at(0, 1), kShownBackdrop);
    p.reg(DISPCNT, 3 | kWin0On);
    p.vram16(2 * (2 * 240), console(31, 0, 0));
    p.draw(2);
    EXPECT_EQ(p.at(0, 2), kShownRed);
}

}  // namespace
