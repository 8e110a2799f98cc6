#include "memory/dma.h"

#include <gtest/gtest.h>

#include "fake_host.h"
#include "memory/io.h"

namespace {

// Control words, in the layout of DMAnCNT_H << 16 | DMAnCNT_L.
constexpr uint32_t kEnable = 0x80000000;
constexpr uint32_t kIrq = 0x40000000;
constexpr uint32_t kAtVblank = 0x10000000;
constexpr uint32_t kAtHblank = 0x20000000;
constexpr uint32_t kAtSpecial = 0x30000000;
constexpr uint32_t kWords = 0x04000000;
constexpr uint32_t kRepeat = 0x02000000;
constexpr uint32_t kSrcDecrement = 1u << 23;
constexpr uint32_t kSrcFixed = 2u << 23;
constexpr uint32_t kSrcFixed3 = 3u << 23;
constexpr uint32_t kDstDecrement = 1u << 21;
constexpr uint32_t kDstFixed = 2u << 21;
constexpr uint32_t kDstKeep = 3u << 21;

constexpr uint32_t kEwram = 0x02000000;
constexpr uint32_t kIwram = 0x03000000;
constexpr uint32_t kIo = 0x04000000;

void set_channel(Machine& m, uint32_t n, uint32_t source, uint32_t dest, uint32_t control) {
    m.dma[n].DmaSource = source;
    m.dma[n].DmaDest = dest;
    m.dma[n].DmaControl = control;
}

// Words 0x11111111, 0x22222222, ... from `address` on.
void fill_words(Machine& m, uint32_t address, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) write32(m, address + 4 * i, 0x11111111u * (i + 1));
}

TEST(DmaTransfer, ImmediateWordCopyAlignsSourceAndAdvancesBothAddresses) {
    TestMachine t;
    fill_words(t.m, kEwram, 5);
    set_channel(t.m, 3, kEwram + 1, kIwram, kEnable | kWords | 4);
    dma_start(t.m, 3);
    for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(read32(t.m, kIwram + 4 * i), 0x11111111u * (i + 1));
    EXPECT_EQ(read32(t.m, kIwram + 16), 0u);
    EXPECT_EQ(t.m.dma[3].DmaSource, kEwram + 0x10);
    EXPECT_EQ(t.m.dma[3].DmaDest, kIwram + 0x10);
    EXPECT_EQ(t.m.dma[3].DmaControl, kEnable | kWords | 4);  // the enable bit stays set
    EXPECT_EQ(t.m.dma[3].VblankPending | t.m.dma[3].HblankPending, 0u);
}

TEST(DmaTransfer, HalfwordUnitsAlignSourceToTwoButTakeDestinationAsStored) {
    TestMachine t;
    write16(t.m, kEwram + 2, 0xBEEF);
    write16(t.m, kEwram + 4, 0xCAFE);
    set_channel(t.m, 1, kEwram + 3, kIwram + 1, kEnable | 2);
    dma_start(t.m, 1);
    // The bus does not align either, so an odd destination spreads each halfword over two words.
    EXPECT_EQ(read8(t.m, kIwram + 1), 0xEFu);
    EXPECT_EQ(read16(t.m, kIwram + 2), 0xFEBEu);
    EXPECT_EQ(read8(t.m, kIwram + 4), 0xCAu);
    EXPECT_EQ(t.m.dma[1].DmaSource, kEwram + 6);
    EXPECT_EQ(t.m.dma[1].DmaDest, kIwram + 5);
}

