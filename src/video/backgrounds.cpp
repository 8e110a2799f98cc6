// The background renderers: text (tiled, scrolling) backgrounds, rotation/scaling backgrounds and
// the bitmaps of BG modes 3, 4 and 5. Each fills one layer line with colours from the colour cache;
// priorities, windows and effects are the scanline driver's business.
#include <bit>
#include <cstring>

#include "machine.h"
#include "video/render.h"

using render_detail::load32;
using render_detail::load64;

namespace {

inline constexpr uint32_t kFlagBg2 = kFlagBg0 << 2;
inline constexpr uint32_t kTransparentPixel = kFlagTransparent;

// Mode 4 and 5 show their second frame from here when DISPCNT's frame select is set.
inline constexpr uint32_t kSecondFrame = 0xA000;

// A 15-bit console colour from a bitmap as a line pixel.
inline uint32_t direct_colour(uint32_t c) {
    return ((c & 0x1F) << 3) | (((c >> 2) & 0xF8) << 8) | (((c >> 7) & 0xF8) << 16);
}

// Byte reversals (C++20 has no std::byteswap; compilers turn these into one instruction).
inline uint32_t byte_reverse(uint32_t w) {
    return (w >> 24) | ((w >> 8) & 0xFF00u) | ((w << 8) & 0xFF0000u) | (w << 24);
}
inline uint64_t byte_reverse(uint64_t w) {
    return (uint64_t(byte_reverse(uint32_t(w))) << 32) | byte_reverse(uint32_t(w >> 32));
}

// Reverses the order of the eight nibbles of a 16-colour tile row (horizontal flip).
inline uint32_t reverse_nibbles(uint32_t w) {
    w = byte_reverse(w);
    return ((w >> 4) & 0x0F0F0F0Fu) | ((w & 0x0F0F0F0Fu) << 4);
}

inline void fill(uint32_t* out, uint32_t pixel, int count) {
    for (int i = 0; i < count; ++i) out[i] = pixel;
}

// The map row of a text background for source line l: 32 entries of the left screen block; the
// right-hand block of a 512-wide map lies 2 KB further.
const uint8_t* text_map_row(const Machine& m, const BackgroundState& bg, uint32_t l) {
    uint32_t offset = bg.ScreenBase + ((l & 0xF8) << 3);
    // The lower half of a 512-high map: for size 3 (512x512) the third screen block, 4 KB on,
    // past the two of the upper half; for size 2 (256x512), whose upper half is one block, the
    // second one, 2 KB on, as on the console.
    if ((bg.ScreenSize & 2) && (l & 0x100)) offset += bg.ScreenSize == 3 ? 0x1000 : 0x800;
    return m.Vram + offset;
}

// One tile row of a text background as the fetch leaves it: 16-colour rows in a word of eight
// nibbles, 256-colour rows in eight bytes, pixel i always at position i (flips applied), and the
// colours its indices stand for.
struct TextRow {
    uint64_t bits;
    const uint32_t* colours;
};

// What stays the same for every tile of a text background's line.
struct TextLine {
    const uint8_t* tiles;    // the character base
    uint32_t tile_limit;     // tiles from this number on lie past the background area
    uint32_t row_offset[2];  // the tile row's place in a tile, without and with vertical flip
};

template <bool Colours256>
inline TextLine text_line(const Machine& m, const BackgroundState& bg, uint32_t r) {
    constexpr uint32_t kRowBytes = Colours256 ? 8 : 4;
    return {m.Vram + bg.CharBase,
            (kBackgroundVramSize - bg.CharBase) / (8 * kRowBytes),
            {r * kRowBytes, (7 - r) * kRowBytes}};
}

// Flips are chosen without branches: games flip tiles all over their maps, and a mispredicted
// branch costs more than working out both orders. Checked: some tile numbers reach past the
// background area, so each one is compared with the limit.
template <bool Colours256, bool Checked>
[[gnu::always_inline]] inline TextRow fetch_text_row(const Machine& m, const TextLine& line,
                                                     uint32_t entry) {
    const uint32_t tile = entry & 0x3FF;
    const uint32_t row_offset = line.row_offset[(entry >> 11) & 1];
    const bool inside = !Checked || tile < line.tile_limit;
    TextRow row;
    if constexpr (Colours256) {
        const uint64_t bits = inside ? load64(line.tiles + tile * 64 + row_offset) : 0;
        const uint64_t flip = 0 - uint64_t((entry >> 10) & 1);
        row.bits = bits ^ ((bits ^ byte_reverse(bits)) & flip);
        row.colours = m.ColourCache;
    } else {
        const uint32_t bits = inside ? load32(line.tiles + tile * 32 + row_offset) : 0;
        const uint32_t flip = 0 - ((entry >> 10) & 1);
        row.bits = bits ^ ((bits ^ reverse_nibbles(bits)) & flip);
        // Nibble 0 is colour cache entry 0 (transparent) whatever the palette bank: the line's
        // copy of the background colours has that entry at the start of every bank.
        row.colours = m.video.Line.TextColours16 + (entry >> 12) * 16;
    }
    return row;
}

template <bool Colours256>
inline uint32_t text_pixel(const TextRow& row, uint32_t i) {
    if constexpr (Colours256)
        return row.colours[(row.bits >> (8 * i)) & 0xFF];
    else
        return row.colours[(uint32_t(row.bits) >> (4 * i)) & 0xF];
}

// The entry of a colour table at a byte offset (4 times the index).
inline uint32_t colour_at(const uint32_t* colours, uint32_t byte_offset) {
    return *reinterpret_cast<const uint32_t*>(reinterpret_cast<const uint8_t*>(colours) +
                                              byte_offset);
}

// Writes a whole tile row with the flag added to each pixel: every pixel, or (Behind) only into
// the pixels of the composed line still empty. 16-colour indices are cut out of the row already
// multiplied by 4 (as byte offsets into the colour table), which saves a shift per pixel; the
// eight colours are looked up first and then laid down together, which the compiler does several
// at once.
template <bool Colours256, bool Behind>
inline void put_text_row(const TextRow& row, uint32_t* out, uint32_t flag) {
#if defined(__SSSE3__)
    if constexpr (Colours256) {
        // The row in two registers, laid down as the 16-colour rows are.
        using namespace render_detail;
        Row16 ink = look_up_row256(row.colours, row.bits);
        const __m128i flags = _mm_set1_epi32(int(flag));
        ink = {_mm_or_si128(ink.left, flags), _mm_or_si128(ink.right, flags)};
        store_row(out, Behind ? behind(load_row(out), ink) : ink);
        return;
    }
#endif
    uint32_t ink[8];
    if constexpr (Colours256) {
        render_detail::look_up_row256(row.colours, row.bits, ink);
    } else {
        const uint32_t bits = uint32_t(row.bits);
        ink[0] = colour_at(row.colours, (bits << 2) & 0x3C);
        for (uint32_t i = 1; i < 8; ++i)
            ink[i] = colour_at(row.colours, (bits >> (4 * i - 2)) & 0x3C);
    }
    for (uint32_t i = 0; i < 8; ++i)
        out[i] = Behind ? render_detail::behind(out[i], ink[i] | flag) : ink[i] | flag;
}

#if defined(__SSSE3__)
// With byte shuffles at hand, a 16-colour tile row is looked up eight pixels at once (see
// render_detail::Row16). The same values as put_text_row's, which the picture tests compare.
inline constexpr bool kShuffledRows = true;

template <bool Checked, bool Behind>
[[gnu::always_inline]] inline void put_shuffled_row16(const Machine& m, const TextLine& line,
                                                      uint32_t entry, uint32_t* out, __m128i top) {
    using namespace render_detail;
    const uint32_t tile = entry & 0x3FF;
    const bool inside = !Checked || tile < line.tile_limit;
    const uint32_t bits =
        inside ? load32(line.tiles + tile * 32 + line.row_offset[(entry >> 11) & 1]) : 0;
    // The bank's planes lie 64 bytes apart, the two orders 16: both offsets come out of the entry
    // with one shift and one mask each.
    const auto* planes = reinterpret_cast<const uint8_t*>(m.video.Line.TextPlanes16);
    const auto* orders = reinterpret_cast<const uint8_t*>(kRowOrders);
    Row16 row = look_up_row16(
        *reinterpret_cast<const uint8_t(*)[4][16]>(planes + ((entry >> 6) & 0x3C0)), bits,
        _mm_load_si128(reinterpret_cast<const __m128i*>(orders + ((entry >> 6) & 16))), top);
    if constexpr (Behind) row = behind(load_row(out), row);
    store_row(out, row);
}
#else
inline constexpr bool kShuffledRows = false;
#endif

// Walks a text map row entry by entry with a running pointer. Column 31 goes on to column 0 of
// the same screen block for 256-wide maps and to column 32 (the first of the right-hand block,
// 2 KB further) for 512-wide ones; column 63 goes back to column 0.
class MapWalker {
  public:
    MapWalker(const uint8_t* row, bool wide, uint32_t column)
        : blocks_{row, wide ? row + 0x800 : row},
          block_((column >> 5) & 1),
          entry_(blocks_[block_] + 2 * (column & 31)),
          left_(32 - (column & 31)) {}
    uint32_t next() {
        const uint32_t e = uint32_t(entry_[0]) | uint32_t(entry_[1]) << 8;
        entry_ += 2;
        if (--left_ == 0) {
            block_ ^= 1;
            entry_ = blocks_[block_];
            left_ = 32;
        }
        return e;
    }
    // Takes up to `wanted` entries that lie side by side in one screen block: returns the first
    // and sets `count`.
    const uint8_t* take(uint32_t wanted, uint32_t& count) {
        count = wanted < left_ ? wanted : left_;
        const uint8_t* run = entry_;
        entry_ += 2 * count;
        left_ -= count;
        if (left_ == 0) {
            block_ ^= 1;
            entry_ = blocks_[block_];
            left_ = 32;
        }
        return run;
    }

