#include "debugger/disassembler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <sstream>

#include "fake_host.h"
#include "memory/bus.h"

namespace {

constexpr uint32_t kAt = 0x03000100;  // where the instruction is placed, in IWRAM

// The text of a THUMB halfword at `at` followed by `next`, or of an ARM word.
std::optional<std::string> thumb(Machine& m, uint32_t op, uint32_t next = 0, uint32_t at = kAt) {
    write16(m, at, op);
    write16(m, at + 2, next);
    return disassemble(m, at + 4, true);
}
std::optional<std::string> arm(Machine& m, uint32_t op) {
    write32(m, kAt, op);
    return disassemble(m, kAt + 8, false);
}

// A text the listing can show: printable, at most 199 characters, an upper-case mnemonic first,
// no format left over, registers R0 to R15 only.
bool well_formed(const std::string& text) {
    if (text.empty() || text.size() > 199 || text[0] < 'A' || text[0] > 'Z') return false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] < 0x20 || text[i] > 0x7E || text[i] == '%') return false;
        if (text[i] == 'R' && i + 2 < text.size() && std::isdigit(text[i + 1]) &&
            std::isdigit(text[i + 2]) && std::stoi(text.substr(i + 1, 2)) > 15)
            return false;
    }
    return true;
}

// "OPCODE TEXT" examples, separated by "|": halfwords THUMB (a BL pair: the second half in the
// top 16 bits), words ARM; "-" for no text.
constexpr const char* kExamples = R"(
4770 BX R14|B081 ADD SP,#-4|DFAB SWI 0xAB|DE00 Unknown|5E8A LDSH R2,[R1,R2]|568A LDSB R2,[R1,R2]
5288 STRH R0,[R1,R2]|5488 STRB R0,[R1,R2]|5C88 LDRB R0,[R1,R2]|0908 LSR R0,R1,#4|1048 ASR R0,R1,#1
1A88 SUB R0,R1,R2|1E88 SUB R0,R1,#2|2AFF CMP R2,#255|3B01 SUB R3,#1|43C8 MVN R0,R1|44C0 ADD R8,R8
4570 CMP R0,R14|2901 CMP R1,#1|46F7 MOV R15,R14|6048 STR R0,[R1,#4]|7848 LDRB R0,[R1,#1]|8848 LDRH R0,[R1,#2]
9902 LDR R1,[SP,#8]|A102 ADD R1,PC,#8|A902 ADD R1,SP,#8|B004 ADD SP,#16|B5F0 PUSH { xxx }
BDF0 POP { xxx }|C103 STMIA R1!,{ xxx }|C903 LDMIA R1!,{ xxx }|F802 BL ...|D0FE BEQ 03000100
4F01 LDR R7,[03000108] (=12345678)|DD02 BLE 03000108|E400 B 02FFF904|F802F000 BL 03000108
FFFEF7FF BL 03000100|F800F001 BL 03001104|E12FFF1E BX R14|F12FFF1E BX?? R14|C12FFF13 BXGT R3
E0110392 MULS R1,R2,R3|10334192 MLANES R3,R2,R1,R4|E0821493 UMUL R1,R2,R3,R4
E0A21493 UMLA R1,R2,R3,R4|10F21493 SMLANES R1,R2,R3,R4|B1412093 SWPLTB R2,R3,[R1]
E1F320D4 LDRSB R2,[R3,#4]!|E01320B4 LDRH R2,[R3],-R4|E05320B4 LDRH R2,[R3],#-4
E0D32FBF LDRH R2,[R3],#255|E10320B4 STRH R2,[R3,-R4]|E15320F4 LDRSH R2,[R3,#-4]
E1B320B4 LDRH R2,[R3,R4]!|01C320B4 STREQH R2,[R3,#4]|E121F000 Pim pam poum 1
014F1000 Pim pam poum 2|E129F001 Pim pam poum 3|E328F001 Pim pam poum 4|E128F00F Pim pam poum 4
10800001 Data Processing|F3A00000 Data Processing|EA000000 -|E5912000 -|E8BD0001 -|EF000000 -
EC000000 -|4A000000 -)";

TEST(Disassembler, Examples) {
    TestMachine t;
    write32(t.m, kAt + 8, 0x12345678);  // a literal for the PC-relative loads
    std::string text = kExamples;
    std::replace(text.begin(), text.end(), '\n', '|');
    std::istringstream items(text);
    for (std::string item; std::getline(items, item, '|');) {
        if (item.empty()) continue;
        const size_t space = item.find(' ');
        const uint32_t op = uint32_t(std::stoul(item.substr(0, space), nullptr, 16));
        const auto got =
            space <= 4 || op >> 27 == 0x1F ? thumb(t.m, op & 0xFFFF, op >> 16) : arm(t.m, op);
        EXPECT_EQ(got.value_or("-"), item.substr(space + 1)) << item;
    }
    // The literal comes from the word-aligned PC.
    EXPECT_EQ(thumb(t.m, 0x4801, 0, kAt + 2), "LDR R0,[03000108] (=12345678)");
}

// Every THUMB halfword, whatever follows it, gives a well-formed text, and together they use
// exactly the instruction set's mnemonics, each as often as its encodings.
TEST(Disassembler, EveryThumbHalfword) {
    TestMachine t;
    std::mt19937 random(7);
    std::map<std::string, int> seen;
    for (uint32_t op = 0; op <= 0xFFFF; ++op) {
        const auto text = thumb(t.m, op, random() & 0xFFFF);
        ASSERT_TRUE(text && well_formed(*text)) << std::hex << op << " " << text.value_or("");
        ++seen[text->substr(0, text->find(' '))];
    }
    const std::map<std::string, int> counts = {
        {"Unknown", 256}, {"SWI", 256},   {"B", 4096},   {"BL", 4096},  {"BX", 256},  {"BEQ", 256},
        {"BLE", 256},     {"PUSH", 1024}, {"POP", 1024}, {"LDSB", 512}, {"LSL", 2112}};
    for (const auto& [name, count] : counts) EXPECT_EQ(seen[name], count) << name;
    EXPECT_EQ(seen.size(), 50u);
}

// Random words and every pattern of the class bits (27-20, 7-4) under every condition: a text
// exactly for the classes below 0x04000000, well formed, the condition behind the mnemonic.
TEST(Disassembler, EveryArmClass) {
    TestMachine t;
    std::mt19937 random(99);
    const char* suffix[16] = {"EQ", "NE", "CS", "CC", "MI", "PL", "VS", "VC",
                              "HI", "LS", "GE", "LT", "GT", "LE", "",   "??"};
    for (uint32_t i = 0; i < 200000 + 0x1000; ++i) {
        uint32_t op = random();
        if (i >= 200000) op = (op & 0xF000FF0F) | ((i & 0xFF0) << 16) | ((i & 15) << 4);
        const auto text = arm(t.m, op);
        ASSERT_EQ(text.has_value(), ((op >> 24) & 15) < 4) << std::hex << op;
        if (!text) continue;
        ASSERT_TRUE(well_formed(*text)) << *text;
        if (text->starts_with("Pim") || text->starts_with("Data")) continue;
        ASSERT_NE(text->substr(0, text->find(' ')).find(suffix[op >> 28]), std::string::npos)
            << std::hex << op << " " << *text;
    }
}

}  // namespace
