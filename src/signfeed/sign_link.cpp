#include "signfeed/sign_link.h"

#include <algorithm>

namespace orlavo::signfeed {

using platform::SysError;

SignLink::SignLink(platform::Clock& clock, platform::EventLoop& loop, platform::UdpEndpoint& udp,
                   platform::SerialPort& serial, MessageSink& sink)
    : m_clock(clock), m_loop(loop), m_udp(udp), m_serial(serial), m_sink(sink)
{
}

SignLink::~SignLink()
{
    cancelTimer();
}

void SignLink::setLinkSelection(LinkSelection selection)
{
    m_links = [selection] { return selection; };
}

void SignLink::setLinkSelectionSource(LinkSelectionSource source)
{
    m_links = std::move(source);
}

LinkSelection SignLink::links() const
{
    return m_links ? m_links() : LinkSelection{};
}

void SignLink::openLink()
{
    whenIdle([this] {
        if (!links().serial || m_serial.isOpen()) {
            return;
        }
        if (auto error = m_serial.open()) {
            showFailure(*error);
            m_openFailureShown = true;
        } else {
            m_openFailureShown = false;
        }
    });
}

void SignLink::closeLink()
{
    whenIdle([this] {
        if (!links().serial) {
            return;
        }
        m_openFailureShown = false;
        if (m_serial.isOpen()) {
            m_serial.close();
        }
    });
}

void SignLink::sendFrame(std::string_view frameUtf8, bool asClockPackets, int pauseMs)
{
    Outgoing frame;
    frame.wire = toWireBytes(frameUtf8);
    frame.asClockPackets = asClockPackets;
    frame.pauseMs = std::max(pauseMs, 0);
    frame.isReset = frameUtf8 == kResetFrame;
    if (m_busy) {
        enqueue(std::move(frame));
        return;
    }
    runExclusive(std::move(frame));
}

void SignLink::sendOn(std::string_view textUtf8)
{
    whenIdle([this, wire = toWireBytes(textUtf8)] {
        FrameReport report;
        bool delivered = false;
        sendUdp(wire, report, delivered);
        sendSerial(wire, report, delivered);
        m_lastReport = report;
    });
}

void SignLink::resetSign()
{
    openLink();
    sendFrame(kResetFrame, false, 0);
    closeLink();
}

void SignLink::stopSending()
{
    if (!m_busy) {
        return;
    }
    m_stopRequested = true;
    std::erase_if(m_queue, [](const Outgoing& queued) { return !queued.action; });
    // A program that must end now does not sit out the wait.
    if (m_timer) {
        cancelTimer();
        m_timer = m_loop.startTimer(0, [this] {
            m_timer.reset();
            drive();
        });
    }
}

void SignLink::whenIdle(std::function<void()> action)
{
    Outgoing item;
    item.action = std::move(action);
    if (m_busy) {
        enqueue(std::move(item));
        return;
    }
    runExclusive(std::move(item));
}

void SignLink::enqueue(Outgoing item)
{
    // Only the newest message matters to the sign; a reset always goes.
    if (!item.action && !item.isReset) {
        std::erase_if(m_queue, [](const Outgoing& queued) { return !queued.action && !queued.isReset; });
    }
    m_queue.push_back(std::move(item));
}

void SignLink::runExclusive(Outgoing item)
{
    m_busy = true;
    m_queue.push_front(std::move(item));
    drive();
}

void SignLink::drive()
{
    for (;;) {
        if (m_sending) {
            Sending& s = *m_sending;
            const std::optional<int> wait = s.packets.empty() ? stepWhole(s) : stepPacket(s);
            if (wait && m_pacing == platform::Pacing::Timers) {
                m_timer = m_loop.startTimer(*wait, [this] {
                    m_timer.reset();
                    drive();
                });
                return;
            }
            if (wait) {
                platform::waitMs(m_clock, m_loop, *wait);
                continue;
            }
            finishFrame();
        }
        if (m_queue.empty()) {
            m_busy = m_stopRequested = false;
            return;
        }
        Outgoing item = std::move(m_queue.front());
        m_queue.pop_front();
        if (item.action) {
            item.action();
        } else {
            beginFrame(std::move(item));
        }
    }
}

void SignLink::beginFrame(Outgoing frame)
{
    LinkSelection selected = links();
    if (!selected.udp && !selected.serial) {
        return;
    }
    Sending& s = m_sending.emplace(Sending{});
    if (frame.asClockPackets) {
        s.packets = clockPacketsOfWireFrame(frame.wire);
        s.fullPackets = frame.wire.size() / kClockPieceLength;
        s.report.units = static_cast<int>(s.packets.size());
    } else {
        s.report.units = 1;
        s.report.unitsSent = 1;
        progress(1, 1);
    }
    s.frame = std::move(frame);
}

void SignLink::finishFrame()
{
    m_lastReport = m_sending->report;
    m_sending.reset();
    if (m_observer) {
        m_observer->frameFinished(m_lastReport);
    }
}

// A whole frame: each link's copy is followed by the pause, and a stop
// during the UDP copy's pause keeps the serial copy back.
std::optional<int> SignLink::stepWhole(Sending& s)
{
    const int pauseMs = s.frame.pauseMs;
    if (s.next == 0) {
        s.next = 1;
        if (links().udp) {
            sendUdp(s.frame.wire, s.report, s.delivered);
            if (pauseMs != 0) {
                return pauseMs;
            }
        }
    }
    if (s.next == 1) {
        s.next = 2;
        if (m_stopRequested) {
            s.report.stopped = links().serial;  // the serial copy never went
            return std::nullopt;
        }
        if (links().serial) {
            sendSerial(s.frame.wire, s.report, s.delivered);
            if (pauseMs != 0) {
                return pauseMs;
            }
        }
    }
    return std::nullopt;
}

// A clock packet on both links, then the pause; the last, partial packet is
// followed by no wait.
std::optional<int> SignLink::stepPacket(Sending& s)
{
    if (s.next >= s.packets.size()) {
        return std::nullopt;
    }
    if (m_stopRequested) {
        s.report.stopped = true;
        return std::nullopt;
    }
    const std::size_t k = s.next++;
    const int units = static_cast<int>(s.packets.size());
    s.report.unitsSent = static_cast<int>(k) + 1;
    progress(static_cast<int>(k) + 1, units);
    bool delivered = false;
    sendUdp(s.packets[k], s.report, delivered);
    sendSerial(s.packets[k], s.report, delivered);
    if (k < s.fullPackets) {
        return s.frame.pauseMs;
    }
    return std::nullopt;
}

void SignLink::sendUdp(std::string_view bytes, FrameReport& report, bool& delivered)
{
    if (!links().udp) {
        return;
    }
    if (auto error = m_udp.send(bytes)) {
        noteFailure(*error, report, false);
    } else {
        unitDelivered(bytes, delivered);
    }
}

void SignLink::sendSerial(std::string_view bytes, FrameReport& report, bool& delivered)
{
    if (!links().serial) {
        return;
    }
    if (auto error = m_serial.write(bytes)) {
        noteFailure(*error, report, m_openFailureShown);
    } else {
        unitDelivered(bytes, delivered);
    }
}

void SignLink::unitDelivered(std::string_view bytes, bool& delivered)
{
    if (!delivered && m_observer) {
        m_observer->unitSent(bytes);
    }
    delivered = true;
}

void SignLink::noteFailure(const SysError& error, FrameReport& report, bool alreadyShown)
{
    if (platform::isTransientSendError(error.number)) {
        ++report.transientSkipped;
        return;
    }
    // One box per frame: an unplugged adapter would otherwise raise one per packet.
    ++report.failures;
    if (report.first) {
        return;
    }
    report.first = error;
    if (!alreadyShown) {
        showFailure(error);
    }
}

void SignLink::showFailure(const SysError& error)
{
    m_sink.showMessage(MessageIcon::Critical, std::to_string(error.number), error.description);
}

void SignLink::progress(int unit, int units)
{
    if (m_observer) {
        m_observer->frameProgress(unit, units);
    }
}

void SignLink::cancelTimer()
{
    platform::stopTimer(m_loop, m_timer);
}

}  // namespace orlavo::signfeed
