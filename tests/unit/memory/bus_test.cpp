#include "memory/bus.h"

#include <gtest/gtest.h>

#include "fake_host.h"

namespace {

// Gives the machine a ROM image of `size` bytes whose byte i is i & 0xFF.
void load_pattern_rom(Machine& m, uint32_t size) {
    m.RomImage.reset(new uint8_t[size + kSlack]());
    for (uint32_t i = 0; i < size; ++i) m.RomImage[i] = uint8_t(i);
    m.RomSize = size;
}

TEST(Bus, UnmappedAddressesReadZeroAndSwallowWrites) {
    TestMachine t;
    EXPECT_EQ(read8(t.m, 0x00000000), 0u);
    EXPECT_EQ(read32(t.m, 0x02040000), 0u);  // EWRAM is not mirrored
    write8(t.m, 0x03008000, 0x55);
    EXPECT_EQ(read8(t.m, 0x03000000), 0u);
    EXPECT_EQ(read16(t.m, 0x04000300), 0u);
    EXPECT_EQ(read32(t.m, 0x0F000000), 0u);
    EXPECT_EQ(read32(t.m, 0xFFFFFFFC), 0u);
}

TEST(Bus, LittleEndianUnalignedAccess) {
    TestMachine t;
    write32(t.m, 0x02000001, 0x11223344);
    EXPECT_EQ(read8(t.m, 0x02000001), 0x44u);
    EXPECT_EQ(read16(t.m, 0x02000002), 0x2233u);
    EXPECT_EQ(read32(t.m, 0x02000000), 0x22334400u);
    write16(t.m, 0x03007FFC, 0xBEEF);
    EXPECT_EQ(read32(t.m, 0x03007FFC), 0x0000BEEFu);
}

TEST(Bus, AccessInLastBytesOfARegionStaysInBounds) {
    TestMachine t;
    write32(t.m, 0x0203FFFE, 0xAABBCCDD);  // two bytes fit, two fall off the end
    EXPECT_EQ(read16(t.m, 0x0203FFFE), 0xCCDDu);
    EXPECT_EQ(read32(t.m, 0x0203FFFE), 0x0000CCDDu);  // past the end reads 0
    write32(t.m, 0x0E00FFFF, 0xFFFFFFFF);
    EXPECT_EQ(read32(t.m, 0x0E00FFFC), 0xFF000000u);
    EXPECT_EQ(read32(t.m, 0x0E00FFFF), 0x000000FFu);
    // The slack behind a region stays zero for every later reader.
    EXPECT_EQ(t.m.Sram[kSramSize], 0u);
}

TEST(Bus, CartridgeWindowIsSeenThreeTimes) {
    TestMachine t;
    load_pattern_rom(t.m, 0x400000);
    EXPECT_EQ(read8(t.m, 0x08000010), 0x10u);
    EXPECT_EQ(read8(t.m, 0x0A000010), 0x10u);
    EXPECT_EQ(read8(t.m, 0x0C000010), 0x10u);
    EXPECT_EQ(read16(t.m, 0x08400000), 0u);  // past the image
    t.m.SaveWindow[0] = 0x34;
    t.m.SaveWindow[1] = 0x12;
    EXPECT_EQ(read16(t.m, 0x09FE0000), 0x1234u);
    EXPECT_EQ(read16(t.m, 0x0BFE0000), 0x1234u);
    EXPECT_EQ(read16(t.m, 0x0DFE0000), 0x1234u);
}

TEST(Bus, RomImageLastBytesReadZeroBeyondTheImage) {
    TestMachine t;
    load_pattern_rom(t.m, 5);
    EXPECT_EQ(read32(t.m, 0x08000004), 0x00000004u);
    EXPECT_EQ(read32(t.m, 0x08000003), 0x00000403u);
}

TEST(Bus, RomWritesOnlyWhenEnabled) {
    TestMachine t;
    load_pattern_rom(t.m, 0x100);
    write32(t.m, 0x08000000, 0xDEADBEEF);
    EXPECT_EQ(read32(t.m, 0x08000000), 0x03020100u);
    t.m.settings.ROMWriteEnable = 1;
    write32(t.m, 0x08000000, 0xDEADBEEF);
    EXPECT_EQ(read32(t.m, 0x08000000), 0xDEADBEEFu);
    // The last bytes of the image take only what fits.
    write32(t.m, 0x080000FE, 0x11223344);
    EXPECT_EQ(read32(t.m, 0x080000FC), 0x3344FDFCu);
}

TEST(Bus, SaveWindowIsPlainMemory) {
    TestMachine t;
    write32(t.m, 0x0DFE0004, 0xCAFEF00D);
    EXPECT_EQ(read32(t.m, 0x09FE0004), 0xCAFEF00Du);
    write8(t.m, 0x08001000, 0x77);  // ROM area below the save window: dropped
    EXPECT_EQ(read8(t.m, 0x08001000), 0u);
}

TEST(Bus, PaletteWritesUpdateTheColourCache) {
    TestMachine t;
    write16(t.m, 0x05000000, 0x7FFF);
    EXPECT_EQ(t.m.ColourCache[0], 0x40F8F8F8u);
    write16(t.m, 0x05000002, 0x001F);
    EXPECT_EQ(t.m.ColourCache[1], 0x000000F8u);
    write32(t.m, 0x050001FE, 0x03E07C00);
    EXPECT_EQ(t.m.ColourCache[255], 0x00F80000u);
    EXPECT_EQ(t.m.ColourCache[256], 0x4000F800u);
    write8(t.m, 0x05000003, 0x7C);  // re-converts the whole halfword at offset 2
    EXPECT_EQ(t.m.ColourCache[1], 0x00F800F8u);
    write32(t.m, 0x050003FE, 0x7FFF7FFF);  // the last entry; the next one does not exist
    EXPECT_EQ(t.m.ColourCache[511], 0x00F8F8F8u);
}

}  // namespace
