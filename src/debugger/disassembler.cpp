#include "debugger/disassembler.h"

#include "frontend/frontend.h"
#include "machine.h"
#include "memory/bus.h"

namespace {

// A field of an instruction, as the int that the texts print with %d.
inline int field(uint32_t op, unsigned low, unsigned width) {
    return int((op >> low) & ((1u << width) - 1));
}

inline uint32_t sign_extend(uint32_t value, unsigned bits) {
    uint32_t sign = 1u << (bits - 1);
    return (value ^ sign) - sign;
}

constexpr const char* kConditionSuffix[16] = {"EQ", "NE", "CS", "CC", "MI", "PL", "VS", "VC",
                                              "HI", "LS", "GE", "LT", "GT", "LE", "",   "??"};

constexpr const char* kThumbAluFormat[16] = {
    "AND R%d,R%d", "EOR R%d,R%d", "LSL R%d,R%d", "LSR R%d,R%d", "ASR R%d,R%d", "ADC R%d,R%d",
    "SBC R%d,R%d", "ROR R%d,R%d", "TST R%d,R%d", "NEG R%d,R%d", "CMP R%d,R%d", "CMN R%d,R%d",
    "ORR R%d,R%d", "MUL R%d,R%d", "BIC R%d,R%d", "MVN R%d,R%d"};

constexpr const char* kThumbBranchFormat[14] = {
    "BEQ %08X", "BNE %08X", "BCS %08X", "BCC %08X", "BMI %08X", "BPL %08X", "BVS %08X",
    "BVC %08X", "BHI %08X", "BLS %08X", "BGE %08X", "BLT %08X", "BGT %08X", "BLE %08X"};

// By bit 9, then bits 10-11.
constexpr const char* kThumbRegisterOffsetFormat[8] = {
    "STR R%d,[R%d,R%d]",  "STRB R%d,[R%d,R%d]", "LDR R%d,[R%d,R%d]",  "LDRB R%d,[R%d,R%d]",
    "STRH R%d,[R%d,R%d]", "LDSB R%d,[R%d,R%d]", "LDRH R%d,[R%d,R%d]", "LDSH R%d,[R%d,R%d]"};

constexpr const char* kLongMultiplyFormat[4] = {
    "UMUL%s%s R%d,R%d,R%d,R%d", "UMLA%s%s R%d,R%d,R%d,R%d", "SMUL%s%s R%d,R%d,R%d,R%d",
    "SMLA%s%s R%d,R%d,R%d,R%d"};

// By bits 24 (pre-indexed), 23 (up) and 22 (immediate offset).
constexpr const char* kHalfwordTransferFormat[8] = {
    "%s%s%s%s R%d,[R%d],-R%d",  "%s%s%s%s R%d,[R%d],#-%d",   "%s%s%s%s R%d,[R%d],R%d",
    "%s%s%s%s R%d,[R%d],#%d",   "%s%s%s%s R%d,[R%d,-R%d]%s", "%s%s%s%s R%d,[R%d,#-%d]%s",
    "%s%s%s%s R%d,[R%d,R%d]%s", "%s%s%s%s R%d,[R%d,#%d]%s"};

std::string thumb_text(Machine& m, uint32_t address) {
    uint32_t op = read16(m, address - 4);
    bool bit11 = (op >> 11) & 1;
    int rd = field(op, 0, 3), rs = field(op, 3, 3);
    switch (op >> 12) {
        case 0x0:
            return format_message(bit11 ? "LSR R%d,R%d,#%d" : "LSL R%d,R%d,#%d", rd, rs,
                                  field(op, 6, 5));
        case 0x1:
            if (!bit11) return format_message("ASR R%d,R%d,#%d", rd, rs, field(op, 6, 5));
            switch ((op >> 9) & 3) {
                case 0: return format_message("ADD R%d,R%d,R%d", rd, rs, field(op, 6, 3));
                case 1: return format_message("SUB R%d,R%d,R%d", rd, rs, field(op, 6, 3));
                case 2: return format_message("ADD R%d,R%d,#%d", rd, rs, field(op, 6, 3));
                default: return format_message("SUB R%d,R%d,#%d", rd, rs, field(op, 6, 3));
            }
        case 0x2:
            return format_message(bit11 ? "CMP R%d,#%d" : "MOV R%d,#%d", field(op, 8, 3),
                                  field(op, 0, 8));
        case 0x3:
            return format_message(bit11 ? "SUB R%d,#%d" : "ADD R%d,#%d", field(op, 8, 3),
                                  field(op, 0, 8));
        case 0x4:
            switch ((op >> 10) & 3) {
                case 0: return format_message(kThumbAluFormat[(op >> 6) & 15], rd, rs);
                case 1: {
                    int high_rd = field(op, 7, 1) * 8 + rd, high_rs = field(op, 3, 4);
                    switch ((op >> 8) & 3) {
                        case 0: return format_message("ADD R%d,R%d", high_rd, high_rs);
                        case 1: return format_message("CMP R%d,R%d", high_rd, high_rs);
                        case 2: return format_message("MOV R%d,R%d", high_rd, high_rs);
                        default: return format_message("BX R%d", high_rs);
                    }
                }
                default: {
                    // The literal pool is read at the word-aligned PC, as the load itself does.
                    uint32_t literal = (address & ~3u) + (op & 0xFF) * 4;
                    return format_message("LDR R%d,[%08X] (=%08X)", field(op, 8, 3), literal,
                                          read32(m, literal));
                }
            }
        case 0x5:
            return format_message(
                kThumbRegisterOffsetFormat[((op >> 9) & 1) * 4 + ((op >> 10) & 3)], rd, rs,
                field(op, 6, 3));
        case 0x6:
            return format_message(bit11 ? "LDR R%d,[R%d,#%d]" : "STR R%d,[R%d,#%d]", rd, rs,
                                  field(op, 6, 5) * 4);
        case 0x7:
            return format_message(bit11 ? "LDRB R%d,[R%d,#%d]" : "STRB R%d,[R%d,#%d]", rd, rs,
                                  field(op, 6, 5));
        case 0x8:
            return format_message(bit11 ? "LDRH R%d,[R%d,#%d]" : "STRH R%d,[R%d,#%d]", rd, rs,
                                  field(op, 6, 5) * 2);
        case 0x9:
            return format_message(bit11 ? "LDR R%d,[SP,#%d]" : "STR R%d,[SP,#%d]", field(op, 8, 3),
                                  field(op, 0, 8) * 4);
        case 0xA:
            return format_message(bit11 ? "ADD R%d,SP,#%d" : "ADD R%d,PC,#%d", field(op, 8, 3),
                                  field(op, 0, 8) * 4);
        case 0xB:
            if (!((op >> 10) & 1)) {
                return format_message(((op >> 7) & 1) ? "ADD SP,#-%d" : "ADD SP,#%d",
                                      field(op, 0, 7) * 4);
            }
            return bit11 ? "POP { xxx }" : "PUSH { xxx }";
        case 0xC:
            return format_message(bit11 ? "LDMIA R%d!,{ xxx }" : "STMIA R%d!,{ xxx }",
                                  field(op, 8, 3));
        case 0xD: {
            uint32_t condition = (op >> 8) & 15;
            if (condition == 14) return "Unknown";
            if (condition == 15) return format_message("SWI 0x%02X", field(op, 0, 8));
            return format_message(kThumbBranchFormat[condition],
                                  address + sign_extend(op & 0xFF, 8) * 2);
        }
        case 0xE:
            return format_message("B %08X", (address & ~1u) + sign_extend(op & 0x7FF, 11) * 2);
        default: {
            if (bit11) return "BL ...";  // the second half of a pair, shown alone
            // The first half of a pair: its target needs the offset held by the second half.
            uint32_t low = read16(m, address - 2);
            return format_message(
                "BL %08X", address + (sign_extend(op & 0x7FF, 11) << 12) + (low & 0x7FF) * 2);
        }
    }
}

std::string halfword_transfer_text(uint32_t op, const char* condition) {
    const char* load = ((op >> 20) & 1) ? "LDR" : "STR";
    const char* sign = ((op >> 6) & 1) ? "S" : "";
    const char* size = ((op >> 5) & 1) ? "H" : "B";
    bool immediate = (op >> 22) & 1;
    int offset = immediate ? field(op, 8, 4) * 16 + field(op, 0, 4) : field(op, 0, 4);
    const char* write_back = ((op >> 21) & 1) ? "!" : "";
    const char* format = kHalfwordTransferFormat[(op >> 22) & 7];
    if ((op >> 24) & 1) {
        return format_message(format, load, condition, sign, size, field(op, 12, 4),
                              field(op, 16, 4), offset, write_back);
    }
    return format_message(format, load, condition, sign, size, field(op, 12, 4), field(op, 16, 4),
                          offset);
}

std::optional<std::string> arm_text(Machine& m, uint32_t address) {
    uint32_t op = read32(m, address - 8);
    const char* condition = kConditionSuffix[op >> 28];
    uint32_t group = (op >> 24) & 15;
    if (group >= 4) return std::nullopt;
    const char* set_flags = ((op >> 20) & 1) ? "S" : "";
    if (group == 0) {
        if ((op & 0x0FC000F0) == 0x00000090) {
            if (!((op >> 21) & 1)) {
                return format_message("MUL%s%s R%d,R%d,R%d", condition, set_flags, field(op, 16, 4),
                                      field(op, 0, 4), field(op, 8, 4));
            }
            return format_message("MLA%s%s R%d,R%d,R%d,R%d", condition, set_flags, field(op, 16, 4),
                                  field(op, 0, 4), field(op, 8, 4), field(op, 12, 4));
        }
        if ((op & 0x0F8000F0) == 0x00800090) {
            return format_message(kLongMultiplyFormat[(op >> 21) & 3], condition, set_flags,
                                  field(op, 12, 4), field(op, 16, 4), field(op, 0, 4),
                                  field(op, 8, 4));
        }
    } else if (group == 1) {
        if ((op & 0x0FFFFFF0) == 0x012FFF10) {
            return format_message("BX%s R%d", condition, field(op, 0, 4));
        }
        if ((op & 0x0FB00FF0) == 0x01000090) {
            return format_message("SWP%s%s R%d,R%d,[R%d]", condition, ((op >> 22) & 1) ? "B" : "",
                                  field(op, 12, 4), field(op, 0, 4), field(op, 16, 4));
        }
    }
    if ((op & 0x0E000090) == 0x00000090) return halfword_transfer_text(op, condition);
    // The status-register transfers have texts of their own, without condition or operands.
    if (op == 0xE121F000) return "Pim pam poum 1";
    if ((op & 0x0FBF0FFF) == 0x010F0000) return "Pim pam poum 2";
    if ((op & 0x0FBFFFF0) == 0x0129F000) return "Pim pam poum 3";
    if ((op & 0x0DBFF000) == 0x0128F000) return "Pim pam poum 4";
    return "Data Processing";
}

}  // namespace

std::optional<std::string> disassemble(Machine& m, uint32_t address, bool thumb) {
    if (thumb) return thumb_text(m, address);
    return arm_text(m, address);
}
