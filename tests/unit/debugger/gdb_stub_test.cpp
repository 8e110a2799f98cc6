#include "debugger/gdb_stub.h"

#include <gtest/gtest.h>

#include "debugger/data_access.h"
#include "fake_host.h"
#include "memory/bus.h"

namespace {

// A packet as gdb frames it: $data#checksum (the data given already escaped).
std::string pkt(const std::string& data) {
    unsigned sum = 0;
    for (unsigned char ch : data) sum += ch;
    char tail[4];
    std::snprintf(tail, sizeof tail, "#%02x", sum & 0xFF);
    return "$" + data + tail;
}

struct PacketCase {
    const char* name;
    std::string from_gdb;
    std::string expected;
    uint32_t ewram_word = 0;  // EWRAM's first word afterwards
};

// A processor at the cartridge entry in ARM state, with EWRAM's first word 0x11223344.
const PacketCase kPacketCases[] = {
    {"stop reason after attach", "$?#3f", "+" + pkt("S05")},
    {"bad checksum asks again", "$?#00", "-"},
    {"checksum not hexadecimal", "$?#zz", "-"},
    {"bytes between packets ignored", "+xyz\x03" + pkt("?"), "+" + pkt("S05")},
    {"resend on nak", pkt("?") + "-", "+" + pkt("S05") + pkt("S05")},
    {"unknown packet: empty reply", pkt("Qfoo"), "+" + pkt("")},
    {"empty packet", pkt(""), "+" + pkt("")},
    {"oversize packet", "$" + std::string(0x5000, 'g') + "#00", "+" + pkt("E02")},
    {"pc and cpsr", pkt("pf") + pkt("p10"), "+" + pkt("00000008") + "+" + pkt("1f000000")},
    {"cpsr write keeps pc", pkt("P10=200000f0") + pkt("pf") + pkt("p10"),
     "+" + pkt("OK") + "+" + pkt("00000008") + "+" + pkt("3f0000f0")},
    {"register out of range", pkt("p11") + pkt("P1=01"), "+" + pkt("E01") + "+" + pkt("E01")},
    {"G too short", pkt("G0011"), "+" + pkt("E01")},
    {"G of every register", pkt("G" + std::string(136, '0')) + pkt("pf"),
     "+" + pkt("OK") + "+" + pkt("00000000")},
    {"read word", pkt("m2000000,4"), "+" + pkt("44332211")},
    {"I/O read, no warning asked", pkt("m4000010,2"), "+" + pkt("0000")},
    {"read too long", pkt("m2000000,4000"), "+" + pkt("E01")},
    {"read malformed", pkt("m2000000") + pkt("mzz,1"), "+" + pkt("E01") + "+" + pkt("E01")},
    {"write bytes", pkt("M2000001,2:aabb"), "+" + pkt("OK"), 0x11bbaa44},
    {"write length mismatch", pkt("M2000000,2:aa"), "+" + pkt("E01"), 0x11223344},
    {"binary write with escapes", pkt("X2000000,2:}\x03}\x5d"), "+" + pkt("OK"), 0x11227d23},
    {"target description", pkt("qXfer:features:read:target.xml:0,5"), "+" + pkt("m<?xml")},
    {"unknown annex", pkt("qXfer:features:read:foo.xml:0,5"), "+" + pkt("E00")},
    {"breakpoint malformed", pkt("Z0,zz,4") + pkt("Z9,0,4"), "+" + pkt("E01") + "+" + pkt("")},
    {"watchpoint of no bytes", pkt("Z2,2000000,0"), "+" + pkt("E01")},
    {"threads", pkt("qC") + pkt("qfThreadInfo") + pkt("qAttached"),
     "+" + pkt("QC1") + "+" + pkt("m1") + "+" + pkt("1")},
};

class PacketTest : public testing::TestWithParam<PacketCase> {};

// Each case is fed at once and again one byte at a time (as a slow or broken connection gives
// it): the same answer both ways, and never a crash.
TEST_P(PacketTest, Answers) {
    const PacketCase& pc = GetParam();
    SCOPED_TRACE(pc.name);
    for (bool bytewise : {false, true}) {
        TestMachine t;
        cpu_reset(t.m, kCartridgeEntry);
        write32(t.m, 0x02000000, 0x11223344);
        GdbStub stub;
        stub.attach(t.m);
        std::string out;
        for (size_t i = 0; i < pc.from_gdb.size(); i += bytewise ? 1 : pc.from_gdb.size())
            out += stub.receive(t.m, std::string_view(pc.from_gdb).substr(i, bytewise ? 1 : ~0u));
        EXPECT_EQ(out, pc.expected) << (bytewise ? "byte by byte" : "at once");
        EXPECT_TRUE(!pc.ewram_word || read32(t.m, 0x02000000) == pc.ewram_word);
        EXPECT_TRUE(t.host.boxes.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Gdb, PacketTest, testing::ValuesIn(kPacketCases));

// The debugger window runs the processor on while gdb holds it, and it stops again (the stop key):
// gdb's next continue hears of that stop at once instead of running past it.
TEST(GdbStub, ContinueReportsAStopMadeMeanwhileInTheWindow) {
    TestMachine t;
    cpu_reset(t.m, kCartridgeEntry);
    GdbStub stub;
    stub.attach(t.m);
    cpu_run(t.m);
    debugger_continue(t.m);
    cpu_run(t.m);
    debugger_request(t.m);
    cpu_run(t.m);
    ASSERT_TRUE(debugger_waiting(t.m));
    std::string out = stub.receive(t.m, pkt("c"));
    EXPECT_EQ(out + stub.poll_stop(t.m), "+" + pkt("T05thread:1;"));
}

// The bytes that read and access watchpoints see for a register offset scaled by a shift.
TEST(GdbStub, ScaledRegisterOffsetAccess) {
    struct Case {
        uint32_t op, address;
        bool write;
    };
    const Case cases[] = {
        {0xE7910102, 0x02000100, false},  // ldr r0, [r1, r2, lsl #2]
        {0xE70100A2, 0x01FFFFE0, true},   // str r0, [r1, -r2, lsr #1]
    };
    for (const Case& k : cases) {
        TestMachine t;
        cpu_reset(t.m, 0x02000100);
        t.m.cpu.R[1] = 0x02000000;
        t.m.cpu.R[2] = 0x40;
        write32(t.m, 0x02000100, k.op);
        const DataAccess a = instruction_access(t.m);
        EXPECT_EQ(a.Address, k.address) << std::hex << k.op;
        EXPECT_EQ(a.Length, 4u);
        EXPECT_EQ(a.Write, k.write);
    }
}

}  // namespace
