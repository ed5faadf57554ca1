#pragma once
// The web control's HTTP(S) server: its own threads take the connections and
// hand each request that needs the signs to the loop through the inbox; the
// sign changes reach the event streams through an EventHub. Built, started
// and destroyed on the loop's thread.
#include "web/event_hub.h"
#include "web/web_api.h"
#include "web/web_auth.h"
#include "web/web_options.h"
#include "sign_board.h"

#include "platform/clock.h"
#include "platform/loop_inbox.h"
#include "platform/udp_endpoint.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

namespace orlavo::tools {

class WebDiscovery;

struct WebLimits {
    static constexpr std::size_t kEventClients = 16;
    // Every event stream holds a worker; the others serve the plain requests.
    static constexpr std::size_t kWorkers = kEventClients + 8;
    static constexpr std::size_t kQueuedConnections = 64;
    static constexpr std::size_t kKeepAliveRequests = 20;
    static constexpr int kTimeoutSeconds = 5;
    static constexpr std::chrono::milliseconds kLoopWait{5000};
    static constexpr std::chrono::milliseconds kKeepAlive{15000};
    static constexpr std::chrono::milliseconds kStreamCheck{1000};
};

class WebServer {
public:
    // options passed checkWebOptions; the token is the one in effect.
    WebServer(WebOptions options, platform::LoopInbox& inbox, SignBoard& board, platform::Clock& clock);
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    // Binds and starts serving; one sentence when it cannot.
    [[nodiscard]] std::optional<std::string> start();
    // "http://127.0.0.1:8080/", with the port bound.
    [[nodiscard]] const std::string& url() const { return m_url; }
    // Ends every stream and connection and joins the threads.
    void stop();

private:
    struct Handler;

    WebOptions m_options;
    platform::LoopInbox& m_inbox;
    SignBoard& m_board;
    WebAuth m_auth;
    EventHub m_hub{WebLimits::kEventClients};
    // Tasks posted to the loop hold it weakly: one that runs after the
    // server is gone does nothing.
    std::shared_ptr<WebApi> m_api;
    std::unique_ptr<platform::UdpEndpoint> m_discoveryUdp;
    std::shared_ptr<WebDiscovery> m_discovery;
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    std::string m_url;
    std::uint64_t m_listener = 0;
    std::atomic<bool> m_stopping = false;  // a discovery's waiter gives up
};

}  // namespace orlavo::tools
