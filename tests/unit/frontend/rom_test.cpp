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

TEST(CommandLine, RomNameFromText) {
    EXPECT_EQ(rom_name_from_command_line("game.gba"), "game.gba");
    EXPECT_EQ(rom_name_from_command_line("my game.gba -x"), "my game.gba -x");
    EXPECT_EQ(rom_name_from_command_line("\"my game.gba\" -x"), "my game.gba");
    EXPECT_EQ(rom_name_from_command_line("\"unclosed name.gba"), "unclosed name.gba");
    EXPECT_EQ(rom_name_from_command_line("\""), "");
    EXPECT_EQ(rom_name_from_command_line(""), "");
}

TEST(SaveFile, NameBesideTheRom) {
    EXPECT_EQ(save_file_name("game.gba"), "game.sav");
    EXPECT_EQ(save_file_name("my.game.gba"), "my.game.sav");
    EXPECT_EQ(save_file_name("roms\\game.gba"), "roms\\game.sav");
    EXPECT_EQ(save_file_name("game."), "game.sav");
    EXPECT_EQ(save_file_name("game"), "game.sav");
    EXPECT_EQ(save_file_name("my.roms/game"), "my.roms/game.sav");
    EXPECT_EQ(save_file_name(".gba"), ".sav");
}

TEST(Messages, LongFileNamesAreCut) {
    std::string name(500, 'x');
    std::string text = format_message("Can find Rom '%s'.", name.c_str());
    EXPECT_EQ(text.size(), kMessageBufferSize - 1);
    EXPECT_EQ(text.substr(0, 14), "Can find Rom '");
}

TEST(RomLoad, MissingFileKeepsTheLoadedCartridge) {
    TempDir dir;
    TestMachine t;
    write_file(dir.file("a.gba"), {1, 2, 3, 4});
    ASSERT_TRUE(rom_load(t.m, dir.file("a.gba"), false));
    EXPECT_FALSE(rom_load(t.m, dir.file("missing.gba"), false));
    EXPECT_TRUE(t.host.boxes.empty());
    EXPECT_FALSE(rom_load(t.m, "", true));
    EXPECT_FALSE(rom_load(t.m, dir.path().string(), true));  // a folder is no cartridge
    ASSERT_EQ(t.host.boxes.size(), 2u);
    EXPECT_EQ(t.host.boxes[0].caption, "Tamo");
    EXPECT_EQ(t.host.boxes[0].text, "Can find Rom ''.");
    EXPECT_EQ(read32(t.m, 0x08000000), 0x04030201u);
    EXPECT_EQ(t.m.SaveFileName, dir.file("a.sav"));
}

TEST(RomLoad, EmptyTinyAndOversizedImages) {
    TempDir dir;
    TestMachine t;
    write_file(dir.file("empty.gba"), {});
    ASSERT_TRUE(rom_load(t.m, dir.file("empty.gba"), false));
    EXPECT_EQ(t.m.RomSize, 0u);
    EXPECT_EQ(read32(t.m, 0x08000000), 0u);

    write_file(dir.file("tiny.gba"), {0xAB});
    ASSERT_TRUE(rom_load(t.m, dir.file("tiny.gba"), false));
    EXPECT_EQ(read32(t.m, 0x08000000), 0xABu);  // the bytes past the image read 0

    // Larger than the cartridge window: the first 32 MB are loaded.
    write_file(dir.file("huge.gba"), {0x11});
    std::filesystem::resize_file(dir.file("huge.gba"), kMaxRomSize + 4096);
    ASSERT_TRUE(rom_load(t.m, dir.file("huge.gba"), false));
    EXPECT_EQ(t.m.RomSize, kMaxRomSize);
    EXPECT_EQ(read8(t.m, 0x08000000), 0x11u);
    EXPECT_EQ(read32(t.m, 0x09FDFFFC), 0u);
}

TEST(RomLoad, ResetsTheMachineAndStartsAtTheEntry) {
    TempDir dir;
    TestMachine t;
    write_file(dir.file("a.gba"), pattern(64, 0));
    t.m.cpu.R[3] = 5;
    t.m.cpu.QuitFlag = 1;
    t.m.IE = 3;
    write32(t.m, 0x02000000, 0x12345678);
    ASSERT_TRUE(rom_load(t.m, dir.file("a.gba"), false));
    EXPECT_EQ(t.m.cpu.R[15], 0x08000008u);
    EXPECT_EQ(t.m.cpu.R[3], 0u);
    EXPECT_EQ(t.m.cpu.QuitFlag, 0u);
    EXPECT_EQ(t.m.IE, 0);
    EXPECT_EQ(read32(t.m, 0x02000000), 0u);
}

