#include "platform/posix_udp_endpoint.h"

#include "platform/descriptor.h"
#include "platform/port_number.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace orlavo::platform {
namespace {

// A full send queue normally drains within milliseconds; past this the send
// is given up as transient rather than stalling the program.
constexpr int kSendStallMs = 1000;
// Datagrams read per readiness event, so a flood cannot starve the loop.
constexpr int kMaxDatagramsPerEvent = 64;
constexpr std::size_t kMaxDatagramBytes = 65535;

std::optional<SysError> checkPort(int port, const char* what)
{
    if (!isBindablePort(port)) {
        return SysError{EINVAL, std::string(what) + " " + std::to_string(port) +
                                    " is outside 0-65535"};
    }
    return std::nullopt;
}

// IPv4 only: signs and their discovery live on IPv4 subnets.
std::optional<SysError> resolveIpv4(const std::string& host, std::uint32_t& address)
{
    if (host.empty()) {
        address = htonl(INADDR_ANY);
        return std::nullopt;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* result = nullptr;
    int rc = ::getaddrinfo(host.c_str(), nullptr, &hints, &result);
    if (rc != 0 || result == nullptr) {
        int number = rc == EAI_SYSTEM ? errno : EHOSTUNREACH;
        return SysError{number, "Cannot resolve host \"" + host + "\": " + ::gai_strerror(rc)};
    }
    address = reinterpret_cast<sockaddr_in*>(result->ai_addr)->sin_addr.s_addr;
    ::freeaddrinfo(result);
    return std::nullopt;
}

sockaddr_in makeAddress(std::uint32_t address, int port)
{
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = address;
    sa.sin_port = htons(static_cast<std::uint16_t>(port));
    return sa;
}

std::optional<SysError> setFlag(int fd, int option)
{
    const int on = 1;
    if (::setsockopt(fd, SOL_SOCKET, option, &on, sizeof on) != 0) {
        return sysErrorFromErrno(errno, "Cannot set the UDP socket options");
    }
    return std::nullopt;
}

// Broadcast always; SO_REUSEADDR before the bind only when the port is to be
// shared with sockets already holding it.
std::optional<SysError> openSocket(int& fd, bool reuseAddress)
{
    fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return sysErrorFromErrno(errno, "Cannot create a UDP socket");
    }
    std::optional<SysError> error = setFlag(fd, SO_BROADCAST);
    if (!error && reuseAddress) {
        error = setFlag(fd, SO_REUSEADDR);
    }
    if (error) {
        ::close(fd);
        fd = -1;
    }
    return error;
}

}  // namespace

PosixUdpEndpoint::PosixUdpEndpoint(EventLoop& loop) : m_loop(loop) {}

PosixUdpEndpoint::~PosixUdpEndpoint()
{
    close();
}

std::optional<SysError> PosixUdpEndpoint::bind(const std::string& localAddress, int localPort)
{
    return bindSocket(localAddress, localPort, Sharing::Shared);
}

std::optional<SysError> PosixUdpEndpoint::bindSendOnly(const std::string& localAddress, int localPort)
{
    std::optional<SysError> error = bindSocket(localAddress, localPort, Sharing::SendOnly);
    if (error && error->number == EADDRINUSE && localPort != 0) {
        // Another program listens on the port (a sign emulator, say): taking it
        // too would make this socket the one its datagrams go to.
        error = bindSocket(localAddress, 0, Sharing::SendOnly);
    }
    return error;
}

std::optional<SysError> PosixUdpEndpoint::bindSocket(const std::string& localAddress, int localPort, Sharing sharing)
{
    if (auto error = checkPort(localPort, "Local port")) {
        return error;
    }
    std::uint32_t address = 0;
    if (auto error = resolveIpv4(localAddress, address)) {
        return error;
    }
    close();
    int fd = -1;
    if (auto error = openSocket(fd, sharing == Sharing::Shared)) {
        return error;
    }
    sockaddr_in sa = makeAddress(address, localPort);
    std::optional<SysError> error;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        error = sysErrorFromErrno(errno, "Cannot bind UDP port " + std::to_string(localPort));
    } else if (sharing == Sharing::SendOnly) {
        // Set after the bind, it only lets endpoints bound later share the
        // port; being later, they are the ones that receive on it.
        error = setFlag(fd, SO_REUSEADDR);
    }
    if (error) {
        ::close(fd);
        return error;
    }
    m_fd = fd;
    updateWatch();
    return std::nullopt;
}

