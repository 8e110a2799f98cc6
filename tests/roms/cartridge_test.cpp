// Runs the test cartridges through tamo-headless and reads their results from the save
// file that the machine writes when it is reset at the end of the run.
//
// A checking cartridge (see common.inc) records every check in SRAM: the actual value,
// the expected value (or range) and the address of the check's name inside the
// cartridge image. SRAM sits at offset 0x20000 of the save file.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr size_t kSaveFileSize = 196608;
constexpr size_t kSramOffset = 0x20000;
constexpr size_t kStatusOffset = 0x0800;
constexpr size_t kRecordOffset = 0x1000;
constexpr size_t kRecordSize = 16;
constexpr uint32_t kCartridgeBase = 0x08000000;

std::vector<uint8_t> read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t word_at(const std::vector<uint8_t>& bytes, size_t offset) {
    return uint32_t(bytes[offset]) | uint32_t(bytes[offset + 1]) << 8 |
           uint32_t(bytes[offset + 2]) << 16 | uint32_t(bytes[offset + 3]) << 24;
}

std::string hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

// A fresh folder per run, so save files never leak between tests and tests can run in
// parallel. Kept when the test has already failed by then (for a look at the files).
class TempFolder {
  public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "tamo-cartridge-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ec;
        if (!path_.empty() && !::testing::Test::HasFailure()) fs::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

struct RunResult {
    int exit_status = -1;
    std::string output;  // standard output and error of tamo-headless
};

fs::path cartridge_path(const std::string& name) {
    return fs::path(TAMO_CARTRIDGE_DIR) / (name + ".gba");
}

// Copies the cartridge into the folder (once) and runs it there for the given frames.
RunResult run_cartridge(const fs::path& folder, const std::string& name, int frames) {
    const fs::path rom = folder / (name + ".gba");
    std::error_code ec;
    if (!fs::exists(rom)) fs::copy_file(cartridge_path(name), rom, ec);
    RunResult run;
    if (ec) {
        run.output = "cannot copy " + cartridge_path(name).string() + ": " + ec.message();
        return run;
    }
    const fs::path log = folder / "output.txt";
    const std::string command = "cd '" + folder.string() + "' && '" TAMO_HEADLESS "' --frames " +
                                std::to_string(frames) + " '" + rom.filename().string() + "' > '" +
                                log.string() + "' 2>&1";
    const int status = std::system(command.c_str());
    if (status != -1 && WIFEXITED(status)) run.exit_status = WEXITSTATUS(status);
    const std::vector<uint8_t> text = read_file(log);
    run.output.assign(text.begin(), text.end());
    return run;
}

std::string check_name(const std::vector<uint8_t>& rom, uint32_t address) {
    if (address < kCartridgeBase || address - kCartridgeBase >= rom.size()) {
        return "(name at " + hex(address) + " outside the cartridge)";
    }
    std::string name;
    for (size_t i = address - kCartridgeBase; i < rom.size() && rom[i] != 0 && name.size() < 200;
         ++i) {
        name.push_back(char(rom[i]));
    }
    return name;
}

struct Check {
    uint8_t status = 0;  // 1 pass, 2 fail; 0x10 added for a range check
    uint32_t actual = 0, low = 0, high = 0;
    std::string name;
};

struct CartridgeResult {
    bool started = false;  // "TAMO": the cartridge reached START
    bool done = false;     // "DONE": the cartridge reached DONE
    uint32_t total = 0;    // the number of checks in the cartridge, written by DONE
    std::vector<Check> checks;
};

CartridgeResult read_results(const std::vector<uint8_t>& save, const std::vector<uint8_t>& rom) {
    CartridgeResult result;
    if (save.size() != kSaveFileSize) return result;
    const std::vector<uint8_t> sram(save.begin() + kSramOffset, save.end());
    result.started = std::string(sram.begin(), sram.begin() + 4) == "TAMO";
    if (!result.started) return result;
    result.done = std::string(sram.begin() + 8, sram.begin() + 12) == "DONE";
    result.total = sram[6] | sram[7] << 8;
    const uint32_t recorded = sram[4] | sram[5] << 8;
    for (uint32_t i = 0; i < recorded; ++i) {
        const size_t at = kRecordOffset + i * kRecordSize;
        if (at + kRecordSize > sram.size() || kStatusOffset + i >= kRecordOffset) break;
        Check check;
        check.status = sram[kStatusOffset + i];
        check.actual = word_at(sram, at);
        check.low = word_at(sram, at + 4);
        check.high = word_at(sram, at + 8);
        check.name = check_name(rom, word_at(sram, at + 12));
        result.checks.push_back(check);
    }
    return result;
}

// Runs a cartridge in a fresh folder and reads its results; empty when it did not run.
CartridgeResult run_checking_cartridge(const std::string& name, int frames) {
    TempFolder folder;
    EXPECT_FALSE(folder.path().empty()) << "cannot create a temporary folder";
    if (folder.path().empty()) return {};
    const RunResult run = run_cartridge(folder.path(), name, frames);
    EXPECT_EQ(run.exit_status, 0) << "tamo-headless " << name << ".gba in " << folder.path()
                                  << " said:\n"
                                  << run.output;
    const std::vector<uint8_t> save = read_file(folder.path() / (name + ".sav"));
    EXPECT_EQ(save.size(), kSaveFileSize) << "save file of " << name << ".gba";
    CartridgeResult result = read_results(save, read_file(cartridge_path(name)));
    EXPECT_TRUE(result.started) << name << ".gba never reached its first check";
    return result;
}

// Runs a checking cartridge and turns every failed or missing check into a test failure.
void expect_cartridge_passes(const std::string& name, int frames) {
    const CartridgeResult result = run_checking_cartridge(name, frames);
    if (!result.started) return;
    int failures = 0;
    for (size_t i = 0; i < result.checks.size(); ++i) {
        const Check& check = result.checks[i];
        if ((check.status & 0x0F) == 1) continue;
        ++failures;
        const std::string expected = check.low == check.high
                                         ? hex(check.low)
                                         : "[" + hex(check.low) + ", " + hex(check.high) + "]";
        ADD_FAILURE() << name << ".gba check " << i << " \"" << check.name << "\" failed: got "
                      << hex(check.actual) << " (" << check.actual << "), expected " << expected;
    }
    const std::string last = result.checks.empty() ? "(none)" : result.checks.back().name;
    EXPECT_TRUE(result.done) << name << ".gba did not finish within " << frames
                             << " frames: " << result.checks.size()
                             << " checks recorded, the last one \"" << last << "\"";
    if (result.done) {
        EXPECT_EQ(result.checks.size(), result.total)
            << name << ".gba recorded " << result.checks.size() << " checks but has "
            << result.total << " (some code was skipped or ran twice)";
    }
    std::printf("%s.gba: %zu checks, %d failed\n", name.c_str(), result.checks.size(), failures);
}

}  // namespace

