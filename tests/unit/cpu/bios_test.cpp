// The firmware functions carried out for THUMB SWI: the stream at kEwram, the output at kOut.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "fake_host.h"

namespace {

constexpr uint32_t kEwram = 0x02000000, kOut = 0x03000300;
using Bytes = std::vector<uint8_t>;

Bytes counting(int n, int times = 1) {
    Bytes b;
    for (int t = 0; t < times; ++t)
        for (int i = 0; i < n; ++i) b.push_back(uint8_t(i + 1));
    return b;
}

// Runs one call with R0..R2 set, and checks that no register or flag changed.
void call(Machine& m, uint32_t swi, uint32_t r0, uint32_t r1, uint32_t r2) {
    m.cpu.R[0] = r0, m.cpu.R[1] = r1, m.cpu.R[2] = r2, m.cpu.FlagC = 1, m.cpu.ThumbState = 1;
    const CpuState before = m.cpu;
    bios_call(m, swi);
    EXPECT_EQ(std::memcmp(&m.cpu, &before, sizeof before), 0) << "the processor state changed";
}

TEST(Firmware, CopiesFillsAndDecompresses) {
    struct Case {
        uint32_t swi, r2;
        Bytes in, out;  // the output is followed by one byte that must stay 0
    };
    Bytes stream_run = {0x30, 7, 0, 0, 0x80, 0x5A, 0x01, 0xC1, 0xC2, 0x81, 0x11};
    const Case cases[] = {
        {0xDF0B, 0x04000008, counting(36), counting(32)},  // CpuSet: 8 words
        {0xDF0C, 0x04000008, counting(36), counting(32)},  // CpuFastSet: the same
        {0xDF0B,
         0x01000008,
         {0x5A, 0xA5, 1, 2},
         {0x5A, 0xA5, 0x5A, 0xA5, 0x5A, 0xA5, 0x5A, 0xA5, 0x5A, 0xA5, 0x5A, 0xA5, 0x5A, 0xA5, 0x5A,
          0xA5}},
        {0xDF0C, 0x05000003, counting(4), counting(4, 3)},  // fill with words
        // LZ77: four literals and a copy that reads what it writes; a copy from 0x234 back.
        {0xDF12,
         0,
         {0x10, 12, 0, 0, 0x08, 'A', 'B', 'C', 'D', 0x50, 0x02},
         {'A', 'B', 'C', 'D', 'B', 'C', 'D', 'B', 'C', 'D', 'B', 'C'}},
        {0xDF12, 0, {0x10, 4, 0, 0, 0x80, 0x12, 0x33}, {0x77, 0, 0, 0}},
        // A copy running past the size is completed, then decompression stops.
        {0xDF12, 0, {0x10, 4, 0, 0, 0x40, 'a', 0x30, 0x00, 'x'}, Bytes(7, 'a')},
        {0xDF12, 0, {0x10, 0, 0, 0, 0x00, 'x'}, {}},
        // Run-length: a run of 3, two literals, a run of 4 cut to the size.
        {0xDF15, 0, stream_run, {0x5A, 0x5A, 0x5A, 0xC1, 0xC2, 0x11, 0x11}},
        {0xDF15, 0, {0x30, 3, 0, 0, 0x05, 'a', 'b', 'c', 'd', 'e', 'f'}, {'a', 'b', 'c'}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << k.swi << " " << k.r2);
        TestMachine t;
        for (size_t i = 0; i < k.in.size(); ++i) write8(t.m, kEwram + i, k.in[i]);
        write8(t.m, kOut - 0x234, 0x77);
        call(t.m, k.swi, kEwram, kOut, k.r2);
        Bytes out;
        for (size_t i = 0; i <= k.out.size(); ++i) out.push_back(uint8_t(read8(t.m, kOut + i)));
        Bytes expected = k.out;
        expected.push_back(0);
        EXPECT_EQ(out, expected);
    }
}

// Garbage pointers neither hang nor crash: the size in the header bounds the work.
TEST(Firmware, MalformedStreamsEndOnTheirSize) {
    TestMachine t;
    const uint32_t header = kEwram + 0x40000 - 4;  // the stream runs off the end of EWRAM
    for (uint32_t i = 1; i < 4; ++i) write8(t.m, header + i, 0xFF);
    call(t.m, 0xDF12, header, 0x10000000, 0);
    call(t.m, 0xDF15, header, 0x10000000, 0);
    call(t.m, 0xDF12, 0xF0000000, kOut, 0);
    EXPECT_EQ(read32(t.m, kOut), 0u);
}

TEST(Firmware, OtherFunctionsAskUntilTheWarningIsSwitchedOff) {
    TestMachine t;
    t.host.answer_yes = false;
    call(t.m, 0xDF05, 0, 0, 0);
    t.host.answer_yes = true;
    call(t.m, 0xDFAB, 0, 0, 0);
    call(t.m, 0xDF11, 0, 0, 0);
    ASSERT_EQ(t.host.boxes.size(), 2u);
    EXPECT_EQ(t.host.boxes[0].caption, "Tamo");
    EXPECT_EQ(t.host.boxes[1].text,
              "BIOS funtion 0xAB don't emulated\nDisable this kind of WARNING ?");
}

}  // namespace
