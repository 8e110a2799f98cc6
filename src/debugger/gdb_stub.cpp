#include "debugger/gdb_stub.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "debugger/data_access.h"
#include "debugger/debugger.h"
#include "debugger/peek.h"
#include "frontend/frontend.h"
#include "machine.h"
#include "memory/bus.h"

namespace {

// gdb's ARM core registers: r0-r12, sp, lr, pc and cpsr, numbered 0 to 16 in the packets.
constexpr uint32_t kRegisterCount = 17;
constexpr uint32_t kCpsr = 16;
// The processor has no modes: cpsr reads as System mode.
constexpr uint32_t kSystemMode = 0x1F;
constexpr uint32_t kThumbBit = 0x20;
constexpr uint32_t kMaxWatchLength = 4096;

const char kTargetXml[] =
    R"(<?xml version="1.0"?><!DOCTYPE target SYSTEM "gdb-target.dtd"><target version="1.0">)"
    R"(<architecture>arm</architecture><feature name="org.gnu.gdb.arm.core">)"
    R"(<reg name="r0" bitsize="32"/><reg name="r1" bitsize="32"/><reg name="r2" bitsize="32"/>)"
    R"(<reg name="r3" bitsize="32"/><reg name="r4" bitsize="32"/><reg name="r5" bitsize="32"/>)"
    R"(<reg name="r6" bitsize="32"/><reg name="r7" bitsize="32"/><reg name="r8" bitsize="32"/>)"
    R"(<reg name="r9" bitsize="32"/><reg name="r10" bitsize="32"/><reg name="r11" bitsize="32"/>)"
    R"(<reg name="r12" bitsize="32"/><reg name="sp" bitsize="32" type="data_ptr"/>)"
    R"(<reg name="lr" bitsize="32"/><reg name="pc" bitsize="32" type="code_ptr"/>)"
    R"(<reg name="cpsr" bitsize="32"/></feature></target>)";

uint32_t pipeline_offset(const CpuState& c) {
    return c.ThumbState ? 4 : 8;
}

// gdb sees the address of the instruction about to start as pc, whatever the processor's R15
// convention.
uint32_t register_get(const CpuState& c, uint32_t n) {
    if (n < 15) return c.R[n];
    if (n == 15) return c.R[15] - pipeline_offset(c);
    return c.FlagN << 31 | c.FlagZ << 30 | c.FlagC << 29 | c.FlagV << 28 |
           (c.ThumbState ? kThumbBit : 0) | kSystemMode;
}

// Writing cpsr sets the flags and the state and keeps pc where it is.
void register_set(CpuState& c, uint32_t n, uint32_t value) {
    if (n < 15) {
        c.R[n] = value;
    } else if (n == 15) {
        c.R[15] = value + pipeline_offset(c);
    } else {
        uint32_t pc = c.R[15] - pipeline_offset(c);
        c.FlagN = value >> 31 & 1;
        c.FlagZ = value >> 30 & 1;
        c.FlagC = value >> 29 & 1;
        c.FlagV = value >> 28 & 1;
        c.ThumbState = (value & kThumbBit) ? 1 : 0;
        c.R[15] = pc + pipeline_offset(c);
    }
}

void append_hex(std::string& out, uint32_t value, int bytes) {
    static const char digits[] = "0123456789abcdef";
    for (int i = 0; i < bytes; ++i, value >>= 8) {
        out += digits[value >> 4 & 0xF];
        out += digits[value & 0xF];
    }
}

// A number in hexadecimal that fills `text` exactly.
std::optional<uint32_t> parse_hex(std::string_view text) {
    uint32_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// Little-endian bytes in hexadecimal, as registers and memory travel.
std::optional<std::string> parse_hex_bytes(std::string_view text) {
    if (text.size() % 2) return std::nullopt;
    std::string bytes;
    for (size_t i = 0; i < text.size(); i += 2) {
        std::optional<uint32_t> b = parse_hex(text.substr(i, 2));
        if (!b) return std::nullopt;
        bytes += char(*b);
    }
    return bytes;
}

uint32_t little_endian(std::string_view bytes) {
    uint32_t value = 0;
    for (size_t i = bytes.size(); i-- > 0;) value = value << 8 | uint8_t(bytes[i]);
    return value;
}

// "A,B" with both in hexadecimal.
std::optional<std::pair<uint32_t, uint32_t>> parse_pair(std::string_view text) {
    size_t comma = text.find(',');
    if (comma == std::string_view::npos) return std::nullopt;
    auto a = parse_hex(text.substr(0, comma));
    auto b = parse_hex(text.substr(comma + 1));
    if (!a || !b) return std::nullopt;
    return std::pair{*a, *b};
}

// Aligned halfwords and words are read and written whole, so that an I/O register acts as it
// does for the processor's access of that size.
std::string read_memory(Machine& m, uint32_t address, uint32_t length) {
    std::string out;
    if (length == 4 && address % 4 == 0) {
        append_hex(out, peek32(m, address), 4);
    } else if (length == 2 && address % 2 == 0) {
        append_hex(out, peek16(m, address), 2);
    } else {
        for (uint32_t i = 0; i < length; ++i) append_hex(out, peek8(m, address + i), 1);
    }
    return out;
}

void write_memory(Machine& m, uint32_t address, std::string_view bytes) {
    if (bytes.size() == 4 && address % 4 == 0) {
        write32(m, address, little_endian(bytes));
    } else if (bytes.size() == 2 && address % 2 == 0) {
        write16(m, address, little_endian(bytes));
    } else {
        for (size_t i = 0; i < bytes.size(); ++i)
            write8(m, address + uint32_t(i), uint8_t(bytes[i]));
    }
}

std::string watched_bytes(Machine& m, const GdbStops::Watch& w) {
    std::string bytes(w.Length, '\0');
    for (uint32_t i = 0; i < w.Length; ++i) bytes[i] = char(peek8(m, w.Start + i));
    return bytes;
}

// The stop check looks for gdb's stops while gdb steps or has breakpoints or watchpoints set; the
// run loop works out the data accesses while a read or access watchpoint is set.
void arm(GdbStops& g) {
    g.Watching = std::any_of(g.Watches.begin(), g.Watches.end(),
                             [](const GdbStops::Watch& w) { return w.Kind != WatchKind::Write; });
    g.Armed = g.Stepping || !g.Breakpoints.empty() || !g.Watches.empty();
}

// Z and z: "TYPE,ADDRESS,KIND".
std::string set_stop_point(Machine& m, std::string_view args, bool insert) {
    GdbStops& g = m.gdb;
    size_t comma = args.find(',');
    auto type = parse_hex(args.substr(0, comma));
    auto where =
        comma == std::string_view::npos ? std::nullopt : parse_pair(args.substr(comma + 1));
    if (!type || !where) return "E01";
    auto [address, kind] = *where;
    if (*type <= 1) {
        auto it = std::find(g.Breakpoints.begin(), g.Breakpoints.end(), address);
        if (insert && it == g.Breakpoints.end()) g.Breakpoints.push_back(address);
        if (!insert && it != g.Breakpoints.end()) g.Breakpoints.erase(it);
        arm(g);
        return "OK";
    }
    if (*type > 4) return "";
    // The watched bytes are compared before every instruction: a range is at most a page.
    if (kind == 0 || kind > kMaxWatchLength) return "E01";
    GdbStops::Watch w{address, kind, WatchKind(*type), {}};
    auto same = [&](const GdbStops::Watch& o) {
        return o.Start == w.Start && o.Length == w.Length && o.Kind == w.Kind;
    };
    auto it = std::find_if(g.Watches.begin(), g.Watches.end(), same);
    if (insert && it == g.Watches.end()) {
        w.Seen = watched_bytes(m, w);
        g.Watches.push_back(w);
    }
    if (!insert && it != g.Watches.end()) g.Watches.erase(it);
    arm(g);
    return "OK";
}

bool is_stop_instruction(Machine& m) {
    const CpuState& c = m.cpu;
    uint32_t pc = register_get(c, 15);
    return c.ThumbState ? (peek16(m, pc) & 0xFF00) == 0xDE00 : (peek32(m, pc) >> 28) == 0xF;
}

void watch_hit(GdbStops& g, const GdbStops::Watch& w, uint32_t address) {
    if (g.WatchHit) return;  // the first hit is the one reported
    g.WatchHit = true;
    g.HitKind = w.Kind;
    g.HitAddress = address;
}

// Writes to write and access watchpoints show as changed bytes (gdb reports a write watchpoint
// only when the value changed), whoever wrote them: an instruction, a DMA transfer, a firmware
// function or an I/O register's side effect.
void watch_check(Machine& m) {
    for (GdbStops::Watch& w : m.gdb.Watches) {
        if (w.Kind == WatchKind::Read) continue;
        std::string now = watched_bytes(m, w);
        auto diff = std::mismatch(now.begin(), now.end(), w.Seen.begin());
        if (diff.first == now.end()) continue;
        watch_hit(m.gdb, w, w.Start + uint32_t(diff.first - now.begin()));
        w.Seen = now;
    }
}

}  // namespace

bool gdb_stop_due(Machine& m, uint32_t next) {
    GdbStops& g = m.gdb;
    const CpuState& c = m.cpu;
    if (!g.Watches.empty() && !g.WatchHit) watch_check(m);
    if (g.WatchHit) return true;
    // A THUMB BL pair counts as one instruction, so a step runs both halves.
    if (g.Stepping) return c.InstructionCount != g.ResumeCount;
    if (c.R[15] == g.ResumePc && c.InstructionCount == g.ResumeCount) return false;
    return std::find(g.Breakpoints.begin(), g.Breakpoints.end(), next) != g.Breakpoints.end();
}

// Reads reach read and access watchpoints; writes reach access watchpoints here, and write
// watchpoints through the changed bytes.
void gdb_note_access(Machine& m, uint32_t address, uint32_t length, bool write) {
    for (const GdbStops::Watch& w : m.gdb.Watches) {
        if (w.Kind == WatchKind::Write || (write && w.Kind == WatchKind::Read)) continue;
        if (uint64_t(address) < uint64_t(w.Start) + w.Length &&
            w.Start < uint64_t(address) + length)
            watch_hit(m.gdb, w, std::max(address, w.Start));
    }
}

void gdb_note_instruction(Machine& m) {
    DataAccess a = instruction_access(m);
    if (a.Length != 0) gdb_note_access(m, a.Address, a.Length, a.Write);
}

std::string gdb_packet(std::string_view data) {
    std::string out = "$";
    uint8_t sum = 0;
    for (char ch : data) {
        if (ch == '$' || ch == '#' || ch == '}' || ch == '*') {
            out += '}';
            sum = uint8_t(sum + '}');
            ch = char(ch ^ 0x20);
        }
        out += ch;
        sum = uint8_t(sum + uint8_t(ch));
    }
    out += '#';
    append_hex(out, sum, 1);
    return out;
}

void GdbStub::attach(Machine& m) {
    *this = GdbStub{};
    stop_ = "S05";
    stop_count_ = m.cpu.InstructionCount;
    debugger_request(m);
}

void GdbStub::release(Machine& m) {
    m.gdb = GdbStops{};
    running_ = false;
    if (!m.cpu.QuitFlag && (m.cpu.DebugStop || m.cpu.DebugPause)) debugger_continue(m);
}

std::string GdbStub::receive(Machine& m, std::string_view bytes) {
    std::string out;
    for (char ch : bytes) {
        if (!in_packet_) {
            if (ch == '$') {
                in_packet_ = true;
                overflow_ = false;
                input_.clear();
            } else if (ch == '\x03' && running_) {
                interrupted_ = true;
                debugger_request(m);
            } else if (ch == '-') {
                out += last_sent_;
            }
            continue;  // acknowledgements and anything else between packets
        }
        if (input_.size() < kPacketSize + 3) {
            input_ += ch;
        } else {
            overflow_ = true;
            input_.erase(0, 1);  // keep the tail: it holds the '#' and the checksum
            input_ += ch;
        }
        size_t hash = input_.size() >= 3 ? input_.size() - 3 : std::string::npos;
        if (hash == std::string::npos || input_[hash] != '#') continue;
        in_packet_ = false;
        std::string_view body(input_.data(), hash);
        if (overflow_) {
            out += '+';
            last_sent_ = gdb_packet("E02");  // longer than the PacketSize we announced
            out += last_sent_;
            continue;
        }
        uint8_t sum = 0;
        for (char b : body) sum = uint8_t(sum + uint8_t(b));
        std::optional<uint32_t> expected = parse_hex(std::string_view(input_).substr(hash + 1));
        if (!expected || *expected != sum) {
            out += '-';
            continue;
        }
        out += '+';
        std::string packet;
        for (size_t i = 0; i < body.size(); ++i)
            packet += body[i] == '}' && i + 1 < body.size() ? char(body[++i] ^ 0x20) : body[i];
        bool was_running = running_;
        std::string reply = command(m, packet);
        // Resuming and killing answer later or never.
        if ((running_ && !was_running) || killed_) continue;
        last_sent_ = gdb_packet(reply);
        out += last_sent_;
    }
    return out;
}

std::string GdbStub::command(Machine& m, std::string_view p) {
    CpuState& c = m.cpu;
    if (p.empty()) return "";
    std::string_view args = p.substr(1);
    switch (p[0]) {
        case '?': return stop_;
        case 'g': {
            std::string out;
            for (uint32_t n = 0; n < kRegisterCount; ++n) append_hex(out, register_get(c, n), 4);
            return out;
        }
        case 'G': {
            auto bytes = parse_hex_bytes(args);
            if (!bytes || bytes->size() != kRegisterCount * 4) return "E01";
            // cpsr first: pc then lands in the new state's convention.
            register_set(c, kCpsr, little_endian(std::string_view(*bytes).substr(kCpsr * 4, 4)));
            for (uint32_t n = 0; n < kCpsr; ++n)
                register_set(c, n, little_endian(std::string_view(*bytes).substr(n * 4, 4)));
            return "OK";
        }
        case 'p': {
            auto n = parse_hex(args);
            if (!n || *n >= kRegisterCount) return "E01";
            std::string out;
            append_hex(out, register_get(c, *n), 4);
            return out;
        }
        case 'P': {
            size_t eq = args.find('=');
            auto n = parse_hex(args.substr(0, eq));
            auto bytes =
                eq == std::string_view::npos ? std::nullopt : parse_hex_bytes(args.substr(eq + 1));
            if (!n || *n >= kRegisterCount || !bytes || bytes->size() != 4) return "E01";
            register_set(c, *n, little_endian(*bytes));
            return "OK";
        }
        case 'm': {
            auto range = parse_pair(args);
            if (!range || range->second > kPacketSize / 2) return "E01";
            return read_memory(m, range->first, range->second);
        }
        case 'M':
        case 'X': {
            size_t colon = args.find(':');
            auto range = parse_pair(args.substr(0, colon));
            if (!range || colon == std::string_view::npos) return "E01";
            std::string_view data = args.substr(colon + 1);
            std::optional<std::string> bytes =
                p[0] == 'X' ? std::optional<std::string>(data) : parse_hex_bytes(data);
            if (!bytes || bytes->size() != range->second) return "E01";
            write_memory(m, range->first, *bytes);
            for (GdbStops::Watch& w : m.gdb.Watches) w.Seen = watched_bytes(m, w);  // not a hit
            return "OK";
        }
        case 'c':
        case 's':
        case 'C':
        case 'S': {
            // An address to resume at may follow (after the signal and ';' for C and S).
            size_t semi = args.find(';');
            std::string_view at =
                p[0] == 'c' || p[0] == 's'
                    ? args
                    : (semi == std::string_view::npos ? "" : args.substr(semi + 1));
            if (!at.empty()) {
                auto address = parse_hex(at);
                if (!address) return "E01";
                register_set(c, 15, *address);
            }
            resume(m, p[0] == 's' || p[0] == 'S');
            return "";
        }
        case 'Z':
        case 'z': return set_stop_point(m, args, p[0] == 'Z');
        case 'k':
            killed_ = true;
            running_ = false;
            debugger_quit(m);
            return "";
        case 'D':
            detached_ = true;
            release(m);
            return "OK";
        case 'H':
        case 'T': return "OK";  // one thread, always alive
        case 'v':
            if (p == "vCont?") return "vCont;c;C;s;S";
            if (p.starts_with("vCont;")) {
                // One thread: a step anywhere in the list is a step, anything else continues.
                bool step = p.find(";s") != std::string_view::npos ||
                            p.find(";S") != std::string_view::npos;
                resume(m, step);
            }
            return "";
        case 'q':
            if (p.starts_with("qSupported"))
                return format_message("PacketSize=%x;qXfer:features:read+", unsigned(kPacketSize));
            if (p == "qAttached") return "1";
            if (p == "qC") return "QC1";
            if (p == "qfThreadInfo") return "m1";
            if (p == "qsThreadInfo") return "l";
            if (p.starts_with("qXfer:features:read:")) {
                std::string_view rest = p.substr(20);
                if (!rest.starts_with("target.xml:")) return "E00";
                auto range = parse_pair(rest.substr(11));
                if (!range) return "E01";
                std::string_view xml(kTargetXml);
                if (range->first >= xml.size()) return "l";
                std::string_view part = xml.substr(range->first, range->second);
                bool last = range->first + part.size() >= xml.size();
                return (last ? "l" : "m") + std::string(part);
            }
            return "";
        default: return "";
    }
}

void GdbStub::resume(Machine& m, bool step) {
    interrupted_ = false;
    running_ = true;
    // The debugger window ran the processor on since gdb last saw it stop, and it has stopped
    // again: gdb hears of that stop first (poll_stop reports it at once).
    if (debugger_waiting(m) && m.cpu.InstructionCount != stop_count_) return;
    GdbStops& g = m.gdb;
    g.Stepping = step;
    g.ResumePc = m.cpu.R[15];
    g.ResumeCount = m.cpu.InstructionCount;
    g.WatchHit = false;
    for (GdbStops::Watch& w : g.Watches) w.Seen = watched_bytes(m, w);
    arm(g);
    if (!m.cpu.QuitFlag) debugger_continue(m);
}

std::string GdbStub::poll_stop(Machine& m) {
    if (!running_) return {};
    uint32_t signal;
    if (m.cpu.QuitFlag) {
        // Reported once; when gdb resumes after it, the run ends.
        if (quit_reported_) return {};
        quit_reported_ = true;
        signal = is_stop_instruction(m) ? 5 : 4;  // SIGTRAP, or SIGILL for an emulation error
    } else if (debugger_waiting(m)) {
        signal = interrupted_ ? 2 : 5;  // SIGINT, or SIGTRAP
    } else {
        return {};
    }
    GdbStops& g = m.gdb;
    running_ = false;
    stop_count_ = m.cpu.InstructionCount;
    if (g.WatchHit && !m.cpu.QuitFlag) {
        const char* kind = g.HitKind == WatchKind::Write  ? "watch"
                           : g.HitKind == WatchKind::Read ? "rwatch"
                                                          : "awatch";
        stop_ = format_message("T05%s:%08x;thread:1;", kind, g.HitAddress);
    } else {
        stop_ = format_message("T%02xthread:1;", signal);
    }
    // Should the debugger window run the processor on from here, it runs as from a continue.
    g.Stepping = g.WatchHit = false;
    g.ResumePc = m.cpu.R[15];
    g.ResumeCount = m.cpu.InstructionCount;
    arm(g);
    last_sent_ = gdb_packet(stop_);
    return last_sent_;
}

std::string GdbStub::exit_reply(int status) {
    if (!running_) return {};
    running_ = false;
    last_sent_ = gdb_packet(format_message("W%02x", status & 0xFF));
    return last_sent_;
}
