// The connection of tamo-headless to gdb (--gdb PORT): a TCP socket on 127.0.0.1 that takes one
// debugger at a time, and the main loop that serves it between passes.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <optional>
#include <string>

#include "debugger/gdb_stub.h"

struct Machine;

class GdbServer {
  public:
    GdbServer() = default;
    GdbServer(const GdbServer&) = delete;
    GdbServer& operator=(const GdbServer&) = delete;
    ~GdbServer();

    // Listens on 127.0.0.1:`port` (0: any free port, printed on standard error). False with a
    // message when the port cannot be had.
    bool listen(uint16_t port, std::string& error);

    // The main loop of run_frames with gdb served between passes. With `wait`, no instruction
    // runs before a debugger has connected. While gdb holds the processor, the loop waits for
    // its commands; while the processor runs, the connection is looked at once per frame.
    void run_frames(Machine& m, uint32_t frames, bool wait);

    // True when gdb ended the run with its kill command.
    bool killed() const { return killed_; }

  private:
    void accept_client(Machine& m, bool wait);
    // Reads what gdb sent (waiting for it when `wait`) and answers it. False once the connection
    // is gone.
    bool exchange(Machine& m, bool wait);
    void send(const std::string& bytes);
    void drop(Machine& m);
    void serve(Machine& m, bool look);

    int listener_ = -1;
    int client_ = -1;
    GdbStub stub_;
    bool killed_ = false;
};

// --gdb PORT and --gdb-wait. gdb and the text debugger both want the processor's stops, so only
// one of them may be asked for.
inline void add_gdb_options(CLI::App& app, std::optional<uint16_t>& port, bool& wait) {
    auto* gdb = app.add_option("--gdb", port,
                               "serve gdb's remote protocol on 127.0.0.1:PORT (0: any free port; "
                               "the port is printed on standard error); gdb's kill command ends "
                               "the run with exit status 1 and no save file")
                    ->option_text("PORT");
    if (auto* text = app.get_option_no_throw("--debugger")) gdb->excludes(text);
    app.add_flag("--gdb-wait", wait, "with --gdb: wait for gdb before the first instruction")
        ->needs(gdb);
}
