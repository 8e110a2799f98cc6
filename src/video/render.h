// What the scanline driver and the background and sprite renderers share inside the video block:
// the line renderers and the rule that puts one layer pixel onto the composed line.
#pragma once

#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__SSSE3__)
#include <tmmintrin.h>
#endif

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

// Bit t set where one of the eight pixels from out + 8t on is still empty, for t from 0 to 29:
// the tiles of a line that a layer drawn behind must still draw.
inline uint32_t open_tiles30(const uint32_t* out) {
#if defined(__SSE2__)
    // The transparent flags of 16 pixels at a time shifted into sign bits and packed into one
    // bit each; then the bytes that are not 0, 8 pixels each, found all at once.
    alignas(16) uint16_t signs[16] = {};
    for (uint32_t t = 0; t < 30; t += 2) {
        const __m128i* at = reinterpret_cast<const __m128i*>(out + 8 * t);
        const __m128i words = _mm_packs_epi32(_mm_slli_epi32(_mm_loadu_si128(at), 1),
                                              _mm_slli_epi32(_mm_loadu_si128(at + 1), 1));
        const __m128i more = _mm_packs_epi32(_mm_slli_epi32(_mm_loadu_si128(at + 2), 1),
                                             _mm_slli_epi32(_mm_loadu_si128(at + 3), 1));
        signs[t / 2] = uint16_t(_mm_movemask_epi8(_mm_packs_epi16(words, more)));
    }
    const __m128i zero = _mm_setzero_si128();
    const __m128i* bytes = reinterpret_cast<const __m128i*>(signs);
    const uint32_t covered =
        uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_load_si128(bytes), zero))) |
        uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_load_si128(bytes + 1), zero))) << 16;
    return ~covered & 0x3FFFFFFF;
#else
    uint32_t open = 0;
    for (uint32_t t = 0; t < 30; ++t) open |= uint32_t(!covered8(out + 8 * t)) << t;
    return open;
#endif
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

// Looks up the eight bytes of a 256-colour tile row (pixel i in bits 8i to 8i + 7) in a table of
// 256 colours, pixel i into ink[i], or into ink[7 - i] when reversed.
template <bool Reverse = false>
inline void look_up_row256(const uint32_t* colours, uint64_t bits, uint32_t (&ink)[8]) {
#if defined(__SSE2__) && defined(__x86_64__)
    // The bytes widened to words in a register, from which each index comes out with one
    // instruction.
    const __m128i index = _mm_unpacklo_epi8(_mm_cvtsi64_si128(int64_t(bits)), _mm_setzero_si128());
    ink[Reverse ? 7 : 0] = colours[_mm_extract_epi16(index, 0)];
    ink[Reverse ? 6 : 1] = colours[_mm_extract_epi16(index, 1)];
    ink[Reverse ? 5 : 2] = colours[_mm_extract_epi16(index, 2)];
    ink[Reverse ? 4 : 3] = colours[_mm_extract_epi16(index, 3)];
    ink[Reverse ? 3 : 4] = colours[_mm_extract_epi16(index, 4)];
    ink[Reverse ? 2 : 5] = colours[_mm_extract_epi16(index, 5)];
    ink[Reverse ? 1 : 6] = colours[_mm_extract_epi16(index, 6)];
    ink[Reverse ? 0 : 7] = colours[_mm_extract_epi16(index, 7)];
#else
    for (uint32_t i = 0; i < 8; ++i) ink[Reverse ? 7 - i : i] = colours[(bits >> (8 * i)) & 0xFF];
#endif
}

#if defined(__SSSE3__)
// Eight pixels of a tile row in two registers, pixels 0-3 and 4-7.
struct Row16 {
    __m128i left, right;
};

