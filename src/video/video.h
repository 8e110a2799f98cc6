// The decoded display state, the line-pixel format, the scanline driver and pixel building.
#pragma once

#include <cstdint>

#include "memory/oam.h"
#include "memory/regions.h"

struct Machine;

// Line pixel: red bits 0-7, green 8-15, blue 16-23 (each the console's 5-bit value << 3),
// then a flags byte naming the layer that wrote it.
inline constexpr uint32_t kFlagBg0 = 0x01000000;  // background n: kFlagBg0 << n
inline constexpr uint32_t kFlagSprite = 0x10000000;
inline constexpr uint32_t kFlagBackdrop = 0x20000000;
inline constexpr uint32_t kFlagTransparent = 0x40000000;
inline constexpr uint32_t kColourMask = 0x00FFFFFF;

inline constexpr int kScreenWidth = 240;
inline constexpr int kScreenHeight = 160;
inline constexpr int kLinesPerFrame = 228;
inline constexpr int kLayerLineLength = 280;
// The composed line and its slack: a text background or a sprite drawn straight into it may end
// with a tile row that runs up to 8 columns past the screen.
inline constexpr int kComposedLineLength = kScreenWidth + 8;
inline constexpr int kSurfaceWidth = 256;  // the back surface; columns 240-255 are never shown

struct BackgroundState {
    uint32_t Enabled = 0;
    uint32_t Priority = 0;
    uint32_t CharBase = 0;    // offset in VRAM
    uint32_t ScreenBase = 0;  // offset in VRAM
    uint32_t Mosaic = 0;
    uint32_t Colours256 = 0;
    uint32_t Wraparound = 0;
    uint32_t ScreenSize = 0;
    uint32_t RawLow = 0, RawHigh = 0;
    uint32_t HOffset = 0, VOffset = 0;  // 9 bits each
    int32_t PA = 0, PB = 0, PC = 0, PD = 0;
    int32_t LatchedX = 0, LatchedY = 0;
    int32_t InternalReferenceX = 0, InternalReferenceY = 0;
};

// The five layer enables (bits 0-4: BG0-BG3, sprites) and the effect enable (bit 5) of one window
// area.
struct WindowArea {
    uint32_t Bits = 0;
};

// Worked out by the scanline driver once per drawn line and read by the renderers while they
// compose it: the window area of every column, the effect strengths and the sprites that meet
// the line.
struct LineState {
    uint32_t Windowed = 0;  // window masks apply on this line (modes 0-2, some window enabled)
    uint8_t WindowBits[kScreenWidth] = {};  // per column: the enables of its window area
    uint32_t EVA = 0, EVB = 0, EVY = 0;     // the blend and fade strengths, at most 16
    // These colour tables are worked out from the colour cache again only after it has changed.
    // The background colours of the colour cache as 16-colour tiles see them: entry 0 of every
    // bank of 16 is the transparent entry 0.
    uint32_t TextColours16[256] = {};
    // The same colours cut into byte planes, for looking up eight pixels at once: byte k of
    // entry i of bank b is TextPlanes16[b][k][i].
    alignas(16) uint8_t TextPlanes16[16][4][16] = {};
    // The sprite colours with the sprite flag already set, the transparent flag alone standing
    // for transparent: indexed by a 256-colour sprite's byte, or by bank times 16 plus a
    // 16-colour sprite's nibble.
    uint32_t SpriteInks[256] = {};
    uint32_t SpriteInks16[256] = {};
    // SpriteInks16 cut into byte planes, as TextPlanes16.
    alignas(16) uint8_t SpritePlanes16[16][4][16] = {};
    // Sprites that meet the line, sprite 127 first: lists 0 to 3 by priority, list 4 the sprites
    // of the window mode. Each list lies in the sprite line table or, when OAM has changed since
    // the table was made, in OwnSprites.
    static constexpr uint32_t kSpriteLists = 5;
    static constexpr uint32_t kWindowSpriteList = 4;
    uint32_t SpriteCount[kSpriteLists] = {};
    const uint8_t* Sprites[kSpriteLists] = {};
    uint8_t OwnSprites[kSpriteLists][128] = {};
};

