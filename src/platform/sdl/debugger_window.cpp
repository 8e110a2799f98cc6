#include "platform/sdl/debugger_window.h"

#include <imgui.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "debugger/debugger.h"
#include "debugger/peek.h"
#include "machine.h"

namespace {

// Where the controls stand, in pixels: the Windows dialog's arrangement, a little larger.
constexpr float kMargin = 10;
constexpr float kRowStep = 27;
constexpr float kBoxWidth = 84;
constexpr float kListingX = 330;
constexpr float kListingWidth = 380;
constexpr float kButtonsY = 294;  // below the listing
constexpr float kMemoryY = kButtonsY + 38;
// The memory view shows 64 KB from its first address, sixteen bytes a row.
constexpr int kMemoryRows = 0x10000 / 16;

struct Region {
    const char* name;
    uint32_t address;
};
constexpr Region kRegions[] = {
    {"EWRAM", 0x02000000}, {"IWRAM", 0x03000000}, {"I/O", 0x04000000}, {"Palette", 0x05000000},
    {"VRAM", 0x06000000},  {"OAM", 0x07000000},   {"ROM", 0x08000000}, {"SRAM", 0x0E000000},
};

bool hex_box(const char* id, char (&text)[9], float width, ImGuiInputTextFlags extra = 0) {
    ImGui::SetNextItemWidth(width);
    return ImGui::InputText(
        id, text, sizeof text,
        ImGuiInputTextFlags_CharsHexadecimal | ImGuiInputTextFlags_CharsUppercase | extra);
}

void label_at(float x, float y, const char* text) {
    ImGui::SetCursorPos(ImVec2(x, y + ImGui::GetStyle().FramePadding.y));
    ImGui::TextUnformatted(text);
}

}  // namespace

void DebuggerWindow::refresh(const DebuggerModel& model) {
    for (int r = 0; r < 16; ++r) {
        std::snprintf(registers_[r], sizeof registers_[r], "%s", model.Registers[r].c_str());
    }
    flags_[0] = model.FlagN;
    flags_[1] = model.FlagZ;
    flags_[2] = model.FlagC;
    flags_[3] = model.FlagV;
}

DebuggerAction DebuggerWindow::draw(Machine& m, ImFont* mono) {
    const DebuggerModel& model = m.debugger.Model;
    DebuggerAction action = DebuggerAction::None;
    ImGuiIO& io = ImGui::GetIO();
    ImGui::SetNextWindowPos(ImVec2(0, 0));
    ImGui::SetNextWindowSize(io.DisplaySize);
    ImGui::Begin("Tamo Debugger", nullptr,
                 ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove |
                     ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoBringToFrontOnFocus);

    // The sixteen registers in two columns. The boxes can be typed into, but the processor never
    // reads them back: the next refresh shows its registers again.
    ImGui::PushFont(mono);
    for (int k = 0; k < 8; ++k) {
        for (int column = 0; column < 2; ++column) {
            int r = k + 8 * column;
            float x = kMargin + column * (kBoxWidth + 50);
            float y = kMargin + k * kRowStep;
            char label[16];
            std::snprintf(label, sizeof label, "R%d", r);
            label_at(x, y, label);
            ImGui::SetCursorPos(ImVec2(x + 36, y));
            char id[16];
            std::snprintf(id, sizeof id, "##R%d", r);
            hex_box(id, registers_[r], kBoxWidth);
        }
    }
    float y = kMargin + 8 * kRowStep;
    char cnt[16], pc[16];
    std::snprintf(cnt, sizeof cnt, "%s", model.Cnt.c_str());
    std::snprintf(pc, sizeof pc, "%s", model.Pc.c_str());
    label_at(kMargin, y, "Cnt");
    ImGui::SetCursorPos(ImVec2(kMargin + 36, y));
    ImGui::BeginDisabled();
    ImGui::SetNextItemWidth(kBoxWidth);
    ImGui::InputText("##Cnt", cnt, sizeof cnt, ImGuiInputTextFlags_ReadOnly);
    label_at(kMargin + kBoxWidth + 50, y, "PC");
    ImGui::SetCursorPos(ImVec2(kMargin + kBoxWidth + 86, y));
    ImGui::SetNextItemWidth(kBoxWidth);
    ImGui::InputText("##PC", pc, sizeof pc, ImGuiInputTextFlags_ReadOnly);
    ImGui::EndDisabled();
    ImGui::PopFont();

    // The flags: N Z C V can be ticked (display only, like the registers); I and T cannot.
    const char* flag_names[4] = {"N", "Z", "C", "V"};
    float flags_x = kMargin + 2 * kBoxWidth + 100;
    for (int f = 0; f < 4; ++f) {
        ImGui::SetCursorPos(ImVec2(flags_x, kMargin + f * kRowStep));
        ImGui::Checkbox(flag_names[f], &flags_[f]);
    }
    bool flag_i = model.FlagI, flag_t = model.FlagT;
    ImGui::BeginDisabled();
    ImGui::SetCursorPos(ImVec2(flags_x, kMargin + 4 * kRowStep + 8));
    ImGui::Checkbox("I", &flag_i);
    ImGui::SetCursorPos(ImVec2(flags_x, kMargin + 5 * kRowStep + 8));
    ImGui::Checkbox("T", &flag_t);
    ImGui::EndDisabled();

    // The listing: fourteen rows from ListingAddress; the instruction about to start stands out.
    ImGui::SetCursorPos(ImVec2(kListingX, kMargin));
    ImGui::PushFont(mono);
    if (ImGui::BeginTable(
            "listing", 3,
            ImGuiTableFlags_Borders | ImGuiTableFlags_RowBg | ImGuiTableFlags_SizingFixedFit,
            ImVec2(kListingWidth, 0))) {
        ImGui::TableSetupColumn("Address", ImGuiTableColumnFlags_WidthFixed, 70);
        ImGui::TableSetupColumn("opcode", ImGuiTableColumnFlags_WidthFixed, 70);
        ImGui::TableSetupColumn("...", ImGuiTableColumnFlags_WidthStretch);
        ImGui::TableHeadersRow();
        for (const ListingRow& row : model.Listing) {
            ImGui::TableNextRow();
            if (row.Address == model.Pc) {
                ImGui::TableSetBgColor(ImGuiTableBgTarget_RowBg0,
                                       ImGui::GetColorU32(ImGuiCol_TextSelectedBg));
            }
            ImGui::TableNextColumn();
            ImGui::TextUnformatted(row.Address.c_str());
            ImGui::TableNextColumn();
            ImGui::TextUnformatted(row.Opcode.c_str());
            ImGui::TableNextColumn();
            ImGui::TextUnformatted(row.Text.c_str());
        }
        ImGui::EndTable();
    }
    ImGui::PopFont();
    float listing_bottom = ImGui::GetItemRectMax().y - ImGui::GetWindowPos().y;

    float side_x = kListingX + kListingWidth + 8;
    ImGui::SetCursorPos(ImVec2(side_x, kMargin));
    if (ImGui::Button("UP", ImVec2(56, 0))) action = DebuggerAction::Up;
    ImGui::SetCursorPos(ImVec2(side_x, listing_bottom - ImGui::GetFrameHeight()));
    if (ImGui::Button("DOWN", ImVec2(56, 0))) action = DebuggerAction::Down;

    ImGui::SetCursorPos(ImVec2(kMargin, kButtonsY));
    const ImVec2 button(90, 0);
    if (ImGui::Button("Step In", button)) action = DebuggerAction::StepIn;
    ImGui::SameLine();
    if (ImGui::Button("Step Over", button)) action = DebuggerAction::StepOver;
    ImGui::SameLine();
    if (ImGui::Button("Continue...", button)) action = DebuggerAction::Continue;
    ImGui::SameLine();
    if (ImGui::Button("Quit", button)) action = DebuggerAction::Quit;

    draw_memory(m, mono);
    ImGui::End();
    return action;
}

