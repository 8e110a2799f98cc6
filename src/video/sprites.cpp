// The sprite renderer: draws one sprite's pixels on the current line straight onto the composed
// line, from the decoded sprite table that OAM writes keep up to date.
#include <bit>
#include <climits>
#include <cstring>

#include "machine.h"
#include "video/render.h"

using render_detail::load32;
using render_detail::load64;
using render_detail::put_pixel;

namespace {

inline constexpr int32_t kMiss = INT32_MIN;
inline constexpr uint32_t kModeSemiTransparent = 1;
inline constexpr uint32_t kModeWindow = 2;

// The widest sprite: 64 pixels, 127 screen columns when doubled.
inline constexpr uint32_t kMaxSpan = 128;

inline bool double_size(const SpriteAttribute& a) {
    return a.RotScale && a.DoubleSizeOrHidden;
}

// Screen columns the sprite covers, from X on.
inline uint32_t sprite_span(const SpriteAttribute& a) {
    return double_size(a) ? 2 * a.WidthMinus1 + 1 : a.WidthMinus1 + 1;
}

// The sprite's row on line y, or kMiss when the line misses it. Normal sprites and normal-size
// rotation/scaling sprites give 0 to HeightMinus1 (before any flip); double-size sprites give
// -cy to HeightMinus1 + cy, their texture row being the result minus cy.
inline int32_t sprite_row(const SpriteAttribute& a, uint32_t y) {
    const uint32_t h = a.HeightMinus1;
    if (double_size(a)) {
        const int32_t cy = int32_t(h >> 1);
        const int32_t r = int32_t((y - a.Y - (h + 1) / 2 + uint32_t(cy)) & 255) - cy;
        return r < -cy || r > int32_t(h) + cy ? kMiss : r;
    }
    if (a.DoubleSizeOrHidden) return kMiss;  // without rotation/scaling the bit hides the sprite
    const uint32_t r = (y - a.Y) & 255;      // a sprite near Y 255 continues at the top
    if (r > h) return kMiss;
    // The normal path draws whole 8-pixel tiles; a sprite 1 pixel wide (shape 3) has none.
    if (!a.RotScale && a.WidthMinus1 == 0) return kMiss;
    return int32_t(r);
}

// Calls emit(offset, pixel) for each opaque pixel of a normal sprite's row r, where offset is the
// screen column counted from the sprite's X.
template <bool HFlip, class Emit>
void walk_normal_in(const Machine& m, const SpriteAttribute& a, uint32_t r, Emit&& emit) {
    const uint32_t w = a.WidthMinus1;
    const uint32_t tiles = (w + 1) >> 3;
    if (a.VFlip) r = a.HeightMinus1 - r;
    const uint8_t* vram = m.Vram + kSpriteVramBase;
    uint32_t offset = a.TileAddress - kSpriteVramBase;
    // A flipped row runs right to left: source pixel i of tile t lands at w - (8t + i).
    auto column = [w](uint32_t t, uint32_t i) { return HFlip ? w - 8 * t - i : 8 * t + i; };
    if (a.Colours256) {
        // Tile rows lie 1 KB apart in 2D mapping; in 1D mapping the sprite's own width apart.
        const uint32_t stride = m.video.Sprite1D ? 64u << a.WidthShift : 1024u;
        offset += (r & 7) * 8 + (r >> 3) * stride;
        const uint32_t* colours = m.ColourCache + 256;
        for (uint32_t t = 0; t < tiles; ++t, offset += 64) {
            const uint64_t bits = load64(vram + (offset & kSpriteVramMask));
            for (uint32_t i = 0; i < 8; ++i)
                if (const uint32_t b = uint32_t(bits >> (8 * i)) & 0xFF)
                    emit(column(t, i), colours[b]);
        }
    } else {
        // 2D mapping: the next tile row lies 32 tiles of 32 bytes (1 KB) further.
        const uint32_t stride = m.video.Sprite1D ? 32u << a.WidthShift : 1024u;
        offset += (r & 7) * 4 + (r >> 3) * stride;
        const uint32_t* colours = m.ColourCache + 256 + a.Palette * 16;
        for (uint32_t t = 0; t < tiles; ++t, offset += 32) {
            const uint32_t bits = load32(vram + (offset & kSpriteVramMask));
            for (uint32_t i = 0; i < 8; ++i)
                if (const uint32_t k = (bits >> (4 * i)) & 0xF) emit(column(t, i), colours[k]);
        }
    }
}

template <class Emit>
inline void walk_normal(const Machine& m, const SpriteAttribute& a, uint32_t r, Emit&& emit) {
    if (a.HFlip)
        walk_normal_in<true>(m, a, r, emit);
    else
        walk_normal_in<false>(m, a, r, emit);
}

// The common case of a normal sprite: starting on the screen, without mosaic, window or effect.
// Its row r is written straight into the composed line, a tile at a time: the tile's eight inks
// are looked up together (16-colour rows by byte shuffles where the processor has them) and laid
// down together over the line (a transparent ink keeps what is below) or (Behind) into its empty
// pixels only, skipping the tiles whose columns are all covered without fetching them. This takes
// no branch per pixel, as transparent pixels come in no pattern a branch could predict. Tiles
// that start past the screen are skipped; one that runs over its right edge ends in the line's
// slack.
template <bool HFlip, bool Behind>
void put_normal_row(const Machine& m, const SpriteAttribute& a, uint32_t r, uint32_t* line) {
    using render_detail::behind;
    using render_detail::over;
    const uint32_t w = a.WidthMinus1;
    const uint32_t tiles = (w + 1) >> 3;
    if (a.VFlip) r = a.HeightMinus1 - r;
    const uint8_t* vram = m.Vram + kSpriteVramBase;
    uint32_t offset = a.TileAddress - kSpriteVramBase;
    const LineState& state = m.video.Line;
    // Tile t covers columns X + 8t to X + 8t + 7, or flipped X + w - 8t - 7 to X + w - 8t.
    uint32_t column = a.X + (HFlip ? w - 7 : 0);
    const uint32_t step = HFlip ? -8u : 8u;
    auto skipped = [line](uint32_t at) {
        return at >= uint32_t(kScreenWidth) || (Behind && render_detail::covered8(line + at));
    };
#if !defined(__SSSE3__)
    auto lay = [](uint32_t* out, const uint32_t(&ink)[8]) {
        uint32_t pixels[8];
        std::memcpy(pixels, out, sizeof pixels);
        for (uint32_t i = 0; i < 8; ++i)
            pixels[i] = Behind ? behind(pixels[i], ink[i]) : over(pixels[i], ink[i]);
        std::memcpy(out, pixels, sizeof pixels);
    };
#endif
    if (a.Colours256) {
        const uint32_t stride = m.video.Sprite1D ? 64u << a.WidthShift : 1024u;
        offset += (r & 7) * 8 + (r >> 3) * stride;
        for (uint32_t t = 0; t < tiles; ++t, offset += 64, column += step) {
            if (skipped(column)) continue;
            const uint64_t bits = load64(vram + (offset & kSpriteVramMask));
#if defined(__SSSE3__)
            // The row in two registers, laid down as the 16-colour rows are.
            const render_detail::Row16 ink =
                render_detail::look_up_row256<HFlip>(state.SpriteInks, bits);
            const render_detail::Row16 below = render_detail::load_row(line + column);
            render_detail::store_row(line + column, Behind ? behind(below, ink) : over(below, ink));
#else
            uint32_t ink[8];
            render_detail::look_up_row256<HFlip>(state.SpriteInks, bits, ink);
            lay(line + column, ink);
#endif
        }
    } else {
        // 2D mapping: 32 tiles of 32 bytes (1 KB) to the next tile row.
        const uint32_t stride = m.video.Sprite1D ? 32u << a.WidthShift : 1024u;
        offset += (r & 7) * 4 + (r >> 3) * stride;
        for (uint32_t t = 0; t < tiles; ++t, offset += 32, column += step) {
            if (skipped(column)) continue;
            const uint32_t bits = load32(vram + (offset & kSpriteVramMask));
#if defined(__SSSE3__)
            using render_detail::Row16;
            const Row16 ink = render_detail::look_up_row16(
                state.SpritePlanes16[a.Palette], bits, render_detail::row_order(HFlip ? 1 : 0),
                render_detail::top_plane16(kFlagTransparent >> 24, kFlagSprite >> 24));
            const Row16 below = render_detail::load_row(line + column);
            render_detail::store_row(line + column, Behind ? behind(below, ink) : over(below, ink));
#else
            const uint32_t* inks = state.SpriteInks16 + a.Palette * 16;
            uint32_t ink[8];
            for (uint32_t i = 0; i < 8; ++i) ink[HFlip ? 7 - i : i] = inks[(bits >> (4 * i)) & 0xF];
            lay(line + column, ink);
#endif
        }
    }
}

// A rotation/scaling sprite's row r (see sprite_row) as its screen columns meet its texture:
// column `off` from X has its texture point at (sx, sy) + (off - run.first) (pa, pc), in 256ths of
// a texel from the centre, and so texture column sx / 256 + cx and row sy / 256 + cy (rounded
// toward zero; flips do not apply). The run holds every column, or (inside) just those whose
// point lies inside the texture.
struct AffineRow {
    int32_t w, h, cx, cy, pa, pc, sx, sy;
    render_detail::StepRun run;
};

AffineRow affine_row(const Machine& m, const SpriteAttribute& a, int32_t r, bool inside) {
    AffineRow row;
    row.w = int32_t(a.WidthMinus1), row.h = int32_t(a.HeightMinus1);
    row.cx = row.w >> 1, row.cy = row.h >> 1;
    const SpriteAffineGroup& g = m.SpriteAffine[a.AffineGroup];
    row.pa = g.PA, row.pc = g.PC;
    const int32_t dy = r - row.cy;
    // The first screen column is texture column -cx of the centre, or -W when doubled.
    const int32_t first = double_size(a) ? -row.w : -row.cx;
    row.sx = first * row.pa + dy * g.PB;
    row.sy = first * row.pc + dy * g.PD;
    row.run = {0, sprite_span(a)};
    if (inside) {
        // The texture point moves in a straight line, so it lies inside the texture on one run of
        // columns. Column tx = sx / 256 + cx (rounded toward zero) lies in 0 to w exactly when sx
        // lies in 256 (-cx - 1) + 1 to 256 (w - cx + 1) - 1; the same for the rows.
        const uint32_t span = row.run.end;
        row.run = render_detail::steps_between(row.sx, row.pa, -256 * (row.cx + 1) + 1,
                                               256 * (row.w - row.cx + 1) - 1, span) &
                  render_detail::steps_between(row.sy, row.pc, -256 * (row.cy + 1) + 1,
                                               256 * (row.h - row.cy + 1) - 1, span);
        row.sx += int32_t(row.run.first) * row.pa;
        row.sy += int32_t(row.run.first) * row.pc;
    }
    return row;
}

// The colour index of texel (tx, ty), inside the texture, of a 256-colour rotation/scaling
// sprite whose tile rows lie 64 << row_shift bytes apart, or of a 16-colour one whose tile rows
// lie `stride` bytes apart.
inline uint32_t texel256(const Machine& m, const SpriteAttribute& a, uint32_t tx, uint32_t ty,
                         uint32_t row_shift) {
    const uint32_t offset = a.TileAddress - kSpriteVramBase + (tx & ~7u) * 8 +
                            ((ty >> 3) << row_shift) * 64 + (ty & 7) * 8 + (tx & 7);
    return m.Vram[kSpriteVramBase + (offset & kSpriteVramMask)];
}
inline uint32_t texel16(const Machine& m, const SpriteAttribute& a, uint32_t tx, uint32_t ty,
                        uint32_t stride) {
    const uint32_t offset = a.TileAddress - kSpriteVramBase + (tx >> 3) * 32 + (ty >> 3) * stride +
                            (ty & 7) * 4 + ((tx & 7) >> 1);
    return (m.Vram[kSpriteVramBase + (offset & kSpriteVramMask)] >> ((tx & 1) * 4)) & 0xF;
}

// The common case of a rotation/scaling sprite, without mosaic, window or effect, written
// straight into the composed line: over what is there, or (Behind) into its empty pixels only.
// Only the columns that are on the screen and whose texture point lies inside the texture are
// visited (the run that walk_affine finds the fast way, cut to the screen), so no column needs a
// bounds test; a transparent texel is looked up like any other, as the transparent ink, which
// leaves the pixel below as it is, so no column needs a branch on its texel either.
template <bool Behind>
void put_affine_row(const Machine& m, const SpriteAttribute& a, int32_t r, uint32_t* line) {
    const AffineRow row = affine_row(m, a, r, true);
    // Columns X + off; those from 512 on wrap to the left edge.
    const uint32_t x0 = a.X;
    const render_detail::StepRun screen =
        x0 < uint32_t(kScreenWidth) ? render_detail::StepRun{0, uint32_t(kScreenWidth) - x0}
                                    : render_detail::StepRun{512 - x0, sprite_span(a)};
    const render_detail::StepRun run = row.run & screen;
    int32_t sx = row.sx + int32_t(run.first - row.run.first) * row.pa;
    int32_t sy = row.sy + int32_t(run.first - row.run.first) * row.pc;
    const int32_t pa = row.pa, pc = row.pc, cx = row.cx, cy = row.cy;
    const LineState& state = m.video.Line;
    auto put = [line](uint32_t x, uint32_t ink) {
        uint32_t& q = line[x];
        if constexpr (Behind) {
            // Into an empty pixel, and only an opaque ink: an empty pixel stays as it was.
            const uint32_t take =
                uint32_t(int32_t(q << 1) >> 31) & ~uint32_t(int32_t(ink << 1) >> 31);
            q = (q & ~take) | (ink & take);
        } else {
            q = render_detail::over(q, ink);
        }
    };
    if (a.Colours256) {
        const uint32_t row_shift = m.video.Sprite1D ? a.WidthShift : 4;  // 2D: 1 KB tile rows
        for (uint32_t off = run.first; off < run.end; ++off, sx += pa, sy += pc) {
            const uint32_t tx = uint32_t(sx / 256 + cx), ty = uint32_t(sy / 256 + cy);
            put((x0 + off) & 511, state.SpriteInks[texel256(m, a, tx, ty, row_shift)]);
        }
    } else {
        const uint32_t stride = m.video.Sprite1D ? 32u << a.WidthShift : 1024u;
        const uint32_t* inks = state.SpriteInks16 + a.Palette * 16;
        for (uint32_t off = run.first; off < run.end; ++off, sx += pa, sy += pc) {
            const uint32_t tx = uint32_t(sx / 256 + cx), ty = uint32_t(sy / 256 + cy);
            put((x0 + off) & 511, inks[texel16(m, a, tx, ty, stride)]);
        }
    }
}

// Calls emit(offset, pixel) for each opaque pixel of a rotation/scaling sprite's row r (see
// sprite_row): the fast way only over the columns whose texture point lies inside the texture,
// the plain way over all of them, with a test each.
template <class Emit>
void walk_affine(const Machine& m, const SpriteAttribute& a, int32_t r, Emit&& emit) {
    const AffineRow row = affine_row(m, a, r, m.FastPaths);
    // Kept apart from the row: the pixels that emit writes could otherwise be the row's, for all
    // the compiler knows, and it would read the steps again after every pixel.
    const int32_t w = row.w, h = row.h, cx = row.cx, cy = row.cy, pa = row.pa, pc = row.pc;
    int32_t sx = row.sx, sy = row.sy;
    if (a.Colours256) {
        const uint32_t row_shift = m.video.Sprite1D ? a.WidthShift : 4;  // 2D: 1 KB tile rows
        for (uint32_t off = row.run.first; off < row.run.end; ++off, sx += pa, sy += pc) {
            const int32_t tx = sx / 256 + cx, ty = sy / 256 + cy;
            if (uint32_t(tx) > uint32_t(w) || uint32_t(ty) > uint32_t(h)) continue;
            if (const uint32_t b = texel256(m, a, uint32_t(tx), uint32_t(ty), row_shift))
                emit(off, m.ColourCache[256 + b]);
        }
    } else {
        // 16-colour sprites turn and scale like 256-colour ones: the nibble comes from the
        // 16-colour tile layout and the palette bank from the sprite's palette number.
        const uint32_t stride = m.video.Sprite1D ? 32u << a.WidthShift : 1024u;
        const uint32_t* colours = m.ColourCache + 256 + a.Palette * 16;
        for (uint32_t off = row.run.first; off < row.run.end; ++off, sx += pa, sy += pc) {
            const int32_t tx = sx / 256 + cx, ty = sy / 256 + cy;
            if (uint32_t(tx) > uint32_t(w) || uint32_t(ty) > uint32_t(h)) continue;
            if (const uint32_t k = texel16(m, a, uint32_t(tx), uint32_t(ty), stride))
                emit(off, colours[k]);
        }
    }
}

template <class Emit>
inline void walk_row(const Machine& m, const SpriteAttribute& a, int32_t r, Emit&& emit) {
    if (a.RotScale)
        walk_affine(m, a, r, emit);
    else
        walk_normal(m, a, uint32_t(r), emit);
}

// Calls put(x, pixel) for every opaque pixel of sprite a on line y that lands on the screen.
template <class Put>
void draw_sprite(const Machine& m, const SpriteAttribute& a, uint32_t y, Put&& put) {
    int32_t r = sprite_row(a, y);
    if (r == kMiss) return;
    const uint32_t x0 = a.X;
    const VideoState& v = m.video;
    if (!a.Mosaic || (v.SpriteMosaicH == 0 && v.SpriteMosaicV == 0)) {
        walk_row(m, a, r, [&](uint32_t off, uint32_t pixel) {
            const uint32_t x = (x0 + off) & 511;
            if (x < uint32_t(kScreenWidth)) put(x, pixel);
        });
        return;
    }
    // Sprite mosaic: the row is the one of the first line of the line's mosaic block (blocks
    // counted from the top of the screen), held at the sprite's first row; each column shows the
    // pixel of the first column of its block, held at the sprite's first column.
    const int32_t top = double_size(a) ? -int32_t(a.HeightMinus1 >> 1) : 0;
    r -= int32_t(y % (v.SpriteMosaicV + 1));
    if (r < top) r = top;
    const uint32_t span = sprite_span(a);
    uint32_t row[kMaxSpan];
    for (uint32_t i = 0; i < span; ++i) row[i] = kFlagTransparent;
    walk_row(m, a, r, [&row](uint32_t off, uint32_t pixel) { row[off] = pixel; });
    const uint32_t block = v.SpriteMosaicH + 1;
    for (uint32_t off = 0; off < span; ++off) {
        const uint32_t x = (x0 + off) & 511;
        if (x >= uint32_t(kScreenWidth)) continue;
        const int32_t source = int32_t(off) - int32_t(x % block);
        const uint32_t pixel = row[source < 0 ? 0 : source];
        if (!(pixel & kFlagTransparent)) put(x, pixel);
    }
}

// The lines a sprite meets: line y when ((y - first) AND 255) is below count. A count of 0: none.
struct LineSpan {
    uint32_t first, count;
};

LineSpan sprite_lines(const SpriteAttribute& a) {
    const uint32_t h = a.HeightMinus1, w = a.WidthMinus1;
    LineSpan lines;
    uint32_t span;
    if (!a.DoubleSizeOrHidden) {
        // The normal path draws whole 8-pixel tiles: a sprite one pixel wide has none.
        if (!a.RotScale && w == 0) return {0, 0};
        lines = {a.Y, h + 1};
        span = w + 1;
    } else if (a.RotScale) {
        // Double size: rows -cy to h + cy (see sprite_row).
        const uint32_t cy = h >> 1;
        lines = {(a.Y + (h + 1) / 2 - cy) & 255, h + 2 * cy + 1};
        span = 2 * w + 1;
    } else {
        return {0, 0};  // hidden
    }
    // Columns X to X + span - 1, taken modulo 512: off the screen when all lie in 240-511.
    if (a.X >= uint32_t(kScreenWidth) && a.X + span <= 512) return {0, 0};
    return lines;
}

inline uint32_t sprite_list(const SpriteAttribute& a) {
    return a.Mode == kModeWindow ? LineState::kWindowSpriteList : a.Priority;
}

void build_sprite_line_table(Machine& m) {
    SpriteLineTable& table = m.video.SpriteLines;
    std::memcpy(table.Oam, m.Oam, kOamSize);
    table.OamWritten = 0;
    constexpr uint32_t kLists = LineState::kSpriteLists;
    LineSpan lines[kSpriteCount];
    uint8_t lists[kSpriteCount];
    uint16_t next[kScreenHeight][kLists] = {};  // counts first, then where the next entry goes
    for (uint32_t s = 0; s < kSpriteCount; ++s) {
        lines[s] = sprite_lines(m.SpriteAttributes[s]);
        lists[s] = uint8_t(sprite_list(m.SpriteAttributes[s]));
        for (uint32_t k = 0; k < lines[s].count; ++k) {
            const uint32_t y = (lines[s].first + k) & 255;
            if (y < uint32_t(kScreenHeight)) ++next[y][lists[s]];
        }
    }
    table.Start[0] = 0;
    for (int y = 0; y < kScreenHeight; ++y) {
        uint32_t at = 0;
        for (uint32_t l = 0; l < kLists; ++l) {
            const uint32_t count = next[y][l];
            next[y][l] = uint16_t(table.Start[y] + at);
            at += count;
            table.ListEnd[y][l] = uint8_t(at);
        }
        table.Start[y + 1] = uint16_t(table.Start[y] + at);
    }
    for (int s = int(kSpriteCount) - 1; s >= 0; --s)
        for (uint32_t k = 0; k < lines[s].count; ++k) {
            const uint32_t y = (lines[s].first + k) & 255;
            if (y < uint32_t(kScreenHeight)) table.Entries[next[y][lists[s]]++] = uint8_t(s);
        }
    table.Valid = 1;
}

}  // namespace

