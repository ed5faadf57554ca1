// The receiving half of the download engine: runs from the event loop.
#include "feedcomp/download_engine.h"

#include "feedcomp/duration_text.h"
#include "feedcomp/http_header.h"
#include "platform/clock.h"
#include "platform/code_page.h"

#include <algorithm>
#include <limits>
#include <utility>
#include <span>

namespace pellix {

using orlavo::platform::EventLoop;

void RSSComp::Engine::onReady(unsigned bits)
{
    const detail::ConnectionStep step = m_link.onReady(bits);
    if (step.active) {
        m_deadlines.touch();
    }
    if (step.fault) {
        fail(*step.fault);
    } else if (step.readable) {
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
    while (!alive.expired() && generation == m_generation && m_link.hasBufferedData()) {
        receiveOnce();
    }
}

void RSSComp::Engine::receiveOnce()
{
    if (!m_link.isOpen()) {
        return;
    }
    std::span<char> room = m_reader.room();
    if (room.empty()) {
        fail(m_reader.roomFault());
        return;
    }
    auto received = m_link.receive(room.data(), room.size());
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
    m_deadlines.touch();
    if (auto fault = m_reader.take(static_cast<std::size_t>(received.bytes))) {
        fail(*fault);
    }
}

void RSSComp::Engine::endOfStream()
{
    if (auto fault = m_reader.endOfStream()) {
        fail(*fault);
        return;
    }
    if (followRedirect()) {
        return;
    }
    const detail::ResponseHeader& header = m_reader.header();
    if (header.statusCode == 304) {
        restoreRememberedBody();
    }
    finish(header.statusCode, m_redirects.trail() + header.statusText, true);
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
