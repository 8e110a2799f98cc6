#include "memory/dma.h"

#include "machine.h"

void dma_start(Machine& m, uint32_t channel) {
    (void)m, (void)channel;
}
void dma_transfer(Machine& m, uint32_t channel) {
    (void)m, (void)channel;
}
void dma_run_vblank(Machine& m) {
    (void)m;
}
void dma_run_hblank(Machine& m) {
    (void)m;
}
