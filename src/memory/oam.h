// Object attribute memory and the decoded sprite table.
#pragma once

#include <cstdint>

struct Machine;

struct SpriteAttribute {
    uint32_t Y = 0, RotScale = 0, DoubleSizeOrHidden = 0, Mode = 0, Mosaic = 0, Colours256 = 0,
             Shape = 0;
    uint32_t X = 0, AffineGroup = 0, HFlip = 0, VFlip = 0, Size = 0;
    uint32_t WidthMinus1 = 0, HeightMinus1 = 0, WidthShift = 0;
    uint32_t Tile = 0, TileAddress = 0, Priority = 0, Palette = 0;
};

struct SpriteAffineGroup {
    int32_t PA = 0, PB = 0, PC = 0, PD = 0;
};

inline constexpr uint32_t kSpriteCount = 128;
inline constexpr uint32_t kAffineGroupCount = 32;

uint32_t oam_read8(Machine& m, uint32_t offset);
uint32_t oam_read16(Machine& m, uint32_t offset);
uint32_t oam_read32(Machine& m, uint32_t offset);
void oam_write8(Machine& m, uint32_t offset, uint32_t value);
void oam_write16(Machine& m, uint32_t offset, uint32_t value);
void oam_write32(Machine& m, uint32_t offset, uint32_t value);
void oam_reset(Machine& m);
