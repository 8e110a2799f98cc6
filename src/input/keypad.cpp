#include "input/keypad.h"

#include "machine.h"

uint16_t keyinput_from_state(const uint8_t (&state)[256]) {
    uint16_t value = 0xFFFF;
    for (uint32_t bit = 0; bit < 10; ++bit) {
        if (state[kKeyMap[bit]] & 0x80) value = uint16_t(value & ~(1u << bit));
    }
    return value;
}

void keyboard_poll(Machine& m) {
    uint8_t state[256] = {};
    if (m.host->read_keyboard(state)) m.KEYINPUT = keyinput_from_state(state);
}
