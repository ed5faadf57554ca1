#pragma once
// The sign feed program without its window: the main window model, the sign
// link, the feed control, the composer and the update cycle, wired together
// as the window wires them. The commands of orlavod differ only in the ports
// they pass and in how long they let the cycle run.
#include "platform/clock.h"
#include "platform/connectivity.h"
#include "platform/event_loop.h"
#include "platform/profile_file.h"
#include "platform/serial_port.h"
#include "platform/udp_endpoint.h"
#include "signfeed/composer.h"
#include "signfeed/main_window_model.h"
#include "signfeed/message_sink.h"
#include "signfeed/settings.h"
#include "signfeed/sign_link.h"
#include "signfeed/update_cycle.h"

#include "pellix/rss_comp.h"

namespace orlavo::tools {

struct ProgramPorts {
    platform::Clock& clock;
    platform::EventLoop& loop;
    platform::ProfileFile& settings;
    platform::UdpEndpoint& udp;
    platform::SerialPort& serial;
    platform::Connectivity& connectivity;
    signfeed::MessageSink& sink;
};

class HeadlessProgram {
public:
    // signPort: the local UDP port the start-up binds (0: any free one);
    // limits: the feed control's bounds on each download.
    explicit HeadlessProgram(const ProgramPorts& ports, int signPort = signfeed::kSignPort,
                             const pellix::RSSCompLimits& limits = {});
    HeadlessProgram(const HeadlessProgram&) = delete;
    HeadlessProgram& operator=(const HeadlessProgram&) = delete;

    [[nodiscard]] signfeed::MainWindowModel& window() { return m_window; }
    [[nodiscard]] signfeed::UpdateCycle& cycle() { return m_cycle; }
    [[nodiscard]] signfeed::Composer& composer() { return m_composer; }
    // True when a link failed to take the last frame (no such device, send
    // refused): that frame never reached the sign.
    [[nodiscard]] bool lastFrameFailed() const { return m_link.lastFrameReport().failures != 0; }
    [[nodiscard]] const signfeed::FrameReport& lastFrameReport() const { return m_link.lastFrameReport(); }
    // Cuts the frame going out short (see SignLink::stopSending).
    void stopSending() { m_link.stopSending(); }
    [[nodiscard]] const std::string& lastUrl() const { return m_cycle.lastUrl(); }

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
    signfeed::MainWindowModel m_window;
    signfeed::SignLink m_link;
    pellix::RSSComp m_feed;
    signfeed::Composer m_composer;
    signfeed::UpdateCycle m_cycle;
};

// Prints the status texts on stderr as the window would show them change.
class StatusPrinter final : public signfeed::MainWindowModel::Listener {
public:
    explicit StatusPrinter(const signfeed::MainWindowModel& window) : m_window(window) {}
    void fieldChanged(signfeed::Field field) override;

private:
    const signfeed::MainWindowModel& m_window;
};

}  // namespace orlavo::tools
