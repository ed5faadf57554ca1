#pragma once
// The sending side of the main window: frames go to the sign over UDP and/or
// a serial line, whole or as clock packets, paced by waits that let other
// events run. Owned by the feed program; it borrows the two endpoints and
// reads which links are on from the main window model at every step.
//
// A frame going out is a small state machine: each step sends one unit (or
// one link's copy of a whole frame) and names the wait before the next. The
// waits block (Pacing::Blocking, sendFrame returns once the frame is gone) or
// run on the loop's timers (Pacing::Timers, sendFrame returns at once), so
// several links on one loop each keep their own pace without delaying another.
//
// One frame at a time: a frame started while one goes out (from an event that
// runs inside a wait, or any time under timers) is queued and sent after the
// current one, and closing or reconfiguring a link meanwhile is deferred
// until the frame has gone, so packets of two frames never interleave and a
// port is never closed under a running send.
#include "platform/clock.h"
#include "platform/event_loop.h"
#include "platform/serial_port.h"
#include "platform/sys_error.h"
#include "platform/udp_endpoint.h"
#include "platform/wait.h"
#include "shared/message_sink.h"
#include "signfeed/sign_protocol.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orlavo::signfeed {

// Which links are on ("Ethernet UDP", "Serial Communications").
struct LinkSelection {
    bool udp = false;
    bool serial = false;
};

// How one frame fared: failures that were not transient, the first of them
// (the only one shown to the user), and the transient ones skipped.
struct FrameReport {
    int failures = 0;
    int transientSkipped = 0;
    std::optional<platform::SysError> first;
    int unitsSent = 0;  // packets (or the whole frame: 1) that went out
    int units = 0;
    bool stopped = false;  // stopSending() cut it short
};

class SignLinkObserver {
public:
    // Before each unit goes out: packet `unit` of `units` (1 of 1 for a whole frame).
    virtual void frameProgress(int unit, int units) = 0;
    virtual void frameFinished(const FrameReport& report) = 0;
    // The bytes of one unit that at least one link took, once per unit:
    // what the sign actually got, for a preview of it.
    virtual void unitSent(std::string_view /*bytes*/) {}

protected:
    ~SignLinkObserver() = default;
};

class SignLink {
public:
    using LinkSelectionSource = std::function<LinkSelection()>;

    SignLink(platform::Clock& clock, platform::EventLoop& loop, platform::UdpEndpoint& udp,
             platform::SerialPort& serial, MessageSink& sink);
    ~SignLink();
    SignLink(const SignLink&) = delete;
    SignLink& operator=(const SignLink&) = delete;

    // Blocking unless set; set it before the first frame.
    void setPacing(platform::Pacing pacing) { m_pacing = pacing; }

    // A fixed selection, or a function read before every transmission.
    void setLinkSelection(LinkSelection selection);
    void setLinkSelectionSource(LinkSelectionSource source);
    void setObserver(SignLinkObserver* observer) { m_observer = observer; }

    // Opens / closes the serial port when the serial link is on; the port is
    // left alone otherwise. Failures go to the message sink.
    void openLink();
    void closeLink();
    // frameUtf8 goes out as windows-1252 bytes; pauseMs 0 means no waits
    // between whole-frame transmissions.
    void sendFrame(std::string_view frameUtf8, bool asClockPackets, int pauseMs);
    // One transmission of text on every link that is on.
    void sendOn(std::string_view textUtf8);
    // "Reset Sign": open, the reset frame whole without waits, close.
    void resetSign();
    // Ends the frame going out before its next unit and drops the frames
    // queued behind it (deferred link operations still run): for a program
    // that must end now. The frame's report says how far it got.
    void stopSending();

    // True while a frame is going out (its waits run other events) and until
    // the frames and actions queued behind it are done.
    [[nodiscard]] bool busy() const { return m_busy; }
    // Runs action now when idle, else after the frames and actions queued before it.
    void whenIdle(std::function<void()> action);
    [[nodiscard]] std::size_t queuedCount() const { return m_queue.size(); }
    [[nodiscard]] const FrameReport& lastFrameReport() const { return m_lastReport; }

private:
    struct Outgoing {
        std::string wire;
        bool asClockPackets = false;
        int pauseMs = 0;
        bool isReset = false;
        std::function<void()> action;  // set for deferred link operations
    };

    // The frame going out: where it stands and how it fares.
    struct Sending {
        Outgoing frame;
        FrameReport report;
        std::vector<std::string> packets;  // clock packets; empty for a whole frame
        std::size_t fullPackets = 0;       // the packets followed by a wait
        std::size_t next = 0;              // the next packet, or the next copy of a whole frame (0 UDP, 1 serial)
        bool delivered = false;            // a whole frame: a link took it
    };

    [[nodiscard]] LinkSelection links() const;
    void enqueue(Outgoing item);
    void runExclusive(Outgoing item);
    // Runs the queue until it is empty, or until a wait runs on a timer.
    void drive();
    void beginFrame(Outgoing frame);
    void finishFrame();
    // One step of the frame going out: the wait before the next, or nullopt when it is done.
    [[nodiscard]] std::optional<int> stepWhole(Sending& s);
    [[nodiscard]] std::optional<int> stepPacket(Sending& s);
    // One unit on the UDP link and then the serial link, when on; delivered
    // tells whether a link took it already.
    void sendUdp(std::string_view bytes, FrameReport& report, bool& delivered);
    void sendSerial(std::string_view bytes, FrameReport& report, bool& delivered);
    void noteFailure(const platform::SysError& error, FrameReport& report, bool alreadyShown);
    void showFailure(const platform::SysError& error);
    void progress(int unit, int units);
    void unitDelivered(std::string_view bytes, bool& delivered);
    void cancelTimer();

    platform::Clock& m_clock;
    platform::EventLoop& m_loop;
    platform::UdpEndpoint& m_udp;
    platform::SerialPort& m_serial;
    MessageSink& m_sink;
    LinkSelectionSource m_links;
    SignLinkObserver* m_observer = nullptr;
    std::deque<Outgoing> m_queue;
    std::optional<Sending> m_sending;
    platform::Pacing m_pacing = platform::Pacing::Blocking;
    std::optional<platform::EventLoop::TimerId> m_timer;  // the wait of the frame going out
    FrameReport m_lastReport;
    bool m_busy = false;
    bool m_stopRequested = false;
    // A failed open was shown already; the writes it dooms are only counted.
    bool m_openFailureShown = false;
};

}  // namespace orlavo::signfeed
