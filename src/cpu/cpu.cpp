#include "cpu/cpu.h"

#include <cstring>
#include <type_traits>

#include "cpu/dispatch.h"
#include "debugger/debugger.h"
#include "machine.h"
#include "memory/bus.h"
#include "memory/io.h"

void cpu_reset(Machine& m, uint32_t start) {
    CpuState& c = m.cpu;
    std::memset(c.R, 0, sizeof c.R);
    c.DebugPause = 0;
    c.QuitFlag = 0;
    c.InstructionCount = 0;
    c.DebugStop = 0;
    c.FlagN = c.FlagZ = c.FlagC = c.FlagV = 0;
    c.ThumbState = 0;
    c.InInterrupt = 0;
    c.R[15] = start + 8;
    c.RunToAddress = 0xFFFFFFFF;
    for (IdleLoopCache::Entry& e : m.IdleLoops.Entries) e = {};  // a new cartridge may be loaded
}

void interrupt_registers_reset(Machine& m) {
    m.IME = 0;
    m.IF = 0;
    m.IE = 0;
}

namespace {

// A running timer advances by 2 each time the instruction count passes its prescaler, and raises
// its request when it wraps past 0xFFFF, if the interrupt is enabled at that very moment.
inline void tick_timers(Machine& m) {
    uint32_t count = m.cpu.InstructionCount;
    for (uint32_t n = 0; n < 4; ++n) {
        Timer& t = m.timers[n];
        if (!t.TimerEnabled || (count & t.TimerPrescaleMask) != 0) continue;
        uint16_t bit = uint16_t(kIrqTimer0 << n);
        if (m.IME && (m.IE & bit) && t.TimerCounter >= 0xFFFE) m.IF |= bit;
        t.TimerCounter = uint16_t(t.TimerCounter + 2);
    }
}

// The handler jumped to the magic return address: everything it did to the registers is undone.
inline void interrupt_return(CpuState& c) {
    c.ThumbState = c.SavedFlags[kSavedThumb];
    c.FlagN = c.SavedFlags[kSavedN];
    c.FlagZ = c.SavedFlags[kSavedZ];
    c.FlagC = c.SavedFlags[kSavedC];
    c.FlagV = c.SavedFlags[kSavedV];
    c.InInterrupt = 0;
    std::memcpy(c.R, c.SavedRegisters, sizeof c.R);
}

// There is no firmware: the handler whose address the cartridge stored at the end of IWRAM is
// entered directly, in ARM state, on the interrupted code's stack.
inline void interrupt_entry(Machine& m) {
    CpuState& c = m.cpu;
    c.SavedFlags[kSavedC] = c.FlagC;
    c.SavedFlags[kSavedThumb] = c.ThumbState;
    c.SavedFlags[kSavedN] = c.FlagN;
    c.SavedFlags[kSavedZ] = c.FlagZ;
    c.SavedFlags[kSavedV] = c.FlagV;
    c.InInterrupt = 1;
    std::memcpy(c.SavedRegisters, c.R, sizeof c.R);
    c.ThumbState = 0;
    uint32_t vector;
    std::memcpy(&vector, m.Iwram + kInterruptVectorOffset, 4);
    c.R[15] = vector + 8;
    c.R[14] = kInterruptReturnAddress;
}

}  // namespace

