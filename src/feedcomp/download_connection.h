#pragma once
// One hop's connection, watched by the event loop: plain TCP, a TLS session
// whose handshake the loop's readiness drives, or, for https:// through an
// HTTP proxy, a CONNECT tunnel that TLS then runs in. It sends the request
// once the connection stands; the engine reads the response through it.
#include "feedcomp/download_fault.h"
#include "feedcomp/hop_target.h"

#include "platform/event_loop.h"
#include "platform/loop_connect.h"
#include "platform/loop_lookup.h"
#include "platform/resolver.h"
#include "platform/tcp_connection.h"
#include "platform/tls_connection.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace pellix::detail {

// What one readiness notification brought.
struct ConnectionStep {
    std::optional<DownloadFault> fault;  // the download ends
    bool active = false;                 // bytes went out: the idle time starts anew
    bool readable = false;               // response bytes may be waiting
};

class DownloadConnection {
public:
    // Null resolver or connector: the system's.
    DownloadConnection(orlavo::platform::EventLoop& loop, Resolver* resolver, TcpConnector* connector,
                       std::int64_t connectTimeoutMs, std::int64_t maxHeaderBytes);
    ~DownloadConnection();
    DownloadConnection(const DownloadConnection&) = delete;
    DownloadConnection& operator=(const DownloadConnection&) = delete;

    void setCaFile(std::string path);
    // Looks up and connects to the target's host (or its proxy) within the
    // connect timeout, sets up TLS or the tunnel, and starts watching the
    // socket; onReady gets each readiness. The fault's text is RequestFile's.
    [[nodiscard]] std::optional<DownloadFault> connect(const HopTarget& target, std::function<void(unsigned)> onReady);
    // connect, returning at once: the lookup and the connect run from the
    // loop (the system's in the background; a host's own resolver or
    // connector is called from a loop task), and done gets what connect would
    // have returned. Nothing is called after close().
    void connectInBackground(const HopTarget& target, std::function<void(unsigned)> onReady,
                             std::function<void(std::optional<DownloadFault>)> done);
    // A background connect is under way.
    [[nodiscard]] bool connecting() const { return static_cast<bool>(m_connected); }
    // Sends what can go now; the rest waits for the handshake, the tunnel or
    // a writable socket. 0 or the errno of a failed send.
    [[nodiscard]] int send(std::string request);
    [[nodiscard]] ConnectionStep onReady(unsigned bits);
    [[nodiscard]] orlavo::platform::IoResult receive(char* data, std::size_t size);
    // A TLS session may hold decrypted bytes that no readiness will announce.
    [[nodiscard]] bool hasBufferedData() const;
    // Stops watching and closes; safe to call when nothing is open.
    void close();

    [[nodiscard]] bool isOpen() const { return m_connection != nullptr; }
    // The TLS handshake or the proxy's tunnel is still being set up.
    [[nodiscard]] bool settingUp() const { return m_handshaking || m_tunnelling; }
    [[nodiscard]] const std::string& host() const { return m_host; }

private:
    [[nodiscard]] bool open(std::unique_ptr<orlavo::platform::TcpConnection> tcp, const HopTarget& target,
                            std::function<void(unsigned)> onReady, std::string& error);
    [[nodiscard]] bool haveTlsContext(std::string& error);
    [[nodiscard]] std::unique_ptr<orlavo::platform::TcpConnection>
    startTls(std::unique_ptr<orlavo::platform::TcpConnection> tcp, const std::string& host, std::string& error);
    [[nodiscard]] int sendSome();
    [[nodiscard]] ConnectionStep continueTunnel(unsigned bits);
    [[nodiscard]] ConnectionStep enterTunnel(std::string_view answer);
    [[nodiscard]] ConnectionStep continueHandshake();
    void watchFor(unsigned events);
    [[nodiscard]] std::optional<DownloadFault> lookupFault(const LookupResult& lookup) const;
    [[nodiscard]] std::optional<DownloadFault> connectFault(const ConnectResult& connected) const;
    [[nodiscard]] std::optional<DownloadFault> openFault(ConnectResult connected, const HopTarget& target,
                                                         std::function<void(unsigned)> onReady);
    void lookedUp(const LookupResult& lookup);
    void reached(ConnectResult connected);
    // Calls work from a loop task, so a host's blocking resolver or connector
    // still runs after RequestFile returned.
    void callFromLoop(std::function<void()> work);
    void settle(std::optional<DownloadFault> fault);

    orlavo::platform::EventLoop& m_loop;
    std::unique_ptr<Resolver> m_ownResolver;
    std::unique_ptr<TcpConnector> m_ownConnector;
    Resolver& m_resolver;
    TcpConnector& m_connector;
    std::int64_t m_connectTimeoutMs;
    std::int64_t m_maxHeaderBytes;
    std::unique_ptr<orlavo::platform::TlsClientContext> m_tls;  // made at the first https:// request
    std::string m_caFile;
    std::unique_ptr<orlavo::platform::TcpConnection> m_connection;
    std::optional<orlavo::platform::EventLoop::WatchId> m_watch;
    std::string m_host;  // of this hop, for the texts
    bool m_handshaking = false;
    bool m_tunnelling = false;  // CONNECT sent, its answer awaited
    std::string m_tlsName;      // the host the certificate must name
    std::string m_unsent;
    std::string m_afterTunnel;   // the request, sent once TLS stands in the tunnel
    std::string m_tunnelAnswer;  // the proxy's answer header, as it arrives

    // The background connect: its hop, and what to call with the outcome.
    orlavo::platform::LoopLookup m_loopLookup{m_loop};
    orlavo::platform::LoopConnect m_loopConnect{m_loop};
    std::optional<orlavo::platform::EventLoop::TimerId> m_hostCall;
    HopTarget m_pendingTarget;
    std::function<void(unsigned)> m_pendingOnReady;
    std::function<void(std::optional<DownloadFault>)> m_connected;
};

}  // namespace pellix::detail