TEST(DmaTransfer, DecrementingSourceOrDestinationReversesTheBlock) {
    TestMachine t;
    fill_words(t.m, kEwram, 3);  // 0x11.., 0x22.., 0x33..
    set_channel(t.m, 0, kEwram + 8, kIwram + 0x100, kEnable | kWords | kSrcDecrement | 3);
    dma_start(t.m, 0);
    EXPECT_EQ(read32(t.m, kIwram + 0x100), 0x33333333u);
    EXPECT_EQ(read32(t.m, kIwram + 0x104), 0x22222222u);
    EXPECT_EQ(read32(t.m, kIwram + 0x108), 0x11111111u);
    EXPECT_EQ(t.m.dma[0].DmaSource, kEwram - 4);
    EXPECT_EQ(t.m.dma[0].DmaDest, kIwram + 0x10C);

    // The other way round: the source increments, the destination decrements.
    set_channel(t.m, 0, kEwram, kIwram + 0x208, kEnable | kWords | kDstDecrement | 3);
    dma_start(t.m, 0);
    EXPECT_EQ(read32(t.m, kIwram + 0x208), 0x11111111u);
    EXPECT_EQ(read32(t.m, kIwram + 0x200), 0x33333333u);
    EXPECT_EQ(t.m.dma[0].DmaDest, kIwram + 0x1FC);
}

TEST(DmaTransfer, FixedSourceInBothFixedModesFillsTheDestination) {
    TestMachine t;
    fill_words(t.m, kEwram, 4);
    for (uint32_t mode : {kSrcFixed, kSrcFixed3}) {
        set_channel(t.m, 2, kEwram, kIwram, kEnable | kWords | mode | 4);
        dma_start(t.m, 2);
        for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(read32(t.m, kIwram + 4 * i), 0x11111111u);
        EXPECT_EQ(t.m.dma[2].DmaSource, kEwram);
        EXPECT_EQ(t.m.dma[2].DmaDest, kIwram + 16);
    }
}

TEST(DmaTransfer, FixedDestinationReceivesEveryUnitInTurn) {
    TestMachine t;
    fill_words(t.m, kEwram, 3);
    set_channel(t.m, 3, kEwram, kIwram, kEnable | kWords | kDstFixed | 3);
    dma_start(t.m, 3);
    EXPECT_EQ(read32(t.m, kIwram), 0x33333333u);
    EXPECT_EQ(read32(t.m, kIwram + 4), 0u);
    EXPECT_EQ(t.m.dma[3].DmaDest, kIwram);
    EXPECT_EQ(t.m.dma[3].DmaSource, kEwram + 12);
}

TEST(DmaTransfer, DestinationModeThreeIncrementsButKeepsTheStoredAddress) {
    TestMachine t;
    fill_words(t.m, kEwram, 4);
    set_channel(t.m, 3, kEwram, kIwram, kEnable | kWords | kDstKeep | 2);
    dma_start(t.m, 3);
    EXPECT_EQ(read32(t.m, kIwram), 0x11111111u);
    EXPECT_EQ(read32(t.m, kIwram + 4), 0x22222222u);
    EXPECT_EQ(t.m.dma[3].DmaDest, kIwram);
    EXPECT_EQ(t.m.dma[3].DmaSource, kEwram + 8);
}

TEST(DmaTransfer, CountZeroCopiesNothing) {
    TestMachine t;
    fill_words(t.m, kEwram, 1);
    set_channel(t.m, 3, kEwram, kIwram, kEnable | kWords | 0);
    dma_start(t.m, 3);
    EXPECT_EQ(read32(t.m, kIwram), 0u);
    EXPECT_EQ(t.m.dma[3].DmaSource, kEwram);
    EXPECT_EQ(t.m.dma[3].DmaDest, kIwram);
}

TEST(DmaTransfer, EndInterruptNeedsImeTheControlBitAndTheIeBit) {
    struct Case {
        uint16_t ime, ie;
        uint32_t control;
        uint16_t expected_if;
    };
    const uint16_t bit1 = kIrqDma0 << 1;  // channel 1 requests 0x200
    const Case cases[] = {
        {1, bit1, kEnable | kIrq | 0, bit1},  // count 0 still ends with the request
        {1, bit1, kEnable | kIrq | 1, bit1},
        {0, bit1, kEnable | kIrq | 1, 0},
        {1, kIrqDma0, kEnable | kIrq | 1, 0},  // another channel's enable bit
        {1, bit1, kEnable | 1, 0},
    };
    for (const Case& c : cases) {
        TestMachine t;
        t.m.IME = c.ime;
        t.m.IE = c.ie;
        t.m.IF = kIrqVblank;
        set_channel(t.m, 1, kEwram, kIwram, c.control);
        dma_start(t.m, 1);
        EXPECT_EQ(t.m.IF, kIrqVblank | c.expected_if) << std::hex << c.control << " " << c.ie;
    }
}

