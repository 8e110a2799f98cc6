// All emulated state in one object: every test builds a fresh machine, and two machines can run
// side by side.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "cpu/cpu.h"
#include "cpu/idle_loop.h"
#include "debugger/debugger.h"
#include "debugger/gdb_stub.h"
#include "frontend/host.h"
#include "frontend/settings.h"
#include "memory/dma.h"
#include "memory/oam.h"
#include "memory/regions.h"
#include "memory/save_file.h"
#include "video/video.h"

struct Timer {
    uint16_t TimerCounter = 0;
    uint32_t TimerEnabled = 0;       // 0 or 0x80
    uint32_t TimerPrescaleMask = 0;  // 0, 0xF, 0x3F or 0x3FF
    uint32_t TimerIrqEnable = 0;     // read-back only: 0 or 0x40
    uint32_t TimerCountUp = 0;       // read-back only: 0 or 4
    uint32_t TimerPrescaler = 0;     // read-back only: 0 to 3
};

struct Machine {
    explicit Machine(Host& h) : host(&h) {}
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    Host* host;
    Settings settings;

    CpuState cpu;
    uint16_t IE = 0, IF = 0, IME = 0;
    Timer timers[4];
    uint32_t TimersRunning = 0;  // bit n set while timer n is enabled: one test skips idle timers
    // The smallest prescaler mask of the running timers. The masks (0, 0xF, 0x3F, 0x3FF) nest, so
    // no timer can tick at an instruction count that has any of these bits set.
    uint32_t TimerTickMask = 0;
    // Set by whatever may start a timer, raise an interrupt request or stop the machine while the
    // processor runs (and at the start of every slice): the run loop then looks at the machine
    // before the next instruction, and clears it when there is nothing to do.
    uint32_t EventsPending = 1;

    DmaChannel dma[4];
    uint32_t DmaNesting = 0;     // transfers running inside one another right now
    uint32_t DmaChainUnits = 0;  // units moved since the outermost running transfer began

    // Memory regions, each with zeroed slack behind it.
    uint8_t Ewram[kEwramSize + kSlack] = {};
    uint8_t Iwram[kIwramSize + kSlack] = {};
    uint8_t Palette[kPaletteSize + kSlack] = {};
    uint8_t Vram[kVramSize + kSlack] = {};
    uint8_t Oam[kOamSize + kSlack] = {};
    uint8_t SaveWindow[kSaveWindowSize + kSlack] = {};
    uint8_t Sram[kSramSize + kSlack] = {};
    uint8_t IoBytes[kIoSize] = {};
    uint32_t ColourCache[512] = {};
    uint32_t ColourCacheChanged = 1;  // set by every colour cache write, cleared by the renderer

    uint16_t KEYINPUT = 0xFFFF, KEYCNT = 0xFFFF;

    SpriteAttribute SpriteAttributes[kSpriteCount];
    SpriteAffineGroup SpriteAffine[kAffineGroupCount];

    VideoState video;
    Surface surface;

    // The cartridge: RomSize bytes of image followed by kSlack zero bytes.
    std::unique_ptr<uint8_t[]> RomImage;
    uint32_t RomSize = 0;
    std::string SaveFileName;  // empty until a ROM has been loaded
    SaveFileStatus SaveFile;

    uint32_t BiosWarningsEnabled = 1;
    uint32_t IoWarningsEnabled = 1;
    uint32_t IoQuestionsAsked = 0;  // I/O read warnings asked so far: reads with an effect

    DebuggerState debugger;
    GdbStops gdb;

    // The processor's fetch window: a plain-memory region that holds the code being run, so that
    // most fetches are one subtraction, one test and one load. Refilled on a miss.
    const uint8_t* FetchBase = nullptr;
    uint32_t FetchStart = 0;
    uint32_t FetchSize = 0;

    // The shortcuts that give the same results as the plain way: skipping the repetitions of a
    // waiting loop, and drawing lines without windows front to back, straight into the composed
    // line, with the colour tables worked out only after palette writes. A debug switch: 0 takes
    // the plain way everywhere, so that tests can compare the two.
    uint32_t FastPaths = 1;
    IdleLoopCache IdleLoops;
};
