#pragma once
// The desktop program put together: the real ports on Qt's loop (a clock
// whose pauses keep the window alive), the feed program, the sign preview
// and the main window. main() only parses its arguments and runs this.
#include "gui/main_window.h"
#include "gui/message_box_sink.h"
#include "gui/qt_platform/qt_clock.h"
#include "gui/qt_platform/qt_event_loop.h"
#include "platform/connectivity.h"
#include "platform/posix_serial_port.h"
#include "platform/posix_udp_endpoint.h"
#include "platform/profile_file.h"
#include "platform/signal_watch.h"
#include "signfeed/feed_program.h"
#include "signfeed/sign_preview.h"

#include <filesystem>
#include <functional>
#include <memory>

namespace orlavo::gui {

class DesktopProgram {
public:
    using DiscoveryOpener = std::function<void(QWidget* parent, DesktopProgram& program)>;

    DesktopProgram(const std::filesystem::path& settingsPath, DiscoveryOpener openDiscovery);
    ~DesktopProgram();
    DesktopProgram(const DesktopProgram&) = delete;
    DesktopProgram& operator=(const DesktopProgram&) = delete;

    // The start-up sequence, then the window and the update timer. A
    // termination signal closes the window (the close sequence runs); a
    // second one cuts the frame going out short.
    void start();
    // The close sequence, when the window has not run it (the session ends).
    void finish();

    [[nodiscard]] MainWindow& window() { return *m_window; }
    [[nodiscard]] signfeed::FeedProgram& feed() { return m_feed; }
    [[nodiscard]] QtClock& clock() { return m_clock; }
    [[nodiscard]] QtEventLoop& loop() { return m_loop; }
    [[nodiscard]] platform::ProfileFile& settings() { return m_settings; }
    [[nodiscard]] MessageBoxSink& messages() { return m_sink; }

private:
    QtClock m_clock;
    QtEventLoop m_loop;
    platform::DiskProfileFile m_settings;
    platform::PosixUdpEndpoint m_udp{m_loop};
    platform::PosixSerialPort m_serial;
    platform::SystemConnectivity m_connectivity;
    MessageBoxSink m_sink;
    signfeed::FeedProgram m_feed;
    signfeed::SignPreview m_preview;
    std::unique_ptr<MainWindow> m_window;
    platform::SignalWatch m_signals{m_loop};
    int m_signalsSeen = 0;
};

// Blocks the termination signals for the whole process; call it before any
// thread starts (before QApplication), so they only arrive through start().
void blockTerminationSignals();

}  // namespace orlavo::gui
