#include "signfeed/sign_link.h"

#include "platform/wait.h"

#include <algorithm>

namespace orlavo::signfeed {

using platform::SysError;

SignLink::SignLink(platform::Clock& clock, platform::EventLoop& loop, platform::UdpEndpoint& udp,
                   platform::SerialPort& serial, MessageSink& sink)
    : m_clock(clock), m_loop(loop), m_udp(udp), m_serial(serial), m_sink(sink)
{
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
        sendOnWire(wire, report, {});
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
    struct BusyScope {
        bool& busy;
        bool& stop;
        BusyScope(bool& flag, bool& stopFlag) : busy(flag), stop(stopFlag) { busy = true; }
        ~BusyScope() { busy = stop = false; }
    } scope(m_busy, m_stopRequested);

    for (;;) {
        if (item.action) {
            item.action();
        } else {
            transmit(item);
        }
        if (m_queue.empty()) {
            return;
        }
        item = std::move(m_queue.front());
        m_queue.pop_front();
    }
}

void SignLink::transmit(const Outgoing& frame)
{
    LinkSelection selected = links();
    if (!selected.udp && !selected.serial) {
        return;
    }
    FrameReport report;
    if (frame.asClockPackets) {
        sendPackets(frame, report);
    } else {
        sendWhole(frame, report);
    }
    m_lastReport = report;
    if (m_observer) {
        m_observer->frameFinished(report);
    }
}

void SignLink::sendWhole(const Outgoing& frame, FrameReport& report)
{
    report.units = 1;
    report.unitsSent = 1;
    progress(1, 1);
    sendOnWire(frame.wire, report, {frame.pauseMs, true});
}

void SignLink::sendPackets(const Outgoing& frame, FrameReport& report)
{
    const std::vector<std::string> packets = clockPacketsOfWireFrame(frame.wire);
    const std::size_t fullPackets = frame.wire.size() / kClockPieceLength;
    const int units = static_cast<int>(packets.size());
    report.units = units;
    for (std::size_t k = 0; k < packets.size(); ++k) {
        if (m_stopRequested) {
            report.stopped = true;
            return;
        }
        report.unitsSent = static_cast<int>(k) + 1;
        progress(static_cast<int>(k) + 1, units);
        sendOnWire(packets[k], report, {});
        // The last, partial packet is followed by no wait.
        if (k < fullPackets) {
            pause(frame.pauseMs);
        }
    }
}

void SignLink::sendOnWire(std::string_view bytes, FrameReport& report, WireSteps steps)
{
    bool delivered = false;
    auto sent = [&] {
        if (!delivered) {
            delivered = true;
            unitDelivered(bytes);
        }
    };
    if (links().udp) {
        if (auto error = m_udp.send(bytes)) {
            noteFailure(*error, report, false);
        } else {
            sent();
        }
        if (steps.pauseMs != 0) {
            pause(steps.pauseMs);
        }
    }
    if (steps.stoppable && m_stopRequested) {
        report.stopped = links().serial;  // the serial copy never went
        return;
    }
    if (links().serial) {
        if (auto error = m_serial.write(bytes)) {
            noteFailure(*error, report, m_openFailureShown);
        } else {
            sent();
        }
        if (steps.pauseMs != 0) {
            pause(steps.pauseMs);
        }
    }
}

void SignLink::unitDelivered(std::string_view bytes)
{
    if (m_observer) {
        m_observer->unitSent(bytes);
    }
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

void SignLink::pause(int ms)
{
    platform::waitMs(m_clock, m_loop, ms);
}

}  // namespace orlavo::signfeed