std::optional<SysError> PosixUdpEndpoint::setRemote(const std::string& host, int port)
{
    if (auto error = checkPort(port, "Remote port")) {
        return error;
    }
    m_remoteHost = host;
    m_remotePort = port;
    m_remoteAddress.reset();
    return std::nullopt;
}

std::optional<SysError> PosixUdpEndpoint::resolveRemote()
{
    if (m_remotePort < 0) {
        return SysError{EDESTADDRREQ, "No remote host is set for the UDP endpoint"};
    }
    if (m_remoteAddress) {
        return std::nullopt;
    }
    std::uint32_t address = 0;
    if (auto error = resolveIpv4(m_remoteHost, address)) {
        return error;
    }
    m_remoteAddress = address;
    return std::nullopt;
}

std::optional<SysError> PosixUdpEndpoint::waitWritable()
{
    pollfd pfd{m_fd, POLLOUT, 0};
    const int rc = retryInterrupted([&] { return ::poll(&pfd, 1, kSendStallMs); });
    if (rc > 0) {
        return std::nullopt;
    }
    return sysErrorFromErrno(rc == 0 ? EAGAIN : errno, "UDP send queue is full");
}

std::optional<SysError> PosixUdpEndpoint::send(std::string_view bytes)
{
    if (auto error = resolveRemote()) {
        return error;
    }
    if (m_fd < 0) {
        if (auto error = bind("", 0)) {
            return error;
        }
    }
    sockaddr_in sa = makeAddress(*m_remoteAddress, m_remotePort);
    bool waited = false;
    for (;;) {
        ssize_t sent = ::sendto(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL,
                                reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        if (sent >= 0) {
            return std::nullopt;
        }
        if (errno == EINTR) {
            continue;
        }
        // A full queue is waited out once; a second refusal goes back as transient.
        if ((errno == EAGAIN || errno == EWOULDBLOCK) && !waited) {
            waited = true;
            if (auto error = waitWritable()) {
                return error;
            }
            continue;
        }
        return sysErrorFromErrno(errno, "Cannot send to " + m_remoteHost + ":" +
                                            std::to_string(m_remotePort));
    }
}

void PosixUdpEndpoint::setReceiveHandler(ReceiveHandler handler)
{
    m_handler = std::move(handler);
    updateWatch();
}

void PosixUdpEndpoint::updateWatch()
{
    bool wanted = m_fd >= 0 && m_handler;
    if (wanted && !m_watch) {
        m_watch = m_loop.watchFd(m_fd, EventLoop::kReadable, [this](unsigned) { readDatagrams(); });
    } else if (!wanted) {
        stopWatching(m_loop, m_watch);
    }
}

void PosixUdpEndpoint::readDatagrams()
{
    std::vector<char> buffer(kMaxDatagramBytes);
    const std::uint64_t generation = m_generation;
    for (int i = 0; i < kMaxDatagramsPerEvent && m_fd >= 0 && m_handler; ++i) {
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        ssize_t got = ::recvfrom(m_fd, buffer.data(), buffer.size(), 0,
                                 reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;  // EAGAIN: drained; other errors (ICMP reports) are not datagrams
        }
        char text[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
        auto handler = m_handler;  // the handler may replace itself
        handler(std::string(buffer.data(), static_cast<std::size_t>(got)), text, ntohs(from.sin_port));
        if (generation != m_generation) {
            return;
        }
    }
}

void PosixUdpEndpoint::close()
{
    if (closeWatchedDescriptor(m_loop, m_watch, m_fd)) {
        ++m_generation;
    }
}

int PosixUdpEndpoint::localPort() const
{
    if (m_fd < 0) {
        return -1;
    }
    sockaddr_in sa{};
    socklen_t length = sizeof sa;
    if (::getsockname(m_fd, reinterpret_cast<sockaddr*>(&sa), &length) != 0) {
        return -1;
    }
    return ntohs(sa.sin_port);
}

}  // namespace orlavo::platform
