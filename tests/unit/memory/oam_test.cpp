#include "memory/oam.h"

#include <gtest/gtest.h>

#include "fake_host.h"

namespace {

constexpr uint32_t kOam = 0x07000000;

struct Dimensions {
    uint32_t width_minus1, height_minus1, width_shift;
};

Dimensions dimensions(const SpriteAttribute& s) {
    return {s.WidthMinus1, s.HeightMinus1, s.WidthShift};
}

bool operator==(const Dimensions& a, const Dimensions& b) {
    return a.width_minus1 == b.width_minus1 && a.height_minus1 == b.height_minus1 &&
           a.width_shift == b.width_shift;
}

std::ostream& operator<<(std::ostream& os, const Dimensions& d) {
    return os << d.width_minus1 << "/" << d.height_minus1 << "/" << d.width_shift;
}

TEST(OamHalfwordWrites, AttributesZeroAndOneSetPositionShapeAndSize) {
    TestMachine t;
    oam_reset(t.m);
    write16(t.m, kOam, 0x4032);
    const SpriteAttribute& s = t.m.SpriteAttributes[0];
    EXPECT_EQ(s.Y, 0x32u);
    EXPECT_EQ(s.Shape, 1u);
    EXPECT_EQ(dimensions(s), (Dimensions{15, 7, 1}));  // wide, size 0: 16 by 8

    write16(t.m, kOam + 2, 0xC000);
    EXPECT_EQ(s.Size, 3u);
    EXPECT_EQ(dimensions(s), (Dimensions{63, 31, 3}));  // wide, size 3: 64 by 32

    // Changing the shape alone looks the size up again with the stored size.
    write16(t.m, kOam, 0x8000);
    EXPECT_EQ(dimensions(s), (Dimensions{31, 63, 2}));  // tall, size 3: 32 by 64
    write16(t.m, kOam, 0xC000);
    EXPECT_EQ(dimensions(s), (Dimensions{0, 0, 0}));  // shape 3 is not a shape
}

TEST(OamHalfwordWrites, EveryShapeAndSizeGivesTheConsolesDimensions) {
    TestMachine t;
    const Dimensions expected[4][4] = {
        {{7, 7, 0}, {15, 15, 1}, {31, 31, 2}, {63, 63, 3}},
        {{15, 7, 1}, {31, 7, 2}, {31, 15, 2}, {63, 31, 3}},
        {{7, 15, 0}, {7, 31, 0}, {15, 31, 1}, {31, 63, 2}},
        {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}},
    };
    for (uint32_t shape = 0; shape < 4; ++shape) {
        for (uint32_t size = 0; size < 4; ++size) {
            uint32_t sprite = shape * 4 + size;
            write16(t.m, kOam + 8 * sprite, shape << 14);
            write16(t.m, kOam + 8 * sprite + 2, size << 14);
            EXPECT_EQ(dimensions(t.m.SpriteAttributes[sprite]), expected[shape][size])
                << "shape " << shape << " size " << size;
        }
    }
}

TEST(OamHalfwordWrites, FlagsAndFieldsDecodeFromTheirBits) {
    TestMachine t;
    write16(t.m, kOam + 8 * 5, 0x3B00 | 0x7F);  // rot/scale, double, mode 2, mosaic, 256 colours
    write16(t.m, kOam + 8 * 5 + 2, 0x31FF);     // X 0x1FF, group 0x18 (both flip bits set)
    write16(t.m, kOam + 8 * 5 + 4, 0xA7FF);     // tile 0x3FF, priority 1, palette 0xA
    const SpriteAttribute& s = t.m.SpriteAttributes[5];
    EXPECT_EQ(s.Y, 0x7Fu);
    EXPECT_NE(s.RotScale, 0u);
    EXPECT_NE(s.DoubleSizeOrHidden, 0u);
    EXPECT_EQ(s.Mode, 2u);
    EXPECT_NE(s.Mosaic, 0u);
    EXPECT_NE(s.Colours256, 0u);
    EXPECT_EQ(s.Shape, 0u);
    EXPECT_EQ(s.X, 0x1FFu);
    EXPECT_EQ(s.AffineGroup, 0x18u);
    EXPECT_NE(s.HFlip, 0u);
    EXPECT_NE(s.VFlip, 0u);
    EXPECT_EQ(s.Tile, 0x3FFu);
    EXPECT_EQ(s.TileAddress, 0x10000u + 0x3FF * 32);
    EXPECT_EQ(s.Priority, 1u);
    EXPECT_EQ(s.Palette, 0xAu);

    write16(t.m, kOam + 8 * 5, 0x0000);
    write16(t.m, kOam + 8 * 5 + 2, 0x0000);
    EXPECT_EQ(s.RotScale | s.DoubleSizeOrHidden | s.Mosaic | s.Colours256, 0u);
    EXPECT_EQ(s.HFlip | s.VFlip | s.AffineGroup, 0u);
    // Neighbouring sprites are untouched.
    EXPECT_EQ(t.m.SpriteAttributes[4].X, 0u);
    EXPECT_EQ(t.m.SpriteAttributes[6].Y, 0u);
}