  private:
    const uint8_t* blocks_[2];
    uint32_t block_;
    const uint8_t* entry_;
    uint32_t left_;
};

// Draws a text background's line into out with the flag added to each pixel: every pixel, or
// (Behind) only into the empty pixels of the composed line, skipping the tiles whose eight columns
// are all covered already without fetching them. Mosaic is drawn into layer lines only.
//
// Shuffled: 16-colour tile rows are looked up eight pixels at once where the processor can (the
// composed line's way; layer lines keep the plain lookup, so that the two ways check each other).
template <bool Colours256, bool Checked, bool Behind, bool Shuffled>
void draw_text(Machine& m, const BackgroundState& bg, uint32_t* out, uint32_t flag) {
    const VideoState& v = m.video;
    uint32_t block = 1;
    uint32_t l = bg.VOffset + v.VCOUNT;
    if (!Behind && bg.Mosaic) {
        // Mosaic snaps the scrolled source line and draws blocks aligned to the scrolled source,
        // for 16-colour backgrounds as for 256-colour ones.
        block = v.BgMosaicH + 1;
        const uint32_t vblock = v.BgMosaicV + 1;
        l -= l % vblock;
    }
    const TextLine line = text_line<Colours256>(m, bg, l & 7);
    const bool wide = bg.ScreenSize & 1;
    MapWalker map(text_map_row(m, bg, l), wide, (bg.HOffset >> 3) & (wide ? 63 : 31));
    const uint32_t first = bg.HOffset & 7;
#if defined(__SSSE3__)
    // The line's background colours keep the transparent flag on colour 0 of each bank, and
    // every pixel takes the layer's flag.
    const __m128i top = render_detail::top_plane16((kFlagTransparent | flag) >> 24, flag >> 24);
#endif
    auto put_tile = [&](uint32_t entry, uint32_t* at) {
#if defined(__SSSE3__)
        if constexpr (Shuffled && !Colours256) {
            put_shuffled_row16<Checked, Behind>(m, line, entry, at, top);
            return;
        }
#endif
        put_text_row<Colours256, Behind>(fetch_text_row<Colours256, Checked>(m, line, entry), at,
                                         flag);
    };

    if (block == 1) {
        // The rest of the first tile, then 30 whole ones: 31 tiles cover 240 columns for any
        // offset. The last one runs up to 8 columns past the screen, into the line's slack.
        const TextRow head = fetch_text_row<Colours256, Checked>(m, line, map.next());
        for (uint32_t i = first; i < 8; ++i, ++out) {
            const uint32_t pixel = text_pixel<Colours256>(head, i);
            *out = Behind ? render_detail::behind(*out, pixel | flag) : pixel | flag;
        }
        if constexpr (Behind) {
            // Which tiles are covered follows no pattern that a branch could predict: the open
            // ones (a column still empty) are marked first, without branches, and then visited.
            uint16_t entries[30];  // map entries are little-endian halfwords, as the host's
            for (uint32_t taken = 0, count; taken < 30; taken += count) {
                const uint8_t* run = map.take(30 - taken, count);
                std::memcpy(entries + taken, run, 2 * count);
            }
            for (uint32_t open = render_detail::open_tiles30(out); open; open &= open - 1) {
                const uint32_t t = uint32_t(std::countr_zero(open));
                put_tile(entries[t], out + 8 * t);
            }
            return;
        }
        for (uint32_t remaining = 30, count; remaining; remaining -= count) {
            const uint8_t* e = map.take(remaining, count);
            for (const uint8_t* end = e + 2 * count; e != end; e += 2, out += 8)
                put_tile(uint32_t(e[0]) | uint32_t(e[1]) << 8, out);
        }
        return;
    }

    // Mosaic: each source pixel fetched covers a block; a block that runs past the end of its
    // tile carries the overshoot into the next one.
    int p = int(first);
    for (int t = 0; t < 31; ++t) {
        if (t) p -= 8;
        const uint32_t entry = map.next();
        if (p >= 8) continue;
        const TextRow row = fetch_text_row<Colours256, Checked>(m, line, entry);
        for (; p < 8; p += int(block)) {
            fill(out, text_pixel<Colours256>(row, uint32_t(p)), int(block));
            out += block;
        }
    }
}

template <bool Behind, bool Shuffled>
void draw_text_line(Machine& m, int n, uint32_t* out, uint32_t flag) {
    const BackgroundState& bg = m.video.Bg[n];
    // Whether tile 1023 lies past the background area from this character base.
    if (bg.Colours256) {
        if (bg.CharBase + 1024 * 64 > kBackgroundVramSize)
            draw_text<true, true, Behind, false>(m, bg, out, flag);
        else
            draw_text<true, false, Behind, false>(m, bg, out, flag);
    } else {
        if (bg.CharBase + 1024 * 32 > kBackgroundVramSize)
            draw_text<false, true, Behind, Shuffled>(m, bg, out, flag);
        else
            draw_text<false, false, Behind, Shuffled>(m, bg, out, flag);
    }
}

}  // namespace

