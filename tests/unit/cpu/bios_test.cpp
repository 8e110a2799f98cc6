#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "fake_host.h"

namespace {

constexpr uint32_t kEwram = 0x02000000;
constexpr uint32_t kIwram = 0x03000000;
constexpr uint32_t kVram = 0x06000000;

// THUMB SWI instructions: 0xDF00 | function.
constexpr uint32_t kSwiCpuSet = 0xDF0B;
constexpr uint32_t kSwiCpuFastSet = 0xDF0C;
constexpr uint32_t kSwiLz77 = 0xDF12;
constexpr uint32_t kSwiRl = 0xDF15;

void write_bytes(Machine& m, uint32_t address, std::initializer_list<uint8_t> bytes) {
    for (uint8_t b : bytes) write8(m, address++, b);
}

void write_bytes(Machine& m, uint32_t address, const std::vector<uint8_t>& bytes) {
    for (uint8_t b : bytes) write8(m, address++, b);
}

std::vector<uint8_t> read_bytes(Machine& m, uint32_t address, uint32_t count) {
    std::vector<uint8_t> out;
    for (uint32_t i = 0; i < count; ++i) out.push_back(uint8_t(read8(m, address + i)));
    return out;
}

// Runs one call with R0..R2 set, and checks that no register or flag changed.
void call(Machine& m, uint32_t instruction, uint32_t r0, uint32_t r1, uint32_t r2) {
    m.cpu.R[0] = r0;
    m.cpu.R[1] = r1;
    m.cpu.R[2] = r2;
    for (uint32_t i = 3; i < 16; ++i) m.cpu.R[i] = 0x1000 * i + 1;
    m.cpu.FlagN = 1;
    m.cpu.FlagC = 1;
    m.cpu.ThumbState = 1;
    const CpuState before = m.cpu;
    bios_call(m, instruction);
    EXPECT_EQ(std::memcmp(m.cpu.R, before.R, sizeof before.R), 0) << "registers changed";
    EXPECT_EQ(m.cpu.FlagN, 1u);
    EXPECT_EQ(m.cpu.FlagZ, 0u);
    EXPECT_EQ(m.cpu.FlagC, 1u);
    EXPECT_EQ(m.cpu.FlagV, 0u);
    EXPECT_EQ(m.cpu.ThumbState, 1u);
}

TEST(BiosCpuSet, CopiesWordsAndFillsHalfwordsInBothFunctions) {
    for (uint32_t swi : {kSwiCpuSet, kSwiCpuFastSet}) {
        TestMachine t;
        for (uint32_t i = 0; i < 9; ++i) write32(t.m, kEwram + 4 * i, 0x01010101u * (i + 1));
        call(t.m, swi, kEwram, kIwram, 0x04000008);
        for (uint32_t i = 0; i < 8; ++i) {
            EXPECT_EQ(read32(t.m, kIwram + 4 * i), 0x01010101u * (i + 1)) << i;
        }
        EXPECT_EQ(read32(t.m, kIwram + 32), 0u);
        // Channel 3 carried it out and holds the advanced addresses.
        EXPECT_EQ(t.m.dma[3].DmaSource, kEwram + 32);
        EXPECT_EQ(t.m.dma[3].DmaDest, kIwram + 32);

        // Fill flag (bit 24), 16-bit units: the first halfword eight times.
        write16(t.m, kEwram + 0x100, 0xA55A);
        write16(t.m, kEwram + 0x102, 0x1234);
        call(t.m, swi, kEwram + 0x100, kIwram + 0x100, 0x01000008);
        for (uint32_t i = 0; i < 8; ++i) EXPECT_EQ(read16(t.m, kIwram + 0x100 + 2 * i), 0xA55Au);
        EXPECT_EQ(read16(t.m, kIwram + 0x110), 0u);

        // Fill with 32-bit units.
        call(t.m, swi, kEwram, kVram, 0x05000003);
        for (uint32_t i = 0; i < 3; ++i) EXPECT_EQ(read32(t.m, kVram + 4 * i), 0x01010101u);
        EXPECT_EQ(read32(t.m, kVram + 12), 0u);
    }
}

// The LZ77 stream below: header, then groups of one flag byte and eight items.
std::vector<uint8_t> lz77_header(uint32_t size) {
    return {0x10, uint8_t(size), uint8_t(size >> 8), uint8_t(size >> 16)};
}

TEST(BiosLz77, LiteralsAndCopiesWithShortAndLongDisplacements) {
    TestMachine t;
    // A byte 0x234 before the output, reached by the first item's 12-bit displacement.
    write8(t.m, kIwram + 0x1000 - 0x234, 0x77);
    std::vector<uint8_t> stream = lz77_header(12);
    // Flags 1000 0100: a copy of 3 from 0x234 back, four literals, a copy of 5 from 3 back (which
    // reads bytes it writes itself), and two items that the size leaves unread.
    stream.insert(stream.end(), {0x84, 0x02, 0x33, 'A', 'B', 'C', 'D', 0x20, 0x02, 'x', 'x'});
    write_bytes(t.m, kEwram, stream);
    call(t.m, kSwiLz77, kEwram, kIwram + 0x1000, 0);
    EXPECT_EQ(read_bytes(t.m, kIwram + 0x1000, 13),
              (std::vector<uint8_t>{0x77, 0, 0, 'A', 'B', 'C', 'D', 'B', 'C', 'D', 'B', 'C', 0}));
}

TEST(BiosLz77, DisplacementOneRepeatsTheLastByte) {
    TestMachine t;
    std::vector<uint8_t> stream = lz77_header(1 + 18);
    stream.insert(stream.end(), {0x40, 'z', 0xF0, 0x00});
    write_bytes(t.m, kEwram, stream);
    call(t.m, kSwiLz77, kEwram, kIwram, 0);
    std::vector<uint8_t> expected(19, 'z');
    expected.push_back(0);
    EXPECT_EQ(read_bytes(t.m, kIwram, 20), expected);
}

TEST(BiosLz77, OutputIsExactlyTheSizeInTheHeader) {
    TestMachine t;
    // 0x1234 = 1 literal + 258 copies of 18 + 1 copy of 15, all repeating the literal.
    std::vector<uint8_t> stream = {0x10, 0x34, 0x12, 0x00};
    std::vector<std::vector<uint8_t>> items = {{'q'}};
    for (int i = 0; i < 258; ++i) items.push_back({0xF0, 0x00});
    items.push_back({0xC0, 0x00});
    for (size_t i = 0; i < items.size(); i += 8) {
        uint8_t flags = 0;
        for (size_t j = i; j < i + 8 && j < items.size(); ++j) {
            if (items[j].size() == 2) flags |= uint8_t(0x80 >> (j - i));
        }
        stream.push_back(flags);
        for (size_t j = i; j < i + 8 && j < items.size(); ++j) {
            stream.insert(stream.end(), items[j].begin(), items[j].end());
        }
    }
    // Whatever follows in memory is not consumed.
    stream.insert(stream.end(), {0x00, 'X', 'X', 'X'});
    write_bytes(t.m, kEwram, stream);
    write8(t.m, kIwram + 0x1234, 0xEE);
    call(t.m, kSwiLz77, kEwram, kIwram, 0);
    const std::vector<uint8_t> out = read_bytes(t.m, kIwram, 0x1235);
    EXPECT_EQ(std::count(out.begin(), out.end() - 1, 'q'), 0x1234);
    EXPECT_EQ(out.back(), 0xEE);
}

TEST(BiosLz77, CopyRunningPastTheSizeIsCompletedThenDecompressionStops) {
    TestMachine t;
    std::vector<uint8_t> stream = lz77_header(4);
    // A literal, a copy of 6 (3 bytes past the size), then literals that must not be written.
    stream.insert(stream.end(), {0x40, 'a', 0x30, 0x00, 'x', 'x', 'x'});
    write_bytes(t.m, kEwram, stream);
    call(t.m, kSwiLz77, kEwram, kIwram, 0);
    EXPECT_EQ(read_bytes(t.m, kIwram, 8),
              (std::vector<uint8_t>{'a', 'a', 'a', 'a', 'a', 'a', 'a', 0}));
}

TEST(BiosLz77, SizeZeroWritesNothing) {
    TestMachine t;
    write_bytes(t.m, kEwram, {0x10, 0, 0, 0, 0x00, 'x'});
    call(t.m, kSwiLz77, kEwram, kIwram, 0);
    EXPECT_EQ(read8(t.m, kIwram), 0u);
}

TEST(BiosRunLength, RunsAndLiteralBlocks) {
    TestMachine t;
    std::vector<uint8_t> stream = {0x30, 0x07, 0x01, 0x00};  // 0x107 = 3 + 130 + 128 + 2
    stream.insert(stream.end(), {0x80, 0x5A});               // 3 times 0x5A
    stream.insert(stream.end(), {0xFF, 0x6B});               // 130 times 0x6B
    stream.push_back(0x7F);                                  // 128 literal bytes
    for (int i = 0; i < 128; ++i) stream.push_back(uint8_t(i));
    stream.insert(stream.end(), {0x01, 0xC1, 0xC2});  // 2 literal bytes
    write_bytes(t.m, kEwram, stream);
    const uint32_t size = 3 + 130 + 128 + 2;
    write8(t.m, kVram + size, 0xEE);
    call(t.m, kSwiRl, kEwram, kVram, 0);

    std::vector<uint8_t> expected(3, 0x5A);
    expected.insert(expected.end(), 130, 0x6B);
    for (int i = 0; i < 128; ++i) expected.push_back(uint8_t(i));
    expected.insert(expected.end(), {0xC1, 0xC2, 0xEE});
    EXPECT_EQ(read_bytes(t.m, kVram, size + 1), expected);
}

TEST(BiosRunLength, BlocksStopEarlyWhenTheSizeIsReached) {
    TestMachine t;
    write_bytes(t.m, kEwram, {0x30, 2, 0, 0, 0x85, 0x11});  // a run of 8 cut to 2
    write_bytes(t.m, kEwram + 0x10, {0x30, 3, 0, 0, 0x05, 'a', 'b', 'c', 'd', 'e', 'f'});
    call(t.m, kSwiRl, kEwram, kIwram, 0);
    EXPECT_EQ(read_bytes(t.m, kIwram, 3), (std::vector<uint8_t>{0x11, 0x11, 0}));
    call(t.m, kSwiRl, kEwram + 0x10, kIwram + 0x10, 0);
    EXPECT_EQ(read_bytes(t.m, kIwram + 0x10, 4), (std::vector<uint8_t>{'a', 'b', 'c', 0}));
}

// Garbage pointers must not hang or crash: the size bounds the work, and the bus swallows what
// falls outside mapped memory.
TEST(BiosDecompression, MalformedStreamsEndOnTheirSize) {
    TestMachine t;
    // The largest size, with the stream running off the end of EWRAM through whatever lies above
    // it (I/O registers included), and the output going to unmapped space.
    const uint32_t header = kEwram + 0x40000 - 4;
    write_bytes(t.m, header, {0x10, 0xFF, 0xFF, 0xFF});
    call(t.m, kSwiLz77, header, 0x10000000, 0);
    call(t.m, kSwiRl, header, 0x10000000, 0);
    // Copies that reach below address 0 wrap around the address space.
    write_bytes(t.m, kEwram, {0x10, 0x20, 0, 0, 0xFF});
    for (int i = 0; i < 16; ++i) write8(t.m, kEwram + 5 + i, 0xFF);
    call(t.m, kSwiLz77, kEwram, 0x00000010, 0);
    // Header and data read as zero from unmapped memory: nothing to do.
    call(t.m, kSwiLz77, 0xF0000000, kIwram, 0);
    call(t.m, kSwiRl, 0xF0000000, kIwram, 0);
    EXPECT_EQ(read32(t.m, kIwram), 0u);
}

TEST(BiosWarning, UnemulatedFunctionAsksUntilTheUserSwitchesItOff) {
    TestMachine t;
    t.host.answer_yes = false;
    write32(t.m, kIwram, 0x12345678);
    call(t.m, 0xDF05, kIwram, kIwram, 0x04000001);
    ASSERT_EQ(t.host.boxes.size(), 1u);
    EXPECT_EQ(t.host.boxes[0].caption, "Tamo");
    EXPECT_EQ(t.host.boxes[0].text,
              "BIOS funtion 0x05 don't emulated\nDisable this kind of WARNING ?");
    EXPECT_EQ(t.m.BiosWarningsEnabled, 1u);  // No keeps the warning
    EXPECT_EQ(read32(t.m, kIwram), 0x12345678u);

    t.host.answer_yes = true;
    call(t.m, 0xDFAB, 0, 0, 0);
    ASSERT_EQ(t.host.boxes.size(), 2u);
    EXPECT_EQ(t.host.boxes[1].text,
              "BIOS funtion 0xAB don't emulated\nDisable this kind of WARNING ?");
    EXPECT_EQ(t.m.BiosWarningsEnabled, 0u);

    call(t.m, 0xDF05, 0, 0, 0);
    call(t.m, 0xDF11, 0, 0, 0);
    EXPECT_EQ(t.host.boxes.size(), 2u);
}

}  // namespace
