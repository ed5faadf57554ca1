#include "web/web_server.h"

#include "web/web_discovery.h"

#include "platform/posix_udp_endpoint.h"

#include <httplib.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>

namespace orlavo::tools {

namespace {

// A fixed set of workers. Connections beyond the queue's bound are served on
// the accepting thread, which stops accepting meanwhile: the kernel's
// backlog then holds (and at last refuses) the flood, not our memory.
class BoundedPool final : public httplib::TaskQueue {
public:
    BoundedPool(std::size_t workers, std::size_t queued) : m_maxQueued(queued)
    {
        for (std::size_t i = 0; i < workers; ++i) {
            m_threads.emplace_back([this] { work(); });
        }
    }
    void enqueue(std::function<void()> fn) override
    {
        {
            std::lock_guard lock(m_mutex);
            if (m_jobs.size() < m_maxQueued) {
                m_jobs.push_back(std::move(fn));
                m_ready.notify_one();
                return;
            }
        }
        fn();
    }
    void shutdown() override
    {
        {
            std::lock_guard lock(m_mutex);
            m_shutdown = true;
        }
        m_ready.notify_all();
        for (std::thread& thread : m_threads) {
            thread.join();
        }
    }

private:
    void work()
    {
        for (;;) {
            std::function<void()> fn;
            {
                std::unique_lock lock(m_mutex);
                m_ready.wait(lock, [this] { return m_shutdown || !m_jobs.empty(); });
                if (m_jobs.empty()) {
                    return;
                }
                fn = std::move(m_jobs.front());
                m_jobs.pop_front();
            }
            fn();
        }
    }

    const std::size_t m_maxQueued;
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<std::function<void()>> m_jobs;
    std::vector<std::thread> m_threads;
    bool m_shutdown = false;
};

WebRequest requestOf(const httplib::Request& r)
{
    WebRequest request{r.method,
                       r.path,
                       std::nullopt,
                       r.get_header_value("Authorization"),
                       r.get_header_value("Cookie"),
                       r.body,
                       r.get_header_value("Host"),
                       r.get_header_value("Origin")};
    if (r.has_param("token")) {
        request.queryToken = r.get_param_value("token");
    }
    return request;
}

void send(const WebResponse& response, httplib::Response& r)
{
    r.status = response.status;
    for (const auto& [name, value] : response.headers) {
        r.set_header(name, value);
    }
    r.set_header("Cache-Control", "no-store");
    r.set_header("X-Content-Type-Options", "nosniff");
    if (response.status != 204) {
        r.set_content(response.body, response.contentType);
    }
}

WebResponse busy()
{
    return errorResponse(503, "the service did not answer in time; try again");
}

std::string bindFailure(const ListenAddress& address, int error)
{
    const std::string where = "the web control cannot listen on " + address.host + " port " +
                              std::to_string(address.port) + ": ";
    switch (error) {
    case EADDRINUSE:
        return where + "the port is in use";
    case EADDRNOTAVAIL:
        return where + "the address is not one of this machine's";
    case EACCES:
        return where + "ports below 1024 need privileges";
    default:
        return where + (error != 0 ? std::string(std::strerror(error)) : std::string("the address cannot be bound"));
    }
}

std::string eventText(const std::string& data)
{
    return "event: sign\ndata: " + data + "\n\n";
}

}  // namespace

struct WebServer::Handler {
    WebServer& server;

    void serve(const httplib::Request& raw, httplib::Response& out) const
    {
        const WebRequest request = requestOf(raw);
        if (std::optional<WebResponse> early = server.m_api->answerOffLoop(request)) {
            send(*early, out);
            return;
        }
        if (WebApi::isEventStream(request)) {
            stream(out);
            return;
        }
        if (WebApi::isDiscovery(request)) {
            send(discover(request), out);
            return;
        }
        std::weak_ptr<WebApi> api = server.m_api;
        std::optional<WebResponse> answer = server.m_inbox.call<WebResponse>(
            [api, request] {
                auto alive = api.lock();
                return alive ? alive->answerOnLoop(request) : busy();
            },
            WebLimits::kLoopWait);
        send(answer ? *answer : busy(), out);
    }

