#include "frontend/settings.h"

#include <gtest/gtest.h>

#include "temp_dir.h"

namespace {

TEST(Settings, IntegerSyntax) {
    EXPECT_EQ(parse_setting_integer("42"), 42u);
    EXPECT_EQ(parse_setting_integer("  7 "), 7u);
    EXPECT_EQ(parse_setting_integer("-1"), 0xFFFFFFFFu);
    EXPECT_EQ(parse_setting_integer("+5"), 5u);
    EXPECT_EQ(parse_setting_integer("0x08000000"), 0x08000000u);
    EXPECT_EQ(parse_setting_integer("0XfF"), 0xFFu);
    EXPECT_EQ(parse_setting_integer("134217728"), 0x08000000u);
    EXPECT_EQ(parse_setting_integer("4294967295"), 0xFFFFFFFFu);
    EXPECT_EQ(parse_setting_integer("-2147483648"), 0x80000000u);
    for (const char* bad :
         {"", " ", "abc", "12abc", "0x", "4294967296", "-2147483649", "1.5", "--1", "0x1G"}) {
        EXPECT_FALSE(parse_setting_integer(bad).has_value()) << bad;
    }
}

TEST(Settings, DefaultsWithoutFileOrKeys) {
    Settings s = settings_load("/nonexistent/folder/Tamo.ini");
    EXPECT_EQ(s.Breakpoint, 0xFFFFFFFFu);
    EXPECT_EQ(s.CountBreak, 0xFFFFFFFFu);
    EXPECT_EQ(s.ROMWriteEnable, 0u);
    EXPECT_EQ(s.WindowsEnabled, 1u);
    EXPECT_EQ(s.DisplayFPS, 0);
}

TEST(Settings, ReadsTheTamoSectionOnly) {
    Settings s = settings_from_text(
        "[Other]\nBreakpoint=5\n"
        "[tamo]\r\n"
        "; a comment\n"
        "breakpoint = 0x08000010\r\n"
        "CountBreak=1000\n"
        "ROMWriteEnable=5\n"
        "DisableWindows=2\n"
        "DisplayFPS=-3\n"
        "CountBreak=7\n"  // the first line naming a key counts
        "[After]\nROMWriteEnable=0\n");
    EXPECT_EQ(s.Breakpoint, 0x08000010u);
    EXPECT_EQ(s.CountBreak, 1000u);
    EXPECT_EQ(s.ROMWriteEnable, 1u);
    EXPECT_EQ(s.WindowsEnabled, 0u);
    EXPECT_EQ(s.DisplayFPS, -3);
}

TEST(Settings, MalformedValuesAndLinesKeepDefaults) {
    Settings s = settings_from_text(
        "[Tamo]\nBreakpoint=somewhere\nCountBreak=\nDisableWindows=yes\nnonsense line\n=3\n"
        "[Tamo\nROMWriteEnable=1\n");
    EXPECT_EQ(s.Breakpoint, 0xFFFFFFFFu);
    EXPECT_EQ(s.CountBreak, 0xFFFFFFFFu);
    EXPECT_EQ(s.WindowsEnabled, 1u);
    EXPECT_EQ(s.ROMWriteEnable, 0u);  // after a broken section header

    TempDir dir;
    write_file(dir.file("Tamo.ini"), {0xFF, 0x00, '[', 'T', 0x80, '\n', 0x00});
    s = settings_load(dir.file("Tamo.ini"));
    EXPECT_EQ(s.Breakpoint, 0xFFFFFFFFu);
}

}  // namespace
