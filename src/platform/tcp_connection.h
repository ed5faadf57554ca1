#pragma once
// A plain TCP client connection. The connect is non-blocking and polled with a
// deadline, so the caller's thread never waits longer than it asked; the
// connection that results is non-blocking and meant to be watched by an
// EventLoop through fd().
#include "platform/ip_address.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace orlavo::platform {

using pellix::ConnectResult;
using pellix::ConnectStatus;
using pellix::IoResult;
using pellix::TcpConnection;
using pellix::PosixTcpConnector;
using pellix::TcpConnector;

// A connect that runs while the loop goes on: beginConnect starts it, and
// once its descriptor is writable (or reports an error) settleConnect ends it.
struct ConnectStart {
    ConnectResult result;  // how it ended when it settled at once
    int pendingFd = -1;    // >= 0: under way on this descriptor
};
[[nodiscard]] ConnectStart beginConnect(const IpAddress& address, std::uint16_t port);
// The outcome of the connect under way on fd; fd is closed unless it connected.
[[nodiscard]] ConnectResult settleConnect(int fd);

}  // namespace orlavo::platform
