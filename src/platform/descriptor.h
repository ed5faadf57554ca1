#pragma once
// Pieces shared by the classes that own a file descriptor: a call retried
// when a signal interrupts it, and a close that first takes the descriptor
// off the event loop so no handler runs for a number the OS may reuse.
#include "platform/event_loop.h"

#include <cerrno>
#include <optional>

namespace orlavo::platform {

// Calls call() again while it fails with EINTR; returns its last result, with
// errno as that call left it.
template <typename Call>
[[nodiscard]] auto retryInterrupted(Call call) -> decltype(call())
{
    for (;;) {
        auto result = call();
        if (result >= 0 || errno != EINTR) {
            return result;
        }
    }
}

// Closes fd if it is open and sets it to -1; true when there was one to close.
bool closeDescriptor(int& fd);

// Stops watching, then closes fd; both end up unset. True when fd was open.
bool closeWatchedDescriptor(EventLoop& loop, std::optional<EventLoop::WatchId>& watch, int& fd);

// The poll(2) events for the EventLoop bits wanted (kReadable, kWritable).
[[nodiscard]] short pollEventsOf(unsigned wanted);
// The EventLoop bits of poll(2)'s revents; errors and hang-ups are kHangup.
[[nodiscard]] unsigned readinessOf(short revents);
// What fd is ready for now, of wanted, plus kHangup; 0 when nothing is.
// Never blocks.
[[nodiscard]] unsigned readiness(int fd, unsigned wanted);

}  // namespace orlavo::platform
