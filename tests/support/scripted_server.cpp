#include "support/scripted_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace orlavo::testing {

namespace {

constexpr int kGuardMs = 5000;

// One recv appended to into; false once the peer has closed or failed.
bool receive(int fd, std::string& into)
{
    char buffer[4096];
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n > 0) {
        into.append(buffer, static_cast<std::size_t>(n));
    }
    return n > 0;
}

}  // namespace

bool waitReadable(int fd, int timeoutMs)
{
    pollfd pfd{fd, POLLIN, 0};
    int ready = 0;
    do {
        ready = ::poll(&pfd, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
}

int listenOnLoopback(std::uint16_t& port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(fd, 8) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    port = ntohs(address.sin_port);
    return fd;
}

ScriptedServer::ScriptedServer()
{
    m_listenFd = listenOnLoopback(m_port);
}

ScriptedServer::~ScriptedServer()
{
    close();
    ::close(m_listenFd);
}

std::string ScriptedServer::url(std::string_view path) const
{
    return "http://127.0.0.1:" + std::to_string(m_port) + std::string(path);
}

std::string ScriptedServer::secureUrl(std::string_view path) const
{
    return "https://127.0.0.1:" + std::to_string(m_port) + std::string(path);
}

bool ScriptedServer::accept()
{
    close();
    if (!waitReadable(m_listenFd, kGuardMs)) {
        return false;
    }
    m_clientFd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    return m_clientFd >= 0;
}

std::string ScriptedServer::readRequest()
{
    std::string request;
    while (request.find("\r\n\r\n") == std::string::npos && waitReadable(m_clientFd, kGuardMs) &&
           receive(m_clientFd, request)) {
    }
    return request;
}

std::string ScriptedServer::readSome()
{
    return waitReadable(m_clientFd, kGuardMs) ? readAvailable() : std::string();
}

std::string ScriptedServer::readAvailable()
{
    std::string bytes;
    while (waitReadable(m_clientFd, 0) && receive(m_clientFd, bytes)) {
    }
    return bytes;
}

bool ScriptedServer::send(std::string_view bytes)
{
    while (!bytes.empty()) {
        ssize_t n = ::send(m_clientFd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

void ScriptedServer::shutdownWrite()
{
    ::shutdown(m_clientFd, SHUT_WR);
}

void ScriptedServer::close()
{
    if (m_clientFd >= 0) {
        ::close(m_clientFd);
        m_clientFd = -1;
    }
}

void ScriptedServer::reset()
{
    if (m_clientFd >= 0) {
        linger option{1, 0};
        ::setsockopt(m_clientFd, SOL_SOCKET, SO_LINGER, &option, sizeof option);
        close();
    }
}

bool ScriptedServer::clientClosed(int timeoutMs)
{
    std::string ignored;
    while (waitReadable(m_clientFd, timeoutMs)) {
        if (!receive(m_clientFd, ignored)) {
            return true;
        }
    }
    return false;
}

std::uint16_t unusedLoopbackPort()
{
    std::uint16_t port = 0;
    ::close(listenOnLoopback(port));
    return port;
}

FullBacklogListener::FullBacklogListener()
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listenFd < 0 || ::bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listenFd, 0) != 0 ||
        ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return;
    }
    // A backlog of 0 still queues one connection; this one fills it.
    m_fillerFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_fillerFd >= 0 && ::connect(m_fillerFd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        m_port = ntohs(address.sin_port);
    }
}

FullBacklogListener::~FullBacklogListener()
{
    for (int fd : {m_fillerFd, m_listenFd}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

}  // namespace orlavo::testing