TEST(Cartridge, Smoke) {
    TempFolder folder;
    const RunResult run = run_cartridge(folder.path(), "smoke", 2);
    ASSERT_EQ(run.exit_status, 0) << run.output;
    const std::vector<uint8_t> save = read_file(folder.path() / "smoke.sav");
    ASSERT_EQ(save.size(), kSaveFileSize);
    EXPECT_EQ(save[kSramOffset], 0x5A);
}

// The harness cartridge has deliberate failures: they must be recorded as failures,
// with the values and names that the runner prints.
TEST(Cartridge, HarnessRecordsFailures) {
    const CartridgeResult result = run_checking_cartridge("harness", 2);
    ASSERT_TRUE(result.done);
    ASSERT_EQ(result.total, 8u);
    ASSERT_EQ(result.checks.size(), 8u);
    const uint8_t statuses[] = {1, 2, 0x11, 0x12, 1, 1, 2, 0x12};
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(result.checks[i].status, statuses[i])
            << "check " << i << " " << result.checks[i].name;
    }
    EXPECT_EQ(result.checks[1].name, "ARM equality that fails");
    EXPECT_EQ(result.checks[1].actual, 5u);
    EXPECT_EQ(result.checks[1].low, 6u);
    EXPECT_EQ(result.checks[3].low, 6u);
    EXPECT_EQ(result.checks[3].high, 9u);
    EXPECT_EQ(result.checks[6].name, "THUMB equality that fails");
    EXPECT_EQ(result.checks[6].actual, 7u);
    EXPECT_EQ(result.checks[6].low, 8u);
}

TEST(Cartridge, ArmInstructions) {
    expect_cartridge_passes("arm", 4);
}

TEST(Cartridge, ThumbInstructions) {
    expect_cartridge_passes("thumb", 4);
}

TEST(Cartridge, Interrupts) {
    expect_cartridge_passes("irq", 10);
}

TEST(Cartridge, Timers) {
    expect_cartridge_passes("timers", 4);
}

TEST(Cartridge, Dma) {
    expect_cartridge_passes("dma", 30);
}

TEST(Cartridge, FirmwareCalls) {
    expect_cartridge_passes("bios", 4);
}

// Two runs in the same folder: the second one starts from the save file of the first.
// The third run ends with a stop instruction: exit status 1 and no save file written.
TEST(Cartridge, SaveFileAcrossRuns) {
    TempFolder folder;
    const fs::path save_path = folder.path() / "save.sav";

    const RunResult first = run_cartridge(folder.path(), "save", 2);
    ASSERT_EQ(first.exit_status, 0) << first.output;
    std::vector<uint8_t> save = read_file(save_path);
    ASSERT_EQ(save.size(), kSaveFileSize);
    EXPECT_EQ(save[kSramOffset + 0x100], 1) << "SRAM byte 0x100 after the first run";
    EXPECT_EQ(save[kSramOffset + 0x101], 0xA5) << "the first run did not reach its end";
    EXPECT_EQ(save[0x10], 1) << "save window byte 0x10 after the first run";

    const RunResult second = run_cartridge(folder.path(), "save", 2);
    ASSERT_EQ(second.exit_status, 0) << second.output;
    save = read_file(save_path);
    ASSERT_EQ(save.size(), kSaveFileSize);
    EXPECT_EQ(save[kSramOffset + 0x100], 2) << "SRAM byte 0x100 after the second run";
    EXPECT_EQ(save[0x10], 2) << "save window byte 0x10 after the second run";

    const RunResult third = run_cartridge(folder.path(), "save", 2);
    EXPECT_EQ(third.exit_status, 1) << "a stop instruction ends the run with status 1:\n"
                                    << third.output;
    const std::vector<uint8_t> after_stop = read_file(save_path);
    EXPECT_EQ(after_stop, save) << "the stopped run changed the save file";
}
