#pragma once
// TLS for tests, made at run time: a CA the test trusts, certificates it
// issues (valid, expired, for another host, self-signed), and an HTTP server
// on 127.0.0.1 that answers each connection on its own thread, plain or over
// TLS, with whatever the test's responder returns for the request.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace orlavo::testing {

struct TestIdentity {
    std::string certificatePem;
    std::string keyPem;
};

struct IssueOptions {
    std::string subjectAltNames = "IP:127.0.0.1,DNS:localhost";
    long notBeforeDays = -1;  // relative to now
    long notAfterDays = 30;
};

class TestCa {
public:
    explicit TestCa(std::string commonName = "Orlavo Test CA");
    ~TestCa();
    TestCa(const TestCa&) = delete;
    TestCa& operator=(const TestCa&) = delete;

    [[nodiscard]] const std::string& certificatePem() const { return m_identity.certificatePem; }
    [[nodiscard]] TestIdentity issue(const IssueOptions& options = {}) const;

private:
    TestIdentity m_identity;
};

// Accepts connections on 127.0.0.1 and an ephemeral port on its own thread,
// hands each to handle and closes it; keeps the requests handle records.
// Destroying it joins the thread, so it is the last member of its owner.
class LoopbackAcceptor {
public:
    explicit LoopbackAcceptor(std::function<void(int fd)> handle);
    ~LoopbackAcceptor();
    LoopbackAcceptor(const LoopbackAcceptor&) = delete;
    LoopbackAcceptor& operator=(const LoopbackAcceptor&) = delete;

    [[nodiscard]] std::uint16_t port() const { return m_port; }
    [[nodiscard]] bool stopping() const { return m_stop; }
    void record(std::string request);
    [[nodiscard]] std::vector<std::string> requests() const;

private:
    std::function<void(int)> m_handle;
    int m_listenFd = -1;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::vector<std::string> m_requests;
    std::thread m_thread;
};

class TestHttpServer {
public:
    using Responder = std::function<std::string(const std::string& request)>;
    // How a TLS response ends: with close_notify, or with the bare TCP close
    // that many servers send.
    enum class TlsEnd { CloseNotify, TcpCloseOnly };
    // identity empty: plain HTTP.
    TestHttpServer(Responder respond, const TestIdentity& identity = {}, TlsEnd end = TlsEnd::CloseNotify);

    [[nodiscard]] std::uint16_t port() const { return m_acceptor.port(); }
    // "https://127.0.0.1:PORT" + path, or http:// for a plain server.
    [[nodiscard]] std::string url(std::string_view path) const;
    [[nodiscard]] std::vector<std::string> requests() const { return m_acceptor.requests(); }

private:
    void answer(int fd);

    Responder m_respond;
    TlsEnd m_end;
    std::shared_ptr<void> m_ctx;  // SSL_CTX, kept out of the header; null: plain HTTP
    LoopbackAcceptor m_acceptor{[this](int fd) { answer(fd); }};
};

// An HTTP proxy on 127.0.0.1 for CONNECT: it opens the tunnel to the named
// port of 127.0.0.1 (never elsewhere) and relays both ways until one side
// closes; with refusal set it answers that instead.
class TestConnectProxy {
public:
    explicit TestConnectProxy(std::string refusal = {}) : m_refusal(std::move(refusal)) {}

    [[nodiscard]] std::uint16_t port() const { return m_acceptor.port(); }
    [[nodiscard]] std::vector<std::string> requests() const { return m_acceptor.requests(); }

private:
    void tunnel(int client);

    std::string m_refusal;
    LoopbackAcceptor m_acceptor{[this](int fd) { tunnel(fd); }};
};

// The path of a request's first line ("GET /a HTTP/1.0" gives "/a").
[[nodiscard]] std::string requestPath(const std::string& request);

}  // namespace orlavo::testing
