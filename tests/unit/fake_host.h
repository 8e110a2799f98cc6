// A host that records what the core asks of it, for unit tests.
#pragma once

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "frontend/host.h"
#include "machine.h"
#include "memory/bus.h"

class FakeHost : public Host {
  public:
    struct Box {
        std::string caption, text;
    };
    std::vector<Box> boxes;  // message boxes and questions, in order
    std::vector<std::string> debug_lines;
    bool answer_yes = true;  // the answer to every question
    int presents = 0;
    bool keyboard_ok = true;
    uint8_t keys[256] = {};
    int shows = 0, hides = 0, refreshes = 0;

    void message_box(std::string_view caption, std::string_view text) override {
        boxes.push_back({std::string(caption), std::string(text)});
    }
    bool ask_yes_no(std::string_view caption, std::string_view text) override {
        boxes.push_back({std::string(caption), std::string(text)});
        return answer_yes;
    }
    void debug_output(std::string_view line) override { debug_lines.emplace_back(line); }
    void present() override { ++presents; }
    bool read_keyboard(uint8_t (&state)[256]) override {
        if (keyboard_ok) std::memcpy(state, keys, sizeof keys);
        return keyboard_ok;
    }
    void debugger_show() override { ++shows; }
    void debugger_hide() override { ++hides; }
    void debugger_refresh() override { ++refreshes; }
};

// A fresh machine with its fake host, the state every unit test starts from.
struct TestMachine {
    FakeHost host;
    std::unique_ptr<Machine> machine = std::make_unique<Machine>(host);
    Machine& m = *machine;
};
