// The disassembler behind the debugger's listing: one terse line of text per instruction.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct Machine;

// The text of the instruction whose R15-convention address (its own address + 4 in THUMB state,
// + 8 in ARM state) is `address`, at most 199 characters. Every THUMB halfword has a text; the ARM
// instructions whose bits 24-27 hold 4 or more (single and block transfers, branches, coprocessor
// instructions, SWI) have none, and the listing then repeats the opcode's hexadecimal text. Reads
// the instruction (and, for the THUMB BL pair and PC-relative load, the second half or the literal)
// through the bus.
std::optional<std::string> disassemble(Machine& m, uint32_t address, bool thumb);
