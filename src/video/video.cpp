#include "video/video.h"

#include <cstring>

#include "machine.h"
#include "memory/dma.h"
#include "memory/io.h"
#include "video/render.h"

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
    // The sprite line table is worked out afresh: the OAM reset that follows may leave OAM's
    // bytes as they were while it decodes them anew.
    v.SpriteLines.Valid = 0;
}

namespace {

// Whether the surface is the usual 8-8-8 desktop (0x00RRGGBB).
bool usual_888(const Surface& s) {
    return s.BytesPerPixel == 4 && s.RedLeft == 16 && s.GreenLeft == 8 && s.BlueLeft == 0 &&
           (s.RedRight | s.GreenRight | s.BlueRight) == 0;
}

// The usual 8-8-8 desktop (0x00RRGGBB): red and blue change places. `backdrop`, when not 0, goes
// behind the line's empty pixels first (see output_line), in the same pass. The surface's row
// never overlaps the composed line: told so, the compiler works on several pixels at once.
void output_row_888(uint32_t* __restrict line, uint8_t* __restrict out, uint32_t backdrop) {
#if defined(__SSSE3__)
    // One byte shuffle per four pixels; the flags byte becomes 0.
    const __m128i order = _mm_setr_epi8(2, 1, 0, -1, 6, 5, 4, -1, 10, 9, 8, -1, 14, 13, 12, -1);
    const __m128i ink = _mm_set1_epi32(int(backdrop));
    auto convert = [&](int x) {
        __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + x));
        if (backdrop) {
            p = render_detail::behind4(p, ink);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(line + x), p);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * x), _mm_shuffle_epi8(p, order));
    };
    // Eight pixels a round: half the loop's own instructions.
    for (int x = 0; x < kScreenWidth; x += 8) {
        convert(x);
        convert(x + 4);
    }
#else
    for (int x = 0; x < kScreenWidth; ++x) {
        if (backdrop) line[x] = render_detail::behind(line[x], backdrop);
        const uint32_t p = line[x];
        const uint32_t pixel = ((p & 0xFF) << 16) | (p & 0xFF00) | ((p >> 16) & 0xFF);
        std::memcpy(out + 4 * x, &pixel, 4);
    }
#endif
}

