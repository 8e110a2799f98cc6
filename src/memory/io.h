// The I/O register block at 0x04000000: register offsets and the read and write handlers.
#pragma once

#include <cstdint>

struct Machine;

// Register offsets within the I/O block.
inline constexpr uint32_t DISPCNT = 0x000;
inline constexpr uint32_t DISPSTAT = 0x004;
inline constexpr uint32_t VCOUNT = 0x006;
inline constexpr uint32_t BG0CNT = 0x008;
inline constexpr uint32_t BG0HOFS = 0x010;
inline constexpr uint32_t BG2PA = 0x020;
inline constexpr uint32_t BG2X_L = 0x028;
inline constexpr uint32_t BG3PA = 0x030;
inline constexpr uint32_t WIN0H = 0x040;
inline constexpr uint32_t WIN1H = 0x042;
inline constexpr uint32_t WIN0V = 0x044;
inline constexpr uint32_t WIN1V = 0x046;
inline constexpr uint32_t WININ = 0x048;
inline constexpr uint32_t WINOUT = 0x04A;
inline constexpr uint32_t MOSAIC = 0x04C;
inline constexpr uint32_t BLDCNT = 0x050;
inline constexpr uint32_t BLDALPHA = 0x052;
inline constexpr uint32_t BLDY = 0x054;
inline constexpr uint32_t DMA0SAD = 0x0B0;
inline constexpr uint32_t DMA0DAD = 0x0B4;
inline constexpr uint32_t DMA0CNT_L = 0x0B8;
inline constexpr uint32_t DMA0CNT_H = 0x0BA;
inline constexpr uint32_t DMA3SAD = 0x0D4;
inline constexpr uint32_t DMA3DAD = 0x0D8;
inline constexpr uint32_t DMA3CNT_L = 0x0DC;
inline constexpr uint32_t DMA3CNT_H = 0x0DE;
inline constexpr uint32_t kDmaStride = 12;  // distance between two channels' registers
inline constexpr uint32_t TM0CNT_L = 0x100;
inline constexpr uint32_t TM0CNT_H = 0x102;
inline constexpr uint32_t KEYINPUT = 0x130;
inline constexpr uint32_t KEYCNT = 0x132;
inline constexpr uint32_t IE = 0x200;
inline constexpr uint32_t IF = 0x202;
inline constexpr uint32_t WAITCNT = 0x204;
inline constexpr uint32_t IME = 0x208;

// Interrupt request bits of IE and IF.
inline constexpr uint16_t kIrqVblank = 0x0001;
inline constexpr uint16_t kIrqHblank = 0x0002;
inline constexpr uint16_t kIrqVcount = 0x0004;
inline constexpr uint16_t kIrqTimer0 = 0x0008;  // timer n: kIrqTimer0 << n
inline constexpr uint16_t kIrqDma0 = 0x0100;    // channel n: kIrqDma0 << n

uint32_t io_read8(Machine& m, uint32_t offset);
uint32_t io_read16(Machine& m, uint32_t offset);
uint32_t io_read32(Machine& m, uint32_t offset);
void io_write8(Machine& m, uint32_t offset, uint32_t value);
void io_write16(Machine& m, uint32_t offset, uint32_t value);
void io_write32(Machine& m, uint32_t offset, uint32_t value);