TEST(SaveFile, FullFileRestoresBothAreasAndResetKeepsThem) {
    TempDir dir;
    TestMachine t;
    write_file(dir.file("game.gba"), {0});
    std::vector<uint8_t> save = pattern(kSaveFileSize, 3);
    write_file(dir.file("game.sav"), save);
    ASSERT_TRUE(rom_load(t.m, dir.file("game.gba"), false));
    EXPECT_EQ(read8(t.m, 0x0DFE0000), save[0]);
    EXPECT_EQ(read8(t.m, 0x0E000000), save[0x20000]);
    EXPECT_EQ(read8(t.m, 0x0E00FFFF), save[0x2FFFF]);

    // The game writes; a reset stores the save and keeps it in memory.
    write8(t.m, 0x0E000010, 0xEE);
    ASSERT_TRUE(machine_reset(t.m));
    std::vector<uint8_t> written = read_file(dir.file("game.sav"));
    ASSERT_EQ(written.size(), kSaveFileSize);
    EXPECT_EQ(written[0x20010], 0xEE);
    EXPECT_EQ(read8(t.m, 0x0E000010), 0xEEu);
    ASSERT_TRUE(machine_reset(t.m));
    EXPECT_EQ(read_file(dir.file("game.sav")), written);
    EXPECT_FALSE(std::filesystem::exists(dir.file("game.sav.tmp")));
}

TEST(SaveFile, ShortAndOversizedFiles) {
    TempDir dir;
    TestMachine t;
    write_file(dir.file("game.gba"), {0});
    write_file(dir.file("game.sav"), pattern(100, 1));
    ASSERT_TRUE(rom_load(t.m, dir.file("game.gba"), false));
    EXPECT_EQ(read8(t.m, 0x0DFE0063), pattern(100, 1)[99]);
    EXPECT_EQ(read8(t.m, 0x0DFE0064), 0u);
    EXPECT_EQ(read8(t.m, 0x0E000000), 0u);
    ASSERT_TRUE(machine_reset(t.m));
    EXPECT_EQ(read_file(dir.file("game.sav")).size(), kSaveFileSize);

    write_file(dir.file("big.gba"), {0});
    write_file(dir.file("big.sav"), pattern(kSaveFileSize + 1000, 9));
    ASSERT_TRUE(rom_load(t.m, dir.file("big.gba"), false));
    EXPECT_EQ(read8(t.m, 0x0E00FFFF), pattern(kSaveFileSize, 9)[kSaveFileSize - 1]);
}

TEST(SaveFile, LoadingAnotherRomSavesTheFirstOne) {
    TempDir dir;
    TestMachine t;
    write_file(dir.file("one.gba"), {0});
    write_file(dir.file("two.gba"), {0});
    write_file(dir.file("two.sav"), pattern(kSaveFileSize, 5));
    ASSERT_TRUE(rom_load(t.m, dir.file("one.gba"), false));
    EXPECT_FALSE(std::filesystem::exists(dir.file("one.sav")));
    write8(t.m, 0x0E000000, 0x42);
    ASSERT_TRUE(rom_load(t.m, dir.file("two.gba"), false));
    EXPECT_EQ(read_file(dir.file("one.sav"))[0x20000], 0x42);
    EXPECT_EQ(read8(t.m, 0x0E000000), pattern(kSaveFileSize, 5)[0x20000]);
}

TEST(SaveFile, FailedWriteKeepsTheOldFileAndTheMemory) {
    TempDir dir;
    TestMachine t;
    write_file(dir.file("game.gba"), {0});
    std::vector<uint8_t> old = pattern(kSaveFileSize, 7);
    write_file(dir.file("game.sav"), old);
    ASSERT_TRUE(rom_load(t.m, dir.file("game.gba"), false));
    write8(t.m, 0x0E000000, 0x99);
    // A folder where the temporary file would go makes the write fail.
    std::filesystem::create_directory(dir.file("game.sav.tmp"));
    EXPECT_FALSE(machine_reset(t.m));
    EXPECT_EQ(read_file(dir.file("game.sav")), old);
    ASSERT_EQ(t.host.debug_lines.size(), 1u);
    EXPECT_NE(t.host.debug_lines[0].find("not written"), std::string::npos);
    EXPECT_EQ(read8(t.m, 0x0E000000), 0x99u);  // still in memory for the next try
    std::filesystem::remove(dir.file("game.sav.tmp"));
    EXPECT_TRUE(machine_reset(t.m));
    EXPECT_EQ(read_file(dir.file("game.sav"))[0x20000], 0x99);
}

}  // namespace