// Converts the composed line into the host's pixel format, into row y of the back surface.
// `backdrop`, when not 0: the composed line still has empty pixels, which take it first (as
// compose_plain_layers would have done).
void output_line(Machine& m, int y, uint32_t backdrop) {
    const Surface& s = m.surface;
    uint8_t* out = s.Pixels + ptrdiff_t(y) * s.Pitch;
    uint32_t* line = m.video.ComposedLine;
    if (usual_888(s)) {
        output_row_888(line, out, backdrop);
        return;
    }
    if (backdrop)
        for (int x = 0; x < kScreenWidth; ++x) line[x] = render_detail::behind(line[x], backdrop);
    if (s.BytesPerPixel == 4) {
        // Whole words, with the shifts in locals: the loop vectorises.
        const uint32_t red_right = s.RedRight, red_left = s.RedLeft;
        const uint32_t green_right = s.GreenRight, green_left = s.GreenLeft;
        const uint32_t blue_right = s.BlueRight, blue_left = s.BlueLeft;
        uint32_t row[kScreenWidth];
        for (int x = 0; x < kScreenWidth; ++x) {
            const uint32_t p = line[x];
            row[x] = (((p & 0xFF) >> red_right) << red_left) |
                     ((((p >> 8) & 0xFF) >> green_right) << green_left) |
                     ((((p >> 16) & 0xFF) >> blue_right) << blue_left);
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

// A line of one colour, when no layer shows on it: the composed line is filled with it, and the
// surface's row with its converted pixel without a pass over the composed line.
void output_backdrop_line(Machine& m, int y, uint32_t pixel) {
    for (uint32_t& p : m.video.ComposedLine) p = pixel;
    const Surface& s = m.surface;
    if (usual_888(s)) {
        const uint32_t converted = (pixel & 0xFF) << 16 | (pixel & 0xFF00) | ((pixel >> 16) & 0xFF);
        uint8_t* out = s.Pixels + ptrdiff_t(y) * s.Pitch;
        for (int x = 0; x < kScreenWidth; ++x) std::memcpy(out + 4 * x, &converted, 4);
        return;
    }
    output_line(m, y, 0);
}

// Composes layer line n over the composed line with blend mode Mode (where effects are allowed).
template <uint32_t Mode, bool Windowed>
void compose_layer_with(VideoState& v, int n, bool whole_layer) {
    const uint32_t* layer = v.LayerLine[n];
    uint32_t* line = v.ComposedLine;
    const uint32_t f = kFlagBg0 << n;
    if (Mode == kEffectNone && !Windowed && whole_layer) {
        // The common case, the whole layer at once in plain mask arithmetic on two members of the
        // same record, so that the compiler sees no branch and no aliasing and works on several
        // pixels at once. Exact: each pixel gets what put_pixel without an effect gives it.
        for (int x = 0; x < kScreenWidth; ++x)
            v.ComposedLine[x] = render_detail::over(
                v.ComposedLine[x], (v.LayerLine[n][x] & (kColourMask | kFlagTransparent)) | f);
        return;
    }
    const uint8_t* area = v.Line.WindowBits;
    const uint32_t shown = 1u << n;
    for (int x = 0; x < kScreenWidth; ++x) {
        const uint32_t p = layer[x];
        if (p & kFlagTransparent) continue;
        if constexpr (Windowed) {
            const uint32_t bits = area[x];
            if (!(bits & shown)) continue;
            if (bits & kWindowEffects)
                render_detail::put_pixel<Mode>(line[x], p, f, v);
            else
                render_detail::put_pixel<kEffectNone>(line[x], p, f, v);
        } else {
            render_detail::put_pixel<Mode>(line[x], p, f, v);
        }
    }
}

template <bool Windowed>
void compose_layer_windowed(VideoState& v, int n, uint32_t mode, bool fast) {
    switch (mode) {
        case kEffectNone: compose_layer_with<kEffectNone, Windowed>(v, n, fast); break;
        case kEffectAlpha: compose_layer_with<kEffectAlpha, Windowed>(v, n, fast); break;
        case kEffectBrighten: compose_layer_with<kEffectBrighten, Windowed>(v, n, fast); break;
        default: compose_layer_with<kEffectDarken, Windowed>(v, n, fast); break;
    }
}

void compose_layer(Machine& m, int n) {
    VideoState& v = m.video;
    const uint32_t mode = (v.FirstTarget >> n) & 1 ? v.Effect : kEffectNone;
    if (v.Line.Windowed)
        compose_layer_windowed<true>(v, n, mode, m.FastPaths);
    else
        compose_layer_windowed<false>(v, n, mode, m.FastPaths);
}

// Window 0 or 1 covers columns left to right (both included) on the lines top to bottom (both
// included); a left edge past the right edge, or a top edge past the bottom one, covers nothing.
void mark_window(uint8_t* area, uint32_t enabled, uint32_t y, uint32_t left, uint32_t right,
                 uint32_t top, uint32_t bottom, uint32_t bits) {
    if (!enabled || y < top || y > bottom) return;
    if (right >= uint32_t(kScreenWidth)) right = kScreenWidth - 1;
    for (uint32_t x = left; x <= right; ++x) area[x] = uint8_t(bits);
}

// The window area of every column of line y: outside, then the sprite window, then window 1,
// then window 0, each later one taking precedence.
void build_window_line(Machine& m, uint32_t y) {
    VideoState& v = m.video;
    uint8_t* area = v.Line.WindowBits;
    std::memset(area, int(v.WinOut.Bits), kScreenWidth);
    // The sprite window is the opaque pixels of the window-mode sprites; they exist only while
    // sprites are enabled.
    if (v.SpriteWinEnable && v.SpriteEnable)
        for (uint32_t i = 0; i < v.Line.SpriteCount[LineState::kWindowSpriteList]; ++i)
            draw_sprite_window_line(m, v.Line.Sprites[LineState::kWindowSpriteList][i]);
    mark_window(area, v.Win1Enable, y, v.Win1Left, v.Win1Right, v.Win1Top, v.Win1Bottom,
                v.WinIn1.Bits);
    mark_window(area, v.Win0Enable, y, v.Win0Left, v.Win0Right, v.Win0Top, v.Win0Bottom,
                v.WinIn0.Bits);
}

// The backdrop as first target: where no layer covers it, it is brightened or darkened. The
// console blends it with nothing, so alpha blending leaves it alone.
bool backdrop_effect_applies(const VideoState& v) {
    return (v.FirstTarget & 0x20) && v.Effect >= kEffectBrighten;
}
void apply_backdrop_effect(VideoState& v) {
    if (!backdrop_effect_applies(v)) return;
    const uint8_t* area = v.Line.WindowBits;
    const bool windowed = v.Line.Windowed;
    for (int x = 0; x < kScreenWidth; ++x) {
        uint32_t& q = v.ComposedLine[x];
        if ((q & ~kColourMask) != kFlagBackdrop) continue;
        if (windowed && !(area[x] & kWindowEffects)) continue;
        const uint32_t colour = v.Effect == kEffectBrighten ? render_detail::brighten(q, v.Line.EVY)
                                                            : render_detail::darken(q, v.Line.EVY);
        q = colour | kFlagBackdrop;
    }
}

// Byte k of colour i of a table of 16 banks goes to planes[bank][k][i mod 16].
void cut_into_planes(const uint32_t (&colours)[256], uint8_t (&planes)[16][4][16]) {
    for (uint32_t i = 0; i < 256; ++i)
        for (uint32_t k = 0; k < 4; ++k) planes[i >> 4][k][i & 15] = uint8_t(colours[i] >> (8 * k));
}

// Works out the line's colour tables from the colour cache, when it has changed since they were
// last worked out (the plain way: on every line).
void update_line_colours(Machine& m) {
    if (m.FastPaths && !m.ColourCacheChanged) return;
    m.ColourCacheChanged = 0;
    LineState& line = m.video.Line;
    std::memcpy(line.TextColours16, m.ColourCache, sizeof line.TextColours16);
    for (int bank = 1; bank < 16; ++bank) line.TextColours16[bank * 16] = m.ColourCache[0];
    cut_into_planes(line.TextColours16, line.TextPlanes16);
    for (uint32_t i = 0; i < 256; ++i) {
        const uint32_t ink = (m.ColourCache[256 + i] & kColourMask) | kFlagSprite;
        line.SpriteInks[i] = ink;
        line.SpriteInks16[i] = ink;
    }
    line.SpriteInks[0] = kFlagTransparent;
    for (uint32_t bank = 0; bank < 16; ++bank) line.SpriteInks16[bank * 16] = kFlagTransparent;
    cut_into_planes(line.SpriteInks16, line.SpritePlanes16);
}

// The backgrounds that BG mode shows (bit n for BG n), each only when enabled, except the bitmap
// of modes 3 to 5, which shows whatever BG2's enable bit says.
uint32_t shown_backgrounds(const VideoState& v) {
    uint32_t enabled = 0;
    for (int n = 0; n < 4; ++n) enabled |= v.Bg[n].Enabled ? 1u << n : 0;
    switch (v.BgMode) {
        case 0: return enabled;
        case 1: return enabled & 7;
        case 2: return enabled & 0xC;
        default: return 4;
    }
}

// Whether background n is a text background in the BG mode (the others: rotation/scaling or
// bitmap).
bool text_background(const VideoState& v, int n) {
    return v.BgMode == 0 || (v.BgMode == 1 && n < 2);
}

// Fills layer line n with background n as the BG mode draws it.
void draw_background_line(Machine& m, int n) {
    if (text_background(m.video, n))
        draw_text_background_line(m, n);
    else if (m.video.BgMode >= 3)
        draw_bitmap_line(m);
    else
        draw_rotscale_background_line(m, n);
}

// Draws background n onto the composed line as a line without windows and effects shows it:
// straight, or behind what is there.
void put_background_line(Machine& m, int n, bool behind) {
    VideoState& v = m.video;
    if (text_background(v, n) && !v.Bg[n].Mosaic) {
        put_text_background_line(m, n, behind);
        return;
    }
    draw_background_line(m, n);
    const uint32_t f = kFlagBg0 << n;
    for (int x = 0; x < kScreenWidth; ++x) {
        const uint32_t p = (v.LayerLine[n][x] & (kColourMask | kFlagTransparent)) | f;
        v.ComposedLine[x] = behind ? render_detail::behind(v.ComposedLine[x], p) : p;
    }
}

// The layers of a line in the plain drawing order, back to front: priority 3 to 0, at each the
// backgrounds from 3 to 0 and then the sprites from 127 to 0. Entry n < 4 stands for background
// n, entry 4 + s for sprite s.
inline constexpr uint32_t kSpriteLayer = 4;
uint32_t line_layers(const VideoState& v, uint32_t backgrounds, bool sprites, uint8_t* order) {
    uint32_t count = 0;
    for (int priority = 3; priority >= 0; --priority) {
        for (int n = 3; n >= 0; --n)
            if ((backgrounds >> n) & 1 && v.Bg[n].Priority == uint32_t(priority))
                order[count++] = uint8_t(n);
        for (uint32_t i = 0; sprites && i < v.Line.SpriteCount[priority]; ++i)
            order[count++] = uint8_t(kSpriteLayer + v.Line.Sprites[priority][i]);
    }
    return count;
}

// Whether a layer may leave a pixel other than its colour, where no window refuses its effect.
// Alpha blending leaves a pixel as it is where nothing below is a second target.
bool has_effect(const Machine& m, uint32_t layer) {
    const VideoState& v = m.video;
    const uint32_t mode = layer >= kSpriteLayer ? sprite_effect(m, int(layer - kSpriteLayer))
                          : (v.FirstTarget >> layer) & 1 ? v.Effect
                                                         : kEffectNone;
    return mode == kEffectAlpha ? v.SecondTarget != 0 : mode != kEffectNone;
}

// Composes layers 0 to count - 1 of order (see line_layers), none with an effect, over the
// backdrop. Each pixel shows the front-most opaque one, or the backdrop: so the front-most
// background is drawn first, straight onto the line, and the sprites in front of it over it;
// then the layers behind it, front to back, each only into the pixels still empty, so that the
// tiles that those in front cover wholly are neither fetched nor looked up. Exact: drawn back to
// front, each opaque pixel replaces the colour and flags below it, so the front-most one is all
// that stays.
//
// With `fill` false the empty pixels are left for output_line to fill on its way.
void compose_plain_layers(Machine& m, const uint8_t* order, uint32_t count, bool fill) {
    VideoState& v = m.video;
    const uint32_t backdrop = (v.BackdropColour & kColourMask) | kFlagBackdrop;
    uint32_t front = count;  // past the front-most background
    while (front > 0 && order[front - 1] >= kSpriteLayer) --front;
    if (front == 0) {  // no background: the sprites over the backdrop
        for (uint32_t& p : v.ComposedLine) p = backdrop;
        for (uint32_t i = 0; i < count; ++i) put_sprite_line(m, order[i] - kSpriteLayer, false);
        return;
    }
    put_background_line(m, order[--front], false);
    for (uint32_t i = front + 1; i < count; ++i) put_sprite_line(m, order[i] - kSpriteLayer, false);
    for (uint32_t i = front; i-- > 0;) {
        if (order[i] >= kSpriteLayer)
            put_sprite_line(m, order[i] - kSpriteLayer, true);
        else
            put_background_line(m, order[i], true);
    }
    if (!fill) return;
    for (int x = 0; x < kScreenWidth; ++x)
        v.ComposedLine[x] = render_detail::behind(v.ComposedLine[x], backdrop);
}

// What compose_line leaves to the output: the backdrop pixel that the line's empty pixels are
// still to take (see output_line), or 0; `only` when no layer shows, so that the whole line is
// that pixel (see output_backdrop_line).
struct Rest {
    uint32_t backdrop = 0;
    bool only = false;
};

// Composes the line from the layers of the BG mode and the sprites.
Rest compose_line(Machine& m, uint32_t y) {
    VideoState& v = m.video;
    LineState& line = v.Line;
    const uint32_t backdrop = (v.BackdropColour & kColourMask) | kFlagBackdrop;
    if (v.BgMode > 5) return {backdrop, true};  // modes 6 and 7 show the backdrop alone
    update_line_colours(m);
    const uint32_t layers = shown_backgrounds(v);

    // The strengths take part as at most 16, so that no blend, brighten or darken wraps.
    line.EVA = v.EVA > 16 ? 16 : v.EVA;
    line.EVB = v.EVB > 16 ? 16 : v.EVB;
    line.EVY = v.EVY > 16 ? 16 : v.EVY;

    const bool sprites = v.SpriteEnable;
    if (sprites) build_sprite_lists(m);
    // Windows act only in the tiled modes, and not at all when the settings disable them.
    line.Windowed = m.settings.WindowsEnabled && v.BgMode <= 2 &&
                    (v.Win0Enable || v.Win1Enable || v.SpriteWinEnable);
    if (line.Windowed) build_window_line(m, y);

    if (m.FastPaths && !line.Windowed) {
        // Without windows the layers behind the back-most one with an effect come out as they
        // would alone, each pixel the front-most one's: those are composed the fast way, and the
        // rest over them the plain way.
        uint8_t order[4 + kSpriteCount];
        const uint32_t count = line_layers(v, layers, sprites, order);
        if (count == 0 && !backdrop_effect_applies(v)) return {backdrop, true};
        uint32_t plain = 0;
        if (v.Effect == kEffectNone && !v.SecondTarget)  // no layer can have an effect
            plain = count;
        while (plain < count && !has_effect(m, order[plain])) ++plain;
        // When nothing comes after them, the backdrop is put behind the plain layers on the way
        // out, in the same pass that converts the line.
        const bool last = plain == count && !backdrop_effect_applies(v);
        compose_plain_layers(m, order, plain, !last);
        if (last) return {backdrop};
        for (uint32_t i = plain; i < count; ++i) {
            if (order[i] >= kSpriteLayer) {
                draw_sprite_line(m, order[i] - kSpriteLayer);
            } else {
                draw_background_line(m, order[i]);
                compose_layer(m, order[i]);
            }
        }
        apply_backdrop_effect(v);
        return {};
    }

    // The plain way: each layer drawn whole into its layer line, then all put over the backdrop
    // back to front.
    for (int n = 0; n < 4; ++n)
        if ((layers >> n) & 1) draw_background_line(m, n);
    for (uint32_t& p : v.ComposedLine) p = backdrop;
    for (int priority = 3; priority >= 0; --priority) {
        for (int n = 3; n >= 0; --n)
            if ((layers >> n) & 1 && v.Bg[n].Priority == uint32_t(priority)) compose_layer(m, n);
        if (sprites) {
            const uint8_t* list = line.Sprites[priority];
            for (uint32_t i = 0, count = line.SpriteCount[priority]; i < count; ++i)
                draw_sprite_line(m, list[i]);
        }
    }
    apply_backdrop_effect(v);
    return {};
}

void render_line(Machine& m, int y) {
    VideoState& v = m.video;
    Rest rest{(v.BackdropColour & kColourMask) | kFlagBackdrop, true};  // forced blank
    if (!v.ForcedBlank) {
        v.BackdropColour = m.ColourCache[0];
        rest = compose_line(m, uint32_t(y));
    }
    if (rest.only)
        output_backdrop_line(m, y, rest.backdrop);
    else
        output_line(m, y, rest.backdrop);
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
        v.SpriteLines.MayRebuild = 1;
        if (!m.cpu.DebugPause) ++v.FrameCounter;
        v.VCOUNT = 0;
        m.host->present();
    }
    if ((m.IE & kIrqVcount) && v.VCOUNT == v.VCountSetting) m.IF |= kIrqVcount;
}
