// The loading path: a ROM, its save file and the settings file, as the fuzzer makes them; then
// the reset that writes the save. Byte 0 picks the save's size (the sizes the loader tells apart,
// or none), byte 1 the settings text's length; the rest fills the files.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "frontend/frontend.h"
#include "machine.h"
#include "platform/headless/headless_host.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace fs = std::filesystem;
    static const fs::path dir =
        fs::temp_directory_path() / ("tamo-fuzz-" + std::to_string(getpid()));
    static const size_t kSaveSizes[8] = {0, 1, 100, 0x8000, 0x10000, 0x30000, 0x30001, 0};
    if (size < 2) return 0;
    fs::remove_all(dir);
    fs::create_directories(dir);
    size_t ini = std::min<size_t>(data[1], size - 2);
    std::ofstream(dir / "Tamo.ini", std::ios::binary).write((const char*)data + 2, ini);
    std::string rom(reinterpret_cast<const char*>(data) + 2 + ini, size - 2 - ini);
    std::ofstream(dir / "game.gba", std::ios::binary) << rom;
    std::string save(kSaveSizes[data[0] & 7], '\0');
    for (size_t i = 0; i < save.size() && !rom.empty(); ++i) save[i] = rom[i % rom.size()];
    if ((data[0] & 7) != 7) std::ofstream(dir / "game.sav", std::ios::binary) << save;

    static HeadlessHost host;
    static std::unique_ptr<Machine> m = std::make_unique<Machine>(host);
    host.err = std::fopen("/dev/null", "w");
    m->SaveFileName.clear();  // the last input's save is gone with its folder
    std::string error;
    settings_read((dir / "Tamo.ini").string(), m->settings, error);
    if (rom_load(*m, (dir / "game.gba").string(), true)) {
        // A written save always has the one layout.
        if (machine_reset(*m) && fs::file_size(dir / "game.sav") != 0x30000) std::abort();
    }
    std::fclose(host.err);
    return 0;
}
