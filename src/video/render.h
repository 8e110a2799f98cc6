// What the scanline driver and the background and sprite renderers share inside the video block:
// the line renderers and the rule that puts one layer pixel onto the composed line.
#pragma once

#include <cstdint>
#include <cstring>

#include "machine.h"
#include "video/video.h"

// Colour special effects, as BLDCNT bits 6-7 encode them.
inline constexpr uint32_t kEffectNone = 0;
inline constexpr uint32_t kEffectAlpha = 1;
inline constexpr uint32_t kEffectBrighten = 2;
inline constexpr uint32_t kEffectDarken = 3;

// Bits of a window area's enables (WININ, WINOUT and the decoded WindowArea).
inline constexpr uint32_t kWindowSprites = 0x10;
inline constexpr uint32_t kWindowEffects = 0x20;

// Sprite tiles lie in the upper 32 KB of VRAM; tile addresses wrap inside that area.
inline constexpr uint32_t kSpriteVramBase = 0x10000;
inline constexpr uint32_t kSpriteVramMask = 0x7FFF;

// The text and rotation/scaling backgrounds fetch their tiles from the first 64 KB of VRAM only.
inline constexpr uint32_t kBackgroundVramSize = 0x10000;

// A pixel of the composed line that no layer has covered yet, while the layers without effects of
// a line without windows are drawn front to back (see compose_plain_layers): the transparent flag.
inline constexpr uint32_t kEmpty = kFlagTransparent;

// Fills layer line n with text background n on line VCOUNT.
void draw_text_background_line(Machine& m, int n);
// Draws text background n (without mosaic) on line VCOUNT onto the composed line, each pixel with
// the layer's flag: straight (its transparent pixels leave the line empty) or behind what is
// there (only into the empty pixels).
void put_text_background_line(Machine& m, int n, bool behind);
// Fills layer line n with rotation/scaling background n and advances its reference point.
void draw_rotscale_background_line(Machine& m, int n);
// Fills layer line 2 from the bitmap of BG mode 3, 4 or 5.
void draw_bitmap_line(Machine& m);

// Collects the sprites that meet line VCOUNT into m.video.Line, by priority.
void build_sprite_lists(Machine& m);
// Composes sprite s's pixels on line VCOUNT over the composed line.
void draw_sprite_line(Machine& m, int s);
// The colour effect that sprite s takes where windows allow effects.
uint32_t sprite_effect(const Machine& m, int s);
// Draws sprite s (not a window sprite) on line VCOUNT onto the composed line as a line without
// windows and effects shows it: over what is there, or behind it (only into the empty pixels).
void put_sprite_line(Machine& m, int s, bool behind);
// Marks the columns where sprite s (a window sprite) is opaque with the sprite window's enables.
void draw_sprite_window_line(Machine& m, int s);

