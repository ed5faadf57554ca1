#pragma once
// The walk over an address range that sends the probe, and the handling of
// the replies. Owns the discovery endpoint's use (binding, aiming, closing);
// the endpoint itself, the clock and the loop are borrowed. The window model
// and "orlavod discover" drive it alike.
//
// Replies arriving during the walk are handled at the end of each 10 ms wait,
// so the list fills while the walk goes on. The listener may call back into
// the scanner (a port edit, stop(), close()) from there.
#include "discovery/discovery_protocol.h"
#include "platform/clock.h"
#include "platform/event_loop.h"
#include "platform/udp_endpoint.h"
#include "shared/message_sink.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace orlavo::discovery {

// The sign firmware needs this pause between two probes.
inline constexpr std::int32_t kProbePauseMs = 10;
// Lines one walk's list may get: one for each address of a /16, the largest
// walk that ends in minutes. A host flooding valid replies (duplicates are
// listed, as signs that answer twice are) stops growing the list there.
inline constexpr std::size_t kMaxListedReplies = 65536;

struct WalkProgress {
    std::string address;  // the address being walked, in shortest form
    std::uint64_t index = 0;  // 1-based
    std::uint64_t total = 0;
    std::int64_t msLeft = 0;  // the pauses still to come
};

struct WalkSummary {
    std::uint64_t walked = 0;
    std::uint64_t probesSent = 0;
    std::uint64_t sendFailures = 0;
    bool stopped = false;  // ended by stop() or close() before its last address
};

enum class WalkOutcome {
    Finished,
    Stopped,
    Refused,  // bad port or range, endpoint not bindable, or a walk already running
};

class DiscoveryScanner {
public:
    struct Listener {
        virtual void walkStarted() {}
        virtual void walkProgress(const WalkProgress&) {}
        virtual void walkEnded(const WalkSummary&) {}
        virtual void lineFound(const std::string& line) = 0;

    protected:
        ~Listener() = default;
    };

    DiscoveryScanner(platform::Clock& clock, platform::EventLoop& loop, platform::UdpEndpoint& udp,
                     signfeed::MessageSink& messages);
    ~DiscoveryScanner();
    DiscoveryScanner(const DiscoveryScanner&) = delete;
    DiscoveryScanner& operator=(const DiscoveryScanner&) = delete;

    void setListener(Listener* listener) { m_listener = listener; }

    // Takes the port text and the sign address; nothing is bound yet. A port
    // text that is not a whole number from 1 to 65535 is returned as an error.
    [[nodiscard]] std::optional<std::string> open(std::string_view portText, std::string_view remoteHost);
    // Every edit of the port field, one keystroke at a time: the endpoint is
    // closed, and the text is checked (never per keystroke) when a walk needs it.
    void changePort(std::string_view portText);
    // The walk. ethernetOn is asked before every probe; when it says no, the
    // walk still shows every address and pauses, but sends nothing.
    WalkOutcome locate(const RangeTexts& range, const std::function<bool()>& ethernetOn);
    // The walk ends at its next pause.
    void stop() { m_stopRequested = m_walking; }
    void close();

    // A datagram from the endpoint; accepted replies reach the listener as list
    // lines, up to kMaxListedReplies from the start of the latest walk.
    void handleDatagram(std::string_view bytes);
    [[nodiscard]] std::optional<LineReading> readLine(std::string_view line) const;

    [[nodiscard]] bool walking() const { return m_walking; }
    [[nodiscard]] bool namedMode() const { return namedReplyMode(m_portText); }
    [[nodiscard]] const std::string& portText() const { return m_portText; }

private:
    [[nodiscard]] std::optional<int> checkedPort();
    [[nodiscard]] bool ensureBound(int port);
    // False when the walk must end: the port became unusable mid-walk.
    [[nodiscard]] bool probe(const std::string& address, WalkSummary& summary);
    WalkOutcome walk(const DiscoveryRange& range, const std::function<bool()>& ethernetOn);

    platform::Clock& m_clock;
    platform::EventLoop& m_loop;
    platform::UdpEndpoint& m_udp;
    signfeed::MessageSink& m_messages;
    Listener* m_listener = nullptr;
    std::string m_portText = std::to_string(kDefaultDiscoveryPort);
    std::string m_remoteHost = "255.255.255.255";
    int m_boundPort = -1;
    std::size_t m_listed = 0;  // lines reported since the latest walk started
    bool m_walking = false;
    bool m_stopRequested = false;
};

}  // namespace orlavo::discovery
