#include "platform/tcp_connection.h"

#include "platform/descriptor.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace orlavo::platform {

namespace {

class PosixTcpConnection final : public TcpConnection {
public:
    explicit PosixTcpConnection(int fd) : m_fd(fd) {}
    ~PosixTcpConnection() override { close(); }
    PosixTcpConnection(const PosixTcpConnection&) = delete;
    PosixTcpConnection& operator=(const PosixTcpConnection&) = delete;

    [[nodiscard]] int fd() const override { return m_fd; }

    [[nodiscard]] IoResult send(std::string_view bytes) override
    {
        // MSG_NOSIGNAL: a peer that went away is an error code, not SIGPIPE.
        const ssize_t n =
            retryInterrupted([&] { return ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL); });
        return n < 0 ? IoResult{-1, errno} : IoResult{n, 0};
    }

    [[nodiscard]] IoResult receive(char* buffer, std::size_t capacity) override
    {
        const ssize_t n = retryInterrupted([&] { return ::recv(m_fd, buffer, capacity, 0); });
        return n < 0 ? IoResult{-1, errno} : IoResult{n, 0};
    }

    void close() override { closeDescriptor(m_fd); }

private:
    int m_fd;
};

using SteadyClock = std::chrono::steady_clock;

std::int64_t msLeft(SteadyClock::time_point deadline)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
    return std::max<std::int64_t>(left, 0);
}

socklen_t fillAddress(const IpAddress& address, std::uint16_t port, sockaddr_storage& storage)
{
    std::memset(&storage, 0, sizeof storage);
    if (address.v6) {
        auto* sin6 = reinterpret_cast<sockaddr_in6*>(&storage);
        sin6->sin6_family = AF_INET6;
        sin6->sin6_port = htons(port);
        std::memcpy(&sin6->sin6_addr, address.bytes.data(), 16);
        return sizeof(sockaddr_in6);
    }
    auto* sin = reinterpret_cast<sockaddr_in*>(&storage);
    sin->sin_family = AF_INET;
    sin->sin_port = htons(port);
    std::memcpy(&sin->sin_addr, address.bytes.data(), 4);
    return sizeof(sockaddr_in);
}

// Waits for the non-blocking connect on fd to settle; 0 or an errno value.
int awaitConnect(int fd, SteadyClock::time_point deadline)
{
    pollfd pfd{fd, POLLOUT, 0};
    // The time left is taken again after an interruption, so the deadline holds.
    const int ready = retryInterrupted([&] { return ::poll(&pfd, 1, static_cast<int>(msLeft(deadline))); });
    if (ready < 0) {
        return errno;
    }
    if (ready == 0) {
        return ETIMEDOUT;
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) < 0) {
        return errno;
    }
    return error;
}

ConnectResult connectOne(const IpAddress& address, std::uint16_t port, SteadyClock::time_point deadline)
{
    int fd = ::socket(address.v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return ConnectResult{ConnectStatus::SocketFailed, errno, nullptr};
    }
    sockaddr_storage storage;
    socklen_t length = fillAddress(address, port, storage);
    int error = 0;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&storage), length) < 0) {
        error = errno == EINPROGRESS ? awaitConnect(fd, deadline) : errno;
    }
    if (error != 0) {
        ::close(fd);
        return ConnectResult{error == ETIMEDOUT ? ConnectStatus::TimedOut : ConnectStatus::Failed, error, nullptr};
    }
    return ConnectResult{ConnectStatus::Connected, 0, std::make_unique<PosixTcpConnection>(fd)};
}

}  // namespace

ConnectStart beginConnect(const IpAddress& address, std::uint16_t port)
{
    int fd = ::socket(address.v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return {ConnectResult{ConnectStatus::SocketFailed, errno, nullptr}, -1};
    }
    sockaddr_storage storage;
    socklen_t length = fillAddress(address, port, storage);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&storage), length) == 0) {
        return {ConnectResult{ConnectStatus::Connected, 0, std::make_unique<PosixTcpConnection>(fd)}, -1};
    }
    const int error = errno;
    if (error == EINPROGRESS) {
        return {ConnectResult{ConnectStatus::Failed, error, nullptr}, fd};
    }
    ::close(fd);
    return {ConnectResult{error == ETIMEDOUT ? ConnectStatus::TimedOut : ConnectStatus::Failed, error, nullptr}, -1};
}

ConnectResult settleConnect(int fd)
{
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) < 0) {
        error = errno;
    }
    if (error != 0) {
        ::close(fd);
        return ConnectResult{error == ETIMEDOUT ? ConnectStatus::TimedOut : ConnectStatus::Failed, error, nullptr};
    }
    return ConnectResult{ConnectStatus::Connected, 0, std::make_unique<PosixTcpConnection>(fd)};
}

}  // namespace orlavo::platform

namespace pellix {

using orlavo::platform::connectOne;
using orlavo::platform::SteadyClock;

ConnectResult PosixTcpConnector::connect(const std::vector<IpAddress>& addresses, std::uint16_t port,
                                         std::int64_t timeoutMs)
{
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(std::max<std::int64_t>(timeoutMs, 0));
    ConnectResult result{ConnectStatus::Failed, EHOSTUNREACH, nullptr};
    for (const IpAddress& address : addresses) {
        result = connectOne(address, port, deadline);
        if (result.status == ConnectStatus::Connected || result.status == ConnectStatus::TimedOut) {
            break;
        }
    }
    return result;
}

bool IoResult::wouldBlock() const
{
    return bytes < 0 && (error == EAGAIN || error == EWOULDBLOCK);
}

}  // namespace pellix
