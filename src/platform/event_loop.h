#pragma once
// Orlavo's code names the library's loop interface as its own.
#include <optional>

#include "pellix/event_loop.h"

namespace orlavo::platform {

using pellix::EventLoop;

// Ends the watch, if there is one, and forgets its id.
inline void stopWatching(EventLoop& loop, std::optional<EventLoop::WatchId>& watch)
{
    if (watch) {
        loop.unwatchFd(*watch);
        watch.reset();
    }
}

// Cancels the timer, if there is one, and forgets its id.
inline void stopTimer(EventLoop& loop, std::optional<EventLoop::TimerId>& timer)
{
    if (timer) {
        loop.cancelTimer(*timer);
        timer.reset();
    }
}

}  // namespace orlavo::platform
