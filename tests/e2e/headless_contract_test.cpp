// Runs tamo-headless as scripts do: options, exit statuses, messages, save files, screenshots.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <random>

#include "temp_dir.h"

namespace {

struct Outcome {
    int status = -1;     // the exit status, or -1 when the program did not exit normally
    std::string output;  // standard output and standard error together
};

Outcome run_headless(const std::string& arguments, const std::string& folder = ".") {
    std::string command =
        "cd '" + folder + "' && '" TAMO_HEADLESS_PATH "' " + arguments + " 2>&1 </dev/null";
    Outcome run;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    std::array<char, 4096> buffer;
    size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        run.output.append(buffer.data(), n);
    int raw = pclose(pipe);
    if (WIFEXITED(raw)) run.status = WEXITSTATUS(raw);
    return run;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Small ARM programs, assembled by hand.
const std::vector<uint8_t> kStoreKeysInSram = {
    // r0 = I/O block + 0x100, r1 = SRAM; loop: r2 = KEYINPUT; SRAM[0..1] = r2
    0x01, 0x03, 0xa0, 0xe3, 0x01, 0x0c, 0x80, 0xe2, 0x0e, 0x14, 0xa0, 0xe3, 0xb0, 0x23, 0xd0, 0xe1,
    0x00, 0x20, 0xc1, 0xe5, 0x22, 0x34, 0xa0, 0xe1, 0x01, 0x30, 0xc1, 0xe5, 0xfa, 0xff, 0xff, 0xea};
const std::vector<uint8_t> kRedBackdrop = {  // palette colour 0 = 0x001F, then wait
    0x05, 0x04, 0xa0, 0xe3, 0x1f, 0x10, 0xa0, 0xe3, 0xb0, 0x10, 0xc0, 0xe1, 0xfe, 0xff, 0xff, 0xea};
const std::vector<uint8_t> kThumbSwi5Loop = {  // to THUMB, then SWI 0x05 forever
    0x01, 0x00, 0x8f, 0xe2, 0x10, 0xff, 0x2f, 0xe1, 0x05, 0xdf, 0x05, 0xdf, 0xfc, 0xe7, 0xc0, 0x46};
const std::vector<uint8_t> kByteWriteToVcount = {  // strb to VCOUNT: a debug line, then wait
    0x01, 0x03, 0xa0, 0xe3, 0x12, 0x10, 0xa0, 0xe3, 0x06, 0x10, 0xc0, 0xe5, 0xfe, 0xff, 0xff, 0xea};
const std::vector<uint8_t> kSwp = {0x01, 0x00, 0xa0, 0xe3, 0x90, 0x00, 0x01, 0xe1};  // not emulated
const std::vector<uint8_t> kStopInstruction = {0x00, 0x00, 0x00, 0xf0};  // condition 0xF

TEST(HeadlessCommandLine, HelpAndVersion) {
    Outcome help = run_headless("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(contains(help.output, "--frames"));
    EXPECT_TRUE(contains(help.output, "--keys"));
    EXPECT_TRUE(contains(help.output, "--screenshot"));
    EXPECT_TRUE(contains(help.output, "START@10-12"));
    EXPECT_TRUE(contains(help.output, "Exit status"));
    Outcome version = run_headless("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(contains(version.output, "tamo-headless "));
}

TEST(HeadlessCommandLine, UsageErrorsExitWithTwo) {
    TempDir dir;
    write_file(dir.file("rom.gba"), kRedBackdrop);
    EXPECT_EQ(run_headless("", dir.path()).status, 2);
    EXPECT_EQ(run_headless("--bogus rom.gba", dir.path()).status, 2);
    EXPECT_EQ(run_headless("--frames ten rom.gba", dir.path()).status, 2);
    EXPECT_EQ(run_headless("--frames -1 rom.gba", dir.path()).status, 2);
    EXPECT_EQ(run_headless("--answer maybe rom.gba", dir.path()).status, 2);
    Outcome keys = run_headless("--keys X@1 rom.gba", dir.path());
    EXPECT_EQ(keys.status, 2);
    EXPECT_TRUE(contains(keys.output, "unknown key 'X'"));
    EXPECT_EQ(run_headless("--keys A@0 rom.gba", dir.path()).status, 2);
    EXPECT_EQ(run_headless("--keys A@5-2 rom.gba", dir.path()).status, 2);
    EXPECT_EQ(run_headless("--ini missing.ini rom.gba", dir.path()).status, 2);
    Outcome missing = run_headless("nothing.gba", dir.path());
    EXPECT_EQ(missing.status, 2);
    EXPECT_TRUE(contains(missing.output, "error: Can find Rom 'nothing.gba'."));
    EXPECT_FALSE(std::filesystem::exists(dir.file("rom.sav")));
}

TEST(HeadlessRun, NormalEndWritesTheSaveFile) {
    TempDir dir;
    write_file(dir.file("keys.gba"), kStoreKeysInSram);
    Outcome run = run_headless("--frames 5 keys.gba", dir.path());
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output, "");
    std::vector<uint8_t> save = read_file(dir.file("keys.sav"));
    ASSERT_EQ(save.size(), 0x30000u);
    EXPECT_EQ(save[0x20000], 0xFF);  // no key held
    EXPECT_EQ(save[0x20001], 0xFF);
}

TEST(HeadlessRun, KeyScriptHoldsKeysDuringItsFrames) {
    TempDir dir;
    write_file(dir.file("keys.gba"), kStoreKeysInSram);
    ASSERT_EQ(run_headless("--frames 5 --keys a+Start@2-5,L@9 keys.gba", dir.path()).status, 0);
    std::vector<uint8_t> save = read_file(dir.file("keys.sav"));
    ASSERT_EQ(save.size(), 0x30000u);
    EXPECT_EQ(save[0x20000] | (save[0x20001] << 8), 0xFFF6);  // A and START down
    ASSERT_EQ(run_headless("--frames 6 --keys A@2-5 keys.gba", dir.path()).status, 0);
    save = read_file(dir.file("keys.sav"));
    EXPECT_EQ(save[0x20000] | (save[0x20001] << 8), 0xFFFF);  // released again in frame 6
}

TEST(HeadlessRun, StoppedMachineExitsWithOneAndWritesNoSave) {
    TempDir dir;
    write_file(dir.file("stop.gba"), kStopInstruction);
    std::vector<uint8_t> old(0x30000, 0xAA);
    write_file(dir.file("stop.sav"), old);
    Outcome stop = run_headless("--frames 3 stop.gba", dir.path());
    EXPECT_EQ(stop.status, 1);
    EXPECT_TRUE(contains(stop.output, "stopped the machine"));
    EXPECT_EQ(read_file(dir.file("stop.sav")), old);

    write_file(dir.file("swp.gba"), kSwp);
    Outcome fatal = run_headless("swp.gba", dir.path());
    EXPECT_EQ(fatal.status, 1);
    EXPECT_TRUE(contains(fatal.output, "fatal: ARM Error : Not Emulated => SWP\n"));
    EXPECT_FALSE(std::filesystem::exists(dir.file("swp.sav")));
}

TEST(HeadlessRun, WarningsAreAnsweredFromTheCommandLine) {
    TempDir dir;
    write_file(dir.file("swi.gba"), kThumbSwi5Loop);
    Outcome yes = run_headless("--frames 1 swi.gba", dir.path());
    EXPECT_EQ(yes.status, 0);
    EXPECT_EQ(yes.output,
              "warning: BIOS funtion 0x05 don't emulated\n"
              "warning: Disable this kind of WARNING ? [answered yes]\n");
    Outcome no = run_headless("--frames 1 --answer no swi.gba", dir.path());
    EXPECT_EQ(no.status, 0);
    size_t count = 0;
    for (size_t at = 0; (at = no.output.find("[answered no]", at)) != std::string::npos; ++at)
        ++count;
    EXPECT_GT(count, 100u);  // asked at every call while the answer is no
}

TEST(HeadlessRun, DebugLinesOnlyOnRequest) {
    TempDir dir;
    write_file(dir.file("debug.gba"), kByteWriteToVcount);
    EXPECT_EQ(run_headless("--frames 1 debug.gba", dir.path()).output, "");
    Outcome debug = run_headless("--frames 1 --debug-output debug.gba", dir.path());
    EXPECT_EQ(debug.status, 0);
    EXPECT_EQ(debug.output, "debug: 08000008 : Ecriture du Byte 12 \xC3\xA0 l'adresse 00000006\n");
}

TEST(HeadlessRun, ScreenshotIsTheLastFrame) {
    TempDir dir;
    write_file(dir.file("red.gba"), kRedBackdrop);
    ASSERT_EQ(run_headless("--frames 2 --screenshot shot.png red.gba", dir.path()).status, 0);
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, dir.file("shot.png").c_str()));
    EXPECT_EQ(image.width, 240u);
    EXPECT_EQ(image.height, 160u);
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr));
    for (size_t i = 0; i < pixels.size(); i += 3) {
        ASSERT_EQ(pixels[i], 0xF8);
        ASSERT_EQ(pixels[i + 1], 0);
        ASSERT_EQ(pixels[i + 2], 0);
    }
    EXPECT_EQ(
        run_headless("--frames 1 --screenshot no/such/folder/x.png red.gba", dir.path()).status, 3);
}

TEST(HeadlessRun, BadRomsNeverCrash) {
    TempDir dir;
    write_file(dir.file("empty.gba"), {});
    write_file(dir.file("tiny.gba"), {0x12});
    std::mt19937 random(1234);
    for (int i = 0; i < 6; ++i) {
        std::vector<uint8_t> bytes(4096);
        for (uint8_t& b : bytes) b = uint8_t(random());
        write_file(dir.file("random" + std::to_string(i) + ".gba"), bytes);
    }
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        if (entry.path().extension() != ".gba") continue;
        std::string name = entry.path().filename().string();
        Outcome run = run_headless("--frames 30 --answer yes " + name, dir.path());
        EXPECT_TRUE(run.status == 0 || run.status == 1) << name << " gave " << run.status << "\n"
                                                        << run.output;
    }
}

}  // namespace
