#include "control_server.h"

#include "control_protocol.h"

#include <cerrno>

namespace orlavo::tools {

ControlServer::ControlServer(platform::EventLoop& loop, Handler handler)
    : m_loop(loop), m_handler(std::move(handler)), m_listener(loop)
{
}

ControlServer::~ControlServer()
{
    while (!m_clients.empty()) {
        drop(m_clients.begin()->first);
    }
}

std::optional<platform::SysError> ControlServer::listen(const std::filesystem::path& socketPath)
{
    if (auto error = platform::preparePrivateDir(socketPath.parent_path())) {
        return error;
    }
    auto error = m_listener.listen(socketPath, [this](auto connection) { accept(std::move(connection)); });
    if (error && error->number == EADDRINUSE) {
        error->description = "another orlavod service is already listening on " + socketPath.string();
    }
    return error;
}

void ControlServer::accept(std::unique_ptr<platform::UnixConnection> connection)
{
    if (m_clients.size() >= kMaxClients) {
        return;  // closed at once: busy
    }
    const std::uint64_t id = m_nextId++;
    Client& client = m_clients[id];
    const int fd = connection->fd();
    client.connection = std::move(connection);
    client.watch = m_loop.watchFd(fd, platform::EventLoop::kReadable, [this, id](unsigned) { readFrom(id); });
    client.timer = m_loop.startTimer(kRequestTimeoutMs, [this, id] { drop(id); });
}

void ControlServer::readFrom(std::uint64_t id)
{
    auto it = m_clients.find(id);
    if (it == m_clients.end()) {
        return;
    }
    Client& client = it->second;
    const bool open = client.connection->readSome(client.received, kMaxControlRequestBytes);
    const std::size_t newline = client.received.find('\n');
    if (newline == std::string::npos) {
        if (client.received.size() >= kMaxControlRequestBytes) {
            client.connection->writeSome(formatReply({false, "the request is too long"}));
            drop(id);
        } else if (!open) {
            drop(id);
        }
        return;
    }
    // The handler may send a frame whose waits run the loop: this client
    // takes no part in that.
    m_loop.setWatchEvents(client.watch, 0);
    m_loop.cancelTimer(client.timer);
    const std::string reply = m_handler(std::string_view(client.received).substr(0, newline));
    it = m_clients.find(id);
    if (it != m_clients.end()) {
        // A reply is one short line: the socket's buffer takes it whole.
        it->second.connection->writeSome(reply);
        drop(id);
    }
}

void ControlServer::drop(std::uint64_t id)
{
    auto it = m_clients.find(id);
    if (it == m_clients.end()) {
        return;
    }
    m_loop.unwatchFd(it->second.watch);
    m_loop.cancelTimer(it->second.timer);
    m_clients.erase(it);
}

}  // namespace orlavo::tools
