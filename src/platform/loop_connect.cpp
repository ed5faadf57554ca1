#include "platform/loop_connect.h"

#include "platform/descriptor.h"

#include <cerrno>
#include <utility>

namespace orlavo::platform {

void LoopConnect::start(std::vector<IpAddress> addresses, std::uint16_t port, std::int64_t timeoutMs, Done done)
{
    cancel();
    m_addresses = std::move(addresses);
    m_next = 0;
    m_port = port;
    m_last = ConnectResult{ConnectStatus::Failed, EHOSTUNREACH, nullptr};
    m_done = std::move(done);
    m_deadline = m_loop.startTimer(timeoutMs, [this] {
        m_deadline.reset();
        end(ConnectResult{ConnectStatus::TimedOut, ETIMEDOUT, nullptr});
    });
    m_step = m_loop.startTimer(0, [this] {
        m_step.reset();
        tryNext();
    });
}

void LoopConnect::tryNext()
{
    while (m_next < m_addresses.size()) {
        ConnectStart begun = beginConnect(m_addresses[m_next++], m_port);
        if (begun.pendingFd >= 0) {
            m_fd = begun.pendingFd;
            m_watch = m_loop.watchFd(m_fd, EventLoop::kWritable, [this](unsigned) { settle(); });
            return;
        }
        m_last = std::move(begun.result);
        if (m_last.status == ConnectStatus::Connected || m_last.status == ConnectStatus::TimedOut) {
            break;
        }
    }
    end(std::move(m_last));
}

void LoopConnect::settle()
{
    stopWatching(m_loop, m_watch);
    m_last = settleConnect(std::exchange(m_fd, -1));
    if (m_last.status == ConnectStatus::Connected || m_last.status == ConnectStatus::TimedOut) {
        end(std::move(m_last));
        return;
    }
    tryNext();
}

void LoopConnect::end(ConnectResult result)
{
    Done done = std::exchange(m_done, {});
    cancel();
    if (done) {
        done(std::move(result));  // may destroy this object: nothing of it is used after
    }
}

void LoopConnect::cancel()
{
    closeWatchedDescriptor(m_loop, m_watch, m_fd);
    stopTimer(m_loop, m_step);
    stopTimer(m_loop, m_deadline);
    m_last.connection.reset();
    m_done = {};
}

}  // namespace orlavo::platform
