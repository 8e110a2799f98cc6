// The text debugger's input, as the fuzzer makes it, on a cartridge that stops at once (CountBreak
// 0): every line is read, parsed and acted on for a frame.
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "machine.h"
#include "platform/headless/headless_host.h"
#include "platform/headless/text_debugger.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace fs = std::filesystem;
    static const std::string dir = (fs::temp_directory_path() / "tamo-fuzz-").string();
    static const std::string rom = dir + std::to_string(getpid()) + ".gba";
    static const std::string input = dir + std::to_string(getpid()) + ".txt";
    static const bool written = [] {  // add r0, r0, #1; b .-4
        return bool(std::ofstream(rom) << std::string("\x01\x00\x80\xe2\xfd\xff\xff\xea", 8));
    }();
    std::ofstream(input, std::ios::binary).write(reinterpret_cast<const char*>(data), size);
    static HeadlessHost host;
    static std::unique_ptr<Machine> m = std::make_unique<Machine>(host);
    host.err = std::fopen("/dev/null", "w");
    m->settings.CountBreak = 0;
    if (written && rom_load(*m, rom, true)) {
        int fd = open(input.c_str(), O_RDONLY);
        TextDebugger debugger(fd, host.err);
        run_frames_with_debugger(*m, debugger, 1);
        close(fd);
    }
    std::fclose(host.err);
    return 0;
}
