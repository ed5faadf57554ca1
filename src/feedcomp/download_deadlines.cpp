#include "feedcomp/download_deadlines.h"

#include "feedcomp/duration_text.h"
#include "platform/event_loop.h"
#include "pellix/result_code.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace pellix::detail {

DownloadDeadlines::DownloadDeadlines(EventLoop& loop, Clock& clock, const RSSCompLimits& limits,
                                     const DownloadConnection& link, Expired onExpired)
    : m_loop(loop), m_clock(clock), m_limits(limits), m_link(link), m_onExpired(std::move(onExpired))
{
}

DownloadDeadlines::~DownloadDeadlines()
{
    stop();
}

void DownloadDeadlines::startHop(bool firstHop)
{
    const std::int64_t now = m_clock.nowMs();
    m_lastActivityMs = m_hopStartMs = now;
    if (firstHop) {
        m_startMs = now;
    }
    arm(std::min({m_limits.idleTimeoutMs, m_startMs + m_limits.totalTimeoutMs - now, handshakeLeftMs(now)}));
}

void DownloadDeadlines::touch()
{
    m_lastActivityMs = m_clock.nowMs();
}

void DownloadDeadlines::stop()
{
    orlavo::platform::stopTimer(m_loop, m_timer);
}

void DownloadDeadlines::arm(std::int64_t delayMs)
{
    m_timer = m_loop.startTimer(delayMs, [this] { onTimer(); });
}

std::int64_t DownloadDeadlines::handshakeLeftMs(std::int64_t now) const
{
    return m_link.settingUp() ? m_hopStartMs + m_limits.handshakeTimeoutMs - now
                              : std::numeric_limits<std::int64_t>::max();
}

void DownloadDeadlines::onTimer()
{
    m_timer.reset();
    const std::int64_t now = m_clock.nowMs();
    const std::int64_t idleLeft = m_lastActivityMs + m_limits.idleTimeoutMs - now;
    const std::int64_t totalLeft = m_startMs + m_limits.totalTimeoutMs - now;
    const std::int64_t handshakeLeft = handshakeLeftMs(now);
    if (handshakeLeft <= 0) {
        m_onExpired({toInt(ResultCode::TlsFailed), "The secure connection to " + m_link.host() +
                                                       " failed: no TLS handshake within " +
                                                       durationText(m_limits.handshakeTimeoutMs) + "."});
    } else if (totalLeft <= 0) {
        m_onExpired({toInt(ResultCode::ReceiveFailed),
                     "Timed out: the download took longer than " + durationText(m_limits.totalTimeoutMs) + "."});
    } else if (idleLeft <= 0) {
        m_onExpired({toInt(ResultCode::ReceiveFailed),
                     "Timed out: the server sent nothing for " + durationText(m_limits.idleTimeoutMs) + "."});
    } else {
        arm(std::min({idleLeft, totalLeft, handshakeLeft}));
    }
}

}  // namespace pellix::detail
