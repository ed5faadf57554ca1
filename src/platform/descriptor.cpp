#include "platform/descriptor.h"

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

}  // namespace orlavo::platform
