#include "video/video.h"

#include <cstring>

#include "machine.h"
#include "memory/dma.h"
#include "memory/io.h"

bool mask_shifts(uint32_t mask, uint32_t& left, uint32_t& right) {
    if (mask == 0) return false;
    uint32_t shift = 0;
    while (!(mask & (1u << shift))) ++shift;
    uint32_t width = 0;
    while (shift + width < 32 && (mask & (1u << (shift + width)))) ++width;
    if (width > 8 || (shift + width < 32 && (mask >> (shift + width)) != 0)) return false;
    left = shift;
    right = 8 - width;
    return true;
}

bool display_attach(Machine& m, uint8_t* pixels, int32_t pitch, uint32_t bytes_per_pixel,
                    uint32_t red_mask, uint32_t green_mask, uint32_t blue_mask) {
    Surface s;
    if (!pixels || bytes_per_pixel < 2 || bytes_per_pixel > 4) return false;
    if (!mask_shifts(red_mask, s.RedLeft, s.RedRight) ||
        !mask_shifts(green_mask, s.GreenLeft, s.GreenRight) ||
        !mask_shifts(blue_mask, s.BlueLeft, s.BlueRight))
        return false;
    s.Pixels = pixels;
    s.Pitch = pitch;
    s.BytesPerPixel = bytes_per_pixel;
    m.surface = s;
    m.video.VCOUNT = 0;
    return true;
}

void display_detach(Machine& m) {
    m.surface = Surface{};
}

void video_reset(Machine& m) {
    VideoState& v = m.video;
    std::memset(m.Vram, 0, kVramSize);
    std::memset(m.Palette, 0, kPaletteSize);
    for (BackgroundState& bg : v.Bg) {
        bg.LatchedX = bg.LatchedY = 0;
        bg.Wraparound = 0;
        bg.PA = bg.PD = 256;
        bg.PB = bg.PC = 0;
        bg.HOffset = bg.VOffset = 0;
        bg.ScreenBase = bg.CharBase = 0;
        bg.ScreenSize = bg.Colours256 = bg.Mosaic = bg.Enabled = bg.Priority = 0;
        bg.RawLow = bg.RawHigh = 0;
    }
    v.BgMode = v.FrameSelect = v.HblankFree = v.Sprite1D = v.ForcedBlank = 0;
    v.SpriteEnable = v.Win0Enable = v.Win1Enable = v.SpriteWinEnable = 0;
    v.DispStatBits = v.VCountSetting = v.VCOUNT = 0;
    v.BgMosaicH = v.BgMosaicV = v.SpriteMosaicH = v.SpriteMosaicV = 0;
    v.FirstTarget = v.SecondTarget = v.Effect = v.EVA = v.EVB = v.EVY = 0;
    v.BackdropColour = (v.BackdropColour & kColourMask) | kFlagBackdrop;
    v.FrameCounter = 0;
}

namespace {

// Converts the composed line into the host's pixel format, into row y of the back surface.
void output_line(Machine& m, int y) {
    const Surface& s = m.surface;
    uint8_t* out = s.Pixels + ptrdiff_t(y) * s.Pitch;
    const uint32_t* line = m.video.ComposedLine;
    if (s.BytesPerPixel == 4) {
        // Whole words: the loop vectorises.
        uint32_t row[kScreenWidth];
        for (int x = 0; x < kScreenWidth; ++x) {
            uint32_t p = line[x];
            row[x] = (((p & 0xFF) >> s.RedRight) << s.RedLeft) |
                     ((((p >> 8) & 0xFF) >> s.GreenRight) << s.GreenLeft) |
                     ((((p >> 16) & 0xFF) >> s.BlueRight) << s.BlueLeft);
        }
        std::memcpy(out, row, sizeof row);
        return;
    }
    // 2 or 3 bytes per pixel: each 32-bit store also writes the start of the next pixel, which the
    // next store overwrites; the last one spills into the unseen columns 240 and on.
    for (int x = 0; x < kScreenWidth; ++x) {
        uint32_t p = line[x];
        uint32_t pixel = (((p & 0xFF) >> s.RedRight) << s.RedLeft) |
                         ((((p >> 8) & 0xFF) >> s.GreenRight) << s.GreenLeft) |
                         ((((p >> 16) & 0xFF) >> s.BlueRight) << s.BlueLeft);
        std::memcpy(out, &pixel, 4);
        out += s.BytesPerPixel;
    }
}

void render_line(Machine& m, int y) {
    VideoState& v = m.video;
    if (v.ForcedBlank) {
        uint32_t blank = (v.BackdropColour & kColourMask) | kFlagBackdrop;
        for (uint32_t& p : v.ComposedLine) p = blank;
    } else {
        v.BackdropColour = m.ColourCache[0];
        uint32_t backdrop = (v.BackdropColour & kColourMask) | kFlagBackdrop;
        for (uint32_t& p : v.ComposedLine) p = backdrop;
    }
    output_line(m, y);
}

}  // namespace

void scanline_step(Machine& m) {
    if (!m.surface.Pixels) return;
    VideoState& v = m.video;
    if (v.VCOUNT < uint32_t(kScreenHeight)) {
        render_line(m, int(v.VCOUNT));
    } else if (v.VCOUNT == uint32_t(kScreenHeight)) {
        if (m.IME && (m.IE & kIrqVblank)) m.IF |= kIrqVblank;
        dma_run_vblank(m);
    }
    if (m.IME && (m.IE & kIrqHblank)) m.IF |= kIrqHblank;
    dma_run_hblank(m);

    v.VCOUNT = (v.VCOUNT + 1) & 0xFF;
    if (v.VCOUNT == uint32_t(kLinesPerFrame)) {
        for (BackgroundState& bg : v.Bg) {
            bg.InternalReferenceX = bg.LatchedX;
            bg.InternalReferenceY = bg.LatchedY;
        }
        if (!m.cpu.DebugPause) ++v.FrameCounter;
        v.VCOUNT = 0;
        m.host->present();
    }
    if ((m.IE & kIrqVcount) && v.VCOUNT == v.VCountSetting) m.IF |= kIrqVcount;
}
