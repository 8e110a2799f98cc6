// The keypad through DirectInput 5: the system keyboard, shared with other programs and read only
// while the main window is in the foreground, its whole state read once per frame.
#include <cstring>

#include "platform/win32/win32_host.h"

bool Win32Host::keyboard_init(HWND window) {
    if (FAILED(DirectInputCreateA(instance_, DIRECTINPUT_VERSION, &input_, nullptr))) {
        input_ = nullptr;
        return false;
    }
    bool ready = SUCCEEDED(input_->CreateDevice(GUID_SysKeyboard, &keyboard_, nullptr));
    if (!ready) keyboard_ = nullptr;
    ready =
        ready && SUCCEEDED(keyboard_->SetDataFormat(&c_dfDIKeyboard)) &&
        SUCCEEDED(keyboard_->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND)) &&
        SUCCEEDED(keyboard_->Acquire());
    if (!ready) keyboard_release();
    return ready;
}

void Win32Host::keyboard_release() {
    if (!input_) return;
    if (keyboard_) {
        keyboard_->Unacquire();
        keyboard_->Release();
        keyboard_ = nullptr;
    }
    input_->Release();
    input_ = nullptr;
}

// The device is lost whenever the main window leaves the foreground; each poll tries to take it
// back. A failed read keeps the keys as they were.
bool Win32Host::read_keyboard(uint8_t (&state)[256]) {
    if (!keyboard_) return false;
    // A device that reports itself acquired but cannot be read is tried a few times, not forever.
    for (int attempt = 0;; ++attempt) {
        if (keyboard_->GetDeviceState(sizeof key_state_, key_state_) == DI_OK) break;
        HRESULT acquired = keyboard_->Acquire();
        if (FAILED(acquired) || attempt == 3) return false;
        if (acquired == DI_OK) break;  // the state as it stands, read again at the next poll
    }
    std::memcpy(state, key_state_, sizeof key_state_);
    return true;
}
