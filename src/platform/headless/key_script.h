// Key scripts: which console keys are held during which frames of a headless run.
//
// Syntax: a comma-separated list of KEYS@FRAMES. KEYS is one key or several joined by "+", from
// A, B, SELECT, START, RIGHT, LEFT, UP, DOWN, R, L (any case). FRAMES is one frame number N or an
// inclusive range N-M; frames are numbered from 1, the first frame run. Example:
// START@10-12,A+B@30.
//
// The console reads its keys once per frame, at the end of the frame before, so a key can be held
// from frame 2 on.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct KeyScriptEntry {
    uint16_t keys = 0;  // KEYINPUT bits (1 = held)
    uint32_t first = 0, last = 0;
};

struct KeyScript {
    std::vector<KeyScriptEntry> entries;
    // The KEYINPUT bits held during `frame` (1 = held).
    uint16_t held(uint32_t frame) const;
};

// Parses a key script; on error returns nothing and puts a message into `error`.
std::optional<KeyScript> parse_key_script(std::string_view text, std::string& error);
