// Reads of the I/O block: registers held decoded are composed back from their state.
#include "frontend/frontend.h"
#include "machine.h"
#include "memory/io.h"

namespace {

// The console does not let software read these registers back. A cartridge that does so works
// here (it reads 0) but would misbehave on the console, so the user is told, until told not to.
uint32_t unallowed_read(Machine& m, uint32_t offset) {
    if (!m.IoWarningsEnabled) return 0;
    ++m.IoQuestionsAsked;
    std::string text = format_message(
        "This ROM can bug on a real AGB\nUnallowed IO reading : register %02X\nDisable this kind "
        "of WARNING ?",
        offset);
    m.IoWarningsEnabled = m.host->ask_yes_no("Tamo", text) ? 0 : 1;
    return 0;
}

bool is_unallowed_halfword(uint32_t offset) {
    if (offset >= 0x010 && offset <= 0x046) return (offset & 1) == 0;
    switch (offset) {
        case MOSAIC:
        case BLDALPHA:
        case BLDY:
        case 0x0A0:
        case 0x0A2:
        case 0x0A4:
        case 0x0A6: return true;
        default: return false;
    }
}

}  // namespace

uint32_t io_read8(Machine& m, uint32_t offset) {
    if (offset >= kIoSize) return 0;  // the far byte of a wider read at the block's end
    const VideoState& v = m.video;
    if (offset >= 0x008 && offset <= 0x00F) {
        const BackgroundState& bg = v.Bg[(offset - 0x008) >> 1];
        return (offset & 1) ? bg.RawHigh : bg.RawLow;
    }
    if ((offset >= 0x010 && offset <= 0x047) || offset == 0x04C || offset == 0x04D ||
        (offset >= 0x052 && offset <= 0x055) || (offset >= 0x0A0 && offset <= 0x0A7))
        return unallowed_read(m, offset);
    if ((offset >= 0x060 && offset <= 0x09F) || (offset >= 0x0A8 && offset <= 0x0AF)) return 0;
    if (offset >= TM0CNT_L && offset < TM0CNT_L + 16) {
        const Timer& t = m.timers[(offset - TM0CNT_L) >> 2];
        switch (offset & 3) {
            case 0: return t.TimerCounter & 0xFF;
            case 1: return t.TimerCounter >> 8;
            case 2:
                return (t.TimerEnabled ? 0x80 : 0) | (t.TimerIrqEnable ? 0x40 : 0) |
                       (t.TimerCountUp ? 0x04 : 0) | t.TimerPrescaler;
            default: return m.IoBytes[offset];
        }
    }
    switch (offset) {
        case DISPCNT:
            return v.BgMode | (v.FrameSelect ? 0x10 : 0) | (v.HblankFree ? 0x20 : 0) |
                   (v.Sprite1D ? 0x40 : 0) | (v.ForcedBlank ? 0x80 : 0);
        case DISPCNT + 1:
            return (v.Bg[0].Enabled ? 0x01 : 0) | (v.Bg[1].Enabled ? 0x02 : 0) |
                   (v.Bg[2].Enabled ? 0x04 : 0) | (v.Bg[3].Enabled ? 0x08 : 0) |
                   (v.SpriteEnable ? 0x10 : 0) | (v.Win0Enable ? 0x20 : 0) |
                   (v.Win1Enable ? 0x40 : 0) | (v.SpriteWinEnable ? 0x80 : 0);
        case 0x002:
        case 0x003: return 0;
        // The V-blank flag follows VCOUNT as the processor sees it between two scanline steps.
        case DISPSTAT: return v.VCOUNT > 160 ? 1 : 0;
        case DISPSTAT + 1: return 0;
        case VCOUNT: return v.VCOUNT & 0xFF;
        case WAITCNT:
        case WAITCNT + 1: return 0;
        default: return m.IoBytes[offset];
    }
}

uint32_t io_read16(Machine& m, uint32_t offset) {
    switch (offset) {
        case VCOUNT: return m.video.VCOUNT & 0xFF;
        case KEYINPUT: return m.KEYINPUT;
        case KEYCNT: return m.KEYCNT;
        case IE: return m.IE;
        case IF: return m.IF;
        case IME: return m.IME;
        default: break;
    }
    if (is_unallowed_halfword(offset)) return unallowed_read(m, offset);
    uint32_t high = io_read8(m, offset + 1);
    uint32_t low = io_read8(m, offset);
    return (high << 8) | low;
}

uint32_t io_read32(Machine& m, uint32_t offset) {
    if (offset == VCOUNT) return m.video.VCOUNT & 0xFF;
    uint32_t high = io_read16(m, offset + 2);
    uint32_t low = io_read16(m, offset);
    return (high << 16) | low;
}
