// Waiting loops: short loops that only read and compare until an interrupt, a timer or the next
// scanline changes what they read. The run loop recognises them and skips their repetitions, with
// exactly the result of running them instruction by instruction.
#pragma once

#include <cstdint>

struct Machine;

inline constexpr uint32_t kIdleLoopMaxLength = 8;  // instructions, the closing branch included

// A loop of `Length` instructions from `Head` to a branch back to it, in one state.
struct IdleLoop {
    uint32_t Head = 0;
    uint32_t Length = 0;  // 0: no loop
    uint32_t Thumb = 0;
    // A lone unconditional branch to itself: it reads nothing and changes nothing but the counts,
    // so every pass is the same whatever the machine holds.
    uint32_t Forever = 0;
    uint32_t Code[kIdleLoopMaxLength] = {};  // the loop's instructions when it was recognised
};

// The verdict on each address a slice started at, so that a loop is recognised once.
struct IdleLoopCache {
    static constexpr uint32_t kEntries = 256;
    struct Entry {
        uint32_t Address = 0xFFFFFFFF;
        uint32_t Thumb = 0;
        IdleLoop Loop;
    };
    Entry Entries[kEntries];
    uint64_t SkippedInstructions = 0;  // how many instructions were skipped, for tests
};

// The waiting loop that the instruction at `address` belongs to, or null. A loop found is reused
// while its code is unchanged (changed code is looked at afresh); "no loop" is kept until the
// cache slot goes to another address or the processor is reset, which at worst leaves a loop
// run the plain way.
const IdleLoop* idle_loop_at(Machine& m, uint32_t address, uint32_t thumb);

// Whether the loop's instructions are still the ones it was recognised from.
bool idle_loop_unchanged(Machine& m, const IdleLoop& loop);
