#include "debugger/disassembler.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

#include "fake_host.h"
#include "memory/bus.h"

namespace {

constexpr uint32_t kAt = 0x03000100;  // where the instruction under test is placed, in IWRAM

// The text of one THUMB halfword placed at `at` (followed by `next`, the second half of a BL).
std::optional<std::string> thumb(Machine& m, uint16_t op, uint16_t next = 0, uint32_t at = kAt) {
    write16(m, at, op);
    write16(m, at + 2, next);
    return disassemble(m, at + 4, true);
}

std::optional<std::string> arm(Machine& m, uint32_t op) {
    write32(m, kAt, op);
    return disassemble(m, kAt + 8, false);
}

std::string hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", value);
    return text;
}

// A text the listing can show: within the message buffer, printable ASCII, an upper-case
// mnemonic first, and only registers R0 to R15.
::testing::AssertionResult well_formed(const std::string& text) {
    if (text.empty() || text.size() > 199)
        return ::testing::AssertionFailure() << "length " << text.size();
    for (char ch : text) {
        if (ch < 0x20 || ch > 0x7E) return ::testing::AssertionFailure() << "'" << text << "'";
    }
    if (text[0] < 'A' || text[0] > 'Z') return ::testing::AssertionFailure() << "'" << text << "'";
    if (text.find('%') != std::string::npos)
        return ::testing::AssertionFailure() << "'" << text << "'";
    for (size_t at = 0; (at = text.find('R', at)) != std::string::npos; ++at) {
        size_t end = at + 1;
        while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
        if (end > at + 1 && std::stoi(text.substr(at + 1, end - at - 1)) > 15)
            return ::testing::AssertionFailure() << "register in '" << text << "'";
    }
    return ::testing::AssertionSuccess();
}

std::string mnemonic(const std::string& text) {
    return text.substr(0, text.find(' '));
}

TEST(ThumbDisassembly, KnownInstructions) {
    TestMachine t;
    Machine& m = t.m;
    const std::map<uint16_t, std::string> expected = {
        {0x4770, "BX R14"},
        {0x2000, "MOV R0,#0"},
        {0xB081, "ADD SP,#-4"},
        {0xDF05, "SWI 0x05"},
        {0xDFAB, "SWI 0xAB"},
        {0xDE00, "Unknown"},
        {0x5E8A, "LDSH R2,[R1,R2]"},
        {0x568A, "LDSB R2,[R1,R2]"},
        {0x5A8A, "LDRH R2,[R1,R2]"},
        {0x5288, "STRH R0,[R1,R2]"},
        {0x5088, "STR R0,[R1,R2]"},
        {0x5488, "STRB R0,[R1,R2]"},
        {0x5888, "LDR R0,[R1,R2]"},
        {0x5C88, "LDRB R0,[R1,R2]"},
        {0x0000, "LSL R0,R0,#0"},
        {0x0908, "LSR R0,R1,#4"},
        {0x1048, "ASR R0,R1,#1"},
        {0x1888, "ADD R0,R1,R2"},
        {0x1A88, "SUB R0,R1,R2"},
        {0x1C88, "ADD R0,R1,#2"},
        {0x1E88, "SUB R0,R1,#2"},
        {0x2AFF, "CMP R2,#255"},
        {0x3301, "ADD R3,#1"},
        {0x3B01, "SUB R3,#1"},
        {0x4008, "AND R0,R1"},
        {0x4348, "MUL R0,R1"},
        {0x43C8, "MVN R0,R1"},
        {0x4468, "ADD R0,R13"},
        {0x44C0, "ADD R8,R8"},
        {0x4570, "CMP R0,R14"},
        {0x46F7, "MOV R15,R14"},
        {0x6048, "STR R0,[R1,#4]"},
        {0x6848, "LDR R0,[R1,#4]"},
        {0x7048, "STRB R0,[R1,#1]"},
        {0x7848, "LDRB R0,[R1,#1]"},
        {0x8048, "STRH R0,[R1,#2]"},
        {0x8848, "LDRH R0,[R1,#2]"},
        {0x9102, "STR R1,[SP,#8]"},
        {0x9902, "LDR R1,[SP,#8]"},
        {0xA102, "ADD R1,PC,#8"},
        {0xA902, "ADD R1,SP,#8"},
        {0xB004, "ADD SP,#16"},
        {0xB5F0, "PUSH { xxx }"},
        {0xBDF0, "POP { xxx }"},
        {0xC103, "STMIA R1!,{ xxx }"},
        {0xC903, "LDMIA R1!,{ xxx }"},
        {0xF802, "BL ..."},
    };
    for (const auto& [op, text] : expected) EXPECT_EQ(thumb(m, op), text) << std::hex << op;
}