void draw_text_background_line(Machine& m, int n) {
    draw_text_line<false, false>(m, n, m.video.LayerLine[n], 0);
}

void put_text_background_line(Machine& m, int n, bool behind) {
    if (behind)
        draw_text_line<true, kShuffledRows>(m, n, m.video.ComposedLine, kFlagBg0 << n);
    else
        draw_text_line<false, kShuffledRows>(m, n, m.video.ComposedLine, kFlagBg0 << n);
}

namespace {

// Source pixels first to end - 1 of a rotation/scaling background's line: source pixel k lies at
// (x, y) + k (dx, dy) and is written `block` times from column k * block on (the mosaic block; 1
// without mosaic).
template <bool Wrap, bool Mosaic>
void rotscale_pixels(const Machine& m, const BackgroundState& bg, int32_t x, int32_t y, int32_t dx,
                     int32_t dy, uint32_t block, uint32_t first, uint32_t end, uint32_t* out) {
    const uint32_t mask = (128u << bg.ScreenSize) - 1;
    const uint32_t row_shift = 4 + bg.ScreenSize;
    const uint8_t* map = m.Vram + bg.ScreenBase;
    const uint8_t* tiles = m.Vram + bg.CharBase;
    x += int32_t(first) * dx;
    y += int32_t(first) * dy;
    for (uint32_t k = first; k < end; ++k, x += dx, y += dy) {
        uint32_t tx = uint32_t(x >> 8);
        uint32_t ty = uint32_t(y >> 8);
        uint32_t pixel;
        if (Wrap) {
            tx &= mask;
            ty &= mask;
        }
        // Negative coordinates are huge as unsigned numbers; the mask is a power of two less one.
        if (!Wrap && (tx | ty) > mask) {
            pixel = kTransparentPixel;
        } else {
            const uint32_t tile = map[((ty >> 3) << row_shift) + (tx >> 3)];
            pixel = m.ColourCache[tiles[tile * 64 + ((ty & 7) << 3) + (tx & 7)]];
        }
        if (Mosaic)
            fill(out + k * block, pixel, int(block));
        else
            out[k] = pixel;
    }
}

}  // namespace

