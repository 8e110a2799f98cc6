// Remote debugging with GDB: the remote serial protocol's packets and commands. The stub takes the
// bytes that arrive from gdb and gives back the bytes to send; the connection itself (a socket)
// belongs to the host.
//
// GDB's stops go through the processor's one stop check: a breakpoint, a finished step or a
// watchpoint hit makes a stop due there, the debugger hook holds the processor, and the host then
// reports the stop to gdb. Continue in gdb or in the debugger view resumes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct Machine;

enum class WatchKind : uint32_t { Write = 2, Read = 3, Access = 4 };

// What the stop check looks at while gdb is connected. Nothing here costs anything until gdb sets
// a breakpoint, a watchpoint or a step: `Armed` routes the run loop through the stop check, and
// `Watching` (read and access watchpoints only) makes it work out each instruction's data access
// before the instruction runs. They stay set while gdb holds the processor, so that gdb's
// breakpoints also stop a processor that the debugger window runs on (gdb leaves them in while it
// holds the processor only with `set breakpoint always-inserted on`).
struct GdbStops {
    uint32_t Armed = 0;
    uint32_t Watching = 0;
    std::vector<uint32_t> Breakpoints;  // instruction addresses, ARM or THUMB alike
    struct Watch {
        uint32_t Start, Length;
        WatchKind Kind;
        std::string Seen;  // the watched bytes at the last look: a write shows as a change
    };
    std::vector<Watch> Watches;
    bool Stepping = false;
    // Where the processor last resumed or stopped: a breakpoint there does not fire again before
    // an instruction has run, and a step is done once the count has moved.
    uint32_t ResumePc = 0, ResumeCount = 0;
    bool WatchHit = false;
    WatchKind HitKind = WatchKind::Write;
    uint32_t HitAddress = 0;
};

// The stop check's question, asked only while GdbStops::Armed: is a stop due for gdb before the
// instruction at `next`?
bool gdb_stop_due(Machine& m, uint32_t next);

// A data access for the read and access watchpoints, made by the processor, a DMA transfer or a
// firmware function. Called only while GdbStops::Watching.
void gdb_note_access(Machine& m, uint32_t address, uint32_t length, bool write);
// The run loop's call before each instruction while GdbStops::Watching: notes the access that the
// instruction is about to make.
void gdb_note_instruction(Machine& m);

class GdbStub {
  public:
    static constexpr size_t kPacketSize = 0x4000;

    // A debugger has connected: the processor is held before its next instruction.
    void attach(Machine& m);
    // The connection is gone (detach, a closed socket): gdb's stops are forgotten and the
    // processor runs on.
    void release(Machine& m);

    // Takes bytes from gdb; returns the bytes to send back.
    std::string receive(Machine& m, std::string_view bytes);

    // While gdb waits for the processor: once it has stopped (a stop due in the stop check, an
    // interrupt, an error or a stop instruction), the stop reply to send; empty otherwise.
    std::string poll_stop(Machine& m);

    // The run ends while gdb is connected: the exit reply if gdb is waiting for one.
    std::string exit_reply(int status);

    bool running() const { return running_; }
    bool detached() const { return detached_; }
    bool killed() const { return killed_; }

  private:
    std::string command(Machine& m, std::string_view packet);
    void resume(Machine& m, bool step);
    std::string stop_reply(Machine& m);

    std::string input_;       // bytes of a packet not complete yet
    bool in_packet_ = false;  // between '$' and the checksum's end
    bool overflow_ = false;   // the packet in progress outgrew kPacketSize
    std::string last_sent_;   // sent again when gdb asks with '-'
    bool running_ = false;    // gdb resumed the processor and waits for a stop reply
    bool interrupted_ = false;
    bool detached_ = false;
    bool killed_ = false;
    bool quit_reported_ = false;
    uint32_t stop_count_ = 0;  // the instruction count at the last stop that gdb saw
    std::string stop_;         // the last stop reply, for '?'
};

// Frames a packet: $data#checksum, with the protocol's escapes.
std::string gdb_packet(std::string_view data);
