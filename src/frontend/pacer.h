// Frame pacing for the desktop hosts: the console shows 59.73 frames a second, and a game runs at
// its own speed only when the host waits between frames. The pacer keeps a schedule driven by a
// clock that the host hands in (nanoseconds from any fixed origin), so that tests need no wall
// time. Frame n is due at start + n / 59.73 s, computed from n each time: no rounding error
// accumulates, however long the game runs.
#pragma once

#include <cstdint>

inline constexpr int64_t kNanosecondsPerSecond = 1'000'000'000;
// The console's rate as a fraction: 5973 frames every 100 seconds.
inline constexpr int64_t kPacedFrames = 5973;
inline constexpr int64_t kPacedSeconds = 100;

class FramePacer {
  public:
    // Whether frames are paced at all (FrameLimit=0 in the settings runs unpaced).
    explicit FramePacer(bool enabled = true) : enabled_(enabled) {}

    // A frame has been presented at `now`: returns how long the host should wait, in nanoseconds,
    // before it starts the next frame (0: start at once).
    int64_t frame_done(int64_t now);

    // Held fast forward runs unpaced; on release the schedule starts again from that moment, so
    // that the game does not race to catch up the time it spent fast.
    void set_fast_forward(bool on);
    bool fast_forward() const { return fast_forward_; }

    bool enabled() const { return enabled_; }

  private:
    // When a frame comes this far behind its slot (the debugger held the game, a message box was
    // open, the machine was busy), the schedule restarts instead of running frames back to back.
    static constexpr int64_t kMaxLateFrames = 4;

    bool enabled_;
    bool fast_forward_ = false;
    bool started_ = false;
    int64_t start_ = 0;   // when frame 0 of the current schedule was due
    int64_t frames_ = 0;  // frames presented since start_
};