    WebResponse discover(const WebRequest& request) const
    {
        struct Waiting {
            std::mutex mutex;
            std::condition_variable done;
            std::optional<WebResponse> answer;
        };
        auto waiting = std::make_shared<Waiting>();
        std::weak_ptr<WebDiscovery> discovery = server.m_discovery;
        std::optional<std::optional<WebResponse>> started = server.m_inbox.call<std::optional<WebResponse>>(
            [discovery, request, waiting]() -> std::optional<WebResponse> {
                auto alive = discovery.lock();
                if (!alive) {
                    return busy();
                }
                return alive->start(request, [waiting](WebResponse answer) {
                    std::lock_guard lock(waiting->mutex);
                    waiting->answer = std::move(answer);
                    waiting->done.notify_all();
                });
            },
            WebLimits::kLoopWait);
        if (!started) {
            return busy();
        }
        if (*started) {
            return **started;
        }
        // The walk's end, or the server's: a stop must not wait a whole walk.
        std::unique_lock lock(waiting->mutex);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kMaxWalkMs + kLateReplyMs) +
                              WebLimits::kLoopWait;
        while (!waiting->answer && !server.m_stopping && std::chrono::steady_clock::now() < deadline) {
            waiting->done.wait_for(lock, std::chrono::milliseconds(100));
        }
        return waiting->answer ? *waiting->answer : busy();
    }

    void stream(httplib::Response& out) const
    {
        EventHub& hub = server.m_hub;
        std::optional<EventHub::ClientId> client = hub.join();
        if (!client) {
            send(errorResponse(503, "at most " + std::to_string(WebLimits::kEventClients) +
                                        " event streams at once; close one"),
                 out);
            return;
        }
        std::weak_ptr<WebApi> api = server.m_api;
        std::optional<std::vector<std::string>> first = server.m_inbox.call<std::vector<std::string>>(
            [api] {
                auto alive = api.lock();
                return alive ? alive->signEvents() : std::vector<std::string>();
            },
            WebLimits::kLoopWait);
        if (!first) {
            hub.leave(*client);
            send(busy(), out);
            return;
        }
        std::string opening;
        for (const std::string& data : *first) {
            opening += eventText(data);
        }
        out.set_header("Cache-Control", "no-store");
        auto lastWrite = std::make_shared<std::chrono::steady_clock::time_point>(std::chrono::steady_clock::now());
        out.set_chunked_content_provider(
            "text/event-stream",
            [&hub, id = *client, opening, lastWrite](std::size_t offset, httplib::DataSink& sink) {
                if (offset == 0 && !opening.empty()) {
                    return sink.write(opening.data(), opening.size());
                }
                // Short waits, so a client that went away frees its place
                // within a second rather than at the next keepalive.
                EventHub::Batch batch = hub.next(id, WebLimits::kStreamCheck);
                if (batch.closed) {
                    sink.done();
                    return true;
                }
                std::string text;
                for (const std::string& data : batch.data) {
                    text += eventText(data);
                }
                const auto now = std::chrono::steady_clock::now();
                if (text.empty()) {
                    if (now - *lastWrite < WebLimits::kKeepAlive) {
                        return sink.is_writable();
                    }
                    text = ": keepalive\n\n";
                }
                *lastWrite = now;
                return sink.write(text.data(), text.size());
            },
            [&hub, id = *client](bool) { hub.leave(id); });
    }
};

