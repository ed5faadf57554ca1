#include "platform/descriptor.h"

#include <poll.h>
#include <unistd.h>

namespace orlavo::platform {

bool closeDescriptor(int& fd)
{
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    fd = -1;
    return true;
}

bool closeWatchedDescriptor(EventLoop& loop, std::optional<EventLoop::WatchId>& watch, int& fd)
{
    stopWatching(loop, watch);
    return closeDescriptor(fd);
}

short pollEventsOf(unsigned wanted)
{
    short events = 0;
    if ((wanted & EventLoop::kReadable) != 0) {
        events |= POLLIN;
    }
    if ((wanted & EventLoop::kWritable) != 0) {
        events |= POLLOUT;
    }
    return events;
}

unsigned readinessOf(short revents)
{
    unsigned bits = 0;
    if ((revents & (POLLIN | POLLPRI)) != 0) {
        bits |= EventLoop::kReadable;
    }
    if ((revents & POLLOUT) != 0) {
        bits |= EventLoop::kWritable;
    }
    if ((revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
        bits |= EventLoop::kHangup;
    }
    return bits;
}

unsigned readiness(int fd, unsigned wanted)
{
    pollfd p{fd, pollEventsOf(wanted), 0};
    if (retryInterrupted([&] { return ::poll(&p, 1, 0); }) <= 0) {
        return 0;
    }
    return readinessOf(p.revents);
}

}  // namespace orlavo::platform
