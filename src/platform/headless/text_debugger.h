// The debugger of tamo-headless (--debugger): the debugger view drawn as text on standard output,
// its buttons typed as commands on standard input, one per line.
//
// When the machine stops in the debugger the model is printed:
//
//   Tamo Debugger
//   R0  00000000  R8  00000000
//   ...                              (eight lines: R0..R7 on the left, R8..R15 on the right)
//   R7  00000000  R15 08000010
//   PC  08000008  Cnt 2
//   N=0 Z=1 C=0 V=0 I=1 T=0
//   => 08000008  E3A02003  Data Processing      (fourteen listing rows: address, opcode, text;
//      0800000C  EAFFFFFE  EAFFFFFE              "=>" marks the instruction about to start)
//   ...
//
// then the prompt "(tamo) ", and one command is read: step, over, continue, quit, up, down (any
// case). When standard input is not a terminal the command read is echoed after the prompt, so
// the output reads as a transcript. An unknown command gets "unknown command '...'" and the prompt
// again; "d" there only answers "already stopped". At the end of the input the
// debugger continues ("continue (end of input)") and reads no more; a line longer than 256
// characters is refused and counts as the end of the input.
//
// Each line read is one pass of the main loop, as one button press is in the desktop programs: no
// frames pass while a command is awaited. While the machine runs, the input is looked at once per
// frame without waiting: a "d" at the head of the input stops the machine before its next
// instruction; any other line waits there for the next stop.
#pragma once

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "debugger/debugger.h"
#include "frontend/frontend.h"
#include "machine.h"

// The lines of a file descriptor, read without stdio's buffer so that a look without waiting
// (poll) sees exactly what has not been taken yet. Read in chunks of 4 KB; a line longer than
// kMaxLine characters is refused and ends the input, so that an endless input without a newline
// neither holds the run nor fills the memory.
class LineInput {
  public:
    static constexpr size_t kMaxLine = 256;

    explicit LineInput(int fd) : fd_(fd) {}

    bool ended() const { return ended_ && buffer_.empty(); }
    // True once a line too long ended the input.
    bool refused() const { return refused_; }

    // The next line without its end, left in place; nothing when no whole line is there (after
    // waiting for one when `wait`) or the input has ended.
    std::optional<std::string> peek(bool wait) {
        for (;;) {
            size_t newline = buffer_.find('\n');
            if (std::min(newline, buffer_.size()) > kMaxLine) {
                refused_ = ended_ = true;
                buffer_.clear();
                return std::nullopt;
            }
            if (newline != std::string::npos) return buffer_.substr(0, newline);
            if (ended_) {
                if (buffer_.empty()) return std::nullopt;
                return buffer_;  // a last line without its end
            }
            if (!wait && !readable(0)) return std::nullopt;
            fill();
        }
    }

    void pop() {
        size_t newline = buffer_.find('\n');
        buffer_.erase(0, newline == std::string::npos ? buffer_.size() : newline + 1);
    }

  private:
    bool readable(int timeout) {
        pollfd p{fd_, POLLIN, 0};
        return ::poll(&p, 1, timeout) > 0;
    }

    void fill() {
        char chunk[4096];
        ssize_t n = ::read(fd_, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) return;
        // An input left in non-blocking mode by whoever started us: wait for it here.
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && readable(-1)) return;
        if (n <= 0) {
            ended_ = true;  // the end, or an error that no later read would cure
            return;
        }
        buffer_.append(chunk, size_t(n));
    }

    int fd_;
    std::string buffer_;
    bool ended_ = false;
    bool refused_ = false;
};

enum class DebuggerCommand { Step, Over, Continue, Quit, Up, Down, Stop, Empty, Unknown };

inline DebuggerCommand parse_debugger_command(std::string_view line) {
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.front())))
        line.remove_prefix(1);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
        line.remove_suffix(1);
    std::string word;
    for (char ch : line) word += char(std::tolower(static_cast<unsigned char>(ch)));
    if (word.empty()) return DebuggerCommand::Empty;
    if (word == "step") return DebuggerCommand::Step;
    if (word == "over") return DebuggerCommand::Over;
    if (word == "continue") return DebuggerCommand::Continue;
    if (word == "quit") return DebuggerCommand::Quit;
    if (word == "up") return DebuggerCommand::Up;
    if (word == "down") return DebuggerCommand::Down;
    if (word == "d") return DebuggerCommand::Stop;
    return DebuggerCommand::Unknown;
}

