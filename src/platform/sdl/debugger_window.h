// The contents of the "Tamo Debugger" window, drawn with Dear ImGui from the core's debugger
// model: the register boxes, the flags, the listing and its buttons, as the Windows dialog has
// them, and below them a memory view.
#pragma once

#include <cstdint>

struct Machine;
struct DebuggerModel;
struct ImFont;

enum class DebuggerAction { None, StepIn, StepOver, Continue, Quit, Up, Down };

class DebuggerWindow {
  public:
    // The model was rebuilt: the boxes show it again, and what the user typed into them is gone.
    void refresh(const DebuggerModel& model);

    // Draws one frame of the window's contents (the current ImGui context is the window's) and
    // returns the button pressed, if any. `mono` is the font for addresses and memory.
    DebuggerAction draw(Machine& m, ImFont* mono);

  private:
    void draw_memory(Machine& m, ImFont* mono);

    // What the editable boxes hold: the model's texts until the user types into them.
    char registers_[16][9] = {};
    bool flags_[4] = {};
    // The memory view: the first address it shows and the text of its address box.
    uint32_t memory_base_ = 0x02000000;
    char memory_address_[9] = "02000000";
    bool memory_scroll_to_top_ = false;
};
