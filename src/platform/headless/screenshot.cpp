#include "platform/headless/screenshot.h"

#include <png.h>

#include <cstring>
#include <vector>

bool write_screenshot(const std::string& path, const uint32_t* surface, std::string& error) {
    std::vector<uint8_t> rgb(240 * 160 * 3);
    for (int y = 0; y < 160; ++y) {
        for (int x = 0; x < 240; ++x) {
            uint32_t p = surface[y * 256 + x];
            uint8_t* out = &rgb[(y * 240 + x) * 3];
            out[0] = uint8_t(p >> 16);
            out[1] = uint8_t(p >> 8);
            out[2] = uint8_t(p);
        }
    }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = 240;
    image.height = 160;
    image.format = PNG_FORMAT_RGB;
    if (!png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 240 * 3, nullptr)) {
        error = image.message;
        png_image_free(&image);
        return false;
    }
    return true;
}
