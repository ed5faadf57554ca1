#pragma once
// The system's TCP connect without holding up the loop: each address in
// turn, non-blocking, its descriptor watched for writability; all share one
// deadline, kept by a timer on the loop, as PosixTcpConnector's attempts do.
#include "platform/event_loop.h"
#include "platform/tcp_connection.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace orlavo::platform {

class LoopConnect {
public:
    using Done = std::function<void(ConnectResult)>;

    explicit LoopConnect(EventLoop& loop) : m_loop(loop) {}
    ~LoopConnect() { cancel(); }
    LoopConnect(const LoopConnect&) = delete;
    LoopConnect& operator=(const LoopConnect&) = delete;

    // done runs once, from the loop and never from inside start, with what
    // PosixTcpConnector::connect would have answered. A running connect is
    // cancelled first.
    void start(std::vector<IpAddress> addresses, std::uint16_t port, std::int64_t timeoutMs, Done done);
    // Closes the attempt under way; done is not called.
    void cancel();

private:
    void tryNext();
    void settle();
    void end(ConnectResult result);

    EventLoop& m_loop;
    std::vector<IpAddress> m_addresses;
    std::size_t m_next = 0;
    std::uint16_t m_port = 0;
    ConnectResult m_last;
    int m_fd = -1;
    std::optional<EventLoop::WatchId> m_watch;
    std::optional<EventLoop::TimerId> m_step;
    std::optional<EventLoop::TimerId> m_deadline;
    Done m_done;
};

}  // namespace orlavo::platform