TEST(OamHalfwordWrites, OddOffsetIsStoredAndDecodedAtTheEvenOffsetBelow) {
    TestMachine t;
    write16(t.m, kOam + 3, 0x4123);
    EXPECT_EQ(read16(t.m, kOam + 2), 0x4123u);
    EXPECT_EQ(read8(t.m, kOam + 4), 0u);
    EXPECT_EQ(t.m.SpriteAttributes[0].X, 0x123u);
    EXPECT_EQ(t.m.SpriteAttributes[0].Size, 1u);
    EXPECT_EQ(t.m.SpriteAttributes[0].Tile, 0u);
}

TEST(OamRotationScaling, FourthHalfwordsAreSignExtendedIntoTheirGroups) {
    TestMachine t;
    write16(t.m, kOam + 6, 0xFF00);
    EXPECT_EQ(t.m.SpriteAffine[0].PA, -0x100);  // -1.0
    write16(t.m, kOam + 14, 0x0180);
    EXPECT_EQ(t.m.SpriteAffine[0].PB, 0x180);  // +1.5
    write16(t.m, kOam + 22, 0x8000);
    EXPECT_EQ(t.m.SpriteAffine[0].PC, -0x8000);
    write16(t.m, kOam + 30, 0x7FFF);
    EXPECT_EQ(t.m.SpriteAffine[0].PD, 0x7FFF);
    write16(t.m, kOam + 38, 0xFF00);
    EXPECT_EQ(t.m.SpriteAffine[1].PA, -0x100);
    write16(t.m, kOam + 0x3FE, 0xFFFF);
    EXPECT_EQ(t.m.SpriteAffine[31].PD, -1);
    EXPECT_EQ(t.m.SpriteAffine[1].PB, 0);
    // The sprite table itself is not touched by these halfwords.
    EXPECT_EQ(t.m.SpriteAttributes[0].Tile, 0u);
    EXPECT_EQ(t.m.SpriteAttributes[127].Tile, 0u);
}

TEST(OamByteWrites, AttributeZeroBytes) {
    TestMachine t;
    oam_reset(t.m);
    write8(t.m, kOam + 8, 0x9A);
    write8(t.m, kOam + 9, 0x7F);  // rot/scale, double, mode 3, mosaic, 256 colours, wide
    const SpriteAttribute& s = t.m.SpriteAttributes[1];
    EXPECT_EQ(s.Y, 0x9Au);
    EXPECT_NE(s.RotScale, 0u);
    EXPECT_NE(s.DoubleSizeOrHidden, 0u);
    EXPECT_EQ(s.Mode, 3u);
    EXPECT_NE(s.Mosaic, 0u);
    EXPECT_NE(s.Colours256, 0u);
    EXPECT_EQ(s.Shape, 1u);
    EXPECT_EQ(dimensions(s), (Dimensions{15, 7, 1}));
    EXPECT_EQ(read16(t.m, kOam + 8), 0x7F9Au);
}

TEST(OamByteWrites, AttributeOneHighByteSetsXBitEightAndReplacesTheRest) {
    TestMachine t;
    write16(t.m, kOam + 2, 0xFFFF);
    write8(t.m, kOam + 3, 0x01);
    const SpriteAttribute& s = t.m.SpriteAttributes[0];
    EXPECT_EQ(s.X, 0x1FFu);  // the low eight bits are kept
    EXPECT_EQ(s.AffineGroup, 0u);
    EXPECT_EQ(s.HFlip, 0u);
    EXPECT_EQ(s.VFlip, 0u);
    EXPECT_EQ(s.Size, 0u);
    EXPECT_EQ(dimensions(s), (Dimensions{7, 7, 0}));

    write8(t.m, kOam + 2, 0x23);  // low byte only: bit 8 stays
    EXPECT_EQ(s.X, 0x123u);
    write8(t.m, kOam + 3, 0xF2);  // group 0x19, both flips, size 3
    EXPECT_EQ(s.X, 0x23u);
    EXPECT_EQ(s.AffineGroup, 0x19u);
    EXPECT_NE(s.HFlip, 0u);
    EXPECT_NE(s.VFlip, 0u);
    EXPECT_EQ(dimensions(s), (Dimensions{63, 63, 3}));
}

