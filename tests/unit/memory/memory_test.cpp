// The bus, the I/O registers, DMA and the sprite table, through the machine's own accesses.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "fake_host.h"
#include "memory/dma.h"
#include "memory/io.h"
#include "memory/oam.h"

namespace {

constexpr uint32_t kIo = 0x04000000, kEwram = 0x02000000, kIwram = 0x03000000;
constexpr uint32_t kOam = 0x07000000;
// Script steps: writes and reads of 1, 2 or 4 bytes, and a few looks at the machine.
constexpr uint32_t W8 = 1, W16 = 2, W32 = 4, R8 = 9, R16 = 10, R32 = 12, SetIf = 13, Vcount = 14,
                   Cache = 15, Lines = 16;
struct Step {
    uint32_t op, address, value;
};

void run_script(Machine& m, FakeHost& host, std::initializer_list<Step> steps) {
    for (const Step& s : steps) {
        SCOPED_TRACE(testing::Message() << std::hex << s.op << " " << s.address << " " << s.value);
        if (s.op == W8) write8(m, s.address, s.value);
        if (s.op == W16) write16(m, s.address, s.value);
        if (s.op == W32) write32(m, s.address, s.value);
        if (s.op == SetIf) m.IF = uint16_t(s.value);
        if (s.op == Vcount) m.video.VCOUNT = s.value;
        const uint32_t a = s.address;
        EXPECT_EQ(s.op == R8      ? read8(m, a)
                  : s.op == R16   ? read16(m, a)
                  : s.op == R32   ? read32(m, a)
                  : s.op == Cache ? m.ColourCache[a]
                  : s.op == Lines ? host.debug_lines.size()
                                  : s.value,
                  s.value);
    }
}

TEST(Bus, RegionsMirrorsAndEnds) {
    TestMachine t;
    t.m.RomImage.reset(new uint8_t[0x400000 + kSlack]());
    for (uint32_t i = 0; i < 0x400000; ++i) t.m.RomImage[i] = uint8_t(i);
    t.m.RomSize = 0x400000;
    // clang-format off
    run_script(t.m, t.host, {
        {R32, 0x00000000, 0}, {R32, 0x02040000, 0}, {W8, 0x03008000, 0x55}, {R8, 0x03000000, 0},
        {R32, 0x0F000000, 0}, {R32, 0xFFFFFFFC, 0},
        // Little-endian and unaligned as given; the bytes past a region's end read 0.
        {W32, 0x02000001, 0x11223344}, {R16, 0x02000002, 0x2233}, {R32, 0x02000000, 0x22334400},
        {W32, 0x0203FFFE, 0xAABBCCDD}, {R32, 0x0203FFFE, 0xCCDD}, {W32, 0x0E00FFFF, 0xFFFFFFFF},
        {R32, 0x0E00FFFC, 0xFF000000}, {R32, 0x0E00FFFF, 0xFF},
        // The cartridge three times, its save window at the top of each, ROM writes dropped.
        {R8, 0x08000010, 0x10}, {R8, 0x0A000011, 0x11}, {R8, 0x0C000012, 0x12},
        {R16, 0x08400000, 0}, {R32, 0x083FFFFE, 0xFFFE}, {W32, 0x0DFE0004, 0xCAFEF00D},
        {R32, 0x09FE0004, 0xCAFEF00D}, {R8, 0x0BFE0005, 0xF0}, {W8, 0x08001001, 0x77},
        {R8, 0x08001001, 0x01},
        // Palette writes convert the whole halfword into the colour cache.
        {W16, 0x05000000, 0x7FFF}, {Cache, 0, 0x40F8F8F8}, {W32, 0x050001FE, 0x03E07C00},
        {Cache, 255, 0x00F80000}, {Cache, 256, 0x4000F800}, {W8, 0x05000003, 0x7C},
        {Cache, 1, 0x00F80000}, {W32, 0x050003FE, 0x7FFF7FFF}, {Cache, 511, 0x00F8F8F8},
    });
    // clang-format on
    EXPECT_EQ(t.m.Sram[kSramSize], 0u);
    t.m.settings.ROMWriteEnable = 1;
    run_script(t.m, t.host, {{W32, 0x08000000, 0xDEADBEEF}, {R32, 0x08000000, 0xDEADBEEF}});
    run_script(t.m, t.host, {{W32, 0x083FFFFE, 0x11223344}, {R32, 0x083FFFFC, 0x3344FDFC}});
}

TEST(Io, RegistersAsTheProgramSeesThem) {
    TestMachine t;
    // clang-format off
    run_script(t.m, t.host, {
        // Writing 1 to IF acknowledges; IE keeps 14 bits; IME acts on halfword writes only.
        {SetIf, 0, 5}, {W16, kIo + IF, 3}, {R16, kIo + IF, 4}, {SetIf, 0, 1},
        {W32, kIo + IE, 0x00010001}, {R32, kIo + IE, 1}, {W16, kIo + IE, 0xFFFF},
        {R16, kIo + IE, 0x3FFF}, {W8, kIo + IME, 1}, {R16, kIo + IME, 0}, {Lines, 0, 1},
        {W16, kIo + IME, 0xFFFF}, {R16, kIo + IME, 1},
        // IE and IF read as one word; byte reads of IF see the last byte written.
        {SetIf, 0, 5}, {R32, kIo + IE, 0x00053FFF}, {W8, kIo + IF, 0x77}, {R8, kIo + IF, 0x77},
        {R16, kIo + IF, 5},
        // DISPSTAT's V-blank flag follows VCOUNT; VCOUNT reads alone.
        {Vcount, 0, 160}, {R8, kIo + DISPSTAT, 0}, {Vcount, 0, 161},
        {R32, kIo + DISPSTAT, 161u << 16 | 1}, {W16, kIo + BG0CNT, 0x1234},
        {R32, kIo + VCOUNT, 161}, {Vcount, 0, 0}, {R8, kIo + DISPSTAT, 0},
        // Timers and keys read back; unemulated registers read 0 or the bytes written.
        {W16, kIo + TM0CNT_L + 4, 0xFFFC}, {W16, kIo + TM0CNT_H + 4, 0x00C3},
        {R16, kIo + TM0CNT_L + 4, 0xFFFC}, {R8, kIo + TM0CNT_L + 5, 0xFF},
        {R16, kIo + TM0CNT_H + 4, 0x00C3},
        {W16, kIo + DISPCNT, 0xFF4F}, {R16, kIo + DISPCNT, 0xFF47},  // bit 3 is dropped
        {W16, kIo + KEYCNT, 0x4001}, {R16, kIo + KEYCNT, 0x4001}, {R16, kIo + 0x060, 0},
        {W16, kIo + WININ, 0x1234}, {R16, kIo + WININ, 0x1234}, {W16, kIo + WAITCNT, 0x4317},
        {R16, kIo + WAITCNT, 0}, {W32, kIo + 0x2FE, 0xFFFFFFFF}, {R32, kIo + 0x2FE, 0xFFFF},
        // A word write of DMA3's control starts an immediate copy; addresses need word writes.
        {W32, kEwram, 0x11111111}, {W32, kIo + DMA3SAD, kEwram}, {W32, kIo + DMA3DAD, kIwram},
        {W16, kIo + DMA3SAD, 0x0004}, {W32, kIo + DMA3CNT_L, 0x84000001},
        {R32, kIwram, 0x11111111},
        // A word write counts 14 bits on channels 0 to 2 (0xC001 is 1 unit) and 16 on channel 3.
        {W32, kEwram + 4, 0x22222222}, {W32, kIo + DMA0SAD + kDmaStride, kEwram},
        {W32, kIo + DMA0DAD + kDmaStride, kIwram + 8},
        {W32, kIo + DMA0CNT_L + kDmaStride, 0x8400C001}, {R32, kIwram + 12, 0},
        {W32, kEwram + 0x10000, 0x55555555}, {W32, kIo + DMA3SAD, kEwram},
        {W32, kIo + DMA3DAD, kEwram + 0x20000}, {W32, kIo + DMA3CNT_L, 0x84004001},
        {R32, kEwram + 0x30000, 0x55555555},
    });
    // clang-format on
    EXPECT_TRUE(t.host.boxes.empty());
    t.m.cpu.R[15] = 0x08000108;
    write8(t.m, kIo + VCOUNT, 0x12);
    EXPECT_EQ(t.host.debug_lines.back(),
              "08000100 : Ecriture du Byte 12 \xE0 l'adresse 00000006\n");
    write8(t.m, kIo + TM0CNT_L + 16, 0x80);  // past the four timers
    EXPECT_EQ(t.host.debug_lines.back().substr(11),
              "Ecriture du Byte 80 \xE0 l'adresse 00000110\n");
}

TEST(Io, WriteOnlyRegistersWarnUntilSwitchedOff) {
    TestMachine t;
    t.host.answer_yes = false;
    EXPECT_EQ(read32(t.m, kIo + BG0HOFS), 0u);  // asks for the high half first
    t.host.answer_yes = true;
    read16(t.m, kIo + 0x0A0);
    read16(t.m, kIo + MOSAIC);
    ASSERT_EQ(t.host.boxes.size(), 3u);
    EXPECT_EQ(t.host.boxes[0].text,
              "This ROM can bug on a real AGB\nUnallowed IO reading : register 12\nDisable this "
              "kind of WARNING ?");
    EXPECT_NE(t.host.boxes[1].text.find("register 10"), std::string::npos);
    EXPECT_NE(t.host.boxes[2].text.find("register A0"), std::string::npos);
}

// Channel modes, in the layout DMAnCNT_H << 16 | DMAnCNT_L; the source holds 0x11111111 * n.
constexpr uint32_t kOn = 0x80000000, kIrq = 0x40000000, kWords = 0x04000000;
constexpr uint32_t kSrcDown = 1u << 23, kSrcFixed = 2u << 23, kDstDown = 1u << 21;
constexpr uint32_t kDstFixed = 2u << 21, kDstKeep = 3u << 21;

TEST(Dma, ImmediateTransfers) {
    struct Case {
        uint32_t channel, source, dest, control, ie;
        uint32_t source_after, dest_after, irq;
        std::vector<std::pair<uint32_t, uint32_t>> words;  // expected at kIwram + offset
    };
    // clang-format off
    const Case cases[] = {
        {3, kEwram + 13, kIwram, kOn | kWords | 4, 0, kEwram + 0x1C, kIwram + 16, 0,
         {{0, 0x44444444}, {12, 0x77777777}, {16, 0}}},  // the source is aligned
        {1, kEwram + 3, kIwram + 1, kOn | 2, 0, kEwram + 6, kIwram + 5, 0,
         {{0, 0x22111100}, {4, 0x22}}},  // halfwords; the destination as stored
        {0, kEwram + 8, kIwram, kOn | kWords | kSrcDown | 3, 0, kEwram - 4, kIwram + 12, 0,
         {{0, 0x33333333}, {8, 0x11111111}}},
        {0, kEwram, kIwram + 8, kOn | kWords | kDstDown | 3, 0, kEwram + 12, kIwram - 4, 0,
         {{0, 0x33333333}, {8, 0x11111111}}},
        {2, kEwram, kIwram, kOn | kWords | kSrcFixed | 2, 0, kEwram, kIwram + 8, 0, {{4, 0x11111111}}},
        {2, kEwram, kIwram, kOn | kWords | 3u << 23 | 2, 0, kEwram, kIwram + 8, 0, {{4, 0x11111111}}},
        {3, kEwram, kIwram, kOn | kWords | kDstFixed | 3, 0, kEwram + 12, kIwram, 0,
         {{0, 0x33333333}, {4, 0}}},
        {3, kEwram, kIwram, kOn | kWords | kDstKeep | 2, 0, kEwram + 8, kIwram, 0, {{4, 0x22222222}}},
        {3, kEwram, kIwram, kOn | kWords, 0, kEwram, kIwram, 0, {{0, 0}}},  // count 0
        // The end request needs IME, the control bit and the channel's IE bit.
        {1, kEwram, kIwram, kOn | kIrq | 1, 0x200, kEwram + 2, kIwram + 2, 0x200, {}},
        {1, kEwram, kIwram, kOn | kIrq, 0x200, kEwram, kIwram, 0x200, {}},
        {1, kEwram, kIwram, kOn | kIrq | 1, 0x100, kEwram + 2, kIwram + 2, 0, {}},
        {1, kEwram, kIwram, kOn | 1, 0x200, kEwram + 2, kIwram + 2, 0, {}},
        {2, kEwram, kIwram, kOn | kWords | 0x30000000 | 1, 0, kEwram, kIwram, 0, {{0, 0}}},  // special
    };
    // clang-format on
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << k.control);
        TestMachine t;
        for (uint32_t i = 0; i < 8; ++i) write32(t.m, kEwram + 4 * i, 0x11111111u * (i + 1));
        t.m.IME = 1;
        t.m.IE = uint16_t(k.ie);
        DmaChannel& ch = t.m.dma[k.channel];
        ch.DmaSource = k.source, ch.DmaDest = k.dest, ch.DmaControl = k.control;
        dma_start(t.m, k.channel);
        EXPECT_EQ(std::vector<uint32_t>({ch.DmaSource, ch.DmaDest, t.m.IF}),
                  std::vector<uint32_t>({k.source_after, k.dest_after, k.irq}));
        for (auto [offset, value] : k.words) EXPECT_EQ(read32(t.m, kIwram + offset), value);
    }
}

