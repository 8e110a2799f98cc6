// Drives tamo-headless's text debugger (--debugger, --break, --count) with scripted input, as a
// person at a terminal or a script would.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "temp_dir.h"

namespace {

struct Outcome {
    int status = -1;  // the exit status, or -1 when the program did not exit normally
    std::string out;  // standard output
    std::string err;  // standard error
};

// Runs the test cartridge (text_debugger.s) in a fresh copy inside `dir`, with `input` on
// standard input.
Outcome run_debugger(const TempDir& dir, const std::string& arguments, const std::string& input) {
    std::filesystem::copy_file(TAMO_DEBUGGER_CARTRIDGE, dir.file("cart.gba"),
                               std::filesystem::copy_options::overwrite_existing);
    std::vector<uint8_t> bytes(input.begin(), input.end());
    write_file(dir.file("input.txt"), bytes);
    std::string command = "cd '" + dir.path().string() + "' && '" TAMO_HEADLESS_PATH "' " +
                          arguments + " cart.gba <input.txt 2>err.txt";
    Outcome run;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    std::array<char, 4096> buffer;
    size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        run.out.append(buffer.data(), n);
    int raw = pclose(pipe);
    if (WIFEXITED(raw)) run.status = WEXITSTATUS(raw);
    std::vector<uint8_t> err = read_file(dir.file("err.txt"));
    run.err.assign(err.begin(), err.end());
    return run;
}

// One printed debugger view, by the fields the tests look at.
struct View {
    std::string pc, cnt, r6, first_row, marked_row;
    int rows = 0;
};

std::vector<View> views(const std::string& out) {
    std::vector<View> result;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        // A prompt may stand in front of the heading, when the input was a terminal.
        if (line.ends_with("Tamo Debugger")) {
            result.emplace_back();
            continue;
        }
        if (result.empty()) continue;
        View& v = result.back();
        if (line.starts_with("PC  ")) {
            v.pc = line.substr(4, 8);
            v.cnt = line.substr(line.find("Cnt ") + 4);
        } else if (line.starts_with("R6  ")) {
            v.r6 = line.substr(4, 8);
        } else if (line.size() > 13 && (line.starts_with("=> ") || line.starts_with("   "))) {
            if (v.rows == 0) v.first_row = line.substr(3, 8);
            if (line.starts_with("=> ")) v.marked_row = line.substr(3);
            ++v.rows;
        }
    }
    return result;
}

size_t count_of(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = 0; (at = text.find(part, at)) != std::string::npos; at += part.size()) ++count;
    return count;
}

uint8_t sram_byte0(const TempDir& dir) {
    std::vector<uint8_t> save = read_file(dir.file("cart.sav"));
    return save.size() == 0x30000 ? save[0x20000] : 0xEE;
}

TEST(HeadlessDebugger, TheViewAsPrinted) {
    TempDir dir;
    std::vector<uint8_t> old(0x30000, 0xAA);
    write_file(dir.file("cart.sav"), old);
    Outcome run = run_debugger(dir, "--debugger --count 0 --frames 1", "quit\n");
    EXPECT_EQ(run.out,
              "Tamo Debugger\n"
              "R0  00000000  R8  00000000\n"
              "R1  00000000  R9  00000000\n"
              "R2  00000000  R10 00000000\n"
              "R3  00000000  R11 00000000\n"
              "R4  00000000  R12 00000000\n"
              "R5  00000000  R13 00000000\n"
              "R6  00000000  R14 00000000\n"
              "R7  00000000  R15 08000008\n"
              "PC  08000000  Cnt 0\n"
              "N=0 Z=0 C=0 V=0 I=1 T=0\n"
              "=> 08000000  E3A00001  Data Processing\n"
              "   08000004  E3A01002  Data Processing\n"
              "   08000008  E0802001  Data Processing\n"
              "   0800000C  E28F3001  Data Processing\n"
              "   08000010  E12FFF13  BX R3\n"
              "   08000014  F0002404  Data Processing\n"
              "   08000018  250EF804  250EF804\n"
              "   0800001C  702E062D  Data Processing\n"
              "   08000020  2642E7FE  2642E7FE\n"
              "   08000024  46C04770  46C04770\n"
              "   08000028  00000000  Data Processing\n"
              "   0800002C  00000000  Data Processing\n"
              "   08000030  00000000  Data Processing\n"
              "   08000034  00000000  Data Processing\n"
              "(tamo) quit\n");
    // Quit ends the run as the machine stopping does: status 1, the save file untouched.
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "tamo-headless: quit in the debugger in frame 1; no save file written\n");
    EXPECT_EQ(read_file(dir.file("cart.sav")), old);
}

