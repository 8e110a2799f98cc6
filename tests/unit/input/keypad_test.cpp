#include "input/keypad.h"

#include <gtest/gtest.h>

#include "fake_host.h"
#include "platform/headless/key_script.h"

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

TEST(KeyScript, ParsesKeysAndFrameRanges) {
    std::string error;
    std::optional<KeyScript> s = parse_key_script("START@10-12,a+b@30,select+L+r@1", error);
    ASSERT_TRUE(s) << error;
    for (auto [frame, keys] : {std::pair{9, 0}, {10, 8}, {12, 8}, {13, 0}, {30, 3}, {1, 0x304}}) {
        EXPECT_EQ(s->held(frame), keys) << frame;
    }
    for (const char* bad :
         {"START", "@5", "X@1", "A@0", "A@3-2", "A@1-", "A+@1", "A@99999999999"}) {
        EXPECT_FALSE(parse_key_script(bad, error)) << bad;
    }
}

}  // namespace
