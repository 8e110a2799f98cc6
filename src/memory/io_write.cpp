// Writes of the I/O block, decoded at once into the state that the rest of the machine reads.
#include "frontend/frontend.h"
#include "machine.h"
#include "memory/dma.h"
#include "memory/io.h"

namespace {

// Byte writes to registers that act only at a wider width leave a line for the developer.
void debug_byte_write(Machine& m, uint32_t offset, uint32_t byte) {
    // A loop of such writes must not pay for a text that nobody sees.
    if (!m.host->debug_output_wanted()) return;
    // "\xE0" is the "a grave" of the Windows-1252 text.
    m.host->debug_output(format_message("%08X : Ecriture du Byte %02X \xE0 l'adresse %08X\n",
                                        m.cpu.R[15] - 8, byte, offset));
}

void write_timer_control(Machine& m, uint32_t n, uint32_t b) {
    static constexpr uint32_t kPrescaleMasks[4] = {0x0, 0xF, 0x3F, 0x3FF};
    Timer& t = m.timers[n];
    t.TimerEnabled = b & 0x80;
    t.TimerIrqEnable = b & 0x40;
    t.TimerCountUp = b & 0x04;
    t.TimerPrescaler = b & 0x03;
    t.TimerPrescaleMask = kPrescaleMasks[t.TimerPrescaler];
    m.EventsPending = 1;
    if (t.TimerEnabled)
        m.TimersRunning |= 1u << n;
    else
        m.TimersRunning &= ~(1u << n);
    m.TimerTickMask = 0x3FF;
    for (const Timer& running : m.timers)
        if (running.TimerEnabled) m.TimerTickMask &= running.TimerPrescaleMask;
}

void write_bg_control_low(BackgroundState& bg, uint32_t b) {
    bg.Priority = b & 0x03;
    bg.CharBase = ((b >> 2) & 0x03) * 0x4000;
    bg.Mosaic = b & 0x40;
    bg.Colours256 = b & 0x80;
    bg.RawLow = b;
}

void write_bg_control_high(BackgroundState& bg, uint32_t b) {
    bg.RawHigh = b;
    bg.ScreenBase = (b & 0x1F) * 0x800;
    bg.Wraparound = b & 0x20;
    bg.ScreenSize = (b >> 6) & 0x03;
}

// BGxX and BGxY: a write of either half sets the latched point and restarts the running point.
void write_reference(BackgroundState& bg, uint32_t offset, uint32_t value) {
    bool y = offset & 4;
    int32_t& latched = y ? bg.LatchedY : bg.LatchedX;
    uint32_t word = uint32_t(latched);
    if (offset & 2) {
        uint32_t high = value & 0x0FFF;
        if (high & 0x0800) high |= 0xF000;
        word = (word & 0x0000FFFF) | (high << 16);
    } else {
        word = (word & 0xFFFF0000) | (value & 0xFFFF);
    }
    latched = int32_t(word);
    (y ? bg.InternalReferenceY : bg.InternalReferenceX) = latched;
}

}  // namespace

void io_write8(Machine& m, uint32_t offset, uint32_t value) {
    if (offset >= kIoSize) return;  // the far bytes of a wider write at the block's end
    uint32_t b = value & 0xFF;
    m.IoBytes[offset] = uint8_t(b);
    VideoState& v = m.video;

    if (offset >= BG0CNT && offset < BG0CNT + 8) {
        BackgroundState& bg = v.Bg[(offset - BG0CNT) >> 1];
        if (offset & 1)
            write_bg_control_high(bg, b);
        else
            write_bg_control_low(bg, b);
        return;
    }
    if (offset >= BG0HOFS && offset < BG0HOFS + 16) {
        BackgroundState& bg = v.Bg[(offset - BG0HOFS) >> 2];
        uint32_t& scroll = (offset & 2) ? bg.VOffset : bg.HOffset;
        scroll = (offset & 1) ? (scroll & 0xFF) | ((b & 1) << 8) : (scroll & 0x100) | b;
        return;
    }
    if (offset >= TM0CNT_L && offset < TM0CNT_L + 16) {
        Timer& t = m.timers[(offset - TM0CNT_L) >> 2];
        switch (offset & 3) {
            case 0: t.TimerCounter = uint16_t((t.TimerCounter & 0xFF00) | b); break;
            case 1: t.TimerCounter = uint16_t((t.TimerCounter & 0x00FF) | (b << 8)); break;
            case 2: write_timer_control(m, (offset - TM0CNT_L) >> 2, b); break;
            default: break;
        }
        return;
    }
    if ((offset >= 0x020 && offset <= 0x03F) || (offset >= 0x056 && offset <= 0x05F) ||
        (offset >= 0x0B0 && offset <= 0x0FF) || (offset >= 0x110 && offset <= 0x203) ||
        offset >= 0x206 || offset == VCOUNT || offset == VCOUNT + 1 || offset == 0x04E ||
        offset == 0x04F) {
        debug_byte_write(m, offset, b);
        return;
    }
    switch (offset) {
        case DISPCNT:
            v.BgMode = b & 0x07;
            v.FrameSelect = b & 0x10;
            v.HblankFree = b & 0x20;
            v.Sprite1D = b & 0x40;
            v.ForcedBlank = b & 0x80;
            break;
        case DISPCNT + 1:
            for (int n = 0; n < 4; ++n) v.Bg[n].Enabled = b & (1u << n);
            v.SpriteEnable = b & 0x10;
            v.Win0Enable = b & 0x20;
            v.Win1Enable = b & 0x40;
            v.SpriteWinEnable = b & 0x80;
            break;
        case DISPSTAT: v.DispStatBits = b & 0x3F; break;
        case DISPSTAT + 1: v.VCountSetting = b; break;
        case WIN0H: v.Win0Right = b; break;
        case WIN0H + 1: v.Win0Left = b; break;
        case WIN1H: v.Win1Right = b; break;
        case WIN1H + 1: v.Win1Left = b; break;
        case WIN0V: v.Win0Bottom = b; break;
        case WIN0V + 1: v.Win0Top = b; break;
        case WIN1V: v.Win1Bottom = b; break;
        case WIN1V + 1: v.Win1Top = b; break;
        case WININ: v.WinIn0.Bits = b & 0x3F; break;
        case WININ + 1: v.WinIn1.Bits = b & 0x3F; break;
        case WINOUT: v.WinOut.Bits = b & 0x3F; break;
        case WINOUT + 1: v.WinSprite.Bits = b & 0x3F; break;
        case MOSAIC:
            v.BgMosaicH = b & 0x0F;
            v.BgMosaicV = b >> 4;
            break;
        case MOSAIC + 1:
            v.SpriteMosaicH = b & 0x0F;
            v.SpriteMosaicV = b >> 4;
            break;
        case BLDCNT:
            v.FirstTarget = b & 0x3F;
            v.Effect = b >> 6;
            break;
        case BLDCNT + 1: v.SecondTarget = (b & 0x3F) << 24; break;
        case BLDALPHA: v.EVA = b & 0x1F; break;
        case BLDALPHA + 1: v.EVB = b & 0x1F; break;
        case BLDY: v.EVY = b & 0x1F; break;
        default: break;  // undocumented, sound, WAITCNT and the rest: ignored
    }
}

