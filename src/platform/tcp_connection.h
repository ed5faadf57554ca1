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

// Outcome of one send or receive: bytes > 0 moved, 0 the peer closed (receive
// only), -1 failed with error (an errno value; wouldBlock() for EAGAIN).
struct IoResult {
    std::int64_t bytes = 0;
    int error = 0;
    [[nodiscard]] bool wouldBlock() const;
};

class TcpConnection {
public:
    virtual ~TcpConnection() = default;
    [[nodiscard]] virtual int fd() const = 0;
    [[nodiscard]] virtual IoResult send(std::string_view bytes) = 0;
    [[nodiscard]] virtual IoResult receive(char* buffer, std::size_t capacity) = 0;
    virtual void close() = 0;
};

enum class ConnectStatus { Connected, SocketFailed, Failed, TimedOut };

struct ConnectResult {
    ConnectStatus status = ConnectStatus::Failed;
    int error = 0;  // errno of the last attempt
    std::unique_ptr<TcpConnection> connection;
};

class TcpConnector {
public:
    virtual ~TcpConnector() = default;
    // Tries the addresses in order until one connects; all share one deadline.
    [[nodiscard]] virtual ConnectResult connect(const std::vector<IpAddress>& addresses, std::uint16_t port,
                                                std::int64_t timeoutMs) = 0;
};

class PosixTcpConnector final : public TcpConnector {
public:
    [[nodiscard]] ConnectResult connect(const std::vector<IpAddress>& addresses, std::uint16_t port,
                                        std::int64_t timeoutMs) override;
};

}  // namespace orlavo::platform
