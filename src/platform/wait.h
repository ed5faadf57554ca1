#pragma once
// The program's pause: block for the given time, then let the events that
// queued up meanwhile run once. Frames are paced and the update waits with it.
#include "platform/clock.h"
#include "platform/event_loop.h"

#include <cstdint>

namespace orlavo::platform {

inline void waitMs(Clock& clock, EventLoop& loop, std::int32_t ms)
{
    if (ms > 0) {
        clock.sleep(ms);
    }
    loop.runPending();
}

// How a model's waits pass. Blocking: waitMs, as the desktop program drives
// its one sign. Timers: the loop runs on and a timer takes the work up again,
// so the waits of several signs on one loop overlap instead of adding up.
enum class Pacing { Blocking, Timers };

}  // namespace orlavo::platform
