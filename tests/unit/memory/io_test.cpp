#include "memory/io.h"

#include <gtest/gtest.h>

#include "fake_host.h"
#include "memory/bus.h"

namespace {

constexpr uint32_t kIo = 0x04000000;

TEST(IoWrite, InterruptRegisters) {
    TestMachine t;
    Machine& m = t.m;
    m.IF = 0x0005;
    write16(m, kIo + IF, 0x0003);  // writing 1 acknowledges, 0 leaves
    EXPECT_EQ(m.IF, 0x0004);
    m.IF = 0x0001;
    write32(m, kIo + IE, 0x00010001);  // IE from the low half, IF acknowledged by the high half
    EXPECT_EQ(m.IE, 0x0001);
    EXPECT_EQ(m.IF, 0x0000);
    write16(m, kIo + IE, 0xFFFF);
    EXPECT_EQ(m.IE, 0x3FFF);
    write8(m, kIo + IME, 1);  // IME acts only on halfword writes
    EXPECT_EQ(m.IME, 0);
    EXPECT_EQ(t.host.debug_lines.size(), 1u);
    write16(m, kIo + IME, 0xFFFF);
    EXPECT_EQ(m.IME, 1);
}

TEST(IoWrite, DebugLineCarriesTheInstructionAddress) {
    TestMachine t;
    t.m.cpu.R[15] = 0x08000108;
    write8(t.m, kIo + VCOUNT, 0x12);
    ASSERT_EQ(t.host.debug_lines.size(), 1u);
    EXPECT_EQ(t.host.debug_lines[0], "08000100 : Ecriture du Byte 12 \xE0 l'adresse 00000006\n");
}

TEST(IoWrite, DisplayControlAndBackgroundControl) {
    TestMachine t;
    VideoState& v = t.m.video;
    write16(t.m, kIo + DISPCNT, 0xFF4F);  // bit 3 is dropped
    EXPECT_EQ(v.BgMode, 7u);
    EXPECT_TRUE(v.Sprite1D);
    EXPECT_FALSE(v.ForcedBlank);
    EXPECT_TRUE(v.Bg[3].Enabled && v.SpriteEnable && v.SpriteWinEnable);
    EXPECT_EQ(read16(t.m, kIo + DISPCNT), 0xFF47u);
    write16(t.m, kIo + DISPCNT, 0x0008);
    EXPECT_EQ(read16(t.m, kIo + DISPCNT), 0u);

    write32(t.m, kIo + BG0CNT, 0xC5CBu << 16 | 0x1F8Eu);  // BG0CNT and BG1CNT at once
    EXPECT_EQ(v.Bg[0].Priority, 2u);
    EXPECT_EQ(v.Bg[0].CharBase, 3u * 0x4000);
    EXPECT_TRUE(v.Bg[0].Colours256);
    EXPECT_EQ(v.Bg[0].ScreenBase, 0x1Fu * 0x800);
    EXPECT_EQ(v.Bg[0].ScreenSize, 0u);
    EXPECT_EQ(v.Bg[1].ScreenSize, 3u);
    EXPECT_TRUE(v.Bg[1].Wraparound == 0);
    EXPECT_EQ(v.Bg[1].ScreenBase, 5u * 0x800);
    EXPECT_TRUE(v.Bg[1].Mosaic);
    EXPECT_EQ(t.m.IoBytes[0x008], 0x8E);
    EXPECT_EQ(t.m.IoBytes[0x00B], 0xC5);
    EXPECT_EQ(read16(t.m, kIo + BG0CNT + 2), 0xC5CBu);
}

TEST(IoWrite, ScrollOffsetsAndRotationParameters) {
    TestMachine t;
    BackgroundState& bg0 = t.m.video.Bg[0];
    write8(t.m, kIo + BG0HOFS, 0x34);
    write8(t.m, kIo + BG0HOFS + 1, 0x01);
    EXPECT_EQ(bg0.HOffset, 0x134u);
    write16(t.m, kIo + BG0HOFS, 0xFFFF);
    EXPECT_EQ(bg0.HOffset, 0x1FFu);
    write16(t.m, kIo + BG0HOFS + 0xE, 0x0123);  // BG3VOFS
    EXPECT_EQ(t.m.video.Bg[3].VOffset, 0x123u);

    BackgroundState& bg2 = t.m.video.Bg[2];
    write16(t.m, kIo + BG2PA, 0x1234);
    EXPECT_EQ(bg2.PA, 0x1234);
    write16(t.m, kIo + BG2PA + 6, 0x8000);
    EXPECT_EQ(uint32_t(bg2.PD), 0xFFFF8000u);
    write16(t.m, kIo + BG2X_L, 0x1234);
    write16(t.m, kIo + BG2X_L + 2, 0x0ABC);
    EXPECT_EQ(uint32_t(bg2.LatchedX), 0xFABC1234u);
    EXPECT_EQ(bg2.InternalReferenceX, bg2.LatchedX);
    write16(t.m, kIo + BG2X_L + 2, 0x07FF);
    EXPECT_EQ(uint32_t(bg2.LatchedX), 0x07FF1234u);
    write32(t.m, kIo + 0x03C, 0x0800'0010);  // BG3Y as one word
    EXPECT_EQ(uint32_t(t.m.video.Bg[3].LatchedY), 0xF8000010u);
    EXPECT_EQ(t.m.video.Bg[3].InternalReferenceY, t.m.video.Bg[3].LatchedY);
    EXPECT_TRUE(t.host.debug_lines.empty());
    write8(t.m, kIo + BG2PA, 0x11);  // rotation registers act only on halfword writes
    EXPECT_EQ(bg2.PA, 0x1234);
    EXPECT_EQ(t.host.debug_lines.size(), 1u);
}

TEST(IoWrite, WindowsMosaicAndEffects) {
    TestMachine t;
    VideoState& v = t.m.video;
    write16(t.m, kIo + WIN0H, 0x0A14);
    EXPECT_EQ(v.Win0Left, 0x0Au);
    EXPECT_EQ(v.Win0Right, 0x14u);
    write16(t.m, kIo + WIN1V, 0x2030);
    EXPECT_EQ(v.Win1Top, 0x20u);
    EXPECT_EQ(v.Win1Bottom, 0x30u);
    write8(t.m, kIo + WININ, 0xFF);  // the low byte alone changes nothing inside window 1
    EXPECT_EQ(v.WinIn0.Bits, 0x3Fu);
    EXPECT_EQ(v.WinIn1.Bits, 0u);
    write16(t.m, kIo + WINOUT, 0x2A15);
    EXPECT_EQ(v.WinOut.Bits, 0x15u);
    EXPECT_EQ(v.WinSprite.Bits, 0x2Au);
    write16(t.m, kIo + MOSAIC, 0x4321);
    EXPECT_EQ(v.BgMosaicH, 1u);
    EXPECT_EQ(v.BgMosaicV, 2u);
    EXPECT_EQ(v.SpriteMosaicH, 3u);
    EXPECT_EQ(v.SpriteMosaicV, 4u);
    write16(t.m, kIo + BLDCNT, 0x3F5F);
    EXPECT_EQ(v.FirstTarget, 0x1Fu);
    EXPECT_EQ(v.Effect, 1u);
    EXPECT_EQ(v.SecondTarget, 0x3Fu << 24);
    write32(t.m, kIo + BLDALPHA, 0x0000'FF1F);  // EVA, EVB, then BLDY
    EXPECT_EQ(v.EVA, 31u);
    EXPECT_EQ(v.EVB, 31u);
    EXPECT_EQ(v.EVY, 0u);
}

TEST(IoWrite, DmaRegistersByWidth) {
    TestMachine t;
    write16(t.m, kIo + DMA0SAD, 0x1234);  // addresses act only on word writes
    EXPECT_EQ(t.m.dma[0].DmaSource, 0u);
    EXPECT_EQ(t.host.debug_lines.size(), 2u);
    write32(t.m, kIo + DMA0SAD, 0xFFFFFFFF);
    EXPECT_EQ(t.m.dma[0].DmaSource, 0x07FFFFFFu);
    write32(t.m, kIo + DMA3DAD, 0xFFFFFFFF);
    EXPECT_EQ(t.m.dma[3].DmaDest, 0x0FFFFFFFu);
    write32(t.m, kIo + DMA0CNT_L, 0x0000FFFF);  // a word write keeps 14 bits of count
    EXPECT_EQ(t.m.dma[0].DmaControl, 0x3FFFu);
    write16(t.m, kIo + DMA0CNT_L, 0xFFFF);  // a halfword write keeps all 16
    EXPECT_EQ(t.m.dma[0].DmaControl, 0xFFFFu);
    write32(t.m, kIo + DMA3CNT_L, 0x0000FFFF);
    EXPECT_EQ(t.m.dma[3].DmaControl, 0xFFFFu);
}

TEST(IoWrite, TimersAndKeypad) {
    TestMachine t;
    write16(t.m, kIo + TM0CNT_L + 4, 0xFFFC);
    write16(t.m, kIo + TM0CNT_H + 4, 0x00C3);
    const Timer& t1 = t.m.timers[1];
    EXPECT_EQ(t1.TimerCounter, 0xFFFC);
    EXPECT_TRUE(t1.TimerEnabled);
    EXPECT_EQ(t1.TimerPrescaleMask, 0x3FFu);
    EXPECT_EQ(t.m.TimersRunning, 2u);
    EXPECT_EQ(read16(t.m, kIo + TM0CNT_H + 4), 0x00C3u);
    EXPECT_EQ(read16(t.m, kIo + TM0CNT_L + 4), 0xFFFCu);
    write16(t.m, kIo + TM0CNT_H + 4, 0x0004);
    EXPECT_EQ(t.m.TimersRunning, 0u);
    EXPECT_EQ(read16(t.m, kIo + TM0CNT_H + 4), 0x0004u);

    write16(t.m, kIo + KEYINPUT, 0x03FE);
    EXPECT_EQ(read16(t.m, kIo + KEYINPUT), 0x03FEu);
    write16(t.m, kIo + KEYCNT, 0x4001);
    EXPECT_EQ(read16(t.m, kIo + KEYCNT), 0x4001u);
}

TEST(IoWrite, WordsAtTheEndOfTheBlockStayInBounds) {
    TestMachine t;
    write32(t.m, kIo + 0x2FE, 0xFFFFFFFF);
    EXPECT_EQ(t.m.IoBytes[0x2FE], 0xFF);
    EXPECT_EQ(read32(t.m, kIo + 0x2FE), 0x0000FFFFu);
}

TEST(IoRead, StatusAndCounters) {
    TestMachine t;
    VideoState& v = t.m.video;
    v.VCOUNT = 160;
    EXPECT_EQ(read8(t.m, kIo + DISPSTAT), 0u);
    v.VCOUNT = 161;
    EXPECT_EQ(read8(t.m, kIo + DISPSTAT), 1u);
    EXPECT_EQ(read32(t.m, kIo + DISPSTAT), (161u << 16) | 1u);
    write16(t.m, kIo + BG0CNT, 0x1234);
    EXPECT_EQ(read32(t.m, kIo + VCOUNT), 161u);  // BG0CNT is not read with it
    v.VCOUNT = 0;
    EXPECT_EQ(read8(t.m, kIo + DISPSTAT), 0u);

    t.m.IE = 0x1234;
    t.m.IF = 0x0005;
    EXPECT_EQ(read32(t.m, kIo + IE), 0x00051234u);
    EXPECT_EQ(read8(t.m, kIo + IF), 0u);  // byte reads see the last byte written, not IF
    write8(t.m, kIo + IF, 0x77);
    EXPECT_EQ(read8(t.m, kIo + IF), 0x77u);
    EXPECT_EQ(t.m.IF, 0x0005);
}

TEST(IoRead, WriteOnlyRegistersWarnUntilSwitchedOff) {
    TestMachine t;
    t.host.answer_yes = false;
    EXPECT_EQ(read16(t.m, kIo + BG0HOFS), 0u);
    ASSERT_EQ(t.host.boxes.size(), 1u);
    EXPECT_EQ(t.host.boxes[0].caption, "Tamo");
    EXPECT_EQ(t.host.boxes[0].text,
              "This ROM can bug on a real AGB\nUnallowed IO reading : register 10\nDisable this "
              "kind of WARNING ?");
    // A word read asks for the high half first.
    read32(t.m, kIo + BG0HOFS);
    ASSERT_EQ(t.host.boxes.size(), 3u);
    EXPECT_NE(t.host.boxes[1].text.find("register 12"), std::string::npos);
    EXPECT_NE(t.host.boxes[2].text.find("register 10"), std::string::npos);
    t.host.answer_yes = true;
    read16(t.m, kIo + 0x0A0);
    EXPECT_NE(t.host.boxes[3].text.find("register A0"), std::string::npos);
    EXPECT_EQ(read16(t.m, kIo + MOSAIC), 0u);
    EXPECT_EQ(t.host.boxes.size(), 4u);
    EXPECT_EQ(t.m.IoWarningsEnabled, 0u);
}

TEST(IoRead, UnemulatedRegistersReadZeroOrLastByte) {
    TestMachine t;
    EXPECT_EQ(read16(t.m, kIo + 0x060), 0u);  // sound
    write16(t.m, kIo + WININ, 0x1234);
    EXPECT_EQ(read16(t.m, kIo + WININ), 0x1234u);  // composed back from the written bytes
    write16(t.m, kIo + WAITCNT, 0x4317);
    EXPECT_EQ(read16(t.m, kIo + WAITCNT), 0u);
    EXPECT_TRUE(t.host.boxes.empty());
}

}  // namespace