void draw_rotscale_background_line(Machine& m, int n) {
    VideoState& v = m.video;
    BackgroundState& bg = v.Bg[n];
    uint32_t* out = v.LayerLine[n];
    int32_t x = bg.InternalReferenceX;
    int32_t y = bg.InternalReferenceY;
    uint32_t block = 1;
    if (bg.Mosaic) {
        // Vertical mosaic: the line shows the first line of its mosaic block, whose reference
        // point lies back by one PB and PD step per line. Horizontally each source pixel covers
        // a block, the last of which may run past column 239.
        const int32_t back = int32_t(v.VCOUNT % (v.BgMosaicV + 1));
        x -= back * bg.PB;
        y -= back * bg.PD;
        block = v.BgMosaicH + 1;
    }
    const int32_t dx = bg.PA * int32_t(block), dy = bg.PC * int32_t(block);
    const uint32_t steps = (kScreenWidth + block - 1) / block;
    render_detail::StepRun run{0, steps};
    bool wrap = bg.Wraparound;
    if (!wrap && m.FastPaths) {
        // Without wraparound the source point lies inside the background on one run of steps, as
        // it moves in a straight line: the steps before and after it are transparent without a
        // look-up, and inside it wrapping changes no coordinate. Exact: the plain way finds the
        // same run one step at a time.
        const int64_t last = (int64_t(128) << bg.ScreenSize) * 256 - 1;
        run = render_detail::steps_between(x, dx, 0, last, steps) &
              render_detail::steps_between(y, dy, 0, last, steps);
        fill(out, kTransparentPixel, int(run.first * block));
        fill(out + run.end * block, kTransparentPixel, int((steps - run.end) * block));
        wrap = true;
    }
    if (bg.Mosaic) {
        if (wrap)
            rotscale_pixels<true, true>(m, bg, x, y, dx, dy, block, run.first, run.end, out);
        else
            rotscale_pixels<false, true>(m, bg, x, y, dx, dy, block, run.first, run.end, out);
    } else if (wrap) {
        rotscale_pixels<true, false>(m, bg, x, y, dx, dy, 1, run.first, run.end, out);
    } else {
        rotscale_pixels<false, false>(m, bg, x, y, dx, dy, 1, run.first, run.end, out);
    }
    bg.InternalReferenceX += bg.PB;
    bg.InternalReferenceY += bg.PD;
}