void io_write16(Machine& m, uint32_t offset, uint32_t value) {
    value &= 0xFFFF;
    VideoState& v = m.video;
    if (offset >= BG0HOFS && offset < BG0HOFS + 16 && !(offset & 1)) {
        BackgroundState& bg = v.Bg[(offset - BG0HOFS) >> 2];
        ((offset & 2) ? bg.VOffset : bg.HOffset) = value & 0x1FF;
        return;
    }
    if ((offset >= BG2PA && offset < BG2PA + 8) || (offset >= BG3PA && offset < BG3PA + 8)) {
        if (!(offset & 1)) {
            BackgroundState& bg = v.Bg[offset < BG3PA ? 2 : 3];
            int32_t* params[4] = {&bg.PA, &bg.PB, &bg.PC, &bg.PD};
            *params[(offset >> 1) & 3] = int16_t(value);
            return;
        }
    }
    if ((offset >= BG2X_L && offset < BG2X_L + 8) ||
        (offset >= BG2X_L + 16 && offset < BG2X_L + 24)) {
        if (!(offset & 1)) {
            write_reference(v.Bg[offset < BG3PA ? 2 : 3], offset, value);
            return;
        }
    }
    if (offset >= DMA0CNT_L && offset <= DMA3CNT_H && ((offset - DMA0CNT_L) % kDmaStride) < 4 &&
        !(offset & 1)) {
        uint32_t n = (offset - DMA0CNT_L) / kDmaStride;
        DmaChannel& d = m.dma[n];
        if ((offset - DMA0CNT_L) % kDmaStride == 0) {
            d.DmaControl = (d.DmaControl & 0xFFFF0000) | value;
        } else {
            d.DmaControl = (d.DmaControl & 0x0000FFFF) | (value << 16);
            dma_start(m, n);
        }
        return;
    }
    switch (offset) {
        case KEYINPUT: m.KEYINPUT = uint16_t(value); return;
        case KEYCNT: m.KEYCNT = uint16_t(value); return;
        case IE: m.IE = uint16_t(value & 0x3FFF); return;
        case IF: m.IF = uint16_t(m.IF & ~value); return;
        case IME:
            m.IME = uint16_t(value & 1);
            m.EventsPending = 1;
            return;
        default: break;
    }
    io_write8(m, offset, value);
    io_write8(m, offset + 1, value >> 8);
}

void io_write32(Machine& m, uint32_t offset, uint32_t value) {
    if (offset >= DMA0SAD && offset <= DMA3CNT_L && (offset - DMA0SAD) % 4 == 0) {
        uint32_t n = (offset - DMA0SAD) / kDmaStride;
        DmaChannel& d = m.dma[n];
        // Channel 0 reaches only internal memory; channel 3 alone writes to the cartridge.
        uint32_t source_mask = n == 0 ? 0x07FFFFFF : 0x0FFFFFFF;
        uint32_t dest_mask = n == 3 ? 0x0FFFFFFF : 0x07FFFFFF;
        switch ((offset - DMA0SAD) % kDmaStride) {
            case 0: d.DmaSource = value & source_mask; break;
            case 4: d.DmaDest = value & dest_mask; break;
            default:
                // Channels 0 to 2 count at most 0x3FFF units when the whole word is written.
                d.DmaControl = n == 3 ? value : value & ~0xC000u;
                dma_start(m, n);
                break;
        }
        return;
    }
    io_write16(m, offset, value);
    io_write16(m, offset + 2, value >> 16);
}
