#include "discovery/discovery_scanner.h"

#include "platform/wait.h"

namespace orlavo::discovery {

using signfeed::MessageIcon;

DiscoveryScanner::DiscoveryScanner(platform::Clock& clock, platform::EventLoop& loop, platform::UdpEndpoint& udp,
                                   signfeed::MessageSink& messages)
    : m_clock(clock), m_loop(loop), m_udp(udp), m_messages(messages)
{
    m_udp.setReceiveHandler([this](std::string datagram, std::string, int) { handleDatagram(datagram); });
}

DiscoveryScanner::~DiscoveryScanner()
{
    m_udp.setReceiveHandler(nullptr);
    close();
}

std::optional<std::string> DiscoveryScanner::open(std::string_view portText, std::string_view remoteHost)
{
    m_portText = std::string(portText);
    m_remoteHost = std::string(remoteHost);
    m_listed = 0;  // the window empties its list when it loads
    if (!discoveryPortOf(portText)) {
        return "The discovery port \"" + m_portText + "\" is not a whole number from 1 to 65535.";
    }
    return std::nullopt;
}

void DiscoveryScanner::changePort(std::string_view portText)
{
    m_udp.close();
    m_boundPort = -1;
    m_portText = std::string(portText);
}

void DiscoveryScanner::close()
{
    stop();
    m_udp.close();
    m_boundPort = -1;
}

std::optional<int> DiscoveryScanner::checkedPort()
{
    auto port = discoveryPortOf(m_portText);
    if (!port) {
        m_messages.showMessage(MessageIcon::Exclamation, "Discovery port",
                               "The discovery port \"" + m_portText + "\" is not a whole number from 1 to 65535.");
    }
    return port;
}

// Bound by the scanner itself, before the first probe: an endpoint that took
// a random port at its first send would never see the replies.
bool DiscoveryScanner::ensureBound(int port)
{
    if (m_udp.isOpen() && m_boundPort == port) {
        return true;
    }
    if (auto error = m_udp.bind("", port)) {
        m_messages.showMessage(MessageIcon::Critical, std::to_string(error->number), error->description);
        return false;
    }
    m_boundPort = port;
    return true;
}

WalkOutcome DiscoveryScanner::locate(const RangeTexts& texts, const std::function<bool()>& ethernetOn)
{
    if (m_walking) {
        return WalkOutcome::Refused;
    }
    RangeParse parsed = parseRange(texts);
    if (!parsed.range) {
        m_messages.showMessage(MessageIcon::Exclamation, "Address range", parsed.error);
        return WalkOutcome::Refused;
    }
    auto port = checkedPort();
    if (!port || !ensureBound(*port)) {
        return WalkOutcome::Refused;
    }
    return walk(*parsed.range, ethernetOn);
}

WalkOutcome DiscoveryScanner::walk(const DiscoveryRange& range, const std::function<bool()>& ethernetOn)
{
    m_walking = true;
    m_stopRequested = false;
    m_listed = 0;  // the listener empties its list here
    if (m_listener != nullptr) {
        m_listener->walkStarted();
    }
    WalkSummary summary;
    const std::uint64_t total = walkLength(range);
    for (std::uint64_t i = 0; i < total && !m_stopRequested; ++i) {
        const std::array<int, 4> octets = walkAddress(range, i);
        const std::string address = dottedText(octets);
        ++summary.walked;
        if (m_listener != nullptr) {
            const auto left = static_cast<std::int64_t>(total - i) * kProbePauseMs;
            m_listener->walkProgress(WalkProgress{address, i + 1, total, left});
        }
        if (qualifiesForProbe(octets[0], octets[1], octets[2], octets[3]) && ethernetOn() &&
            !probe(address, summary)) {
            m_stopRequested = true;
            break;
        }
        platform::waitMs(m_clock, m_loop, kProbePauseMs);
    }
    summary.stopped = m_stopRequested;
    m_walking = false;
    m_stopRequested = false;
    if (m_listener != nullptr) {
        m_listener->walkEnded(summary);
    }
    return summary.stopped ? WalkOutcome::Stopped : WalkOutcome::Finished;
}

bool DiscoveryScanner::probe(const std::string& address, WalkSummary& summary)
{
    // A port edit during a pause closed the endpoint; the walk goes on on the new port.
    auto port = m_udp.isOpen() && m_boundPort > 0 ? std::optional<int>(m_boundPort) : checkedPort();
    if (!port || !ensureBound(*port)) {
        return false;
    }
    auto error = m_udp.setRemote(address, *port);
    if (!error) {
        error = m_udp.send(kDiscoveryProbe);
    }
    if (!error) {
        ++summary.probesSent;
        return true;
    }
    // One message per walk: a walk over a /16 must not raise 65536 of them.
    if (summary.sendFailures++ == 0) {
        m_messages.showMessage(MessageIcon::Critical, std::to_string(error->number), error->description);
    }
    return true;
}

void DiscoveryScanner::handleDatagram(std::string_view bytes)
{
    if (m_listed >= kMaxListedReplies) {
        return;  // dropped unread: a full list costs a flood nothing more
    }
    const bool named = namedMode();
    if (auto reply = parseReply(bytes, named); reply && m_listener != nullptr) {
        ++m_listed;
        m_listener->lineFound(formatListLine(*reply, named));
    }
}

std::optional<LineReading> DiscoveryScanner::readLine(std::string_view line) const
{
    return readListLine(line, namedMode());
}

}  // namespace orlavo::discovery
