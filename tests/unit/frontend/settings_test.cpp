#include "frontend/settings.h"

#include <gtest/gtest.h>

#include "temp_dir.h"

namespace {

TEST(Settings, IntegerSyntax) {
    // clang-format off
    const std::pair<const char*, uint32_t> good[] = {{"42", 42}, {"  7 ", 7}, {"-1", ~0u}, {"+5", 5},
        {"0x08000000", 0x08000000}, {"0XfF", 0xFF}, {"4294967295", ~0u}, {"-2147483648", 0x80000000}};
    // clang-format on
    for (const auto& [text, value] : good) EXPECT_EQ(parse_setting_integer(text), value) << text;
    for (const char* bad :
         {"", " ", "abc", "12abc", "0x", "4294967296", "-2147483649", "1.5", "--1", "0x1G"})
        EXPECT_FALSE(parse_setting_integer(bad).has_value()) << bad;
}

TEST(Settings, TheTamoSectionTheFirstLineOfAKeyAndDefaults) {
    Settings s = settings_from_text(
        "[Other]\nBreakpoint=5\n[tamo]\r\n; a comment\nbreakpoint = 0x08000010\r\n"
        "CountBreak=1000\nROMWriteEnable=5\nDisableWindows=2\nDisplayFPS=-3\nCountBreak=7\n"
        "[After]\nROMWriteEnable=0\n");
    EXPECT_EQ(s.Breakpoint, 0x08000010u);
    EXPECT_EQ(s.CountBreak, 1000u);
    EXPECT_EQ(s.ROMWriteEnable, 1u);
    EXPECT_EQ(s.WindowsEnabled, 0u);
    EXPECT_EQ(s.DisplayFPS, -3);
    // Malformed values and lines keep the defaults; a broken header ends the section.
    s = settings_from_text(
        "[Tamo]\nBreakpoint=somewhere\nCountBreak=\nDisableWindows=yes\nnonsense\n=3\n"
        "[Tamo\nROMWriteEnable=1\n");
    EXPECT_EQ(s.Breakpoint, 0xFFFFFFFFu);
    EXPECT_EQ(s.CountBreak, 0xFFFFFFFFu);
    EXPECT_EQ(s.WindowsEnabled, 1u);
    EXPECT_EQ(s.ROMWriteEnable, 0u);
    TempDir dir;
    write_file(dir.file("Tamo.ini"), {0xFF, 0x00, '[', 'T', 0x80, '\n', 0x00});
    EXPECT_EQ(settings_load(dir.file("Tamo.ini")).Breakpoint, 0xFFFFFFFFu);
    s = settings_load("/nonexistent/folder/Tamo.ini");
    EXPECT_EQ(s.CountBreak + s.ROMWriteEnable + uint32_t(s.DisplayFPS), 0xFFFFFFFFu);
    EXPECT_EQ(s.WindowsEnabled, 1u);
}

}  // namespace
