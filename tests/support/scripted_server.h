#pragma once
// A TCP server on 127.0.0.1 and an ephemeral port that does exactly what the
// test says, one step at a time from the test's own thread: accept, read the
// request, send these bytes, close or reset. Every blocking step has a guard
// timeout so a broken test fails instead of hanging.
#include <cstdint>
#include <string>
#include <string_view>

namespace orlavo::testing {

class ScriptedServer {
public:
    ScriptedServer();
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    [[nodiscard]] std::uint16_t port() const { return m_port; }
    [[nodiscard]] std::string url(std::string_view path) const;
    // The same with https://, for a client that starts a TLS handshake here.
    [[nodiscard]] std::string secureUrl(std::string_view path) const;

    // Takes the next pending connection; false when none came in time.
    bool accept();
    // Reads until the blank line that ends a request; what arrived so far on failure.
    [[nodiscard]] std::string readRequest();
    // Waits for the client's first bytes (a TLS client's hello, say) and
    // returns what has arrived; empty when nothing came in time.
    [[nodiscard]] std::string readSome();
    // Whatever the client has sent by now, without waiting.
    [[nodiscard]] std::string readAvailable();
    // False once the client has gone (reset or closed), so a sender can stop.
    bool send(std::string_view bytes);
    // Orderly close (FIN) of the accepted connection.
    void close();
    // Abortive close: SO_LINGER 0, so the client sees a reset.
    void reset();
    // Half close: the client sees the end of the response, the server still reads.
    void shutdownWrite();
    // True once the client has closed its end (recv gives 0 or an error)
    // within timeoutMs.
    [[nodiscard]] bool clientClosed(int timeoutMs = 5000);

private:
    int m_listenFd = -1;
    int m_clientFd = -1;
    std::uint16_t m_port = 0;
};

// A listening TCP socket on 127.0.0.1 and an ephemeral port; throws when
// none can be had. Shared by the test servers.
[[nodiscard]] int listenOnLoopback(std::uint16_t& port);
// True when fd turns readable within timeoutMs.
[[nodiscard]] bool waitReadable(int fd, int timeoutMs);

// A listener on 127.0.0.1 whose accept queue is full: the kernel drops
// further SYNs, so a connect to it hangs until the client gives up.
class FullBacklogListener {
public:
    FullBacklogListener();
    ~FullBacklogListener();
    FullBacklogListener(const FullBacklogListener&) = delete;
    FullBacklogListener& operator=(const FullBacklogListener&) = delete;

    // 0 when the listener could not be set up.
    [[nodiscard]] std::uint16_t port() const { return m_port; }

private:
    int m_listenFd = -1;
    int m_fillerFd = -1;
    std::uint16_t m_port = 0;
};

// A port on 127.0.0.1 where nothing listens (bound, then released).
[[nodiscard]] std::uint16_t unusedLoopbackPort();

}  // namespace orlavo::testing