TEST(DmaStart, ClearedEnableBitDisarmsAndSpecialTimingNeverTransfers) {
    TestMachine t;
    fill_words(t.m, kEwram, 1);
    set_channel(t.m, 0, kEwram, kIwram, kEnable | kWords | kAtVblank | kRepeat | 1);
    dma_start(t.m, 0);
    t.m.dma[0].DmaControl = kEnable | kWords | kAtHblank | kRepeat | 1;
    dma_start(t.m, 0);
    EXPECT_TRUE(t.m.dma[0].VblankPending);  // arming for one blank leaves the other armed
    EXPECT_TRUE(t.m.dma[0].HblankPending);
    EXPECT_EQ(read32(t.m, kIwram), 0u);  // neither ran yet

    // Special timing leaves the armed state alone and copies nothing, even at the blanks.
    t.m.dma[0].DmaControl = kEnable | kWords | kAtSpecial | 1;
    dma_start(t.m, 0);
    EXPECT_TRUE(t.m.dma[0].VblankPending);
    t.m.dma[0].DmaControl = kWords | kAtVblank | kRepeat | 1;  // enable bit clear
    dma_start(t.m, 0);
    EXPECT_FALSE(t.m.dma[0].VblankPending);
    EXPECT_FALSE(t.m.dma[0].HblankPending);

    set_channel(t.m, 2, kEwram, kIwram, kEnable | kWords | kAtSpecial | 1);
    dma_start(t.m, 2);
    dma_run_vblank(t.m);
    dma_run_hblank(t.m);
    EXPECT_EQ(read32(t.m, kIwram), 0u);
    EXPECT_EQ(t.m.dma[2].DmaSource, kEwram);
}

TEST(DmaBlanking, VblankChannelWithoutRepeatRunsOnceAndIsDisarmed) {
    TestMachine t;
    fill_words(t.m, kEwram, 2);
    set_channel(t.m, 1, kEwram, kIwram, kEnable | kWords | kAtVblank | 1);
    dma_start(t.m, 1);
    dma_run_hblank(t.m);  // the wrong blank does nothing
    EXPECT_EQ(read32(t.m, kIwram), 0u);
    dma_run_vblank(t.m);
    EXPECT_EQ(read32(t.m, kIwram), 0x11111111u);
    EXPECT_FALSE(t.m.dma[1].VblankPending);
    dma_run_vblank(t.m);
    EXPECT_EQ(read32(t.m, kIwram + 4), 0u);
    EXPECT_EQ(t.m.dma[1].DmaSource, kEwram + 4);
}

TEST(DmaBlanking, VblankChannelWithRepeatRunsEveryFrameUntilDisabled) {
    TestMachine t;
    fill_words(t.m, kEwram, 4);
    set_channel(t.m, 3, kEwram, kIwram, kEnable | kWords | kAtVblank | kRepeat | 1);
    dma_start(t.m, 3);
    for (int frame = 0; frame < 3; ++frame) dma_run_vblank(t.m);
    EXPECT_EQ(read32(t.m, kIwram + 8), 0x33333333u);
    EXPECT_TRUE(t.m.dma[3].VblankPending);

    t.m.dma[3].DmaControl &= ~kEnable;
    dma_start(t.m, 3);
    dma_run_vblank(t.m);
    EXPECT_EQ(read32(t.m, kIwram + 12), 0u);
}