// The model as the text block shown above.
inline std::string debugger_model_text(const DebuggerModel& model) {
    std::string out = "Tamo Debugger\n";
    char line[128];
    for (int r = 0; r < 8; ++r) {
        std::snprintf(line, sizeof line, "R%-2d %s  R%-2d %s\n", r, model.Registers[r].c_str(),
                      r + 8, model.Registers[r + 8].c_str());
        out += line;
    }
    out += "PC  " + model.Pc + "  Cnt " + model.Cnt + "\n";
    std::snprintf(line, sizeof line, "N=%d Z=%d C=%d V=%d I=%d T=%d\n", model.FlagN, model.FlagZ,
                  model.FlagC, model.FlagV, model.FlagI, model.FlagT);
    out += line;
    for (const ListingRow& row : model.Listing) {
        out += row.Address == model.Pc ? "=> " : "   ";
        out += row.Address + "  " + row.Opcode + "  " + row.Text + "\n";
    }
    return out;
}

class TextDebugger {
  public:
    TextDebugger(int input_fd, std::FILE* out) : input_(input_fd), out_(out) {
        echo_ = !::isatty(input_fd);
    }

    // True once the quit command has stopped the machine.
    bool quit() const { return quit_; }

    // Before each pass of the main loop: while the machine waits in the debugger, shows the model
    // (when it is new) and takes one line of input. Every line read, known or not, takes one pass,
    // as a button press does, so that no input can hold the run.
    void before_pass(Machine& m) {
        if (!debugger_waiting(m)) return;
        if (view_due_) std::fputs(debugger_model_text(m.debugger.Model).c_str(), out_);
        view_due_ = false;
        std::fputs("(tamo) ", out_);
        std::fflush(out_);
        std::optional<std::string> line;
        if (!input_.ended()) line = input_.peek(true);
        if (!line) {
            report_refusal();
            std::fputs("continue (end of input)\n", out_);
            std::fflush(out_);
            debugger_continue(m);
            view_due_ = true;
            return;
        }
        input_.pop();
        if (echo_) std::fprintf(out_, "%s\n", line->c_str());
        view_due_ = true;
        switch (parse_debugger_command(*line)) {
            case DebuggerCommand::Step: debugger_step_in(m); break;
            case DebuggerCommand::Over: debugger_step_over(m); break;
            case DebuggerCommand::Continue: debugger_continue(m); break;
            case DebuggerCommand::Quit:
                debugger_quit(m);
                quit_ = true;
                break;
            case DebuggerCommand::Up: debugger_up(m); break;
            case DebuggerCommand::Down: debugger_down(m); break;
            case DebuggerCommand::Stop:
                std::fputs("already stopped\n", out_);
                view_due_ = false;
                break;
            case DebuggerCommand::Empty: view_due_ = false; break;
            case DebuggerCommand::Unknown:
                std::fprintf(out_, "unknown command '%s' (step, over, continue, quit, up, down)\n",
                             line->c_str());
                view_due_ = false;
                break;
        }
    }

    // Once per frame while the machine runs: a "d" at the head of the input stops it.
    void between_frames(Machine& m) {
        if (debugger_waiting(m) || input_.ended()) return;
        std::optional<std::string> line = input_.peek(false);
        if (line && parse_debugger_command(*line) == DebuggerCommand::Stop) {
            input_.pop();
            debugger_request(m);
        }
        report_refusal();
    }

  private:
    void report_refusal() {
        if (!input_.refused() || refusal_reported_) return;
        refusal_reported_ = true;
        std::fprintf(out_, "input refused: a line longer than %zu characters; no more is read\n",
                     LineInput::kMaxLine);
    }

    LineInput input_;
    std::FILE* out_;
    bool echo_ = false;
    bool quit_ = false;
    bool view_due_ = true;
    bool refusal_reported_ = false;
};

// The main loop of run_frames, with the debugger's turn before each pass.
inline void run_frames_with_debugger(Machine& m, TextDebugger& debugger, uint32_t frames) {
    for (uint32_t f = 0; f < frames && !m.cpu.QuitFlag; ++f) {
        for (int line = 0; line < kLinesPerFrame; ++line) {
            debugger.before_pass(m);
            if (m.cpu.QuitFlag) break;
            main_loop_pass(m);
        }
        debugger.between_frames(m);
    }
}
