#include "input/keypad.h"

#include <gtest/gtest.h>

#include "fake_host.h"
#include "platform/headless/key_script.h"

namespace {

TEST(Keypad, KeyMapFormsActiveLowKeyinput) {
    uint8_t state[256] = {};
    EXPECT_EQ(keyinput_from_state(state), 0xFFFF);
    state[kKeySpace] = 0x80;
    EXPECT_EQ(keyinput_from_state(state), 0xFFFE);
    state[kKeySpace] = 0x7F;  // only bit 7 counts
    EXPECT_EQ(keyinput_from_state(state), 0xFFFF);
    state[kKeyQ] = 0x80;
    EXPECT_EQ(keyinput_from_state(state), 0xFDFF);
    state[kKeyQ] = 0;
    state[kKeyW] = 0x80;
    EXPECT_EQ(keyinput_from_state(state), 0xFEFF);
    state[kKeyW] = 0;
    state[kKeyDown] = 0x80;
    EXPECT_EQ(keyinput_from_state(state), 0xFF7F);
    for (uint8_t key : kKeyMap) state[key] = 0xFF;
    EXPECT_EQ(keyinput_from_state(state), 0xFC00);
    uint8_t others[256] = {};
    others[0x9D] = others[0x9C] = others[0x4B] = 0x80;  // right Ctrl, keypad Enter, keypad left
    EXPECT_EQ(keyinput_from_state(others), 0xFFFF);
}

TEST(Keypad, FailedReadKeepsTheLastValue) {
    TestMachine t;
    t.host.keys[kKeyTab] = 0x80;
    keyboard_poll(t.m);
    EXPECT_EQ(t.m.KEYINPUT, 0xFFFD);
    t.host.keyboard_ok = false;
    t.host.keys[kKeyTab] = 0;
    keyboard_poll(t.m);
    EXPECT_EQ(t.m.KEYINPUT, 0xFFFD);
}

TEST(KeyScript, ParsesKeysAndFrameRanges) {
    std::string error;
    std::optional<KeyScript> s = parse_key_script("START@10-12,a+b@30,select+L+r@1", error);
    ASSERT_TRUE(s) << error;
    EXPECT_EQ(s->held(9), 0);
    EXPECT_EQ(s->held(10), 0x008);
    EXPECT_EQ(s->held(12), 0x008);
    EXPECT_EQ(s->held(13), 0);
    EXPECT_EQ(s->held(30), 0x003);
    EXPECT_EQ(s->held(1), 0x304);
    ASSERT_TRUE(parse_key_script("", error));
    for (const char* bad :
         {"START", "START@", "@5", "X@1", "A@0", "A@3-2", "A@1-", "A@x", "A+@1", "A@99999999999"}) {
        EXPECT_FALSE(parse_key_script(bad, error)) << bad;
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