namespace {

// Points the fetch window at the plain-memory region holding `address`, or empties it when the
// address lies anywhere else (the bus then serves each fetch).
void fetch_window_fill(Machine& m, uint32_t address) {
    m.FetchBase = nullptr;
    m.FetchSize = 0;
    switch (address >> 24) {
        case 0x02:
            m.FetchBase = m.Ewram;
            m.FetchStart = 0x02000000;
            m.FetchSize = kEwramSize;
            break;
        case 0x03:
            m.FetchBase = m.Iwram;
            m.FetchStart = 0x03000000;
            m.FetchSize = kIwramSize;
            break;
        case 0x06:
            m.FetchBase = m.Vram;
            m.FetchStart = 0x06000000;
            m.FetchSize = kVramSize;
            break;
        case 0x08:
        case 0x09:
        case 0x0A:
        case 0x0B:
        case 0x0C:
        case 0x0D:
            if (!m.RomImage) break;
            m.FetchBase = m.RomImage.get();
            m.FetchStart = address & ~(kCartridgeWindow - 1);
            m.FetchSize = m.RomSize < kSaveWindowStart ? m.RomSize : kSaveWindowStart;
            break;
        default: break;
    }
}

template <typename T>
inline uint32_t fetch(Machine& m, uint32_t address) {
    uint32_t offset = address - m.FetchStart;
    if (offset < m.FetchSize) {
        T v;
        std::memcpy(&v, m.FetchBase + offset, sizeof v);
        return v;
    }
    fetch_window_fill(m, address);
    // Straight from the bus: a fetch is not a data access for gdb's watchpoints.
    return bus_detail::bus_read<T>(m, address);
}

// Everything that may happen between two instructions besides the fetch: the timers, the return
// from an interrupt handler and the entry into one. Afterwards the run loop comes back here only
// while there is something to do, or when something new may have started.
[[gnu::always_inline]] inline void between_instructions(Machine& m, uint32_t trace) {
    CpuState& c = m.cpu;
    if (m.TimersRunning && !(c.InstructionCount & m.TimerTickMask)) tick_timers(m);
    if (c.InInterrupt && c.R[15] == 0) interrupt_return(c);
    if (!trace && !c.InInterrupt && m.IME && m.IF) interrupt_entry(m);
    m.EventsPending = m.TimersRunning || c.InInterrupt || (m.IME && m.IF);
}

constexpr uint32_t kNone = 0xFFFFFFFF;

// What the run loop keeps while a slice runs around a waiting loop: the machine as it stood the
// last time the processor was at the loop's head.
struct IdleWatch {
    IdleLoop loop;
    uint32_t head_r15 = 0;
    uint32_t held = 0;     // a state is held
    uint32_t checked = 0;  // the loop's code was found unchanged, and nothing has run since
    uint32_t count = 0;
    // The held state, read only while `held` is set.
    uint32_t R[16];
    uint32_t flags[6];
    uint16_t counters[4];
    uint16_t requests;
    uint32_t questions;
};

void idle_watch_hold(const Machine& m, IdleWatch& w) {
    const CpuState& c = m.cpu;
    std::memcpy(w.R, c.R, sizeof w.R);
    w.flags[0] = c.FlagN, w.flags[1] = c.FlagZ, w.flags[2] = c.FlagC, w.flags[3] = c.FlagV;
    w.flags[4] = c.ThumbState, w.flags[5] = c.InInterrupt;
    for (int n = 0; n < 4; ++n) w.counters[n] = m.timers[n].TimerCounter;
    w.requests = m.IF;
    w.questions = m.IoQuestionsAsked;
    w.count = c.InstructionCount;
    w.held = 1;
}

bool idle_watch_same(const Machine& m, const IdleWatch& w) {
    const CpuState& c = m.cpu;
    const uint32_t flags[6] = {c.FlagN, c.FlagZ, c.FlagC, c.FlagV, c.ThumbState, c.InInterrupt};
    for (int n = 0; n < 4; ++n)
        if (w.counters[n] != m.timers[n].TimerCounter) return false;
    return std::memcmp(w.R, c.R, sizeof w.R) == 0 &&
           std::memcmp(w.flags, flags, sizeof flags) == 0 && w.requests == m.IF &&
           w.questions == m.IoQuestionsAsked;
}

// How many instructions may run from now before a running timer ticks: none of them changes a
// counter or a request.
uint32_t instructions_before_tick(const Machine& m, uint32_t limit) {
    if (!m.TimersRunning) return limit;
    for (const Timer& t : m.timers) {
        if (!t.TimerEnabled) continue;
        // The next instruction counts InstructionCount + 1; the tick comes at the next multiple
        // of the prescaler.
        const uint32_t free = t.TimerPrescaleMask - (m.cpu.InstructionCount & t.TimerPrescaleMask);
        if (free < limit) limit = free;
    }
    return limit;
}

// Skips the passes of a waiting loop that would repeat the last one exactly; called with the
// processor at the loop's head, it returns how many instructions it skipped.
//
// Why this is exact: the last pass began here and came back after exactly the loop's length of
// instructions (so no interrupt ran in between), with every register and flag, the timers, the
// requests and the warnings asked as they were. The loop's code is unchanged and stores nothing,
// so memory is as it was too. Its next pass therefore starts from the same machine and does the
// same, and so does every pass after it until something outside the loop acts: a timer tick (the
// skip stops before the next one), an interrupt (none can start without a tick or a write), the
// end of the slice (whole passes only) or a stop (this loop runs only when none can be due).
// Only the two counts move.
uint32_t idle_passes_skip(Machine& m, IdleWatch& w, uint32_t slice) {
    CpuState& c = m.cpu;
    uint32_t skipped = 0;
    const bool interrupt_next = m.IME && m.IF && !c.InInterrupt;
    const bool checked = w.checked;
    w.checked = 0;
    if (w.loop.Forever && !interrupt_next && (checked || idle_loop_unchanged(m, w.loop))) {
        // A lone branch to itself: no pass needs watching, every one is the same. The skip stops
        // before the next timer tick, and no interrupt is about to start.
        skipped = instructions_before_tick(m, kInstructionsPerSlice - slice);
        c.InstructionCount += skipped;
        m.IdleLoops.SkippedInstructions += skipped;
        return skipped;
    }
    if (w.held && c.InstructionCount - w.count == w.loop.Length && !interrupt_next &&
        idle_watch_same(m, w)) {
        const uint32_t room = instructions_before_tick(m, kInstructionsPerSlice - slice);
        skipped = room / w.loop.Length * w.loop.Length;
        c.InstructionCount += skipped;
        m.IdleLoops.SkippedInstructions += skipped;
        // The machine is the held one but for the count, and the loop's code is as it was:
        // this pass only read it, and the skip ran nothing.
        w.count = c.InstructionCount;
        return skipped;
    }
    if (idle_loop_unchanged(m, w.loop))
        idle_watch_hold(m, w);
    else
        w.held = 0;
    return skipped;
}

// Runs one instruction in whichever state the processor is in, leaving R15 on the next one.
Flow step_here(Machine& m) {
    CpuState& c = m.cpu;
    if (c.ThumbState) return step_and_advance<true>(m, fetch<uint16_t>(m, c.R[15] - 4));
    return step_and_advance<false>(m, fetch<uint32_t>(m, c.R[15] - 8));
}

// One slice while a stop can be due: the debugger's stop, its breakpoint, count or run-to
// address, or anything of gdb's. The stop check runs before every instruction.
void run_armed_slice(Machine& m) {
    CpuState& c = m.cpu;
    const uint32_t breakpoint = m.settings.Breakpoint;
    const uint32_t count_break = m.settings.CountBreak;
    uint32_t slice = 0;
    for (;;) {
        uint32_t trace = 0;
        uint32_t next = c.R[15] - (c.ThumbState ? 4 : 8);
        // The settings' "none" (all ones) never stops, also when the count wraps to it.
        if (c.DebugStop || c.R[15] == c.RunToAddress ||
            (next == breakpoint && breakpoint != kNone) ||
            (c.InstructionCount == count_break && count_break != kNone) ||
            (m.gdb.Armed && gdb_stop_due(m, next))) {
            c.DebugStop = 1;
            debugger_hook(m);
            trace = c.DebugStop;
        }
        if (c.QuitFlag || c.DebugPause) break;
        ++c.InstructionCount;
        c.DebugPause = trace;

        if (m.EventsPending) [[unlikely]]
            between_instructions(m, trace);
        if (m.gdb.Watching) gdb_note_instruction(m);  // gdb's read and access watchpoints

        if (step_here(m) == kLook && c.QuitFlag) break;
        if (++slice >= kInstructionsPerSlice) break;
    }
    c.SliceCount = slice;
}

// What the plain run loop's pieces return: the slice's count so far, with this bit set when the
// slice is over.
constexpr uint32_t kSliceOver = 0x80000000;

inline uint32_t one_more(uint32_t slice) {
    ++slice;
    return slice < kInstructionsPerSlice ? slice : slice | kSliceOver;
}

// Runs one instruction in whichever state the processor is in.
uint32_t run_one(Machine& m, uint32_t slice) {
    if (step_here(m) == kLook && m.cpu.QuitFlag) return slice | kSliceOver;
    return one_more(slice);
}

// Runs the slice's instructions for as long as the processor stays in one state (Thumb), with no
// stop check: nothing can be due in this slice. The state is looked at only where it can change:
// after an instruction that says so (BX) and after an interrupt's entry or return. `Idle`: the
// slice started in a waiting loop, whose repetitions are skipped.
//
// R15 and the fetch window live in registers here. R15 is written to the machine before every
// instruction, for the handler and for whatever looks at the machine, and read back only when
// something else may have set it: a handler that says so, or the step between instructions. So
// on the common path the next fetch does not wait for the last instruction's store.
template <bool Thumb, bool Idle>
uint32_t run_in_state(Machine& m, uint32_t slice, IdleWatch* watch) {
    using Word = std::conditional_t<Thumb, uint16_t, uint32_t>;
    constexpr uint32_t kSize = sizeof(Word), kAhead = 2 * sizeof(Word);
    CpuState& c = m.cpu;
    uint32_t pc = c.R[15];
    const uint8_t* fetch_base = m.FetchBase;
    uint32_t window_from = m.FetchStart + kAhead, fetch_size = m.FetchSize;
    // Skips the repetitions of the waiting loop when the processor is at its head; true when
    // that ends the slice.
    auto at_loop_head = [&]() {
        if constexpr (Idle) {
            if (pc == watch->head_r15 && Thumb == bool(watch->loop.Thumb)) [[unlikely]] {
                slice += idle_passes_skip(m, *watch, slice);
                return slice >= kInstructionsPerSlice;
            }
        }
        return false;
    };
    for (;;) {
        c.R[15] = pc;
        // The common path runs straight down, without a taken branch until the handler's call:
        // the processor takes only so many branches per cycle.
        if (m.EventsPending) [[unlikely]] {
            // Whatever stops the machine while it runs also sets EventsPending.
            if (c.QuitFlag) return slice | kSliceOver;
            if (at_loop_head()) return slice | kSliceOver;
            ++c.InstructionCount;
            between_instructions(m, 0);
            if (bool(c.ThumbState) != Thumb) return run_one(m, slice);
            pc = c.R[15];
        } else {
            if (at_loop_head()) return slice | kSliceOver;
            ++c.InstructionCount;
        }
        Word opcode;
        const uint32_t offset = pc - window_from;
        if (offset < fetch_size) [[likely]] {
            std::memcpy(&opcode, fetch_base + offset, sizeof opcode);
        } else {
            opcode = Word(fetch<Word>(m, pc - kAhead));
            fetch_base = m.FetchBase;
            window_from = m.FetchStart + kAhead;
            fetch_size = m.FetchSize;
        }
        const Flow flow = Thumb ? thumb_step(m, opcode) : arm_step(m, opcode);
        if (flow == kNext) [[likely]] {
            pc += kSize;
        } else {
            pc = c.R[15];
            if (flow == kLook) {
                if (c.QuitFlag) return slice | kSliceOver;
                return one_more(slice);  // the state changed
            }
        }
        if (++slice >= kInstructionsPerSlice) [[unlikely]] {
            c.R[15] = pc;
            return slice | kSliceOver;
        }
    }
}

// Out of line and on a cache line of its own: the run loop's speed depends on where its branches
// fall, which should not move whenever code elsewhere changes size.
template <bool Idle>
[[gnu::noinline, gnu::aligned(64)]] void run_plain_slice(Machine& m, IdleWatch* watch = nullptr) {
    uint32_t slice = 0;
    do {
        slice = m.cpu.ThumbState ? run_in_state<true, Idle>(m, slice, watch)
                                 : run_in_state<false, Idle>(m, slice, watch);
    } while (!(slice & kSliceOver));
    m.cpu.SliceCount = slice & ~kSliceOver;
}

// A timer that ticks at every instruction leaves no pass to skip.
bool timer_ticks_every_instruction(const Machine& m) {
    if (!m.TimersRunning) return false;
    for (const Timer& t : m.timers)
        if (t.TimerEnabled && t.TimerPrescaleMask == 0) return true;
    return false;
}

}  // namespace

void cpu_run(Machine& m) {
    CpuState& c = m.cpu;
    // The ROM may have been replaced since the last slice, and the scanline step may have raised
    // requests: the fetch window starts empty and timers and interrupts are looked at first.
    m.FetchSize = 0;
    m.EventsPending = 1;
    bool armed = c.DebugStop || c.DebugPause || c.RunToAddress != kNone ||
                 m.settings.Breakpoint != kNone || m.settings.CountBreak != kNone || m.gdb.Armed;
    if (armed) {
        run_armed_slice(m);
        return;
    }
    if (m.FastPaths && !timer_ticks_every_instruction(m)) {
        if (const IdleLoop* loop =
                idle_loop_at(m, c.R[15] - (c.ThumbState ? 4 : 8), c.ThumbState)) {
            IdleWatch watch;
            watch.loop = *loop;
            watch.head_r15 = watch.loop.Head + (watch.loop.Thumb ? 4 : 8);
            watch.checked = c.R[15] == watch.head_r15;  // idle_loop_at has just looked
            run_plain_slice<true>(m, &watch);
            return;
        }
    }
    run_plain_slice<false>(m);
}