void build_sprite_lists(Machine& m) {
    LineState& line = m.video.Line;
    SpriteLineTable& table = m.video.SpriteLines;
    const uint32_t y = m.video.VCOUNT;
    for (uint32_t& count : line.SpriteCount) count = 0;

    // The plain way compares OAM with the table's copy, the fast way asks whether it was written
    // since: the same answer, or a look at every sprite where the two differ (same values
    // written again), which finds the same sprites.
    bool current = table.Valid &&
                   (m.FastPaths ? !table.OamWritten : std::memcmp(table.Oam, m.Oam, kOamSize) == 0);
    if (!current && table.MayRebuild) {
        build_sprite_line_table(m);
        table.MayRebuild = 0;
        current = true;
    }
    if (current) {
        // The table holds the line's lists ready-made.
        const uint8_t* entries = table.Entries + table.Start[y];
        uint32_t from = 0;
        for (uint32_t l = 0; l < LineState::kSpriteLists; ++l) {
            line.Sprites[l] = entries + from;
            line.SpriteCount[l] = table.ListEnd[y][l] - from;
            from = table.ListEnd[y][l];
        }
    } else {
        // OAM changed since this frame's table was made: every sprite is looked at. Without
        // branches on the outcome, as which sprites meet a line follows no pattern a branch could
        // predict: each sprite is written to its list and counted only when it meets the line.
        for (int s = int(kSpriteCount) - 1; s >= 0; --s) {
            const SpriteAttribute& a = m.SpriteAttributes[s];
            const LineSpan lines = sprite_lines(a);
            const uint32_t list = sprite_list(a);
            line.OwnSprites[list][line.SpriteCount[list]] = uint8_t(s);
            line.SpriteCount[list] += uint32_t(((y - lines.first) & 255) < lines.count);
        }
        for (uint32_t l = 0; l < LineState::kSpriteLists; ++l) line.Sprites[l] = line.OwnSprites[l];
    }
}

