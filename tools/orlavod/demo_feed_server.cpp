#include "demo_feed_server.h"

#include "platform/descriptor.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace orlavo::tools {

namespace {

// A request line and a few headers; anything longer is not our client.
constexpr std::size_t kMaxRequestBytes = 8192;
constexpr std::size_t kMaxClients = 8;

}  // namespace

DemoFeedServer::DemoFeedServer(platform::EventLoop& loop, std::string body) : m_loop(loop), m_body(std::move(body))
{
}

DemoFeedServer::~DemoFeedServer()
{
    while (!m_clients.empty()) {
        dropClient(m_clients.begin()->first);
    }
    platform::closeWatchedDescriptor(m_loop, m_listenWatch, m_listenFd);
}

std::optional<platform::SysError> DemoFeedServer::listen()
{
    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_listenFd < 0) {
        return platform::sysErrorFromErrno(errno, "demo web server");
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listenFd, 8) != 0 ||
        ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return platform::sysErrorFromErrno(errno, "demo web server");
    }
    m_port = ntohs(address.sin_port);
    m_listenWatch = m_loop.watchFd(m_listenFd, platform::EventLoop::kReadable, [this](unsigned) { acceptClients(); });
    return std::nullopt;
}

void DemoFeedServer::acceptClients()
{
    for (;;) {
        int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            return;
        }
        if (m_clients.size() >= kMaxClients) {
            ::close(fd);
            continue;
        }
        auto client = std::make_unique<Client>();
        client->fd = fd;
        client->watch = m_loop.watchFd(fd, platform::EventLoop::kReadable,
                                       [this, fd](unsigned events) { serviceClient(fd, events); });
        m_clients.emplace(fd, std::move(client));
    }
}

void DemoFeedServer::serviceClient(int fd, unsigned events)
{
    auto it = m_clients.find(fd);
    if (it == m_clients.end()) {
        return;
    }
    Client& client = *it->second;
    if (client.response.empty()) {
        readRequest(client);
    } else if ((events & platform::EventLoop::kWritable) != 0) {
        writeResponse(client);
    }
}

void DemoFeedServer::readRequest(Client& client)
{
    char buffer[2048];
    ssize_t n = ::recv(client.fd, buffer, sizeof buffer, 0);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
        return;
    }
    if (n <= 0) {
        dropClient(client.fd);
        return;
    }
    client.request.append(buffer, static_cast<std::size_t>(n));
    if (client.request.size() > kMaxRequestBytes) {
        dropClient(client.fd);
        return;
    }
    if (client.request.find("\r\n\r\n") == std::string::npos && client.request.find("\n\n") == std::string::npos) {
        return;
    }
    const bool isGet = client.request.compare(0, 4, "GET ") == 0;
    std::string status = isGet ? "200 OK" : "405 Method Not Allowed";
    std::string body = isGet ? m_body : std::string();
    client.response = "HTTP/1.0 " + status + "\r\nContent-Type: application/rss+xml; charset=UTF-8\r\n" +
                      "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    m_loop.setWatchEvents(*client.watch, platform::EventLoop::kWritable);
    writeResponse(client);
}

void DemoFeedServer::writeResponse(Client& client)
{
    while (client.written < client.response.size()) {
        ssize_t n = ::send(client.fd, client.response.data() + client.written, client.response.size() - client.written,
                           MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR) {
                return;
            }
            dropClient(client.fd);
            return;
        }
        client.written += static_cast<std::size_t>(n);
    }
    ++m_served;
    dropClient(client.fd);
}

void DemoFeedServer::dropClient(int fd)
{
    auto it = m_clients.find(fd);
    if (it == m_clients.end()) {
        return;
    }
    platform::closeWatchedDescriptor(m_loop, it->second->watch, it->second->fd);
    m_clients.erase(it);
}

}  // namespace orlavo::tools
