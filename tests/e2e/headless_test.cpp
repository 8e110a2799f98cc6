// Runs tamo-headless as scripts and people do: the command-line contract (options, exit statuses,
// messages, save files, screenshots) and the text debugger's transcripts.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <random>
#include <sstream>

#include "temp_dir.h"

namespace {

struct Outcome {
    int status = -1;  // the exit status, or -1 when the program did not exit normally
    std::string out, err;
};

// Runs tamo-headless in `dir` with `input` on standard input.
Outcome run(const TempDir& dir, const std::string& args, const std::string& input = "") {
    write_file(dir.file("input.txt"), std::vector<uint8_t>(input.begin(), input.end()));
    const std::string command = "cd '" + dir.path().string() + "' && '" TAMO_HEADLESS_PATH "' " +
                                args + " <input.txt >out.txt 2>err.txt";
    const int raw = std::system(command.c_str());
    auto text = [&](const char* name) {
        const std::vector<uint8_t> bytes = read_file(dir.file(name));
        return std::string(bytes.begin(), bytes.end());
    };
    return {raw != -1 && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, text("out.txt"), text("err.txt")};
}

// The first SRAM byte (or halfword) of a save file, -1 when there is no save file.
int sram(const TempDir& dir, const char* save, bool halfword = false) {
    const std::vector<uint8_t> bytes = read_file(dir.file(save));
    if (bytes.size() != 0x30000) return -1;
    return bytes[0x20000] | (halfword ? bytes[0x20001] << 8 : 0);
}

// Each of the parts, separated by "|", in `text`, in this order.
::testing::AssertionResult in_order(const std::string& text, const std::string& parts) {
    size_t at = 0;
    std::istringstream list(parts);
    for (std::string part; std::getline(list, part, '|');) {
        at = text.find(part, at);
        if (at == std::string::npos)
            return ::testing::AssertionFailure() << "no '" << part << "' in\n" << text;
        at += part.size();
    }
    return ::testing::AssertionSuccess();
}

// Small ARM programs, assembled by hand: KEYINPUT into the first two SRAM bytes over and over;
// palette colour 0 red, a wait; to THUMB, then SWI 0x05 for ever; a byte written to VCOUNT, a
// wait; SWP (not emulated); a stop (condition 0xF).
const std::vector<std::pair<const char*, std::vector<uint32_t>>> kPrograms = {
    {"keys.gba",
     {0xE3A00301, 0xE2800C01, 0xE3A0140E, 0xE1D023B0, 0xE5C12000, 0xE1A03422, 0xE5C13001,
      0xEAFFFFFA}},
    {"red.gba", {0xE3A00405, 0xE3A0101F, 0xE1C010B0, 0xEAFFFFFE}},
    {"swi.gba", {0xE28F0001, 0xE12FFF10, 0xDF05DF05, 0x46C0E7FC}},
    {"debug.gba", {0xE3A00301, 0xE3A01012, 0xE5C01006, 0xEAFFFFFE}},
    {"swp.gba", {0xE3A00001, 0xE1010090}},
    {"stop.gba", {0xF0000000}},
    {"empty.gba", {}},
};

void write_words(const std::string& path, const std::vector<uint32_t>& words) {
    std::vector<uint8_t> bytes;
    for (uint32_t w : words)
        for (int i = 0; i < 4; ++i) bytes.push_back(uint8_t(w >> 8 * i));
    write_file(path, bytes);
}

TEST(Headless, CommandLineContract) {
    const struct {
        const char* args;
        int status;
        const char* parts;           // in the output (standard output, then error), in order
        const char* save = nullptr;  // a save file and its first SRAM halfword (-1: none)
        int sram = -1;
        bool exact = false;  // the output is `parts`
    } cases[] = {
        {"--help", 0,
         "--frames|--keys|--screenshot|--debugger|--break|--count|START@10-12|(tamo) |up, down|end "
         "of input|Exit status"},
        {"--version", 0, "tamo-headless "},
        {"--keys X@1 red.gba", 2, "unknown key 'X'"},
        {"--break 0x red.gba", 2, "is not a number"},
        {"--count 99999999999 red.gba", 2, "is not a number"},
        {"nothing.gba", 2, "error: Can find Rom 'nothing.gba'.|'nothing.gba': No such file or dir"},
        {"--frames ten red.gba", 2, "--frames: 'ten'"},
        {"--frames 5 keys.gba", 0, "", "keys.sav", 0xFFFF, true},
        {"--frames 5 --keys a+Start@2-5,L@9 keys.gba", 0, "", "keys.sav", 0xFFF6},
        {"--frames 6 --keys A@2-5 keys.gba", 0, "", "keys.sav", 0xFFFF},  // released in frame 6
        {"--frames 3 stop.gba", 1, "stopped the machine", "stop.sav", -1},
        {"swp.gba", 1, "fatal: ARM Error : Not Emulated => SWP\n", "swp.sav", -1},
        {"--frames 1 swi.gba", 0,
         "warning: BIOS funtion 0x05 don't emulated\nwarning: Disable this kind of WARNING ? "
         "[answered yes]\n",
         nullptr, -1, true},
        // Answered no, the question comes again at every call.
        {"--frames 1 --answer no swi.gba", 0, "[answered no]\nwarning: BIOS|[answered no]\n"},
        {"--frames 1 debug.gba", 0, "", nullptr, -1, true},  // debug lines only on request
        {"--frames 1 --debug-output debug.gba", 0,
         "debug: 08000008 : Ecriture du Byte 12 \xC3\xA0 l'adresse 00000006\n", nullptr, -1, true},
        {"--frames 1 --screenshot no/such/folder/x.png red.gba", 3, "error: screenshot"},
    };
    TempDir dir;
    for (const auto& [name, words] : kPrograms) write_words(dir.file(name), words);
    for (const auto& c : cases) {
        const Outcome o = run(dir, c.args);
        EXPECT_EQ(o.status, c.status) << c.args << "\n" << o.out << o.err;
        EXPECT_TRUE(in_order(o.out + o.err, c.parts)) << c.args;
        EXPECT_TRUE(!c.exact || o.out + o.err == c.parts) << c.args << ": " << o.out << o.err;
        EXPECT_TRUE(!c.save || sram(dir, c.save, true) == c.sram) << c.args;
    }

    for (const char* usage :
         {"", "--bogus red.gba", "--frames -1 red.gba", "--answer maybe red.gba",
          "--keys A@0 red.gba", "--keys A@5-2 red.gba", "--keys START red.gba", "--keys @5 red.gba",
          "--keys A@1- red.gba", "--keys A+@1 red.gba", "--keys A@99999999999 red.gba",
          "--ini missing.ini red.gba"})
        EXPECT_EQ(run(dir, usage).status, 2) << usage;
    // Empty, tiny and random ROMs never crash.
    std::mt19937 random(1234);
    for (int i = 0; i < 8; ++i) {
        std::vector<uint8_t> bytes(4096);
        for (uint8_t& b : bytes) b = uint8_t(random());
        write_file(dir.file("random.gba"), bytes);
        if (i == 1) bytes.resize(1);
        const char* rom = i == 0 ? "empty.gba" : "random.gba";
        const int status = run(dir, std::string("--frames 30 ") + rom).status;
        EXPECT_TRUE(status == 0 || status == 1) << rom << " " << i << ": " << status;
    }
}

// The text debugger on text_debugger.s: ARM start, a THUMB call at 08000016 whose result (0x42)
// goes to SRAM at 0800001E, a wait at 08000020.
TEST(Headless, TextDebuggerTranscripts) {
    const struct {
        const char *args, *input;
        int status;
        const char *out, *err;  // parts, in order; "" for no output at all
        int sram;               // the first SRAM byte saved, -1: no save file
    } cases[] = {
        {"--count 0 --frames 1 --debugger", "quit\n", 1,
         "Tamo Debugger\nR0  00000000  R8  00000000\nR1  00000000  R9  00000000\n|"
         "R7  00000000  R15 08000008\nPC  08000000  Cnt 0\nN=0 Z=0 C=0 V=0 I=1 T=0\n"
         "=> 08000000  E3A00001  Data Processing\n   08000004  E3A01002  Data Processing\n|"
         "   08000010  E12FFF13  BX R3\n   08000014  F0002404  Data Processing\n"
         "   08000018  250EF804  250EF804\n|   08000034  00000000  Data Processing\n(tamo) quit\n",
         "tamo-headless: quit in the debugger in frame 1; no save file written\n", -1},
        // Over a BL pair half by half; the listing moved up and down; a bad command; a step
        // from the instruction about to start, whatever the listing shows.
        {"--debugger --break 0x08000016 --frames 3",
         "over\nover\nup\nup\nup\ndown\nbogus\n\nstep\ncontinue\n", 0,
         "PC  08000016  Cnt 6\nN=0 Z=0 C=0 V=0 I=1 T=1\n=> 08000016  0000F000  BL 08000022\n|"
         "(tamo) over\n|R6  00000000|PC  08000018|=> 08000018  0000F804  BL ...\n|(tamo) over\n|"
         "R6  00000042|PC  0800001A  Cnt 9|(tamo) up\n|T=1\n   08000018|(tamo) up\n|"
         "T=1\n   08000016|(tamo) up\n|T=1\n   08000014|(tamo) down\n|T=1\n   08000016|"
         "(tamo) bogus\nunknown command 'bogus'|\n(tamo) \n(tamo) step\n|PC  0800001C|"
         "T=1\n=> 0800001C|(tamo) continue\n",
         "", 0x42},
        // The stop key while the cartridge waits in its loop; a step there.
        {"--debugger --frames 50", "d\nstep\nquit\n", 1,
         "PC  08000020  Cnt |(tamo) step\n|PC  08000020  Cnt |(tamo) quit\n", "", -1},
        // At the end of the input every stop continues; input that ends while running: nothing.
        {"--debugger --count 0 --frames 2", "", 0, "(tamo) continue (end of input)\n", "", 0x42},
        {"--debugger --frames 2", "", 0, "", "", 0x42},
        // --break and --count, in decimal or hexadecimal, win over the settings file.
        {"--ini bp.ini --debugger --frames 1", "quit\n", 1, "PC  08000004", "", -1},
        {"--ini bp.ini --debugger --break 0x0800000c", "quit\n", 1, "PC  0800000C", "", -1},
        {"--ini bp.ini --debugger --break 134217736", "quit\n", 1, "PC  08000008", "", -1},
        {"--ini bp.ini --debugger --break -1 --count 3", "quit\n", 1, "PC  0800000C  Cnt 3", "",
         -1},
        // Without --debugger a stop holds the processor to the end of the run.
        {"--break 0x0800001E --frames 3", "continue\n", 0, "",
         "stopped in the debugger before the instruction at 0800001E", 0x00},
    };
    for (const auto& c : cases) {
        TempDir dir;
        std::filesystem::copy_file(TAMO_DEBUGGER_CARTRIDGE, dir.file("cart.gba"));
        const std::string ini = "[Tamo]\nBreakpoint=0x08000004\n";
        write_file(dir.file("bp.ini"), std::vector<uint8_t>(ini.begin(), ini.end()));
        const Outcome o = run(dir, std::string(c.args) + " cart.gba", c.input);
        EXPECT_EQ(o.status, c.status) << c.args << "\n" << o.out << o.err;
        EXPECT_TRUE(in_order(o.out, c.out)) << c.args;
        EXPECT_TRUE(in_order(o.err, c.err)) << c.args;
        EXPECT_TRUE(*c.out || o.out.empty()) << c.args << ": " << o.out;
        EXPECT_EQ(sram(dir, "cart.sav"), c.sram) << c.args;
    }
}

}  // namespace