TEST(ThumbDisassembly, BranchTargetsAreInstructionAddresses) {
    TestMachine t;
    Machine& m = t.m;
    // A branch to itself shows its own address.
    EXPECT_EQ(thumb(m, 0xD0FE), "BEQ " + hex(kAt));
    EXPECT_EQ(thumb(m, 0xE7FE), "B " + hex(kAt));
    EXPECT_EQ(thumb(m, 0xDCFE), "BGT " + hex(kAt));
    EXPECT_EQ(thumb(m, 0xDD02), "BLE " + hex(kAt + 8));
    EXPECT_EQ(thumb(m, 0xE000), "B " + hex(kAt + 4));
    EXPECT_EQ(thumb(m, 0xE400), "B " + hex(kAt + 4 - 2048));
    // The BL pair: the target joins the offsets of both halves.
    EXPECT_EQ(thumb(m, 0xF000, 0xF802), "BL " + hex(kAt + 8));
    EXPECT_EQ(thumb(m, 0xF7FF, 0xFFFE), "BL " + hex(kAt));
    EXPECT_EQ(thumb(m, 0xF001, 0xF800), "BL " + hex(kAt + 4 + 4096));
}

TEST(ThumbDisassembly, PcRelativeLoadShowsTheLiteral) {
    TestMachine t;
    Machine& m = t.m;
    // The literal is read from the word-aligned PC: at kAt + 2 the PC is kAt + 6, aligned kAt + 4.
    write32(m, kAt + 8, 0x12345678);
    EXPECT_EQ(thumb(m, 0x4801, 0, kAt + 2), "LDR R0,[" + hex(kAt + 8) + "] (=12345678)");
    EXPECT_EQ(thumb(m, 0x4F01, 0, kAt), "LDR R7,[" + hex(kAt + 8) + "] (=12345678)");
}

// Every halfword, whatever follows it, gives a well-formed text, and together they use exactly
// the THUMB instruction set's mnemonics.
TEST(ThumbDisassembly, EveryHalfwordGivesAWellFormedText) {
    TestMachine t;
    Machine& m = t.m;
    std::mt19937 random(7);
    std::map<std::string, int> seen;
    for (uint32_t op = 0; op <= 0xFFFF; ++op) {
        std::optional<std::string> text = thumb(m, uint16_t(op), uint16_t(random()));
        ASSERT_TRUE(text) << std::hex << op;
        ASSERT_TRUE(well_formed(*text)) << std::hex << op;
        ++seen[mnemonic(*text)];
    }
    const std::set<std::string> mnemonics = {
        "LSL",   "LSR",   "ASR",  "ADD",  "SUB",  "MOV",  "CMP",     "AND",  "EOR",  "ADC",
        "SBC",   "ROR",   "TST",  "NEG",  "CMN",  "ORR",  "MUL",     "BIC",  "MVN",  "BX",
        "LDR",   "STR",   "LDRB", "STRB", "LDRH", "STRH", "LDSB",    "LDSH", "PUSH", "POP",
        "STMIA", "LDMIA", "BEQ",  "BNE",  "BCS",  "BCC",  "BMI",     "BPL",  "BVS",  "BVC",
        "BHI",   "BLS",   "BGE",  "BLT",  "BGT",  "BLE",  "Unknown", "SWI",  "B",    "BL"};
    std::set<std::string> names;
    for (const auto& [name, count] : seen) names.insert(name);
    EXPECT_EQ(names, mnemonics);
    EXPECT_EQ(seen["Unknown"], 256);
    EXPECT_EQ(seen["SWI"], 256);
    EXPECT_EQ(seen["B"], 4096);
    EXPECT_EQ(seen["BL"], 4096);  // 2048 first halves with a target, 2048 second halves alone
    EXPECT_EQ(seen["BX"], 256);
}

