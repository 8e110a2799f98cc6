// The four DMA channels.
#pragma once

#include <cstdint>

struct Machine;

struct DmaChannel {
    uint32_t DmaSource = 0;
    uint32_t DmaDest = 0;
    uint32_t DmaControl = 0;  // low half: unit count; high half: control
    uint32_t VblankPending = 0;
    uint32_t HblankPending = 0;
};

// A transfer that writes a DMA control register starts the other transfer inside itself. Starts
// nested deeper than this are dropped, so a cartridge cannot recurse the program to death.
inline constexpr uint32_t kMaxDmaNesting = 8;
// Nested starts are also dropped once the transfers started inside one outermost transfer have
// moved this many units in all: a transfer that restarts itself at every unit would otherwise
// multiply its count at each level and keep the program busy for hours.
inline constexpr uint32_t kMaxDmaChainUnits = 1u << 20;

void dma_start(Machine& m, uint32_t channel);
void dma_transfer(Machine& m, uint32_t channel);
void dma_run_vblank(Machine& m);
void dma_run_hblank(Machine& m);
