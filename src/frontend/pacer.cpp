#include "frontend/pacer.h"

namespace {

// The time from the start of a schedule to the end of its frame n.
int64_t schedule_offset(int64_t n) {
    return n * kPacedSeconds * kNanosecondsPerSecond / kPacedFrames;
}

}  // namespace

int64_t FramePacer::frame_done(int64_t now) {
    if (!enabled_ || fast_forward_) return 0;
    if (!started_) {
        // The first paced frame: the schedule begins one frame before it ended.
        started_ = true;
        start_ = now - schedule_offset(1);
        frames_ = 1;
    } else {
        ++frames_;
    }
    int64_t due = start_ + schedule_offset(frames_);
    if (now - due > schedule_offset(kMaxLateFrames)) {
        start_ = now;
        frames_ = 0;
        return 0;
    }
    return due > now ? due - now : 0;
}

void FramePacer::set_fast_forward(bool on) {
    if (fast_forward_ && !on) started_ = false;
    fast_forward_ = on;
}