TEST(DmaBlanking, HblankChannelWithRepeatAndModeThreeRewritesTheSameDestinationEachLine) {
    TestMachine t;
    // One halfword per line, as a scroll register table would be fed.
    for (uint32_t line = 0; line < 228; ++line) write16(t.m, kEwram + 2 * line, 0x100 + line);
    set_channel(t.m, 0, kEwram, kIwram, kEnable | kAtHblank | kRepeat | kDstKeep | 1);
    dma_start(t.m, 0);
    for (uint32_t line = 0; line < 228; ++line) {
        dma_run_hblank(t.m);
        ASSERT_EQ(read16(t.m, kIwram), 0x100 + line);
    }
    EXPECT_EQ(read16(t.m, kIwram + 2), 0u);
    EXPECT_EQ(t.m.dma[0].DmaDest, kIwram);
    EXPECT_EQ(t.m.dma[0].DmaSource, kEwram + 2 * 228);
    EXPECT_TRUE(t.m.dma[0].HblankPending);
}

TEST(DmaBlanking, ChannelsRunInOrderZeroToThree) {
    TestMachine t;
    // All four channels write one word to the same address; the last one, channel 3, wins.
    for (uint32_t n = 0; n < 4; ++n) {
        write32(t.m, kEwram + 4 * n, 0xA0 + n);
        set_channel(t.m, n, kEwram + 4 * n, kIwram, kEnable | kWords | kAtVblank | 1);
        dma_start(t.m, n);
    }
    dma_run_vblank(t.m);
    EXPECT_EQ(read32(t.m, kIwram), 0xA3u);
}

TEST(DmaSideEffects, WordTransferIntoPaletteUpdatesBothColourCacheEntries) {
    TestMachine t;
    write32(t.m, kEwram, 0x03E07C00);      // blue, green
    write32(t.m, kEwram + 4, 0x001F7FFF);  // white, red
    set_channel(t.m, 3, kEwram, 0x050001FC, kEnable | kWords | 2);
    dma_start(t.m, 3);
    EXPECT_EQ(t.m.ColourCache[254], 0x00F80000u);
    EXPECT_EQ(t.m.ColourCache[255], 0x0000F800u);
    EXPECT_EQ(t.m.ColourCache[256], 0x40F8F8F8u);  // sprite colour 0 carries the flag
    EXPECT_EQ(t.m.ColourCache[257], 0x000000F8u);
}

TEST(DmaSideEffects, TransferIntoOamUpdatesTheSpriteTable) {
    TestMachine t;
    write32(t.m, kEwram, 0xC0004032);      // sprite 1: Y 0x32, wide, size 3
    write32(t.m, kEwram + 4, 0xFF000005);  // tile 5, PB of group 0 = -1.0
    set_channel(t.m, 3, kEwram, 0x07000008, kEnable | kWords | 2);
    dma_start(t.m, 3);
    const SpriteAttribute& s = t.m.SpriteAttributes[1];
    EXPECT_EQ(s.Y, 0x32u);
    EXPECT_EQ(s.WidthMinus1, 63u);
    EXPECT_EQ(s.HeightMinus1, 31u);
    EXPECT_EQ(s.TileAddress, 0x10000u + 5 * 32);
    EXPECT_EQ(t.m.SpriteAffine[0].PB, -0x100);
}

TEST(DmaThroughBus, WordWriteOfDma3cntStartsAnImmediateCopy) {
    TestMachine t;
    fill_words(t.m, kEwram, 5);
    write32(t.m, kIo + DMA3SAD, kEwram + 1);
    write32(t.m, kIo + DMA3DAD, kIwram);
    write32(t.m, kIo + DMA3CNT_L, 0x84000004);
    EXPECT_EQ(read32(t.m, kIwram + 12), 0x44444444u);
    EXPECT_EQ(read32(t.m, kIwram + 16), 0u);
    EXPECT_EQ(t.m.dma[3].DmaSource, kEwram + 0x10);
    EXPECT_EQ(t.m.dma[3].DmaDest, kIwram + 0x10);
}