TEST(ArmDisassembly, KnownInstructions) {
    TestMachine t;
    Machine& m = t.m;
    const std::map<uint32_t, std::string> expected = {
        {0xE12FFF1E, "BX R14"},           {0x012FFF1E, "BXEQ R14"},
        {0xF12FFF1E, "BX?? R14"},         {0xC12FFF13, "BXGT R3"},
        {0xE0010392, "MUL R1,R2,R3"},     {0xE0110392, "MULS R1,R2,R3"},
        {0xE0234192, "MLA R3,R2,R1,R4"},  {0x10334192, "MLANES R3,R2,R1,R4"},
        {0xE0821493, "UMUL R1,R2,R3,R4"}, {0xE0A21493, "UMLA R1,R2,R3,R4"},
        {0xE0C21493, "SMUL R1,R2,R3,R4"}, {0x10F21493, "SMLANES R1,R2,R3,R4"},
        {0xE1012092, "SWP R2,R2,[R1]"},   {0xB1412093, "SWPLTB R2,R3,[R1]"},
        {0xE1D320B4, "LDRH R2,[R3,#4]"},  {0xE1F320D4, "LDRSB R2,[R3,#4]!"},
        {0xE01320B4, "LDRH R2,[R3],-R4"}, {0xE05320B4, "LDRH R2,[R3],#-4"},
        {0xE09320B4, "LDRH R2,[R3],R4"},  {0xE0D32FBF, "LDRH R2,[R3],#255"},
        {0xE10320B4, "STRH R2,[R3,-R4]"}, {0xE15320F4, "LDRSH R2,[R3,#-4]"},
        {0xE1B320B4, "LDRH R2,[R3,R4]!"}, {0x01C320B4, "STREQH R2,[R3,#4]"},
        {0xE121F000, "Pim pam poum 1"},   {0xE10F0000, "Pim pam poum 2"},
        {0x014F1000, "Pim pam poum 2"},   {0xE129F001, "Pim pam poum 3"},
        {0xE328F001, "Pim pam poum 4"},   {0xE128F00F, "Pim pam poum 4"},
        {0xE3A00000, "Data Processing"},  {0x10800001, "Data Processing"},
        {0xE2800001, "Data Processing"},  {0xF3A00000, "Data Processing"},
    };
    for (const auto& [op, text] : expected) EXPECT_EQ(arm(m, op), text) << std::hex << op;
}

TEST(ArmDisassembly, TransfersBranchesAndCoprocessorHaveNoText) {
    TestMachine t;
    Machine& m = t.m;
    for (uint32_t op : {0xEA000000u, 0xEBFFFFFEu, 0xE5912000u, 0xE7912003u, 0xE8BD0001u,
                        0xE92D4000u, 0xEF000000u, 0xEE000000u, 0xEC000000u, 0x4A000000u}) {
        EXPECT_FALSE(arm(m, op)) << std::hex << op;
    }
}

// Random words and every pattern of the bits that choose the class, under every condition.
TEST(ArmDisassembly, EveryClassGivesAWellFormedTextOrNone) {
    TestMachine t;
    Machine& m = t.m;
    std::mt19937 random(99);
    std::vector<uint32_t> words;
    for (int i = 0; i < 200000; ++i) words.push_back(uint32_t(random()));
    // Bits 27-20 and 7-4 choose the class; the other bits are operands.
    for (uint32_t selector = 0; selector < 0x1000; ++selector) {
        uint32_t operands = uint32_t(random()) & 0x000FFF0F;
        uint32_t condition = uint32_t(random()) << 28;
        words.push_back(condition | ((selector >> 4) << 20) | ((selector & 15) << 4) | operands);
    }
    for (uint32_t op : words) {
        std::optional<std::string> text = arm(m, op);
        ASSERT_EQ(text.has_value(), ((op >> 24) & 15) < 4) << std::hex << op;
        if (!text) continue;
        ASSERT_TRUE(well_formed(*text)) << std::hex << op;
        // The condition goes right behind the mnemonic's stem, never on the classifications.
        if (text->starts_with("Pim") || text->starts_with("Data")) continue;
        const char* suffix[16] = {"EQ", "NE", "CS", "CC", "MI", "PL", "VS", "VC",
                                  "HI", "LS", "GE", "LT", "GT", "LE", "",   "??"};
        ASSERT_NE(mnemonic(*text).find(suffix[op >> 28]), std::string::npos)
            << std::hex << op << " " << *text;
    }
}

TEST(Disassembly, ReadsThroughTheBus) {
    TestMachine t;
    Machine& m = t.m;
    // Unmapped memory reads as 0: LSL R0,R0,#0 in THUMB state, a data-processing word in ARM.
    EXPECT_EQ(disassemble(m, 0x10000004, true), "LSL R0,R0,#0");
    EXPECT_EQ(disassemble(m, 0x10000008, false), "Data Processing");
    // A cartridge image is read where the bus maps it.
    m.RomImage = std::make_unique<uint8_t[]>(4 + kSlack);
    m.RomSize = 4;
    m.RomImage[0] = 0x70;
    m.RomImage[1] = 0x47;
    EXPECT_EQ(disassemble(m, 0x08000004, true), "BX R14");
}

}  // namespace
