// The modeless debugger dialog (resource 109): it draws the debugger model and turns its buttons
// into the debugger's actions. The main loop routes its messages between two processor slices.
#include "debugger/debugger.h"
#include "machine.h"
#include "platform/common/gdb_server.h"
#include "platform/win32/resource.h"
#include "platform/win32/win32_host.h"

namespace {

struct Column {
    const char* title;
    int width;
};
constexpr Column kColumns[] = {{"Address", 64}, {"opcode", 64}, {"...", 256}};

void set_item_text(HWND list, int row, int column, const std::string& text) {
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text.c_str());
    SendMessageA(list, LVM_SETITEMTEXTA, WPARAM(row), LPARAM(&item));
}

}  // namespace

INT_PTR CALLBACK Win32Host::dialog_procedure(HWND dialog, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, DWLP_USER, l);
        return TRUE;
    }
    auto* host = reinterpret_cast<Win32Host*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (message != WM_COMMAND || !host) return FALSE;
    Machine& m = *host->machine_;
    switch (LOWORD(w)) {
        case IDC_STEP_IN: debugger_step_in(m); break;
        case IDC_STEP_OVER: debugger_step_over(m); break;
        case IDC_CONTINUE: debugger_continue(m); break;
        case IDC_QUIT:
            host->quit_pressed_ = true;
            debugger_quit(m);
            EndDialog(dialog, 1);
            break;
        case IDC_UP: debugger_up(m); break;
        case IDC_DOWN: debugger_down(m); break;
        default: break;
    }
    return TRUE;
}

void Win32Host::create_dialog() {
    if (dialog_) return;
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    dialog_ = CreateDialogParamA(instance_, MAKEINTRESOURCEA(IDD_DEBUGGER), nullptr,
                                 dialog_procedure, LPARAM(this));
    if (!dialog_) return;
    for (int i = 0; i < 3; ++i) {
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = const_cast<char*>(kColumns[i].title);
        column.cx = kColumns[i].width;
        SendDlgItemMessageA(dialog_, IDC_LISTING, LVM_INSERTCOLUMNA, WPARAM(i), LPARAM(&column));
    }
}

void Win32Host::debugger_show() {
    create_dialog();
    dialog_wanted_ = true;
}

void Win32Host::debugger_hide() {
    dialog_wanted_ = false;
}

// The dialog follows the debugger's view once a frame, so that gdb's steps (each hides the view
// and shows it again) leave it standing. While gdb is connected it does not take the keyboard.
void Win32Host::show_dialog() {
    if (!dialog_ || (IsWindowVisible(dialog_) != 0) == dialog_wanted_) return;
    bool quiet = gdb_ && gdb_->connected();
    ShowWindow(dialog_, !dialog_wanted_ ? SW_HIDE : quiet ? SW_SHOWNOACTIVATE : SW_SHOW);
}

void Win32Host::debugger_refresh() {
    create_dialog();
    if (!dialog_) return;
    const DebuggerModel& model = machine_->debugger.Model;
    for (int r = 0; r < 16; ++r)
        SetDlgItemTextA(dialog_, r < 8 ? IDC_R0 + r : IDC_R8 + r - 8, model.Registers[r].c_str());
    SetDlgItemTextA(dialog_, IDC_PC, model.Pc.c_str());
    SetDlgItemTextA(dialog_, IDC_CNT, model.Cnt.c_str());
    const bool flags[] = {model.FlagN, model.FlagZ, model.FlagC, model.FlagV};
    for (int f = 0; f < 4; ++f) CheckDlgButton(dialog_, IDC_FLAG_N + f, flags[f] ? 1 : 0);
    CheckDlgButton(dialog_, IDC_FLAG_I, model.FlagI ? 1 : 0);
    CheckDlgButton(dialog_, IDC_FLAG_T, model.FlagT ? 1 : 0);

    HWND list = GetDlgItem(dialog_, IDC_LISTING);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    for (int k = 0; k < kListingRows; ++k) {
        const ListingRow& row = model.Listing[k];
        LVITEMA item = {};
        item.mask = LVIF_TEXT;
        item.iItem = k;
        item.pszText = const_cast<char*>(row.Address.c_str());
        SendMessageA(list, LVM_INSERTITEMA, 0, LPARAM(&item));
        set_item_text(list, k, 1, row.Opcode);
        set_item_text(list, k, 2, row.Text);
    }
}
