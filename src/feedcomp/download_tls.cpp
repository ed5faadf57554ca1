// The https:// half of the download engine: the TLS session that wraps the
// connection and the handshake that the loop's readiness drives.
#include "feedcomp/download_engine.h"

#include "feedcomp/http_header.h"
#include "platform/clock.h"

#include <cstdlib>
#include <limits>
#include <utility>

namespace pellix {

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

}  // namespace

void RSSComp::Engine::setCaFile(std::string path)
{
    if (path != m_caFile) {
        m_caFile = std::move(path);
        m_tls.reset();  // the next https:// request loads the new trust
    }
}

std::unique_ptr<orlavo::platform::TcpConnection>
RSSComp::Engine::startTls(std::unique_ptr<orlavo::platform::TcpConnection> tcp, const std::string& host,
                          std::string& error)
{
    if (!haveTlsContext(error)) {
        return nullptr;
    }
    return m_tls->startSession(std::move(tcp), host, error);
}

bool RSSComp::Engine::haveTlsContext(std::string& error)
{
    if (!m_tls) {
        m_tls = orlavo::platform::TlsClientContext::create(extraCaFile(m_caFile), error);
    }
    return m_tls != nullptr;
}

std::int64_t RSSComp::Engine::handshakeLeftMs(std::int64_t now) const
{
    return m_handshaking || m_tunnelling ? m_hopStartMs + m_limits.handshakeTimeoutMs - now
                         : std::numeric_limits<std::int64_t>::max();
}

// Sends the CONNECT, then reads the proxy's answer header; the tunnel stands
// on a 2xx, and the TLS handshake starts inside it.
void RSSComp::Engine::continueTunnel(unsigned bits)
{
    if ((bits & EventLoop::kWritable) && !m_unsent.empty()) {
        if (const int error = sendSome(); error != 0) {
            finish(toInt(ResultCode::TlsFailed), "The proxy's connection failed: error " + std::to_string(error) + ".",
                   false);
            return;
        }
        m_services.loop.setWatchEvents(*m_watch, m_unsent.empty() ? EventLoop::kReadable : EventLoop::kWritable);
    }
    if (!(bits & (EventLoop::kReadable | EventLoop::kHangup))) {
        return;
    }
    // One byte at a time: nothing of the tunnel's own bytes may be read here.
    char byte = 0;
    const auto received = m_connection->receive(&byte, 1);
    if (received.wouldBlock()) {
        return;
    }
    if (received.bytes <= 0) {
        finish(toInt(ResultCode::TlsFailed), "The proxy closed the connection before the tunnel to " + m_host +
                                                 " was open.",
               false);
        return;
    }
    m_tunnelAnswer += byte;
    const std::size_t end = detail::findHeaderEnd(m_tunnelAnswer, m_tunnelAnswer.size() >= 3 ? m_tunnelAnswer.size() - 3 : 0);
    if (end == std::string::npos && m_tunnelAnswer.size() > static_cast<std::size_t>(m_limits.maxHeaderBytes)) {
        finish(toInt(ResultCode::HeaderTooLarge), resultText(ResultCode::HeaderTooLarge), false);
    } else if (end != std::string::npos) {
        enterTunnel(std::exchange(m_tunnelAnswer, {}));
    }
}

void RSSComp::Engine::enterTunnel(std::string_view answer)
{
    const auto header = detail::parseHeader(answer);
    if (header.statusCode < 200 || header.statusCode > 299) {
        finish(toInt(ResultCode::TlsFailed), "The proxy refused the tunnel to " + m_host + ": " +
                                                 std::to_string(header.statusCode) + " " + header.statusText + ".",
               false);
        return;
    }
    std::string error;
    auto session = startTls(std::move(m_connection), m_tlsName, error);
    if (!session) {
        orlavo::platform::stopWatching(m_services.loop, m_watch);  // the descriptor went with the connection
        finish(toInt(ResultCode::TlsFailed), "The secure connection to " + m_host + " failed: " + error + ".", false);
        return;
    }
    m_connection = std::move(session);
    m_tunnelling = false;
    m_handshaking = true;
    m_unsent = std::exchange(m_afterTunnel, {});
    m_services.loop.setWatchEvents(*m_watch, EventLoop::kWritable);
}

void RSSComp::Engine::continueHandshake()
{
    auto* session = dynamic_cast<TlsSession*>(m_connection.get());
    if (session == nullptr) {
        return;
    }
    const auto step = session->handshake();
    switch (step.status) {
    case HandshakeStatus::WantRead: m_services.loop.setWatchEvents(*m_watch, EventLoop::kReadable); return;
    case HandshakeStatus::WantWrite: m_services.loop.setWatchEvents(*m_watch, EventLoop::kWritable); return;
    case HandshakeStatus::Failed:
        finish(toInt(ResultCode::TlsFailed), "The secure connection to " + m_host + " failed: " + step.error + ".",
               false);
        return;
    case HandshakeStatus::Done: break;
    }
    m_handshaking = false;
    m_lastActivityMs = m_services.clock.nowMs();
    if (const int error = sendSome(); error != 0) {
        finish(toInt(ResultCode::ReceiveFailed), std::to_string(error), false);
        return;
    }
    m_services.loop.setWatchEvents(*m_watch, EventLoop::kReadable | (m_unsent.empty() ? 0 : EventLoop::kWritable));
}

}  // namespace pellix