WebServer::WebServer(WebOptions options, platform::LoopInbox& inbox, SignBoard& board, platform::Clock& clock)
    : m_options(std::move(options)), m_inbox(inbox), m_board(board),
      m_auth(m_options.token, !m_options.certFile.empty()), m_api(std::make_shared<WebApi>(board, m_auth)),
      m_discoveryUdp(std::make_unique<platform::PosixUdpEndpoint>(board.loop())),
      m_discovery(std::make_shared<WebDiscovery>(board, clock, *m_discoveryUdp))
{
    m_listener = m_board.listen([this](const std::string& sign) {
        if (m_hub.anyClient()) {
            if (std::string data = m_api->signEvent(sign); !data.empty()) {
                m_hub.publish(sign, data);
            }
        }
    });
}

WebServer::~WebServer()
{
    stop();
    m_board.unlisten(m_listener);
}

std::optional<std::string> WebServer::start()
{
    const std::optional<ListenAddress> address = parseListenAddress(m_options.listen);
    if (!address) {
        return "the web control's address \"" + m_options.listen + "\" is not ADDR:PORT";
    }
    const bool secure = !m_options.certFile.empty();
    if (secure) {
        auto ssl = std::make_unique<httplib::SSLServer>(m_options.certFile.c_str(), m_options.keyFile.c_str());
        if (!ssl->is_valid()) {
            return "the web control's certificate " + m_options.certFile + " or key " + m_options.keyFile +
                   " cannot be read, or they do not belong together";
        }
        m_server = std::move(ssl);
    } else {
        m_server = std::make_unique<httplib::Server>();
    }
    httplib::Server& server = *m_server;
    server.new_task_queue = [] { return new BoundedPool(WebLimits::kWorkers, WebLimits::kQueuedConnections); };
    // Reuse of the address after a restart, never of a port another
    // process listens on: a second service must be told its port is taken.
    server.set_socket_options([](int socket) {
        const int yes = 1;
        (void)::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    server.set_payload_max_length(kMaxWebBody);
    server.set_read_timeout(WebLimits::kTimeoutSeconds, 0);
    server.set_write_timeout(WebLimits::kTimeoutSeconds, 0);
    server.set_keep_alive_timeout(WebLimits::kTimeoutSeconds);
    server.set_keep_alive_max_count(WebLimits::kKeepAliveRequests);
    auto handler = std::make_shared<Handler>(Handler{*this});
    auto serve = [handler](const httplib::Request& request, httplib::Response& response) {
        handler->serve(request, response);
    };
    server.Get(".*", serve);
    server.Post(".*", serve);
    server.Put(".*", serve);
    server.Delete(".*", serve);
    // httplib's own refusals (a body over the limit, a bad request line) in the API's shape.
    server.set_error_handler([](const httplib::Request&, httplib::Response& response) {
        if (response.body.empty()) {
            const std::string why = response.status == 413
                                        ? "the request body is larger than " + std::to_string(kMaxWebBody) + " bytes"
                                        : "the request was refused (HTTP " + std::to_string(response.status) + ")";
            response.set_content(jsonText(nlohmann::json{{"error", why}}), "application/json");
        }
    });
    errno = 0;
    int port = address->port;
    bool bound = false;
    if (port == 0) {
        port = server.bind_to_any_port(address->host);
        bound = port > 0;
    } else {
        bound = server.bind_to_port(address->host, port);
    }
    if (!bound) {
        const int error = errno;
        m_server.reset();
        return bindFailure(*address, error);
    }
    const bool v6 = address->host.find(':') != std::string::npos;
    m_url = std::string(secure ? "https" : "http") + "://" + (v6 ? "[" + address->host + "]" : address->host) + ":" +
            std::to_string(port) + "/";
    m_thread = std::thread([&server] { server.listen_after_bind(); });
    return std::nullopt;
}

void WebServer::stop()
{
    m_stopping = true;
    m_hub.close();
    if (m_server) {
        m_server->stop();
    }
    if (m_thread.joinable()) {
        m_thread.join();
    }
    m_server.reset();
}

}  // namespace orlavo::tools
