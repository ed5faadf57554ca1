#pragma once
// The service's control socket on its event loop: each connection sends one
// request line and gets one reply line, then is closed. Requests are bounded
// in size, in time (a silent client is dropped) and in number at once.
#include "platform/event_loop.h"
#include "platform/sys_error.h"
#include "platform/unix_socket.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace orlavo::tools {

class ControlServer {
public:
    // The reply line (with its line end) to one request line (without it).
    using Handler = std::function<std::string(std::string_view line)>;

    static constexpr std::int64_t kRequestTimeoutMs = 2000;
    static constexpr std::size_t kMaxClients = 8;

    ControlServer(platform::EventLoop& loop, Handler handler);
    ~ControlServer();
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;

    // Creates the private directory and listens; a live socket there is
    // refused with a sentence naming it.
    [[nodiscard]] std::optional<platform::SysError> listen(const std::filesystem::path& socketPath);

private:
    struct Client {
        std::unique_ptr<platform::UnixConnection> connection;
        platform::EventLoop::WatchId watch = 0;
        platform::EventLoop::TimerId timer = 0;
        std::string received;
    };

    void accept(std::unique_ptr<platform::UnixConnection> connection);
    void readFrom(std::uint64_t id);
    void drop(std::uint64_t id);

    platform::EventLoop& m_loop;
    Handler m_handler;
    platform::UnixListener m_listener;
    std::map<std::uint64_t, Client> m_clients;
    std::uint64_t m_nextId = 1;
};

}  // namespace orlavo::tools