namespace render_detail {

// The steps k from 0 to count - 1 at which start + k * step lies between lo and hi (both
// included). The values move in a straight line, so those steps are one run: first to end - 1.
struct StepRun {
    uint32_t first, end;
};
inline int64_t floor_div(int64_t a, int64_t b) {  // b > 0
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}
inline StepRun steps_between(int64_t start, int64_t step, int64_t lo, int64_t hi, uint32_t count) {
    if (step < 0) return steps_between(-start, -step, -hi, -lo, count);
    int64_t first = 0, end = count;
    if (step == 0) {
        if (start < lo || start > hi) end = 0;
    } else {
        first = -floor_div(start - lo, step);   // the first k with start + k * step >= lo
        end = floor_div(hi - start, step) + 1;  // past the last k with start + k * step <= hi
    }
    first = first < 0 ? 0 : first > count ? count : first;
    end = end < first ? first : end > count ? count : end;
    return {uint32_t(first), uint32_t(end)};
}
// The steps that two runs share.
inline StepRun operator&(StepRun a, StepRun b) {
    const uint32_t first = a.first > b.first ? a.first : b.first;
    const uint32_t end = a.end < b.end ? a.end : b.end;
    return {first, end > first ? end : first};
}

inline uint32_t load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline uint64_t load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Pixel p over pixel q: p, unless p is transparent. Written as masks, with no branch, so that
// the compiler can work on several pixels at once.
inline uint32_t over(uint32_t q, uint32_t p) {
    const uint32_t transparent = uint32_t(int32_t(p << 1) >> 31);  // bit 30 spread
    return (q & transparent) | (p & ~transparent);
}

// Pixel p behind pixel q: q, unless q is still empty (kEmpty).
inline uint32_t behind(uint32_t q, uint32_t p) {
    const uint32_t empty = uint32_t(int32_t(q << 1) >> 31);
    return (q & ~empty) | (p & empty);
}

// Whether the eight pixels from out on are all covered (none empty): then nothing behind them
// needs drawing. Two pixels to a word: four loads.
inline bool covered8(const uint32_t* out) {
    uint64_t any = 0;
    for (int i = 0; i < 8; i += 2) {
        uint64_t pair;
        std::memcpy(&pair, out + i, sizeof pair);
        any |= pair;
    }
    return !(any & (uint64_t(kEmpty) << 32 | kEmpty));
}

// Alpha blend of a first-target pixel p over a second-target pixel q: each channel
// (q * EVB + p * EVA) >> 4, held at 255. With EVA and EVB at most 16 each sum stays below 8192,
// so red and blue are worked out together in one word, each held at 255 where its bit 8 is set.
inline uint32_t blend_alpha(uint32_t q, uint32_t p, uint32_t eva, uint32_t evb) {
    uint32_t rb = (((q & 0x00FF00FFu) * evb + (p & 0x00FF00FFu) * eva) >> 4) & 0x01FF01FFu;
    const uint32_t g = (((q >> 8) & 0xFF) * evb + ((p >> 8) & 0xFF) * eva) >> 4;
    const uint32_t held = rb & 0x01000100u;
    rb = (rb | (held - (held >> 8))) & 0x00FF00FFu;
    return rb | (g > 255 ? 255 : g) << 8;
}

// Brighten: each channel moves toward 255 by EVY/16. With EVY at most 16 each lane stays below
// 4096, so red and blue are worked out together in one word.
inline uint32_t brighten(uint32_t p, uint32_t evy) {
    uint32_t k = 16 - evy;
    uint32_t rb = ((0x00FF00FFu * evy + (p & 0x00FF00FFu) * k) >> 4) & 0x00FF00FFu;
    uint32_t g = ((0x0000FF00u * evy + (p & 0x0000FF00u) * k) >> 4) & 0x0000FF00u;
    return rb | g;
}

// Darken: each channel moves toward 0 by EVY/16.
inline uint32_t darken(uint32_t p, uint32_t evy) {
    uint32_t k = 16 - evy;
    uint32_t rb = (((p & 0x00FF00FFu) * k) >> 4) & 0x00FF00FFu;
    uint32_t g = (((p & 0x0000FF00u) * k) >> 4) & 0x0000FF00u;
    return rb | g;
}

// Puts layer pixel p (not transparent) with layer flag f onto composed pixel q. A plain write
// replaces q's flags with f; blended, brightened and darkened pixels keep the flags below and gain
// f, so a later layer's alpha test sees every layer written into the pixel.
template <uint32_t Mode>
inline void put_pixel(uint32_t& q, uint32_t p, uint32_t f, const VideoState& v) {
    if constexpr (Mode == kEffectNone) {
        q = (p & kColourMask) | f;
    } else if constexpr (Mode == kEffectAlpha) {
        if (!(q & kFlagTransparent) && (q & v.SecondTarget))
            q = (q & ~kColourMask) | blend_alpha(q, p, v.Line.EVA, v.Line.EVB) | f;
        else
            q = (p & kColourMask) | f;
    } else if constexpr (Mode == kEffectBrighten) {
        q = (q & ~kColourMask) | brighten(p, v.Line.EVY) | f;
    } else {
        q = (q & ~kColourMask) | darken(p, v.Line.EVY) | f;
    }
}

inline void put_pixel(uint32_t& q, uint32_t p, uint32_t f, uint32_t mode, const VideoState& v) {
    switch (mode) {
        case kEffectNone: put_pixel<kEffectNone>(q, p, f, v); break;
        case kEffectAlpha: put_pixel<kEffectAlpha>(q, p, f, v); break;
        case kEffectBrighten: put_pixel<kEffectBrighten>(q, p, f, v); break;
        default: put_pixel<kEffectDarken>(q, p, f, v); break;
    }
}

}  // namespace render_detail