// A transfer whose units land on its own control register restarts itself from inside its own
// loop; the chain, and the tree it grows when every transfer writes the register twice, must end.
TEST(DmaNesting, TransferThatRestartsItselfThroughItsControlRegisterTerminates) {
    TestMachine t;
    const uint32_t control = kEnable | kIrq | kWords | kSrcFixed | kDstFixed | 2;
    write32(t.m, kEwram, control);
    t.m.IME = 1;
    t.m.IE = kIrqDma0 << 3;
    set_channel(t.m, 3, kEwram, kIo + DMA3CNT_L, control);
    dma_start(t.m, 3);
    EXPECT_EQ(t.m.DmaNesting, 0u);
    EXPECT_EQ(t.m.dma[3].DmaControl, control);
    EXPECT_EQ(t.m.dma[3].DmaDest, kIo + DMA3CNT_L);
    EXPECT_EQ(t.m.IF, kIrqDma0 << 3);

    // The machine goes on working normally afterwards.
    fill_words(t.m, kEwram + 0x100, 1);
    set_channel(t.m, 3, kEwram + 0x100, kIwram, kEnable | kWords | 1);
    dma_start(t.m, 3);
    EXPECT_EQ(read32(t.m, kIwram), 0x11111111u);
}

// Every unit of this transfer restarts it: each level multiplies the work by its count. The unit
// budget of a chain ends it long before the nesting bound would.
TEST(DmaNesting, SelfRestartingTransferStopsAtTheUnitBudget) {
    TestMachine t;
    const uint32_t control = kEnable | kWords | kSrcFixed | kDstFixed | 0xFFFF;
    write32(t.m, kEwram, control);
    set_channel(t.m, 3, kEwram, kIo + DMA3CNT_L, control);
    dma_start(t.m, 3);
    EXPECT_EQ(t.m.DmaNesting, 0u);
    EXPECT_LT(t.m.DmaChainUnits, kMaxDmaChainUnits + 0x10000);
    EXPECT_GE(t.m.DmaChainUnits, kMaxDmaChainUnits);
}

// Each channel-3 transfer in a chain programs channel 2 to log one marker word and then starts
// the next channel-3 transfer from a table. The log shows how deep the chain went, and that each
// outer transfer finished its own units after the inner ones had run.
TEST(DmaNesting, ChainedStartsRunUntilTheNestingBoundThenAreDropped) {
    TestMachine t;
    constexpr uint32_t kTable = kEwram;
    constexpr uint32_t kMarkers = kEwram + 0x1000;
    constexpr uint32_t kLog = kEwram + 0x2000;
    constexpr uint32_t kEntryBytes = 24;
    constexpr uint32_t kChain = kEnable | kWords | 6;
    const uint32_t kDma2Sad = kIo + DMA0SAD + 2 * kDmaStride;
    for (uint32_t k = 0; k < 2 * kMaxDmaNesting; ++k) {
        const uint32_t e = kTable + kEntryBytes * k;
        write32(t.m, e + 0, kMarkers + 4 * k);  // DMA2SAD
        write32(t.m, e + 4, kLog + 4 * k);      // DMA2DAD
        write32(t.m, e + 8, kEnable | kWords | 1);
        write32(t.m, e + 12, e + kEntryBytes);  // DMA3SAD: the next entry
        write32(t.m, e + 16, kDma2Sad);         // DMA3DAD
        write32(t.m, e + 20, kChain);
        write32(t.m, kMarkers + 4 * k, 0xAB00 + k);
    }
    set_channel(t.m, 3, kTable, kDma2Sad, kChain);
    dma_start(t.m, 3);

    // The k-th channel-3 transfer runs at depth k + 1 and starts its channel-2 log at depth
    // k + 2, so the log of the deepest channel-3 transfer is the first start that is dropped.
    for (uint32_t k = 0; k + 1 < kMaxDmaNesting; ++k)
        EXPECT_EQ(read32(t.m, kLog + 4 * k), 0xAB00 + k);
    EXPECT_EQ(read32(t.m, kLog + 4 * (kMaxDmaNesting - 1)), 0u);
    EXPECT_EQ(read32(t.m, kLog + 4 * kMaxDmaNesting), 0u);
    EXPECT_EQ(t.m.DmaNesting, 0u);
    // The outermost transfer finished last and stored its own end addresses.
    EXPECT_EQ(t.m.dma[3].DmaSource, kTable + kEntryBytes);
    EXPECT_EQ(t.m.dma[3].DmaDest, kDma2Sad + kEntryBytes);
}

}  // namespace
