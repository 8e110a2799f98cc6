#include <gtest/gtest.h>

#include <filesystem>

#include "fake_host.h"
#include "frontend/frontend.h"
#include "memory/bus.h"
#include "memory/save_file.h"
#include "temp_dir.h"

namespace {

std::vector<uint8_t> pattern(size_t size, uint8_t seed) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = uint8_t(i * 7 + seed);
    return bytes;
}

TEST(Names, RomFromCommandLineSaveFileAndMessages) {
    // clang-format off
    const char* rom[] = {"my game.gba -x", "my game.gba -x", "\"my game.gba\" -x", "my game.gba",
                         "\"open.gba", "open.gba", "\"", "", "", ""};
    // clang-format on
    for (int i = 0; i < 10; i += 2) EXPECT_EQ(rom_name_from_command_line(rom[i]), rom[i + 1]);
    const char* save[] = {"my.game.gba", "my.game.sav",  "r\\g.gba",         "r\\g.sav", "game.",
                          "game.sav",    "my.roms/game", "my.roms/game.sav", ".gba",     ".sav"};
    for (int i = 0; i < 10; i += 2) EXPECT_EQ(save_file_name(save[i]), save[i + 1]);
    const std::string text = format_message("Can find Rom '%s'.", std::string(500, 'x').c_str());
    EXPECT_EQ(text.size(), kMessageBufferSize - 1);
}

TEST(RomLoad, FailuresKeepTheCartridgeAndOddSizesLoad) {
    TempDir dir;
    TestMachine t;
    write_file(dir.file("a.gba"), pattern(64, 1));
    t.m.cpu.R[3] = 5;
    write32(t.m, 0x02000000, 0x12345678);
    ASSERT_TRUE(rom_load(t.m, dir.file("a.gba"), false));
    EXPECT_EQ(t.m.cpu.R[15], 0x08000008u);  // reset, at the entry
    EXPECT_EQ(t.m.cpu.R[3] + read32(t.m, 0x02000000), 0u);
    EXPECT_FALSE(rom_load(t.m, dir.file("missing.gba"), false));
    EXPECT_TRUE(t.host.boxes.empty());
    EXPECT_FALSE(rom_load(t.m, "", true));
    EXPECT_FALSE(rom_load(t.m, dir.path().string(), true));  // a folder is no cartridge
    ASSERT_EQ(t.host.boxes.size(), 2u);
    EXPECT_EQ(t.host.boxes[0].caption, "Tamo");
    EXPECT_EQ(t.host.boxes[0].text, "Can find Rom ''.");
    EXPECT_EQ(read8(t.m, 0x08000001), pattern(64, 1)[1]);
    EXPECT_EQ(t.m.SaveFileName, dir.file("a.sav"));

    write_file(dir.file("tiny.gba"), {0xAB});
    ASSERT_TRUE(rom_load(t.m, dir.file("tiny.gba"), false));
    EXPECT_EQ(read32(t.m, 0x08000000), 0xABu);  // the bytes past the image read 0
    write_file(dir.file("huge.gba"), {0x11});   // over the window: its first 32 MB
    std::filesystem::resize_file(dir.file("huge.gba"), kMaxRomSize + 4096);
    ASSERT_TRUE(rom_load(t.m, dir.file("huge.gba"), false));
    EXPECT_EQ(t.m.RomSize, kMaxRomSize);
    EXPECT_EQ(read8(t.m, 0x08000000), 0x11u);
}

TEST(SaveFile, RestoredStoredAndKeptOnFailure) {
    TempDir dir;
    TestMachine t;
    for (const char* rom : {"game.gba", "short.gba", "big.gba"}) write_file(dir.file(rom), {0});
    const std::vector<uint8_t> old = pattern(kSaveFileSize, 3);
    write_file(dir.file("game.sav"), old);
    write_file(dir.file("short.sav"), pattern(100, 1));
    write_file(dir.file("big.sav"), pattern(kSaveFileSize + 1000, 9));
    // Both areas come back; a short file leaves the rest clear, a long one is cut.
    ASSERT_TRUE(rom_load(t.m, dir.file("short.gba"), false));
    EXPECT_EQ(read8(t.m, 0x0DFE0063), pattern(100, 1)[99]);
    EXPECT_EQ(read8(t.m, 0x0DFE0064) + read8(t.m, 0x0E000000), 0u);
    ASSERT_TRUE(rom_load(t.m, dir.file("big.gba"), false));
    EXPECT_EQ(read8(t.m, 0x0E00FFFF), pattern(kSaveFileSize, 9)[kSaveFileSize - 1]);
    EXPECT_EQ(read_file(dir.file("short.sav")).size(), kSaveFileSize);  // loading another saves
    ASSERT_TRUE(rom_load(t.m, dir.file("game.gba"), false));
    EXPECT_EQ(read8(t.m, 0x0DFE0000), old[0]);
    EXPECT_EQ(read8(t.m, 0x0E00FFFF), old[0x2FFFF]);

    // A folder where the temporary file would go makes the write fail: the old file and the
    // memory are kept, for the next try.
    write8(t.m, 0x0E000010, 0xEE);
    std::filesystem::create_directory(dir.file("game.sav.tmp"));
    EXPECT_FALSE(machine_reset(t.m));
    EXPECT_EQ(read_file(dir.file("game.sav")), old);
    ASSERT_EQ(t.host.debug_lines.size(), 1u);
    EXPECT_NE(t.host.debug_lines[0].find("not written"), std::string::npos);
    EXPECT_EQ(read8(t.m, 0x0E000010), 0xEEu);
    std::filesystem::remove(dir.file("game.sav.tmp"));
    ASSERT_TRUE(machine_reset(t.m));
    const std::vector<uint8_t> written = read_file(dir.file("game.sav"));
    ASSERT_EQ(written.size(), kSaveFileSize);
    EXPECT_EQ(written[0x20010], 0xEE);
    EXPECT_EQ(read8(t.m, 0x0E000010), 0xEEu);  // read back after the reset
    ASSERT_TRUE(machine_reset(t.m));
    EXPECT_EQ(read_file(dir.file("game.sav")), written);
    EXPECT_FALSE(std::filesystem::exists(dir.file("game.sav.tmp")));
}

}  // namespace