// Which sprites meet each visible line, worked out at once for the whole screen from OAM as it
// stood, and used for as long as OAM stays the same: cartridges mostly rewrite OAM once a frame,
// in V-blank. One rebuild is allowed per frame; lines after a later OAM change look at all 128
// sprites themselves.
struct SpriteLineTable {
    uint8_t Oam[kOamSize] = {};  // the OAM the table was built from
    uint32_t Valid = 0;
    // Set by every OAM write: while it is clear OAM is the table's copy without comparing them.
    uint32_t OamWritten = 1;
    uint32_t MayRebuild = 1;                 // set again at the end of every frame
    uint16_t Start[kScreenHeight + 1] = {};  // line y's sprites: Start[y] to Start[y + 1]
    // Line y's sprites of lists 0 to l end at Start[y] + ListEnd[y][l].
    uint8_t ListEnd[kScreenHeight][LineState::kSpriteLists] = {};
    uint8_t Entries[kSpriteCount * kScreenHeight] = {};  // sprite numbers by list, 127 first
};

struct VideoState {
    // DISPCNT
    uint32_t BgMode = 0, FrameSelect = 0, HblankFree = 0, Sprite1D = 0, ForcedBlank = 0;
    uint32_t SpriteEnable = 0, Win0Enable = 0, Win1Enable = 0, SpriteWinEnable = 0;
    // DISPSTAT
    uint32_t DispStatBits = 0;  // bits 0-5 as written, stored only
    uint32_t VCountSetting = 0;
    uint32_t VCOUNT = 0;

    BackgroundState Bg[4];

    uint32_t Win0Left = 0, Win0Right = 0, Win0Top = 0, Win0Bottom = 0;
    uint32_t Win1Left = 0, Win1Right = 0, Win1Top = 0, Win1Bottom = 0;
    WindowArea WinIn0, WinIn1, WinOut, WinSprite;

    uint32_t BgMosaicH = 0, BgMosaicV = 0, SpriteMosaicH = 0, SpriteMosaicV = 0;

    uint32_t FirstTarget = 0;   // BLDCNT bits 0-5
    uint32_t Effect = 0;        // 0 none, 1 alpha, 2 brighten, 3 darken
    uint32_t SecondTarget = 0;  // BLDCNT bits 8-13 moved to bits 24-29
    uint32_t EVA = 0, EVB = 0, EVY = 0;

    uint32_t BackdropColour = 0;
    uint32_t FrameCounter = 0;

    uint32_t LayerLine[4][kLayerLineLength] = {};
    uint32_t ComposedLine[kComposedLineLength] = {};
    LineState Line;
    SpriteLineTable SpriteLines;
};

// The back surface that the host owns: 256x160 pixels in the host's pixel format.
struct Surface {
    uint8_t* Pixels = nullptr;  // null: no display, the scanline driver does nothing
    int32_t Pitch = 0;
    uint32_t BytesPerPixel = 4;
    uint32_t RedLeft = 0, RedRight = 0, GreenLeft = 0, GreenRight = 0, BlueLeft = 0, BlueRight = 0;
};

// Fills the left and right shift of one channel mask. Returns false for a mask that is zero, not
// contiguous or wider than 8 bits.
bool mask_shifts(uint32_t mask, uint32_t& left, uint32_t& right);

// Attaches a back surface given its memory, pitch, bytes per pixel and channel masks.
bool display_attach(Machine& m, uint8_t* pixels, int32_t pitch, uint32_t bytes_per_pixel,
                    uint32_t red_mask, uint32_t green_mask, uint32_t blue_mask);

void video_reset(Machine& m);
void scanline_step(Machine& m);