TEST(HeadlessDebugger, SteppingOverACallAndMovingTheListing) {
    TempDir dir;
    Outcome run = run_debugger(dir, "--debugger --break 0x08000016 --frames 3",
                               "over\nover\nup\nup\nup\ndown\nbogus\n\nstep\ncontinue\n");
    EXPECT_EQ(run.status, 0) << run.err;
    std::vector<View> v = views(run.out);
    ASSERT_EQ(v.size(), 8u) << run.out;
    // At the first half of the pair, THUMB rows.
    EXPECT_EQ(v[0].pc, "08000016");
    EXPECT_EQ(v[0].marked_row, "08000016  0000F000  BL 08000022");
    EXPECT_EQ(v[0].rows, 14);
    EXPECT_TRUE(run.out.find("N=0 Z=0 C=0 V=0 I=1 T=1\n") != std::string::npos);
    // Over the first half: at the second; over the second: the routine ran.
    EXPECT_EQ(v[1].pc, "08000018");
    EXPECT_EQ(v[1].marked_row, "08000018  0000F804  BL ...");
    EXPECT_EQ(v[1].r6, "00000000");
    EXPECT_EQ(v[2].pc, "0800001A");
    EXPECT_EQ(v[2].r6, "00000042");
    EXPECT_EQ(v[2].cnt, "9");  // five ARM, the mov, the pair as one, the routine's two
    // Up three times moves the first row back by 6 bytes; down brings it 2 forward.
    EXPECT_EQ(v[3].first_row, "08000018");
    EXPECT_EQ(v[4].first_row, "08000016");
    EXPECT_EQ(v[5].first_row, "08000014");
    EXPECT_EQ(v[5].pc, "0800001A");
    EXPECT_EQ(v[6].first_row, "08000016");
    // The unknown command: an error and the prompt again (and again after the empty line); then
    // the step, from the instruction about to start.
    EXPECT_TRUE(run.out.find("(tamo) bogus\nunknown command 'bogus'") != std::string::npos);
    EXPECT_EQ(count_of(run.out, "(tamo) "), 10u);
    EXPECT_EQ(v[7].pc, "0800001C");
    EXPECT_EQ(v[7].first_row, "0800001C");
    // After "continue" the run went on to its end and saved the routine's result.
    EXPECT_EQ(sram_byte0(dir), 0x42);
}

TEST(HeadlessDebugger, StepAfterTheListingMovedStartsFromTheInstruction) {
    TempDir dir;
    Outcome run =
        run_debugger(dir, "--debugger --break 0x08000016 --frames 1", "up\nstep\ncontinue\n");
    std::vector<View> v = views(run.out);
    ASSERT_EQ(v.size(), 3u) << run.out;
    EXPECT_EQ(v[1].first_row, "08000014");
    EXPECT_EQ(v[2].pc, "08000018");
    EXPECT_EQ(v[2].first_row, "08000018");
}

// The stop key while the game waits in a tight loop, at the instruction where the debugger was
// last shown: the view comes back, with the count run since.
TEST(HeadlessDebugger, StopKeyInATightLoop) {
    TempDir dir;
    std::vector<uint8_t> old(0x30000, 0xAA);
    write_file(dir.file("cart.sav"), old);
    Outcome run = run_debugger(dir, "--debugger --count 20 --frames 50",
                               "continue\ncontinue\nd\nstep\nstep\nquit\n");
    EXPECT_EQ(run.status, 1) << run.err;
    std::vector<View> v = views(run.out);
    ASSERT_EQ(v.size(), 5u) << run.out;
    EXPECT_EQ(v[0].pc, "08000020");
    EXPECT_EQ(v[0].cnt, "20");
    // Continue at the count stops once more, one branch later; the second Continue runs on.
    EXPECT_EQ(v[1].pc, "08000020");
    EXPECT_EQ(v[1].cnt, "21");
    // Stopped again by d after the first frame, in the loop.
    EXPECT_EQ(v[2].pc, "08000020");
    uint32_t count = uint32_t(std::stoul(v[2].cnt));
    EXPECT_GT(count, 1000u);
    // Each step runs the branch once: same place, one more instruction.
    EXPECT_EQ(v[3].pc, "08000020");
    EXPECT_EQ(v[3].cnt, std::to_string(count + 1));
    EXPECT_EQ(v[4].cnt, std::to_string(count + 2));
    EXPECT_EQ(read_file(dir.file("cart.sav")), old);
}

