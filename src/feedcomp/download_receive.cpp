// The receiving half of the download engine: runs from the event loop.
#include "feedcomp/download_engine.h"

#include "feedcomp/duration_text.h"
#include "feedcomp/http_header.h"
#include "platform/clock.h"
#include "platform/code_page.h"

#include <algorithm>
#include <utility>
#include <span>

namespace pellix {

using detail::HeaderStart;
using orlavo::platform::EventLoop;

void RSSComp::Engine::onReady(unsigned bits)
{
    if (m_tunnelling) {
        continueTunnel(bits);
        return;
    }
    if (m_handshaking) {
        continueHandshake();
        return;
    }
    if ((bits & EventLoop::kWritable) && !m_unsent.empty()) {
        if (const int error = sendSome(); error != 0) {
            finish(toInt(ResultCode::ReceiveFailed), std::to_string(error), false);
            return;
        }
        m_lastActivityMs = m_services.clock.nowMs();
        if (m_unsent.empty()) {
            m_services.loop.setWatchEvents(*m_watch, EventLoop::kReadable);
        }
    }
    if (bits & (EventLoop::kReadable | EventLoop::kHangup)) {
        receiveAll();
    }
}

// A TLS session may hold decrypted bytes that no readiness will announce, so
// it is drained before the loop waits again.
void RSSComp::Engine::receiveAll()
{
    std::weak_ptr<int> alive = m_lifeToken;
    const std::uint64_t generation = m_generation;
    receiveOnce();
    while (!alive.expired() && generation == m_generation && m_connection) {
        auto* session = dynamic_cast<orlavo::platform::TlsSession*>(m_connection.get());
        if (session == nullptr || !session->hasBufferedData()) {
            return;
        }
        receiveOnce();
    }
}

void RSSComp::Engine::receiveOnce()
{
    if (!m_connection) {
        return;
    }
    // Body bytes are received straight into the body's free end; only the
    // header, which is parsed whole, goes through the receive buffer.
    std::span<char> room = m_awaitingHeader ? std::span<char>(*m_buffer) : m_body.tail(kReceiveBytes);
    if (room.empty()) {
        bodyOutOfMemory(static_cast<std::size_t>(m_body.size()) + kReceiveBytes);
        return;
    }
    auto received = m_connection->receive(room.data(), room.size());
    if (received.wouldBlock()) {
        return;
    }
    if (received.bytes < 0) {
        finish(toInt(ResultCode::ReceiveFailed), std::to_string(received.error), false);
        return;
    }
    if (received.bytes == 0) {
        endOfStream();
        return;
    }
    m_lastActivityMs = m_services.clock.nowMs();
    const auto count = static_cast<std::size_t>(received.bytes);
    if (m_awaitingHeader) {
        takeHeaderBytes(std::string_view(room.data(), count));
    } else if (bodyFits(count)) {
        m_body.commit(count);
    }
}

// Collects bytes until the header is complete, however the server split it.
void RSSComp::Engine::takeHeaderBytes(std::string_view data)
{
    const std::size_t scanFrom = m_headerBytes.size() >= 2 ? m_headerBytes.size() - 2 : 0;
    m_headerBytes.append(data);
    const HeaderStart start = detail::classifyResponseStart(m_headerBytes);
    if (start == HeaderStart::TooShort) {
        return;
    }
    if (start == HeaderStart::NotHeader) {
        m_awaitingHeader = false;
        addBody(std::exchange(m_headerBytes, {}));
        return;
    }
    const std::size_t end = detail::findHeaderEnd(m_headerBytes, scanFrom);
    const auto limit = static_cast<std::size_t>(std::max<std::int64_t>(m_limits.maxHeaderBytes, 0));
    if ((end == std::string::npos && m_headerBytes.size() > limit) || (end != std::string::npos && end > limit)) {
        finish(toInt(ResultCode::HeaderTooLarge),
               resultText(ResultCode::HeaderTooLarge) + " (" + std::to_string(limit) + " bytes)", false);
        return;
    }
    if (end == std::string::npos) {
        return;
    }
    auto header = detail::parseHeader(std::string_view(m_headerBytes).substr(0, end));
    m_statusCode = header.statusCode;
    m_statusText = std::move(header.statusText);
    m_contentLength = header.contentLength;
    m_location = std::move(header.location);
    m_charset = std::move(header.charset);
    m_lastModified = std::move(header.lastModified);
    m_etag = std::move(header.etag);
    m_awaitingHeader = false;
    if (const std::int64_t announced = std::min(m_contentLength.value_or(0), m_limits.maxBodyBytes); announced > 0) {
        // One receive more than announced, so the receive that finds the end has room.
        if (const auto room = static_cast<std::size_t>(announced) + kReceiveBytes; !m_body.reserve(room)) {
            bodyOutOfMemory(room);
            return;
        }
    }
    std::string rest = m_headerBytes.substr(end);
    m_headerBytes.clear();
    m_headerBytes.shrink_to_fit();
    if (!rest.empty()) {
        addBody(std::move(rest));
    }
}

void RSSComp::Engine::addBody(std::string_view chunk)
{
    if (bodyFits(chunk.size()) && !m_body.append(chunk)) {
        bodyOutOfMemory(static_cast<std::size_t>(m_body.size()) + chunk.size());
    }
}

void RSSComp::Engine::bodyOutOfMemory(std::size_t bytes)
{
    finish(toInt(ResultCode::BodyTooLarge),
           "The response body does not fit in memory: " + std::to_string(bytes) + " bytes could not be reserved.",
           false);
}

bool RSSComp::Engine::bodyFits(std::size_t more)
{
    if (m_body.size() + static_cast<std::int64_t>(more) <= m_limits.maxBodyBytes) {
        return true;
    }
    finish(toInt(ResultCode::BodyTooLarge),
           resultText(ResultCode::BodyTooLarge) + " (" + std::to_string(m_limits.maxBodyBytes) + " bytes)", false);
    return false;
}

void RSSComp::Engine::endOfStream()
{
    if (m_awaitingHeader && !m_headerBytes.empty()) {
        // Closed inside what began like a header: keep it all as the body.
        m_awaitingHeader = false;
        addBody(std::exchange(m_headerBytes, {}));
        if (!m_connection) {
            return;  // the limit ended the download
        }
    }
    if (m_contentLength && m_body.size() < *m_contentLength) {
        finish(toInt(ResultCode::ReceiveFailed),
               "The connection closed after " + std::to_string(m_body.size()) + " of " +
                   std::to_string(*m_contentLength) + " body bytes.",
               false);
        return;
    }
    if (followRedirect()) {
        return;
    }
    if (m_statusCode == 304) {
        restoreRememberedBody();
    }
    finish(m_statusCode, m_redirects.trail() + m_statusText, true);
}

void RSSComp::Engine::armIdleTimer(std::int64_t delayMs)
{
    m_idleTimer = m_services.loop.startTimer(delayMs, [this] { onIdleTimer(); });
}

// One timer instead of one per read: when it fires while time is left (data
// came meanwhile), it is set again for the nearer of the two deadlines.
void RSSComp::Engine::onIdleTimer()
{
    m_idleTimer.reset();
    const std::int64_t now = m_services.clock.nowMs();
    const std::int64_t idleLeft = m_lastActivityMs + m_limits.idleTimeoutMs - now;
    const std::int64_t totalLeft = m_startMs + m_limits.totalTimeoutMs - now;
    const std::int64_t handshakeLeft = handshakeLeftMs(now);
    if (handshakeLeft <= 0) {
        finish(toInt(ResultCode::TlsFailed), "The secure connection to " + m_host + " failed: no TLS handshake within " +
                                                 detail::durationText(m_limits.handshakeTimeoutMs) + ".",
               false);
    } else if (totalLeft <= 0) {
        finish(toInt(ResultCode::ReceiveFailed),
               "Timed out: the download took longer than " + detail::durationText(m_limits.totalTimeoutMs) + ".", false);
    } else if (idleLeft <= 0) {
        finish(toInt(ResultCode::ReceiveFailed),
               "Timed out: the server sent nothing for " + detail::durationText(m_limits.idleTimeoutMs) + ".", false);
    } else {
        armIdleTimer(std::min({idleLeft, totalLeft, handshakeLeft}));
    }
}

void RSSComp::Engine::finish(std::int32_t code, const std::string& text, bool clean)
{
    const std::uint64_t generation = m_generation;
    // A copy, as text may live in a member that a handler resets; escaped, as
    // status lines, Location values and proxy answers come from the peer.
    const std::string finishText = orlavo::platform::escapeControls(text);
    m_state = clean ? State::Finished : State::Failed;
    if (!disconnect(true)) {
        return;
    }
    if (generation != m_generation || m_listener == nullptr) {
        return;  // a handler started a new request: this one's outcome is moot
    }
    m_listener->OnFinish(code, finishText);
}

}  // namespace pellix