void DebuggerWindow::draw_memory(Machine& m, ImFont* mono) {
    ImGui::SetCursorPos(ImVec2(kMargin, kMemoryY));
    ImGui::Separator();
    ImGui::TextUnformatted("Memory");
    ImGui::SameLine();
    ImGui::PushFont(mono);
    if (hex_box("##address", memory_address_, kBoxWidth, ImGuiInputTextFlags_EnterReturnsTrue)) {
        memory_base_ = uint32_t(std::strtoul(memory_address_, nullptr, 16)) & ~0xFu;
        memory_scroll_to_top_ = true;
    }
    ImGui::PopFont();
    for (const Region& region : kRegions) {
        ImGui::SameLine();
        if (ImGui::SmallButton(region.name)) {
            memory_base_ = region.address;
            std::snprintf(memory_address_, sizeof memory_address_, "%08X", region.address);
            memory_scroll_to_top_ = true;
        }
    }

    // Read without side effects: looking at I/O registers neither asks the read warning nor
    // changes what the cartridge will read.
    ImGui::PushFont(mono);
    ImGui::BeginChild("memory", ImVec2(0, 0), true);
    if (memory_scroll_to_top_) {
        ImGui::SetScrollY(0);
        memory_scroll_to_top_ = false;
    }
    ImGuiListClipper clipper;
    clipper.Begin(kMemoryRows);
    while (clipper.Step()) {
        for (int row = clipper.DisplayStart; row < clipper.DisplayEnd; ++row) {
            uint32_t address = memory_base_ + uint32_t(row) * 16;
            char line[96];
            int n = std::snprintf(line, sizeof line, "%08X ", address);
            char ascii[17] = {};
            for (uint32_t i = 0; i < 16; ++i) {
                uint32_t byte = peek8(m, address + i);
                n += std::snprintf(line + n, sizeof line - size_t(n), i == 8 ? "  %02X" : " %02X",
                                   byte);
                ascii[i] = byte >= 0x20 && byte < 0x7F ? char(byte) : '.';
            }
            std::snprintf(line + n, sizeof line - size_t(n), "  %s", ascii);
            ImGui::TextUnformatted(line);
        }
    }
    ImGui::EndChild();
    ImGui::PopFont();
}
