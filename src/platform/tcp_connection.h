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

}  // namespace orlavo::platform
