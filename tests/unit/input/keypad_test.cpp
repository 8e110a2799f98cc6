#include "input/keypad.h"

#include <gtest/gtest.h>

#include "fake_host.h"

namespace {

TEST(Keypad, KeysAreActiveLowAndAFailedReadKeepsThem) {
    TestMachine t;
    t.host.keys[kKeyTab] = 0x80;
    t.host.keys[kKeySpace] = 0x7F;  // only bit 7 counts
    keyboard_poll(t.m);
    EXPECT_EQ(t.m.KEYINPUT, 0xFFFD);
    t.host.keyboard_ok = false;
    t.host.keys[kKeyTab] = 0;
    keyboard_poll(t.m);
    EXPECT_EQ(t.m.KEYINPUT, 0xFFFD);
}

}  // namespace