TEST(HeadlessDebugger, ContinueAtTheBreakpointStopsOnceMore) {
    TempDir dir;
    Outcome run =
        run_debugger(dir, "--debugger --break 0x08000004 --frames 2", "continue\ncontinue\n");
    EXPECT_EQ(run.status, 0) << run.err;
    std::vector<View> v = views(run.out);
    ASSERT_EQ(v.size(), 2u) << run.out;
    EXPECT_EQ(v[0].pc, "08000004");
    EXPECT_EQ(v[1].pc, "08000008");
    EXPECT_EQ(sram_byte0(dir), 0x42);
}

TEST(HeadlessDebugger, EndOfInputContinues) {
    TempDir dir;
    Outcome run = run_debugger(dir, "--debugger --count 0 --frames 2", "");
    EXPECT_EQ(run.status, 0) << run.err;
    // The stop at the count, then once more at the next instruction, each continued.
    std::vector<View> v = views(run.out);
    ASSERT_EQ(v.size(), 2u) << run.out;
    EXPECT_EQ(v[1].pc, "08000004");
    EXPECT_EQ(count_of(run.out, "(tamo) continue (end of input)\n"), 2u);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(sram_byte0(dir), 0x42);

    // Input that ends while the machine runs: it just runs on.
    Outcome running = run_debugger(dir, "--debugger --frames 2", "");
    EXPECT_EQ(running.status, 0);
    EXPECT_EQ(running.out, "");
}

TEST(HeadlessDebugger, BreakAndCountOverrideTheSettingsFile) {
    TempDir dir;
    std::vector<uint8_t> ini;
    std::string text = "[Tamo]\nBreakpoint=0x08000004\n";
    ini.assign(text.begin(), text.end());
    write_file(dir.file("Tamo.ini"), ini);
    std::vector<View> from_ini = views(run_debugger(dir, "--debugger --frames 1", "quit\n").out);
    ASSERT_EQ(from_ini.size(), 1u);
    EXPECT_EQ(from_ini[0].pc, "08000004");
    std::vector<View> hex =
        views(run_debugger(dir, "--debugger --break 0x0800000c --frames 1", "quit\n").out);
    ASSERT_EQ(hex.size(), 1u);
    EXPECT_EQ(hex[0].pc, "0800000C");
    std::vector<View> decimal =
        views(run_debugger(dir, "--debugger --break 134217736 --frames 1", "quit\n").out);
    ASSERT_EQ(decimal.size(), 1u);
    EXPECT_EQ(decimal[0].pc, "08000008");
    std::vector<View> count =
        views(run_debugger(dir, "--debugger --break -1 --count 0x3 --frames 1", "quit\n").out);
    ASSERT_EQ(count.size(), 1u);
    EXPECT_EQ(count[0].cnt, "3");
    EXPECT_EQ(count[0].pc, "0800000C");

    for (const char* bad : {"--break zz", "--break 0x", "--count 1x", "--count 99999999999"}) {
        Outcome run = run_debugger(dir, std::string("--debugger ") + bad, "");
        EXPECT_EQ(run.status, 2) << bad;
        EXPECT_TRUE(run.err.find("is not a number") != std::string::npos) << run.err;
    }
}

TEST(HeadlessDebugger, WithoutTheTextDebuggerAStopHoldsTheProcessor) {
    TempDir dir;
    // The stop before the store to SRAM is never answered: the run ends normally without it.
    Outcome run = run_debugger(dir, "--break 0x0800001E --frames 3", "continue\n");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("stopped in the debugger before the instruction at 0800001E"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(sram_byte0(dir), 0x00);
}

TEST(HeadlessDebugger, HelpDescribesTheDebugger) {
    TempDir dir;
    Outcome help = run_debugger(dir, "--help", "");
    EXPECT_EQ(help.status, 0);
    for (const char* part : {"--debugger", "--break", "--count", "(tamo) ", "step", "over",
                             "continue", "quit", "up, down", "end of input"}) {
        EXPECT_TRUE(help.out.find(part) != std::string::npos) << part;
    }
}

}  // namespace
