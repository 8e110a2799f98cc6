// The console's ten keys, read from the PC keyboard once per frame.
#pragma once

#include <cstdint>

struct Machine;

// Keyboard codes of the keys that the key map uses (the values DirectInput gives them).
inline constexpr uint8_t kKeySpace = 0x39;
inline constexpr uint8_t kKeyTab = 0x0F;
inline constexpr uint8_t kKeyLeftControl = 0x1D;
inline constexpr uint8_t kKeyReturn = 0x1C;
inline constexpr uint8_t kKeyRight = 0xCD;
inline constexpr uint8_t kKeyLeft = 0xCB;
inline constexpr uint8_t kKeyUp = 0xC8;
inline constexpr uint8_t kKeyDown = 0xD0;
inline constexpr uint8_t kKeyW = 0x11;
inline constexpr uint8_t kKeyQ = 0x10;

// KEYINPUT bits in console key order: A, B, Select, Start, Right, Left, Up, Down, R, L.
inline constexpr uint8_t kKeyMap[10] = {kKeySpace, kKeyTab, kKeyLeftControl, kKeyReturn, kKeyRight,
                                        kKeyLeft,  kKeyUp,  kKeyDown,        kKeyW,      kKeyQ};

// Forms KEYINPUT from a 256-byte key state (a key is down when its byte has bit 7 set).
uint16_t keyinput_from_state(const uint8_t (&state)[256]);

// Reads the keyboard through the host and refreshes KEYINPUT; a failed read keeps the old value.
void keyboard_poll(Machine& m);