namespace {

// Draws sprite a on line VCOUNT where no window and no effect applies to it: over the composed
// line, or (Behind) into its empty pixels only. Each opaque pixel becomes its colour with the
// sprite flag, as put_pixel without an effect makes it.
template <bool Behind>
void put_sprite_row(Machine& m, const SpriteAttribute& a) {
    VideoState& v = m.video;
    uint32_t* line = v.ComposedLine;
    const int32_t r = sprite_row(a, v.VCOUNT);
    if (r == kMiss) return;
    // A normal sprite that starts on the screen and has no mosaic is written a tile at a time,
    // without a test per column; a rotation/scaling sprite without mosaic only over the columns
    // where it can show.
    if (!a.RotScale && !a.Mosaic && a.X < uint32_t(kScreenWidth)) {
        if (a.HFlip)
            put_normal_row<true, Behind>(m, a, uint32_t(r), line);
        else
            put_normal_row<false, Behind>(m, a, uint32_t(r), line);
        return;
    }
    if (a.RotScale && !a.Mosaic) {
        put_affine_row<Behind>(m, a, r, line);
        return;
    }
    draw_sprite(m, a, v.VCOUNT, [line](uint32_t x, uint32_t pixel) {
        const uint32_t ink = (pixel & kColourMask) | kFlagSprite;
        line[x] = Behind ? render_detail::behind(line[x], ink) : ink;
    });
}

// Composes sprite a on line VCOUNT over the composed line with effect Mode on every pixel.
template <uint32_t Mode>
void put_sprite_with(Machine& m, const SpriteAttribute& a) {
    VideoState& v = m.video;
    uint32_t* line = v.ComposedLine;
    draw_sprite(m, a, v.VCOUNT, [line, &v](uint32_t x, uint32_t pixel) {
        put_pixel<Mode>(line[x], pixel, kFlagSprite, v);
    });
}

}  // namespace

