// The processor: state, resets, the run loop, the two interpreters and the firmware calls.
#pragma once

#include <cstdint>

struct Machine;

// The emulated ARM7TDMI. There are no processor modes, no banked registers and no packed status
// register: each flag lives in its own word holding 0 or 1.
struct CpuState {
    // R[15] holds the executing instruction's address + 8 (ARM) or + 4 (THUMB).
    uint32_t R[16] = {};
    uint32_t FlagN = 0, FlagZ = 0, FlagC = 0, FlagV = 0;
    uint32_t ThumbState = 0;   // 0 ARM, 1 THUMB
    uint32_t InInterrupt = 0;  // 1 while an interrupt handler runs
    uint32_t SavedRegisters[16] = {};
    uint32_t SavedFlags[5] = {};  // N, Z, C, V, ThumbState
    uint32_t InstructionCount = 0;
    uint32_t SliceCount = 0;
    uint32_t QuitFlag = 0;
    uint32_t DebugStop = 0;
    uint32_t DebugPause = 0;
    uint32_t RunToAddress = 0xFFFFFFFF;
};

// Index of each flag inside SavedFlags.
enum SavedFlag { kSavedN = 0, kSavedZ = 1, kSavedC = 2, kSavedV = 3, kSavedThumb = 4 };

inline constexpr uint32_t kCartridgeEntry = 0x08000000;
inline constexpr uint32_t kInterruptVectorOffset = 0x7FFC;  // in IWRAM
inline constexpr uint32_t kInterruptReturnAddress = 0xFFFFFFF8;
inline constexpr uint32_t kInstructionsPerSlice = 192;

void cpu_reset(Machine& m, uint32_t start);
void interrupt_registers_reset(Machine& m);

// Runs one slice of at most 192 instructions (fewer when the debugger, an error or a stop
// instruction ends it).
void cpu_run(Machine& m);

// What an instruction tells the run loop when it is done.
enum Flow : uint32_t {
    // R15 is untouched: the run loop moves it on to the next instruction. Most instructions.
    kNext = 0,
    // The instruction set R15 itself (a branch, a load into R15): the run loop reads it back.
    kJumped = 1,
    // The run loop must look at the machine before the next instruction: the instruction stopped
    // it (a fatal error or a stop instruction: QuitFlag is set and the slice ends at once) or
    // switched the processor's state (BX). R15 is as the instruction left it.
    kLook = 2,
};

// Execute one fetched instruction, leaving R15 on the next one. Both return false when the run
// loop must look at the machine before the next instruction (kLook), true otherwise.
bool thumb_execute(Machine& m, uint32_t opcode);
bool arm_execute(Machine& m, uint32_t opcode);

// A THUMB SWI: carries out the firmware function in bits 7..0 of the instruction.
void bios_call(Machine& m, uint32_t instruction);
