#include <cstring>
#include <new>

#include "frontend/frontend.h"
#include "frontend/regular_file.h"
#include "machine.h"
#include "memory/save_file.h"

bool rom_load(Machine& m, const std::string& name, bool show_errors) {
    // Only a regular file is a cartridge: a folder, a FIFO (which would block) or a device (which
    // reads as endless or empty) is refused.
    RegularFile file;
    if (name.empty() || !file.open(name)) {
        if (show_errors) {
            std::string text = format_message("Can find Rom '%s'.", name.c_str());
            if (!name.empty()) {
                text += '\n';
                text += file_error(name, file.reason());
            }
            m.host->message_box("Tamo", text);
        }
        return false;
    }
    // A file larger than the cartridge window contributes its first 32 MB.
    uint32_t size = file.size() > kMaxRomSize ? kMaxRomSize : uint32_t(file.size());

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
    size_t got = 0;
    if (!file.read(image.get(), size, got) && show_errors)
        m.host->message_box("Tamo", "ROM not read whole: " + file_error(name, file.reason()));
    // A short read leaves zeros, never stale memory.
    std::memset(image.get() + got, 0, size + kSlack - got);
    m.RomImage = std::move(image);
    m.RomSize = size;
    m.SaveFileName = save_file_name(name);
    save_file_read(m, name);
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