uint32_t sprite_effect(const Machine& m, int s) {
    // A semi-transparent sprite blends whatever BLDCNT's effect says; others follow BLDCNT when
    // sprites are a first target.
    return m.SpriteAttributes[s].Mode == kModeSemiTransparent ? kEffectAlpha
           : (m.video.FirstTarget & 0x10)                     ? m.video.Effect
                                                              : kEffectNone;
}

void draw_sprite_line(Machine& m, int s) {
    VideoState& v = m.video;
    const SpriteAttribute& a = m.SpriteAttributes[s];
    const uint32_t mode = sprite_effect(m, s);
    if (m.FastPaths && !v.Line.Windowed) {
        // Without windows every pixel of the sprite takes its effect: the effect is chosen once
        // for the sprite rather than for each pixel.
        switch (mode) {
            case kEffectNone: put_sprite_row<false>(m, a); break;
            case kEffectAlpha: put_sprite_with<kEffectAlpha>(m, a); break;
            case kEffectBrighten: put_sprite_with<kEffectBrighten>(m, a); break;
            default: put_sprite_with<kEffectDarken>(m, a); break;
        }
        return;
    }
    // The window areas mask sprite pixels (their bit 4) and allow or refuse their effect (bit 5).
    uint32_t* line = v.ComposedLine;
    const bool windowed = v.Line.Windowed;
    const uint8_t* area = v.Line.WindowBits;
    draw_sprite(m, a, v.VCOUNT, [&](uint32_t x, uint32_t pixel) {
        const uint32_t bits = windowed ? area[x] : kWindowSprites | kWindowEffects;
        if (!(bits & kWindowSprites)) return;
        put_pixel(line[x], pixel, kFlagSprite, (bits & kWindowEffects) ? mode : kEffectNone, v);
    });
}

void put_sprite_line(Machine& m, int s, bool behind) {
    if (behind)
        put_sprite_row<true>(m, m.SpriteAttributes[s]);
    else
        put_sprite_row<false>(m, m.SpriteAttributes[s]);
}

void draw_sprite_window_line(Machine& m, int s) {
    VideoState& v = m.video;
    uint8_t* area = v.Line.WindowBits;
    const uint8_t bits = uint8_t(v.WinSprite.Bits);
    draw_sprite(m, m.SpriteAttributes[s], v.VCOUNT,
                [area, bits](uint32_t x, uint32_t) { area[x] = bits; });
}