// Transfers that restart themselves through their own control register end: at the nesting
// bound (a tree of 255 transfers of 2 units) or at the unit budget.
TEST(Dma, SelfRestartingTransfersEnd) {
    for (uint32_t count : {2u, 0xFFFFu}) {
        TestMachine t;
        const uint32_t control = kOn | kWords | kSrcFixed | kDstFixed | count;
        write32(t.m, kEwram, control);
        t.m.dma[3].DmaSource = kEwram, t.m.dma[3].DmaDest = kIo + DMA3CNT_L;
        t.m.dma[3].DmaControl = control;
        dma_start(t.m, 3);
        EXPECT_EQ(t.m.DmaNesting, 0u);
        const uint32_t units = t.m.DmaChainUnits;
        EXPECT_TRUE(count == 2 ? units == 2 * 255
                               : units >= kMaxDmaChainUnits && units < kMaxDmaChainUnits + 0x10000)
            << units;
    }
}

// Bytes, halfwords and words written to OAM read back as written and decode as if each halfword
// had been written whole (flags compared as set or clear).
TEST(Oam, EveryWriteWidthDecodesAsHalfwords) {
    TestMachine t, ref;
    oam_reset(t.m), oam_reset(ref.m);
    std::mt19937 rng(12);
    uint8_t shadow[kOamSize] = {};
    for (int i = 0; i < 3000; ++i) {
        const uint32_t offset = rng() % kOamSize, value = rng(), width = rng() % 3;
        if (width == 0) write8(t.m, kOam + offset, value), shadow[offset] = uint8_t(value);
        if (width == 1) {
            write16(t.m, kOam + offset, value);
            shadow[offset & ~1u] = uint8_t(value), shadow[offset | 1] = uint8_t(value >> 8);
        }
        if (width == 2) {
            const uint32_t at = offset == kOamSize - 2 ? offset : offset & ~3u;
            write32(t.m, kOam + at, value);
            for (uint32_t b = 0; b < 4 && at + b < kOamSize; ++b) shadow[at + b] = value >> 8 * b;
        }
        if (i % 100 != 99) continue;
        for (uint32_t o = 0; o < kOamSize; o += 2) {
            ASSERT_EQ(read16(t.m, kOam + o), shadow[o] | shadow[o + 1] << 8) << o;
            write16(ref.m, kOam + o, shadow[o] | shadow[o + 1] << 8);
        }
        ASSERT_EQ(t.m.Oam[kOamSize], 0u);
        for (uint32_t n = 0; n < kSpriteCount; ++n) {
            // clang-format off
            auto fields = [](const SpriteAttribute& s) {
                return std::vector<uint32_t>{s.Y, !s.RotScale, !s.DoubleSizeOrHidden, s.Mode,
                    !s.Mosaic, !s.Colours256, s.Shape, s.X, s.AffineGroup, !s.HFlip, !s.VFlip,
                    s.Size, s.WidthMinus1, s.HeightMinus1, s.WidthShift, s.Tile, s.TileAddress,
                    s.Priority, s.Palette};
            };
            // clang-format on
            ASSERT_EQ(fields(t.m.SpriteAttributes[n]), fields(ref.m.SpriteAttributes[n])) << n;
        }
        for (uint32_t g = 0; g < kAffineGroupCount; ++g) {
            const SpriteAffineGroup &a = t.m.SpriteAffine[g], &b = ref.m.SpriteAffine[g];
            ASSERT_TRUE(a.PA == b.PA && a.PB == b.PB && a.PC == b.PC && a.PD == b.PD) << g;
        }
    }
}

// After a reset every sprite is 8x8 at the origin; the rotation groups are kept.
TEST(Oam, ResetClearsTheSprites) {
    TestMachine t;
    for (uint32_t offset = 0; offset < kOamSize; offset += 4) write32(t.m, kOam + offset, ~0u);
    oam_reset(t.m);
    EXPECT_EQ(read32(t.m, kOam + 0x100), 0u);
    const SpriteAttribute& s = t.m.SpriteAttributes[127];
    EXPECT_EQ(s.X | s.Y | s.Tile | s.Size | s.Shape | s.HFlip | s.Priority, 0u);
    EXPECT_EQ(s.WidthMinus1 | s.HeightMinus1, 7u);
    EXPECT_EQ(s.TileAddress, 0x10000u);
    EXPECT_EQ(t.m.SpriteAffine[31].PD, -1);
}

}  // namespace
