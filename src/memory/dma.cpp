#include "memory/dma.h"

#include "machine.h"
#include "memory/bus.h"
#include "memory/io.h"

namespace {

// Fields of a channel's 32-bit control word (DMAnCNT_L in the low half, DMAnCNT_H in the high).
constexpr uint32_t kCountMask = 0xFFFF;
constexpr uint32_t kDestModeShift = 21;
constexpr uint32_t kSourceModeShift = 23;
constexpr uint32_t kRepeat = 1u << 25;
constexpr uint32_t kWordUnits = 1u << 26;
constexpr uint32_t kTimingShift = 28;
constexpr uint32_t kIrqAtEnd = 1u << 30;
constexpr uint32_t kEnable = 1u << 31;

constexpr uint32_t kTimingNow = 0;
constexpr uint32_t kTimingVblank = 1;
constexpr uint32_t kTimingHblank = 2;

// Destination mode 3 increments during the transfer but leaves DmaDest where it was, so a
// repeating channel writes the same block on every run.
constexpr uint32_t kDestIncrementKeep = 3;

// Address step per unit for each two-bit mode, as a multiple of the unit size: increment,
// decrement, fixed, and a fourth mode (fixed for the source, increment-and-keep for the
// destination).
constexpr int32_t kSourceStep[4] = {1, -1, 0, 0};
constexpr int32_t kDestStep[4] = {1, -1, 0, 1};

// For gdb's read and access watchpoints: the bytes from the first unit that a transfer moves to
// the last.
void note_units(Machine& m, uint32_t first, uint32_t step, uint32_t count, uint32_t unit,
                bool write) {
    const uint32_t last = first + (count - 1) * step;
    const bool down = int32_t(step) < 0;
    gdb_note_access(m, down ? last : first, (down ? first - last : last - first) + unit, write);
}

}  // namespace

void dma_start(Machine& m, uint32_t channel) {
    DmaChannel& ch = m.dma[channel];
    if (!(ch.DmaControl & kEnable)) {
        ch.VblankPending = 0;
        ch.HblankPending = 0;
        return;
    }
    switch ((ch.DmaControl >> kTimingShift) & 3) {
        case kTimingNow:
            // A transfer that stores into a DMA control register starts the next transfer from
            // inside its own loop, and that one can do the same: the console has no such
            // recursion, but the emulator's immediate transfers would nest on the host's stack.
            // Once kMaxDmaNesting transfers are running inside one another, a further immediate
            // start is dropped (nothing is copied, nothing is armed), so a cartridge that chains
            // DMA through its own control registers cannot overflow the stack. Nested starts
            // also stop once the chain has moved kMaxDmaChainUnits units, so that it cannot keep
            // the program busy for ever either.
            if (m.DmaNesting >= kMaxDmaNesting) return;
            if (m.DmaNesting > 0 && m.DmaChainUnits >= kMaxDmaChainUnits) return;
            dma_transfer(m, channel);
            return;
        case kTimingVblank: ch.VblankPending = 1; return;
        case kTimingHblank: ch.HblankPending = 1; return;
        default: return;  // sound FIFO and video capture timing are not emulated
    }
}

void dma_transfer(Machine& m, uint32_t channel) {
    DmaChannel& ch = m.dma[channel];
    // The transfer is defined by the registers as they stand now; units it writes into this
    // channel's own registers do not change its count, steps or addresses.
    const uint32_t control = ch.DmaControl;
    const uint32_t count = control & kCountMask;
    const bool words = (control & kWordUnits) != 0;
    const uint32_t unit = words ? 4 : 2;
    const uint32_t dest_mode = (control >> kDestModeShift) & 3;
    const uint32_t source_step = uint32_t(kSourceStep[(control >> kSourceModeShift) & 3]) * unit;
    const uint32_t dest_step = uint32_t(kDestStep[dest_mode]) * unit;

    // The source is aligned to the unit; the destination is used as stored.
    uint32_t source = ch.DmaSource & ~(unit - 1);
    uint32_t dest = ch.DmaDest;

    if (m.gdb.Watching && count != 0) [[unlikely]] {
        note_units(m, source, source_step, count, unit, false);
        note_units(m, dest, dest_step, count, unit, true);
    }
    if (m.DmaNesting == 0) m.DmaChainUnits = 0;
    m.DmaChainUnits += count;
    ++m.DmaNesting;
    if (words) {
        for (uint32_t i = 0; i < count; ++i) {
            write32(m, dest, read32(m, source));
            source += source_step;
            dest += dest_step;
        }
    } else {
        for (uint32_t i = 0; i < count; ++i) {
            write16(m, dest, read16(m, source));
            source += source_step;
            dest += dest_step;
        }
    }
    --m.DmaNesting;

    ch.DmaSource = source;
    if (dest_mode != kDestIncrementKeep) ch.DmaDest = dest;

    const uint16_t irq = uint16_t(kIrqDma0 << channel);
    if (m.IME && (control & kIrqAtEnd) && (m.IE & irq)) {
        m.IF |= irq;
        m.EventsPending = 1;
    }
    // The enable bit stays set: writing the same control half again runs or arms the channel
    // again.
}

void dma_run_vblank(Machine& m) {
    for (uint32_t n = 0; n < 4; ++n) {
        DmaChannel& ch = m.dma[n];
        if (!ch.VblankPending) continue;
        dma_transfer(m, n);
        if (!(ch.DmaControl & kRepeat)) ch.VblankPending = 0;
    }
}

void dma_run_hblank(Machine& m) {
    for (uint32_t n = 0; n < 4; ++n) {
        DmaChannel& ch = m.dma[n];
        if (!ch.HblankPending) continue;
        dma_transfer(m, n);
        if (!(ch.DmaControl & kRepeat)) ch.HblankPending = 0;
    }
}