TEST(OamByteWrites, AttributeTwoBytesCombineTheTileNumber) {
    TestMachine t;
    write16(t.m, kOam + 4, 0x0300);
    write8(t.m, kOam + 4, 0x45);
    const SpriteAttribute& s = t.m.SpriteAttributes[0];
    EXPECT_EQ(s.Tile, 0x345u);
    EXPECT_EQ(s.TileAddress, 0x10000u + 0x345 * 32);
    write8(t.m, kOam + 5, 0x9E);  // tile bits 8-9 = 2, priority 3, palette 9
    EXPECT_EQ(s.Tile, 0x245u);
    EXPECT_EQ(s.TileAddress, 0x10000u + 0x245 * 32);
    EXPECT_EQ(s.Priority, 3u);
    EXPECT_EQ(s.Palette, 9u);
}

TEST(OamByteWrites, RotationScalingBytesKeepTheOtherHalf) {
    TestMachine t;
    write8(t.m, kOam + 6, 0x00);
    write8(t.m, kOam + 7, 0x80);
    EXPECT_EQ(uint32_t(t.m.SpriteAffine[0].PA), 0xFFFF8000u);
    write8(t.m, kOam + 6, 0x12);  // the sign extension stays
    EXPECT_EQ(uint32_t(t.m.SpriteAffine[0].PA), 0xFFFF8012u);
    write8(t.m, kOam + 7, 0x01);  // a new high byte sign-extends again
    EXPECT_EQ(t.m.SpriteAffine[0].PA, 0x0112);
    write8(t.m, kOam + 31, 0xFF);  // PD of group 0
    EXPECT_EQ(t.m.SpriteAffine[0].PD, -0x100);
}

TEST(OamWordWrites, AreTwoHalfwordWrites) {
    TestMachine t;
    write32(t.m, kOam + 0x10, 0xC0004032);
    write32(t.m, kOam + 0x14, 0xFF000005);
    const SpriteAttribute& s = t.m.SpriteAttributes[2];
    EXPECT_EQ(s.Y, 0x32u);
    EXPECT_EQ(dimensions(s), (Dimensions{63, 31, 3}));
    EXPECT_EQ(s.Tile, 5u);
    EXPECT_EQ(t.m.SpriteAffine[0].PC, -0x100);
    EXPECT_EQ(read32(t.m, kOam + 0x14), 0xFF000005u);
    EXPECT_EQ(read16(t.m, kOam + 0x11), 0x0040u);  // reads take the offset as given
}

TEST(OamWordWrites, WordInTheLastHalfwordKeepsOnlyItsLowHalf) {
    TestMachine t;
    write32(t.m, kOam + 0x3FE, 0x12348000);
    EXPECT_EQ(t.m.SpriteAffine[31].PD, -0x8000);
    EXPECT_EQ(read16(t.m, kOam + 0x3FE), 0x8000u);
    EXPECT_EQ(read32(t.m, kOam + 0x3FE), 0x8000u);  // nothing lands past the end
    EXPECT_EQ(t.m.Oam[kOamSize], 0u);
}

TEST(OamReset, EverySpriteBecomesEightByEightAtTheOriginAndGroupsAreKept) {
    TestMachine t;
    for (uint32_t offset = 0; offset < kOamSize; offset += 4) {
        write32(t.m, kOam + offset, 0xFFFFFFFF);
    }
    oam_reset(t.m);
    for (uint32_t offset = 0; offset < kOamSize; offset += 4) {
        ASSERT_EQ(read32(t.m, kOam + offset), 0u);
    }
    for (const SpriteAttribute& s : t.m.SpriteAttributes) {
        EXPECT_EQ(s.X | s.Y | s.Tile | s.Shape | s.Size | s.Priority | s.Palette, 0u);
        EXPECT_EQ(s.RotScale | s.DoubleSizeOrHidden | s.Mode | s.HFlip | s.VFlip, 0u);
        EXPECT_EQ(s.TileAddress, 0x10000u);
        EXPECT_EQ(dimensions(s), (Dimensions{7, 7, 0}));
    }
    EXPECT_EQ(t.m.SpriteAffine[0].PA, -1);
    EXPECT_EQ(t.m.SpriteAffine[31].PD, -1);
}

}  // namespace
