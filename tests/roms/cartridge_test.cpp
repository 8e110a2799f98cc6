// Runs the test cartridges through tamo-headless and compares the words each recorded in SRAM
// (offset 0x20000 of the save file the end of the run writes) with the values expected here.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "temp_dir.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kSaveSize = 196608, kSram = 0x20000;
constexpr uint32_t kDone = 0x454E4F44;

// Runs NAME.gba (copied into `folder` once) for `frames` frames; returns the exit status.
int run(const fs::path& folder, const std::string& name, int frames) {
    const fs::path rom = folder / (name + ".gba");
    if (!fs::exists(rom)) fs::copy_file(fs::path(TAMO_CARTRIDGE_DIR) / rom.filename(), rom);
    const std::string command = "cd '" + folder.string() + "' && '" TAMO_HEADLESS "' --frames " +
                                std::to_string(frames) + " " + name + ".gba > output.txt 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void expect_records(const std::string& name, int frames, std::vector<uint32_t> expected) {
    const TempDir dir;
    const fs::path& folder = dir.path();
    ASSERT_EQ(run(folder, name, frames), 0) << name;
    const std::vector<uint8_t> save = read_file(dir.file(name + ".sav"));
    ASSERT_EQ(save.size(), kSaveSize);
    expected.push_back(kDone);
    for (size_t i = 0; i < expected.size(); ++i) {
        const uint8_t* p = &save[kSram + 4 * i];
        EXPECT_EQ(uint32_t(p[0] | p[1] << 8 | p[2] << 16 | p[3] << 24), expected[i])
            << name << ".gba record " << i;
    }
}

TEST(Cartridge, Interrupts) {
    // clang-format off
    expect_records("irq", 10, {
        0x10000000, 0x10000001, 0x10000002, 0x10000003, 0x10000004, 0x10000005, 0x10000006,
        0x10000007, 0x10000008, 0x10000009, 0x1000000A,  // ARM code: R0..R10
        0x03000000, 0x1000000E, 9, 0x03007F00,  // R11, LR, N and V, SP
        1, 1, 0xFFFFFFF8, 161,                  // the handler: runs, IF, LR, VCOUNT
        0xFFFFFFFF, 0x10000000, 0x10000001, 0x10000002, 0x10000003, 0x10000004, 0x03000000,
        8,                                      // THUMB code: R0..R6, N
        4, 2,                                   // IME clear: requested, not taken
        3, 0, 4, 0,                             // taken before the next instruction
        228, 2});                               // H-blank: once per line
    // clang-format on
}

TEST(Cartridge, Timers) {
    expect_records("timers", 4, {2, 4, 0x1002, 0x1006, 0x1006, 0, 40, 20, 4, 8, 0, 1, 62});
}

TEST(Cartridge, BlankingDma) {
    expect_records("dma", 30, {0, 160, 0x5555, 3, 3, 0, 228, 58, 0});
}

// The save file carries SRAM and the save window from run to run; a run that the cartridge stops
// (its third) writes nothing.
TEST(Cartridge, SaveFileAcrossRuns) {
    const TempDir dir;
    std::vector<uint8_t> save;
    for (int n = 1; n <= 3; ++n) {
        ASSERT_EQ(run(dir.path(), "save", 2), n == 3 ? 1 : 0) << "run " << n;
        const std::vector<uint8_t> now = read_file(dir.file("save.sav"));
        ASSERT_EQ(now.size(), kSaveSize);
        if (n == 3) {
            EXPECT_EQ(now, save);
            break;
        }
        EXPECT_EQ(std::vector<int>({now[kSram + 0x100], now[kSram + 0x101], now[0x10]}),
                  std::vector<int>({n, 0xA5, n}));
        save = now;
    }
}

}  // namespace
