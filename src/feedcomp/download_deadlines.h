#pragma once
// The time limits of one download: silence while receiving, the whole
// download over every hop of a redirect chain, and the TLS handshake (or the
// proxy's tunnel) of each hop. One timer instead of one per read: when it
// fires while time is left (data came meanwhile), it is set again for the
// nearest deadline.
#include "feedcomp/download_connection.h"
#include "feedcomp/download_fault.h"
#include "pellix/clock.h"
#include "pellix/event_loop.h"
#include "pellix/rss_comp.h"

#include <cstdint>
#include <functional>
#include <optional>

namespace pellix::detail {

class DownloadDeadlines {
public:
    using Expired = std::function<void(const DownloadFault&)>;

    // link tells whether the hop is still setting up, and its host for the texts.
    DownloadDeadlines(EventLoop& loop, Clock& clock, const RSSCompLimits& limits, const DownloadConnection& link,
                      Expired onExpired);
    ~DownloadDeadlines();
    DownloadDeadlines(const DownloadDeadlines&) = delete;
    DownloadDeadlines& operator=(const DownloadDeadlines&) = delete;

    // A hop's connection stands; the first hop also starts the whole download's time.
    void startHop(bool firstHop);
    // Bytes moved: the silence starts anew.
    void touch();
    void stop();

private:
    void arm(std::int64_t delayMs);
    void onTimer();
    [[nodiscard]] std::int64_t handshakeLeftMs(std::int64_t now) const;

    EventLoop& m_loop;
    Clock& m_clock;
    const RSSCompLimits& m_limits;
    const DownloadConnection& m_link;
    Expired m_onExpired;
    std::optional<EventLoop::TimerId> m_timer;
    std::int64_t m_startMs = 0;
    std::int64_t m_hopStartMs = 0;
    std::int64_t m_lastActivityMs = 0;
};

}  // namespace pellix::detail
