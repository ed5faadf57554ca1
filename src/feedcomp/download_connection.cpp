#include "feedcomp/download_connection.h"

#include "feedcomp/duration_text.h"
#include "feedcomp/http_header.h"
#include "feedcomp/url.h"
#include "pellix/result_code.h"

#include <cstdlib>
#include <new>
#include <utility>

namespace pellix::detail {

using orlavo::platform::EventLoop;
using orlavo::platform::HandshakeStatus;
using orlavo::platform::TlsSession;

namespace {

// Names a CA file for hosts that set none, so tools and the program trust a
// private CA without a code change.
constexpr const char* kCaFileVariable = "ORLAVO_CA_FILE";

std::string extraCaFile(const std::string& configured)
{
    if (!configured.empty()) {
        return configured;
    }
    const char* fromEnvironment = std::getenv(kCaFileVariable);
    return fromEnvironment != nullptr ? fromEnvironment : "";
}

ConnectionStep failed(ResultCode code, std::string text)
{
    return {DownloadFault{toInt(code), std::move(text)}, false, false};
}

}  // namespace

DownloadConnection::DownloadConnection(EventLoop& loop, Resolver* resolver, TcpConnector* connector,
                                       std::int64_t connectTimeoutMs, std::int64_t maxHeaderBytes)
    : m_loop(loop),
      m_ownResolver(resolver == nullptr ? std::make_unique<SystemResolver>() : nullptr),
      m_ownConnector(connector == nullptr ? std::make_unique<PosixTcpConnector>() : nullptr),
      m_resolver(resolver == nullptr ? *m_ownResolver : *resolver),
      m_connector(connector == nullptr ? *m_ownConnector : *connector),
      m_connectTimeoutMs(connectTimeoutMs),
      m_maxHeaderBytes(maxHeaderBytes)
{
}

DownloadConnection::~DownloadConnection()
{
    close();
}

void DownloadConnection::setCaFile(std::string path)
{
    if (path != m_caFile) {
        m_caFile = std::move(path);
        m_tls.reset();  // the next https:// request loads the new trust
    }
}

bool DownloadConnection::haveTlsContext(std::string& error)
{
    if (!m_tls) {
        m_tls = orlavo::platform::TlsClientContext::create(extraCaFile(m_caFile), error);
    }
    return m_tls != nullptr;
}

std::unique_ptr<orlavo::platform::TcpConnection>
DownloadConnection::startTls(std::unique_ptr<orlavo::platform::TcpConnection> tcp, const std::string& host,
                             std::string& error)
{
    if (!haveTlsContext(error)) {
        return nullptr;
    }
    return m_tls->startSession(std::move(tcp), host, error);
}

std::optional<DownloadFault> DownloadConnection::lookupFault(const LookupResult& lookup) const
{
    if (lookup.status == LookupStatus::TimedOut) {
        return DownloadFault{toInt(ResultCode::LookupFailed),
                             refusalText(ResultCode::LookupFailed,
                                         "lookup timed out after " + durationText(m_connectTimeoutMs))};
    }
    if (lookup.status != LookupStatus::Found) {
        return DownloadFault{toInt(ResultCode::LookupFailed), refusalText(ResultCode::LookupFailed, lookup.error)};
    }
    return std::nullopt;
}

std::optional<DownloadFault> DownloadConnection::connectFault(const ConnectResult& connected) const
{
    if (connected.status == ConnectStatus::Connected) {
        return std::nullopt;
    }
    const ResultCode code =
        connected.status == ConnectStatus::SocketFailed ? ResultCode::SocketFailed : ResultCode::ConnectFailed;
    std::string text = resultText(code) + std::to_string(connected.error);
    if (connected.status == ConnectStatus::TimedOut) {
        text += " (connect timed out after " + durationText(m_connectTimeoutMs) + ")";
    }
    return DownloadFault{toInt(code), std::move(text)};
}

std::optional<DownloadFault> DownloadConnection::openFault(ConnectResult connected, const HopTarget& target,
                                                           std::function<void(unsigned)> onReady)
{
    if (auto fault = connectFault(connected)) {
        return fault;
    }
    if (std::string error; !open(std::move(connected.connection), target, std::move(onReady), error)) {
        return DownloadFault{toInt(ResultCode::TlsUnavailable), refusalText(ResultCode::TlsUnavailable, error)};
    }
    return std::nullopt;
}

namespace {

const std::string& connectHostOf(const HopTarget& target)
{
    return target.proxy ? target.proxy->host : target.host;
}

std::uint16_t connectPortOf(const HopTarget& target)
{
    return target.proxy ? target.proxy->port.value_or(1080) : target.port;
}

}  // namespace

std::optional<DownloadFault> DownloadConnection::connect(const HopTarget& target,
                                                         std::function<void(unsigned)> onReady)
{
    auto lookup = m_resolver.lookup(lookupName(connectHostOf(target)), m_connectTimeoutMs);
    if (auto fault = lookupFault(lookup)) {
        return fault;
    }
    return openFault(m_connector.connect(lookup.addresses, connectPortOf(target), m_connectTimeoutMs), target,
                     std::move(onReady));
}

void DownloadConnection::connectInBackground(const HopTarget& target, std::function<void(unsigned)> onReady,
                                             std::function<void(std::optional<DownloadFault>)> done)
{
    close();
    m_pendingTarget = target;
    m_pendingOnReady = std::move(onReady);
    m_connected = std::move(done);
    const std::string name = lookupName(connectHostOf(target));
    if (dynamic_cast<SystemResolver*>(&m_resolver) != nullptr) {
        m_loopLookup.start(name, m_connectTimeoutMs, [this](const LookupResult& lookup) { lookedUp(lookup); });
        return;
    }
    callFromLoop([this, name] { lookedUp(m_resolver.lookup(name, m_connectTimeoutMs)); });
}

void DownloadConnection::callFromLoop(std::function<void()> work)
{
    m_hostCall = m_loop.startTimer(0, [this, work = std::move(work)] {
        m_hostCall.reset();
        try {
            work();
        } catch (const std::bad_alloc&) {
            settle(DownloadFault{toInt(ResultCode::OutOfMemory), resultText(ResultCode::OutOfMemory)});
        }
    });
}

void DownloadConnection::lookedUp(const LookupResult& lookup)
{
    if (auto fault = lookupFault(lookup)) {
        settle(std::move(fault));
        return;
    }
    const std::uint16_t port = connectPortOf(m_pendingTarget);
    if (dynamic_cast<PosixTcpConnector*>(&m_connector) != nullptr) {
        m_loopConnect.start(lookup.addresses, port, m_connectTimeoutMs,
                            [this](ConnectResult connected) { reached(std::move(connected)); });
        return;
    }
    callFromLoop([this, addresses = lookup.addresses, port] {
        reached(m_connector.connect(addresses, port, m_connectTimeoutMs));
    });
}

void DownloadConnection::reached(ConnectResult connected)
{
    auto fault = openFault(std::move(connected), m_pendingTarget, std::exchange(m_pendingOnReady, {}));
    settle(std::move(fault));
}

void DownloadConnection::settle(std::optional<DownloadFault> fault)
{
    auto done = std::exchange(m_connected, {});
    m_pendingOnReady = {};
    if (done) {
        done(std::move(fault));  // may close or destroy this connection
    }
}

bool DownloadConnection::open(std::unique_ptr<orlavo::platform::TcpConnection> tcp, const HopTarget& target,
                              std::function<void(unsigned)> onReady, std::string& error)
{
    const std::string& host = target.host;
    const std::uint16_t port = target.port;
    m_host = host;
    if (target.secure && target.proxy) {
        // The proxy first opens a tunnel; TLS starts inside it.
        if (!haveTlsContext(error)) {
            return false;
        }
        m_tunnelling = true;
        m_tlsName = lookupName(host);
        m_unsent = "CONNECT " + host + ":" + std::to_string(port) + " HTTP/1.0\r\nHost: " + host + ":" +
                   std::to_string(port) + "\r\n\r\n";
    } else if (target.secure) {
        tcp = startTls(std::move(tcp), lookupName(host), error);
        if (!tcp) {
            return false;
        }
        m_handshaking = true;
    }
    m_connection = std::move(tcp);
    // The handshake's first step waits for the loop: a socket that just
    // connected is writable, and a failure then ends with events like any other.
    const unsigned events = settingUp() ? EventLoop::kWritable : EventLoop::kReadable;
    m_watch = m_loop.watchFd(m_connection->fd(), events, std::move(onReady));
    return true;
}

int DownloadConnection::send(std::string request)
{
    if (m_tunnelling) {
        m_afterTunnel = std::move(request);
        return 0;
    }
    m_unsent = std::move(request);
    if (m_handshaking) {
        return 0;  // goes out once the handshake is done
    }
    if (const int error = sendSome(); error != 0) {
        return error;
    }
    if (!m_unsent.empty()) {
        watchFor(EventLoop::kReadable | EventLoop::kWritable);
    }
    return 0;
}

int DownloadConnection::sendSome()
{
    while (!m_unsent.empty()) {
        auto sent = m_connection->send(m_unsent);
        if (sent.wouldBlock()) {
            return 0;
        }
        if (sent.bytes < 0) {
            return sent.error;
        }
        m_unsent.erase(0, static_cast<std::size_t>(sent.bytes));
    }
    return 0;
}

void DownloadConnection::watchFor(unsigned events)
{
    m_loop.setWatchEvents(*m_watch, events);
}

ConnectionStep DownloadConnection::onReady(unsigned bits)
{
    if (m_tunnelling) {
        return continueTunnel(bits);
    }
    if (m_handshaking) {
        return continueHandshake();
    }
    ConnectionStep step;
    if ((bits & EventLoop::kWritable) && !m_unsent.empty()) {
        if (const int error = sendSome(); error != 0) {
            return failed(ResultCode::ReceiveFailed, std::to_string(error));
        }
        step.active = true;
        if (m_unsent.empty()) {
            watchFor(EventLoop::kReadable);
        }
    }
    step.readable = (bits & (EventLoop::kReadable | EventLoop::kHangup)) != 0;
    return step;
}

// Sends the CONNECT, then reads the proxy's answer header; the tunnel stands
// on a 2xx, and the TLS handshake starts inside it.
ConnectionStep DownloadConnection::continueTunnel(unsigned bits)
{
    if ((bits & EventLoop::kWritable) && !m_unsent.empty()) {
        if (const int error = sendSome(); error != 0) {
            return failed(ResultCode::TlsFailed, "The proxy's connection failed: error " + std::to_string(error) + ".");
        }
        watchFor(m_unsent.empty() ? EventLoop::kReadable : EventLoop::kWritable);
    }
    if (!(bits & (EventLoop::kReadable | EventLoop::kHangup))) {
        return {};
    }
    // One byte at a time: nothing of the tunnel's own bytes may be read here.
    char byte = 0;
    const auto received = m_connection->receive(&byte, 1);
    if (received.wouldBlock()) {
        return {};
    }
    if (received.bytes <= 0) {
        return failed(ResultCode::TlsFailed,
                      "The proxy closed the connection before the tunnel to " + m_host + " was open.");
    }
    m_tunnelAnswer += byte;
    const std::size_t end =
        findHeaderEnd(m_tunnelAnswer, m_tunnelAnswer.size() >= 3 ? m_tunnelAnswer.size() - 3 : 0);
    if (end == std::string::npos && m_tunnelAnswer.size() > static_cast<std::size_t>(m_maxHeaderBytes)) {
        return failed(ResultCode::HeaderTooLarge, resultText(ResultCode::HeaderTooLarge));
    }
    if (end != std::string::npos) {
        return enterTunnel(std::exchange(m_tunnelAnswer, {}));
    }
    return {};
}

ConnectionStep DownloadConnection::enterTunnel(std::string_view answer)
{
    const auto header = parseHeader(answer);
    if (header.statusCode < 200 || header.statusCode > 299) {
        return failed(ResultCode::TlsFailed, "The proxy refused the tunnel to " + m_host + ": " +
                                                 std::to_string(header.statusCode) + " " + header.statusText + ".");
    }
    std::string error;
    auto session = startTls(std::move(m_connection), m_tlsName, error);
    if (!session) {
        orlavo::platform::stopWatching(m_loop, m_watch);  // the descriptor went with the connection
        return failed(ResultCode::TlsFailed, "The secure connection to " + m_host + " failed: " + error + ".");
    }
    m_connection = std::move(session);
    m_tunnelling = false;
    m_handshaking = true;
    m_unsent = std::exchange(m_afterTunnel, {});
    watchFor(EventLoop::kWritable);
    return {};
}

ConnectionStep DownloadConnection::continueHandshake()
{
    auto* session = dynamic_cast<TlsSession*>(m_connection.get());
    if (session == nullptr) {
        return {};
    }
    const auto step = session->handshake();
    switch (step.status) {
    case HandshakeStatus::WantRead: watchFor(EventLoop::kReadable); return {};
    case HandshakeStatus::WantWrite: watchFor(EventLoop::kWritable); return {};
    case HandshakeStatus::Failed:
        return failed(ResultCode::TlsFailed, "The secure connection to " + m_host + " failed: " + step.error + ".");
    case HandshakeStatus::Done: break;
    }
    m_handshaking = false;
    if (const int error = sendSome(); error != 0) {
        return {DownloadFault{toInt(ResultCode::ReceiveFailed), std::to_string(error)}, true, false};
    }
    watchFor(EventLoop::kReadable | (m_unsent.empty() ? 0 : EventLoop::kWritable));
    return {std::nullopt, true, false};
}

orlavo::platform::IoResult DownloadConnection::receive(char* data, std::size_t size)
{
    return m_connection->receive(data, size);
}

bool DownloadConnection::hasBufferedData() const
{
    const auto* session = dynamic_cast<const TlsSession*>(m_connection.get());
    return session != nullptr && session->hasBufferedData();
}

void DownloadConnection::close()
{
    m_loopLookup.cancel();
    m_loopConnect.cancel();
    orlavo::platform::stopTimer(m_loop, m_hostCall);
    m_connected = {};
    m_pendingOnReady = {};
    orlavo::platform::stopWatching(m_loop, m_watch);
    if (m_connection) {
        m_connection->close();
        m_connection.reset();
    }
    m_handshaking = false;
    m_tunnelling = false;
    m_unsent.clear();
    m_afterTunnel.clear();
    m_tunnelAnswer.clear();
}

}  // namespace pellix::detail
