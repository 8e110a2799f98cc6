// The connection of the programs to gdb (--gdb PORT): a TCP socket on 127.0.0.1 that takes one
// debugger at a time and serves it between two passes of the program's main loop. It never
// blocks unless asked to wait: tamo-headless waits for gdb's commands while gdb holds the
// processor, the desktop programs keep handling their windows and answer gdb meanwhile.
#pragma once

#include <cstdint>
#include <string>

#include "debugger/gdb_stub.h"
#include "platform/common/socket.h"

struct Machine;

class GdbServer {
  public:
    GdbServer() = default;
    GdbServer(const GdbServer&) = delete;
    GdbServer& operator=(const GdbServer&) = delete;
    ~GdbServer();

    // Listens on 127.0.0.1:`port` (0: any free port, see port()). False with the reason when the
    // port cannot be had.
    bool listen(uint16_t port, std::string& error);
    bool listening() const { return listener_ != net::kNoSocket; }
    uint16_t port() const { return port_; }

    bool connected() const { return client_ != net::kNoSocket; }
    // gdb holds the processor: it has not resumed it since its last stop (or since it connected).
    // A stop that ended the run (an error, a stop instruction) keeps the run going while gdb
    // holds it.
    bool holding() const { return connected() && !stub_.running(); }
    // gdb ended the run with its kill command.
    bool killed() const { return killed_; }

    // Between two passes: sends gdb its stop reply once the processor has stopped; with `look`,
    // also takes a debugger that connects and answers what gdb sent. Never waits.
    void serve(Machine& m, bool look);
    // Waits up to `timeout_ms` (-1: for ever) for a debugger to connect or for gdb's bytes, and
    // serves them. False when nothing came.
    bool wait(Machine& m, int timeout_ms);
    // Spends `nanoseconds` answering gdb (the desktop programs' wait between two frames).
    void pause(Machine& m, int64_t nanoseconds);
    // The run ends: a gdb waiting for the processor hears the exit status; the connection closes.
    void finish(int status);

  private:
    void take_client(Machine& m);
    void exchange(Machine& m);
    void send(const std::string& bytes);
    void drop(Machine& m);

    net::Socket listener_ = net::kNoSocket;
    net::Socket client_ = net::kNoSocket;
    uint16_t port_ = 0;
    GdbStub stub_;
    bool killed_ = false;
};
