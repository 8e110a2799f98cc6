#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>

#include "frontend/frontend.h"
#include "machine.h"
#include "memory/save_file.h"

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

bool rom_load(Machine& m, const std::string& name, bool show_errors) {
    std::error_code ec;
    // A folder opens for reading on some systems, but it is no cartridge.
    bool readable = !name.empty() && !std::filesystem::is_directory(name, ec);
    File file(readable ? std::fopen(name.c_str(), "rb") : nullptr);
    if (!file) {
        if (show_errors)
            m.host->message_box("Tamo", format_message("Can find Rom '%s'.", name.c_str()));
        return false;
    }
    long length = -1;
    if (std::fseek(file.get(), 0, SEEK_END) == 0) length = std::ftell(file.get());
    std::rewind(file.get());
    if (length < 0) {
        // A folder or a device: nothing that can be measured is a cartridge.
        if (show_errors)
            m.host->message_box("Tamo", format_message("Can find Rom '%s'.", name.c_str()));
        return false;
    }
    // A file larger than the cartridge window contributes its first 32 MB.
    uint32_t size = length > long(kMaxRomSize) ? kMaxRomSize : uint32_t(length);

    m.RomImage.reset();
    m.RomSize = 0;
    std::unique_ptr<uint8_t[]> image(new (std::nothrow) uint8_t[size + kSlack]);
    machine_reset_for_load(m);
    if (!image) {
        // The save memory is cleared now: forget the save file, so that no later reset replaces
        // the previous cartridge's save (written just now) with empty memory.
        m.SaveFileName.clear();
        m.host->message_box("Tamo",
                            format_message("Can't allocate Memory for ROM '%s'.\n", name.c_str()));
        return false;
    }
    size_t got = std::fread(image.get(), 1, size, file.get());
    // A short read leaves zeros, never stale memory.
    std::memset(image.get() + got, 0, size + kSlack - got);
    m.RomImage = std::move(image);
    m.RomSize = size;
    m.SaveFileName = save_file_name(name);
    save_file_read(m);
    return true;
}

std::string rom_name_from_command_line(std::string_view text) {
    if (!text.empty() && text.front() == '"') {
        text.remove_prefix(1);
        size_t close = text.find('"');
        return std::string(close == std::string_view::npos ? text : text.substr(0, close));
    }
    return std::string(text);
}
