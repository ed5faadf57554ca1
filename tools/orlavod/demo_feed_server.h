#pragma once
// The demo's web server: serves one feed body to every GET on 127.0.0.1,
// HTTP/1.0, one request per connection, on the program's event loop.
#include "platform/event_loop.h"
#include "platform/sys_error.h"

#include <map>
#include <memory>
#include <optional>
#include <string>

namespace orlavo::tools {

class DemoFeedServer {
public:
    DemoFeedServer(platform::EventLoop& loop, std::string body);
    ~DemoFeedServer();
    DemoFeedServer(const DemoFeedServer&) = delete;
    DemoFeedServer& operator=(const DemoFeedServer&) = delete;

    // Listens on 127.0.0.1 at an ephemeral port.
    [[nodiscard]] std::optional<platform::SysError> listen();
    [[nodiscard]] int port() const { return m_port; }
    [[nodiscard]] int requestsServed() const { return m_served; }

private:
    struct Client {
        int fd = -1;
        std::optional<platform::EventLoop::WatchId> watch;
        std::string request;
        std::string response;
        std::size_t written = 0;
    };

    void acceptClients();
    void serviceClient(int fd, unsigned events);
    void readRequest(Client& client);
    void writeResponse(Client& client);
    void dropClient(int fd);

    platform::EventLoop& m_loop;
    std::string m_body;
    int m_listenFd = -1;
    int m_port = -1;
    std::optional<platform::EventLoop::WatchId> m_listenWatch;
    std::map<int, std::unique_ptr<Client>> m_clients;
    int m_served = 0;
};

}  // namespace orlavo::tools