void draw_bitmap_line(Machine& m) {
    const VideoState& v = m.video;
    const BackgroundState& bg = v.Bg[2];
    uint32_t* out = m.video.LayerLine[2];
    const uint32_t y = v.VCOUNT;
    const uint32_t backdrop = (v.BackdropColour & kColourMask) | kFlagBackdrop;
    uint32_t line = y;
    uint32_t block = 1;
    if (bg.Mosaic && v.BgMode != 5) {  // mode 5 has no mosaic
        block = v.BgMosaicH + 1;
        line -= line % (v.BgMosaicV + 1);
    }
    switch (v.BgMode) {
        case 3: {
            const uint8_t* src = m.Vram + line * 480;
            for (uint32_t x = 0; x < uint32_t(kScreenWidth); x += block) {
                const uint32_t c = src[2 * x] | (src[2 * x + 1] << 8);
                fill(out + x, direct_colour(c) | kFlagBg2, int(block));
            }
            break;
        }
        case 4: {
            const uint8_t* src = m.Vram + (v.FrameSelect ? kSecondFrame : 0) + line * 240;
            for (uint32_t x = 0; x < uint32_t(kScreenWidth); x += block) {
                const uint32_t i = src[x];
                fill(out + x, i ? m.ColourCache[i] | kFlagBg2 : backdrop, int(block));
            }
            break;
        }
        default: {
            // Mode 5's bitmap is 160 by 128; the rest of the screen shows the backdrop colour.
            if (y >= 128) {
                fill(out, backdrop, kScreenWidth);
                break;
            }
            const uint8_t* src = m.Vram + (v.FrameSelect ? kSecondFrame : 0) + y * 320;
            for (int x = 0; x < 160; ++x)
                out[x] = direct_colour(src[2 * x] | (src[2 * x + 1] << 8)) | kFlagBg2;
            fill(out + 160, backdrop, kScreenWidth - 160);
            break;
        }
    }
}
