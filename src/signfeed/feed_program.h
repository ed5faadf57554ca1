#pragma once
// The sign feed program: the main window model, the sign link, the feed
// control, the composer and the update cycle, wired together once. The
// desktop window and the commands of orlavod differ only in the ports they
// pass and in how long they let the cycle run.
#include "platform/clock.h"
#include "platform/connectivity.h"
#include "platform/event_loop.h"
#include "platform/profile_file.h"
#include "platform/resolver.h"
#include "platform/serial_port.h"
#include "platform/tcp_connection.h"
#include "platform/udp_endpoint.h"
#include "signfeed/announcement.h"
#include "signfeed/composer.h"
#include "signfeed/main_window_model.h"
#include "shared/message_sink.h"
#include "shared/settings.h"
#include "signfeed/sign_link.h"
#include "signfeed/update_cycle.h"

#include <pellix/rss_comp.h>

namespace orlavo::signfeed {

struct ProgramPorts {
    platform::Clock& clock;
    platform::EventLoop& loop;
    platform::ProfileFile& settings;
    platform::UdpEndpoint& udp;
    platform::SerialPort& serial;
    platform::Connectivity& connectivity;
    MessageSink& sink;
    // Name lookup and TCP connect of the feed control; null: the system's.
    platform::Resolver* resolver = nullptr;
    platform::TcpConnector* connector = nullptr;
};

class FeedProgram {
public:
    // signPort: the local UDP port the start-up binds (0: any free one);
    // limits: the feed control's bounds on each download; pacing: how the
    // waits of an update and of a frame pass (timers when several signs share the loop).
    explicit FeedProgram(const ProgramPorts& ports, int signPort = kSignUdpPort, const pellix::RSSCompLimits& limits = {},
                         platform::Pacing pacing = platform::Pacing::Blocking);
    FeedProgram(const FeedProgram&) = delete;
    FeedProgram& operator=(const FeedProgram&) = delete;

    [[nodiscard]] MainWindowModel& window() { return m_window; }
    [[nodiscard]] UpdateCycle& cycle() { return m_cycle; }
    [[nodiscard]] Composer& composer() { return m_composer; }
    [[nodiscard]] pellix::RSSComp& feed() { return m_feed; }
    [[nodiscard]] SignLink& link() { return m_link; }
    [[nodiscard]] Announcement& announcement() { return m_announcement; }
    // True when a link failed to take the last frame (no such device, send
    // refused): that frame never reached the sign.
    [[nodiscard]] bool lastFrameFailed() const { return m_link.lastFrameReport().failures != 0; }
    [[nodiscard]] const FrameReport& lastFrameReport() const { return m_link.lastFrameReport(); }
    // Cuts the frame going out short (see SignLink::stopSending).
    void stopSending() { m_link.stopSending(); }
    [[nodiscard]] const std::string& lastUrl() const { return m_cycle.lastUrl(); }
    // See UpdateCycle::staleHeadlines and RSSComp::CharsetFallback.
    [[nodiscard]] std::string staleHeadlines() const { return m_cycle.staleHeadlines(); }
    [[nodiscard]] std::string charsetFallback() const { return m_feed.CharsetFallback(); }
    // See UpdateCycle::movedFeedNote.
    [[nodiscard]] const std::string& movedFeedNote() const { return m_cycle.movedFeedNote(); }
    // Where the last feed moved for good (RSSComp::MovedURL); empty when it did not.
    [[nodiscard]] std::string movedUrl() const { return m_feed.MovedURL(); }

    // The start-up sequence: reads the settings, configures the links.
    void load();
    // Runs one update and returns when it has ended (download, compose, send);
    // the cycle's observer hears how it ended.
    void runOneUpdate();
    // The close sequence, once the frame going out (if any) is gone; returns
    // when the settings are written.
    void close();

private:
    platform::EventLoop& m_loop;
    MainWindowModel m_window;
    SignLink m_link;
    pellix::RSSComp m_feed;
    Composer m_composer;
    UpdateCycle m_cycle;
    Announcement m_announcement;
};

}  // namespace orlavo::signfeed
