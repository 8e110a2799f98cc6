#pragma once

#include <cstdint>
#include <string>

// Writes the 240x160 picture of a 256-pixel-wide 0x00RRGGBB surface as an RGB PNG file.
bool write_screenshot(const std::string& path, const uint32_t* surface, std::string& error);
