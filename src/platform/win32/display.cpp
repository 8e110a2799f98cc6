// Presentation through DirectDraw: windowed, a primary surface clipped to the main window and a
// 256x160 back surface in the desktop's pixel format, stretched to the client area once a frame.
#include <cstring>

#include "machine.h"
#include "platform/common/gdb_server.h"
#include "platform/win32/win32_host.h"

namespace {

constexpr DWORD kCooperativeNormal = DDSCL_NORMAL;
constexpr DWORD kBackWidth = 256;
constexpr DWORD kBackHeight = 160;

template <typename T>
void release(T*& object) {
    if (object) object->Release();
    object = nullptr;
}

}  // namespace

bool Win32Host::display_fail(const char* text) {
    MessageBoxA(nullptr, text, "Tamo-Emulator", MB_OK);
    display_release();
    return false;
}

bool Win32Host::display_init(HWND window) {
    machine_->video.VCOUNT = 0;
    direct_draw_ = nullptr;
    primary_ = nullptr;
    window_ = window;

    if (FAILED(DirectDrawCreate(nullptr, &direct_draw_, nullptr))) {
        direct_draw_ = nullptr;
        return display_fail("Can't create DirectDrawObject");
    }
    if (FAILED(direct_draw_->SetCooperativeLevel(window, kCooperativeNormal)))
        return display_fail("Can't set the Cooperation Level");

    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    if (FAILED(direct_draw_->CreateSurface(&desc, &primary_, nullptr))) {
        primary_ = nullptr;
        return display_fail("Can't create Primary Surface\n");
    }

    DDPIXELFORMAT format;
    std::memset(&format, 0, sizeof format);
    format.dwSize = sizeof format;
    primary_->GetPixelFormat(&format);
    if (format.dwRGBBitCount < 16) return display_fail("Need a truecolor desktop to work.");
    uint32_t bytes_per_pixel = format.dwRGBBitCount / 8;

    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    desc.dwWidth = kBackWidth;
    desc.dwHeight = kBackHeight;
    if (FAILED(direct_draw_->CreateSurface(&desc, &back_, nullptr))) {
        back_ = nullptr;
        return display_fail("Can't Create Back Surface");
    }

    IDirectDrawClipper* clipper = nullptr;
    if (FAILED(direct_draw_->CreateClipper(0, &clipper, nullptr)))
        return display_fail("Can't create Clipper\n");
    if (FAILED(clipper->SetHWnd(0, window))) {
        clipper->Release();
        return display_fail("Can't set window\n");
    }
    HRESULT attached = primary_->SetClipper(clipper);
    clipper->Release();  // the primary surface holds it from now on
    if (FAILED(attached)) return display_fail("Can't set clipper\n");

    // The machine's picture, in the desktop's format. A desktop whose channels the shifts cannot
    // express (wider than 8 bits, or not contiguous) gets the true-colour message too.
    frame_pitch_ = int32_t(kBackWidth * bytes_per_pixel);
    frame_.assign(size_t(frame_pitch_) * kBackHeight, 0);
    if (bytes_per_pixel > 4 ||
        !display_attach(*machine_, frame_.data(), frame_pitch_, bytes_per_pixel, format.dwRBitMask,
                        format.dwGBitMask, format.dwBBitMask))
        return display_fail("Need a truecolor desktop to work.");
    std::memset(machine_->Palette, 0, kPaletteSize);
    std::memset(machine_->Vram, 0, kVramSize);

    // The back surface must be lockable: each frame is copied into it under a lock.
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    HRESULT locked;
    while ((locked = back_->Lock(nullptr, &desc, 0, nullptr)) == DDERR_WASSTILLDRAWING) {
    }
    if (SUCCEEDED(locked)) back_->Unlock(desc.lpSurface);

    // Frame pacing sleeps between frames: a one-millisecond timer resolution keeps the rate even.
    fine_timer_ = timeBeginPeriod(1) == TIMERR_NOERROR;
    return true;
}

void Win32Host::display_release() {
    if (direct_draw_) {
        if (primary_) {
            KillTimer(window_, 1);
            release(primary_);
        }
        back_ = nullptr;  // ends with the DirectDraw object
        release(direct_draw_);
    }
    if (fine_timer_) timeEndPeriod(1);
    fine_timer_ = false;
}

Win32Host::~Win32Host() {
    keyboard_release();
    display_release();
}

// After a display mode change or a locked workstation the surfaces' memory is gone: bring it
// back. The picture returns with the next frame.
bool Win32Host::restore_surfaces() {
    return SUCCEEDED(primary_->Restore()) && SUCCEEDED(back_->Restore());
}

void Win32Host::blit() {
    // Nothing to show while the window is minimised.
    RECT client;
    GetClientRect(window_, &client);
    if (IsIconic(window_) || client.right <= 0 || client.bottom <= 0) return;

    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    HRESULT locked = back_->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr);
    if (locked == DDERR_SURFACELOST && restore_surfaces())
        locked = back_->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr);
    if (FAILED(locked)) return;
    const uint8_t* source = frame_.data();
    auto* target = static_cast<uint8_t*>(desc.lpSurface);
    size_t row = size_t(frame_pitch_) * 240 / kBackWidth;
    for (DWORD y = 0; y < kBackHeight; ++y)
        std::memcpy(target + ptrdiff_t(y) * desc.lPitch, source + size_t(y) * frame_pitch_, row);
    back_->Unlock(desc.lpSurface);

    POINT origin = {0, 0};
    ClientToScreen(window_, &origin);
    OffsetRect(&client, origin.x, origin.y);
    RECT picture;
    SetRect(&picture, 0, 0, 240, 160);
    // A busy or failing blit leaves the previous picture for this frame.
    if (primary_->Blt(&client, back_, &picture, 0, nullptr) == DDERR_SURFACELOST)
        restore_surfaces();
}

// Waits for the frame's slot at the console's 59.73 frames a second (unless FrameLimit=0).
void Win32Host::pace() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    int64_t now =
        int64_t(counter.QuadPart / frequency.QuadPart) * kNanosecondsPerSecond +
        int64_t(counter.QuadPart % frequency.QuadPart) * kNanosecondsPerSecond / frequency.QuadPart;
    int64_t wait = pacer_.frame_done(now);
    if (gdb_ && gdb_->listening()) {
        gdb_->pause(*machine_, wait);
    } else if (wait >= 1'000'000) {
        Sleep(DWORD(wait / 1'000'000));
    }
}

void Win32Host::present() {
    show_dialog();
    if (!primary_) return;
    blit();
    pace();
}
