// The https:// half of the download engine: the TLS session that wraps the
// connection and the handshake that the loop's readiness drives.
#include "feedcomp/download_engine.h"

#include "platform/clock.h"

#include <cstdlib>
#include <limits>

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
    if (!m_tls) {
        m_tls = orlavo::platform::TlsClientContext::create(extraCaFile(m_caFile), error);
        if (!m_tls) {
            return nullptr;
        }
    }
    return m_tls->startSession(std::move(tcp), host, error);
}

std::int64_t RSSComp::Engine::handshakeLeftMs(std::int64_t now) const
{
    return m_handshaking ? m_hopStartMs + m_limits.handshakeTimeoutMs - now
                         : std::numeric_limits<std::int64_t>::max();
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
