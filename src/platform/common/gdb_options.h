// --gdb PORT and --gdb-wait on the command lines of tamo-headless and tamo.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <optional>

// gdb and tamo-headless's text debugger both want the processor's stops, so only one of them may
// be asked for.
inline void add_gdb_options(CLI::App& app, std::optional<uint16_t>& port, bool& wait) {
    auto* gdb = app.add_option("--gdb", port,
                               "serve gdb's remote protocol on 127.0.0.1:PORT (0: any free port; "
                               "the port is printed on standard error; a port in use ends the "
                               "program with status 2); gdb's kill command ends the run with "
                               "exit status 1 and no save file")
                    ->option_text("PORT");
    if (auto* text = app.get_option_no_throw("--debugger")) gdb->excludes(text);
    app.add_flag("--gdb-wait", wait, "with --gdb: wait for gdb before the first instruction")
        ->needs(gdb);
}