// Looks up the eight nibbles of a 16-colour tile row (pixel i in bits 4i to 4i + 3), in the order
// `order` gives (reversed when flipped, see kRowOrders), in a bank of 16 colours cut into byte
// planes (byte k of colour i at planes[k][i]): the nibbles become byte indices, one shuffle per
// plane looks up one byte of all eight colours, and the bytes are put back together into pixels.
// The top byte, the pixel's flags, does not depend on the colours (see top_plane16), so it comes
// from `top` rather than from the bank's fourth plane.
inline Row16 look_up_row16(const uint8_t (&planes)[4][16], uint32_t bits, __m128i order,
                           __m128i top) {
    const __m128i x = _mm_cvtsi32_si128(int(bits));
    const __m128i nibble = _mm_set1_epi8(0x0F);
    __m128i index =
        _mm_unpacklo_epi8(_mm_and_si128(x, nibble), _mm_and_si128(_mm_srli_epi16(x, 4), nibble));
    index = _mm_shuffle_epi8(index, order);
    const __m128i* plane = reinterpret_cast<const __m128i*>(planes);
    const __m128i b0 = _mm_shuffle_epi8(_mm_load_si128(plane + 0), index);
    const __m128i b1 = _mm_shuffle_epi8(_mm_load_si128(plane + 1), index);
    const __m128i b2 = _mm_shuffle_epi8(_mm_load_si128(plane + 2), index);
    const __m128i b3 = _mm_shuffle_epi8(top, index);
    const __m128i low = _mm_unpacklo_epi8(b0, b1), high = _mm_unpacklo_epi8(b2, b3);
    return {_mm_unpacklo_epi16(low, high), _mm_unpackhi_epi16(low, high)};
}

// The orders of a tile row's eight pixels, as it stands and flipped, 16 bytes apart. The order is
// loaded, not chosen by a branch: flips follow no pattern.
alignas(16) inline constexpr uint8_t kRowOrders[2][16] = {
    {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15},
    {7, 6, 5, 4, 3, 2, 1, 0, 8, 9, 10, 11, 12, 13, 14, 15}};
inline __m128i row_order(uint32_t flipped) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(kRowOrders[flipped]));
}

// The flags byte of every colour of a 16-colour bank: `clear` for colour 0, the transparent one,
// and `opaque` for the others. It does not depend on the colours: the colour cache sets the
// transparent flag on entry 0 of each palette and on no other, and the line's tables keep that.
inline __m128i top_plane16(uint32_t clear, uint32_t opaque) {
    // Every byte `opaque`, and byte 0 changed to `clear` by an exclusive or.
    return _mm_xor_si128(_mm_set1_epi8(char(opaque)),
                         _mm_cvtsi32_si128(int((clear ^ opaque) & 0xFF)));
}

// look_up_row256's eight colours in two registers.
template <bool Reverse = false>
inline Row16 look_up_row256(const uint32_t* colours, uint64_t bits) {
    uint32_t ink[8];
    look_up_row256<Reverse>(colours, bits, ink);
    return {_mm_setr_epi32(int(ink[0]), int(ink[1]), int(ink[2]), int(ink[3])),
            _mm_setr_epi32(int(ink[4]), int(ink[5]), int(ink[6]), int(ink[7]))};
}

inline Row16 load_row(const uint32_t* at) {
    return {_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 4))};
}
inline void store_row(uint32_t* at, Row16 row) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(at), row.left);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(at + 4), row.right);
}

// behind() and over() on four pixels: the transparent flag (bit 30) spread over each pixel
// chooses.
inline __m128i spread_transparent(__m128i p) {
    return _mm_srai_epi32(_mm_slli_epi32(p, 1), 31);
}
inline __m128i behind4(__m128i q, __m128i p) {
    const __m128i empty = spread_transparent(q);
    return _mm_or_si128(_mm_andnot_si128(empty, q), _mm_and_si128(p, empty));
}
inline __m128i over4(__m128i q, __m128i p) {
    const __m128i transparent = spread_transparent(p);
    return _mm_or_si128(_mm_and_si128(q, transparent), _mm_andnot_si128(transparent, p));
}
inline Row16 behind(Row16 q, Row16 p) {
    return {behind4(q.left, p.left), behind4(q.right, p.right)};
}
inline Row16 over(Row16 q, Row16 p) {
    return {over4(q.left, p.left), over4(q.right, p.right)};
}
#endif

}  // namespace render_detail
