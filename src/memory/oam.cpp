#include "memory/oam.h"

#include <cstring>

#include "machine.h"

namespace {

// The console's sprite sizes, indexed by Shape * 4 + Size. Shape 3 is not a valid shape and
// gives a 1 by 1 sprite.
constexpr uint8_t kWidthMinus1[16] = {7, 15, 31, 63, 15, 31, 31, 63, 7, 7, 15, 31, 0, 0, 0, 0};
constexpr uint8_t kHeightMinus1[16] = {7, 15, 31, 63, 7, 7, 15, 31, 15, 31, 31, 63, 0, 0, 0, 0};
constexpr uint8_t kWidthShift[16] = {0, 1, 2, 3, 1, 2, 2, 3, 0, 0, 1, 2, 0, 0, 0, 0};

// The fourth halfword of sprite s is PA, PB, PC or PD of group s / 4, by s % 4.
constexpr int32_t SpriteAffineGroup::*kAffineField[4] = {
    &SpriteAffineGroup::PA, &SpriteAffineGroup::PB, &SpriteAffineGroup::PC, &SpriteAffineGroup::PD};

// Sprite tiles start 64 KB into VRAM; a tile number counts 32-byte units.
constexpr uint32_t kSpriteTileBase = 0x10000;

inline void look_up_size(SpriteAttribute& s) {
    uint32_t index = (s.Shape << 2) | s.Size;
    s.WidthMinus1 = kWidthMinus1[index];
    s.HeightMinus1 = kHeightMinus1[index];
    s.WidthShift = kWidthShift[index];
}

inline void set_tile(SpriteAttribute& s, uint32_t tile) {
    s.Tile = tile;
    s.TileAddress = kSpriteTileBase + tile * 32;
}

inline int32_t& affine_value(Machine& m, uint32_t offset) {
    return m.SpriteAffine[offset >> 5].*kAffineField[(offset >> 3) & 3];
}

inline int32_t sign_extend16(uint32_t value) {
    return int32_t(int16_t(uint16_t(value)));
}

}  // namespace

uint32_t oam_read8(Machine& m, uint32_t offset) {
    return m.Oam[offset];
}
uint32_t oam_read16(Machine& m, uint32_t offset) {
    return m.Oam[offset] | (m.Oam[offset + 1] << 8);
}
uint32_t oam_read32(Machine& m, uint32_t offset) {
    return oam_read16(m, offset) | (oam_read16(m, offset + 2) << 16);
}

void oam_write16(Machine& m, uint32_t offset, uint32_t value) {
    offset &= ~1u;  // the console's OAM takes halfwords only at even addresses
    const uint32_t v = value & 0xFFFF;
    m.Oam[offset] = uint8_t(v);
    m.video.SpriteLines.OamWritten = 1;
    m.Oam[offset + 1] = uint8_t(v >> 8);
    SpriteAttribute& s = m.SpriteAttributes[offset >> 3];
    switch ((offset >> 1) & 3) {
        case 0:
            s.Y = v & 0xFF;
            s.RotScale = v & 0x100;
            s.DoubleSizeOrHidden = v & 0x200;
            s.Mode = (v >> 10) & 3;
            s.Mosaic = v & 0x1000;
            s.Colours256 = v & 0x2000;
            s.Shape = v >> 14;
            look_up_size(s);
            break;
        case 1:
            s.X = v & 0x1FF;
            s.AffineGroup = (v >> 9) & 0x1F;
            s.HFlip = v & 0x1000;
            s.VFlip = v & 0x2000;
            s.Size = v >> 14;
            look_up_size(s);
            break;
        case 2:
            set_tile(s, v & 0x3FF);
            s.Priority = (v >> 10) & 3;
            s.Palette = v >> 12;
            break;
        case 3: affine_value(m, offset) = sign_extend16(v); break;
    }
}

void oam_write8(Machine& m, uint32_t offset, uint32_t value) {
    const uint32_t b = value & 0xFF;
    m.Oam[offset] = uint8_t(b);
    m.video.SpriteLines.OamWritten = 1;
    SpriteAttribute& s = m.SpriteAttributes[offset >> 3];
    switch (offset & 7) {
        case 0: s.Y = b; break;
        case 1:
            s.RotScale = b & 0x01;
            s.DoubleSizeOrHidden = b & 0x02;
            s.Mode = (b >> 2) & 3;
            s.Mosaic = b & 0x10;
            s.Colours256 = b & 0x20;
            s.Shape = b >> 6;
            look_up_size(s);
            break;
        case 2: s.X = (s.X & 0x100) | b; break;
        case 3:
            s.X = (s.X & 0xFF) | ((b & 1) << 8);
            s.AffineGroup = (b >> 1) & 0x1F;
            s.HFlip = b & 0x10;
            s.VFlip = b & 0x20;
            s.Size = b >> 6;
            look_up_size(s);
            break;
        case 4: set_tile(s, (s.Tile & 0x300) | b); break;
        case 5:
            set_tile(s, (s.Tile & 0xFF) | ((b & 3) << 8));
            s.Priority = (b >> 2) & 3;
            s.Palette = b >> 4;
            break;
        case 6: {
            // Only the low byte changes; the upper bits, sign extension included, stay.
            int32_t& p = affine_value(m, offset);
            p = int32_t((uint32_t(p) & ~0xFFu) | b);
            break;
        }
        case 7: {
            int32_t& p = affine_value(m, offset);
            p = sign_extend16((b << 8) | (uint32_t(p) & 0xFF));
            break;
        }
    }
}

void oam_write32(Machine& m, uint32_t offset, uint32_t value) {
    oam_write16(m, offset, value);
    // A word written into the last bytes of OAM loses the half that falls past its end (there is
    // no sprite 128 to decode it into).
    if (offset + 2 < kOamSize) oam_write16(m, offset + 2, value >> 16);
}

void oam_reset(Machine& m) {
    std::memset(m.Oam, 0, sizeof m.Oam);
    m.video.SpriteLines.OamWritten = 1;
    SpriteAttribute cleared;  // the decoding of an all-zero entry
    look_up_size(cleared);
    set_tile(cleared, 0);
    for (SpriteAttribute& s : m.SpriteAttributes) s = cleared;
    // The rotation/scaling groups keep their values until OAM is written again.
}
