#pragma once
// The desktop program put together: the real ports on Qt's loop (a clock
// whose pauses keep the window alive), and for the settings file open now the
// feed program, the sign preview and the main window. File > Open swaps
// those for another file's. main() only parses its arguments and runs this.
#include "gui/main_window.h"
#include "gui/message_box_sink.h"
#include "gui/qt_platform/qt_clock.h"
#include "gui/qt_platform/qt_event_loop.h"
#include "gui/recent_files.h"
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
#include <optional>

namespace orlavo::gui {

class DesktopProgram {
public:
    using DiscoveryOpener = std::function<void(QWidget* parent, DesktopProgram& program)>;

    // recentStore: the desktop program's own settings file, which keeps the
    // recent files.
    DesktopProgram(const std::filesystem::path& settingsPath, DiscoveryOpener openDiscovery,
                   const std::filesystem::path& recentStore);
    ~DesktopProgram();
    DesktopProgram(const DesktopProgram&) = delete;
    DesktopProgram& operator=(const DesktopProgram&) = delete;

    // The start-up sequence, then the window and the update timer. A
    // termination signal closes the window (the close sequence runs); a
    // second one cuts the frame going out short.
    void start();
    // The close sequence, when the window has not run it (the session ends).
    void finish();
    // Another sign's settings file: the close sequence of the one open now
    // (its settings written, once its update and frame are done), then the
    // start-up sequence of this one in a window where the old one was. A
    // file that is gone or cannot be read leaves the open one as it is.
    void openSettings(const QString& path);

    [[nodiscard]] MainWindow& window() { return *m_session->window; }
    [[nodiscard]] signfeed::FeedProgram& feed() { return m_session->feed; }
    [[nodiscard]] QtClock& clock() { return m_clock; }
    [[nodiscard]] QtEventLoop& loop() { return m_loop; }
    [[nodiscard]] platform::ProfileFile& settings() { return m_session->settings; }
    [[nodiscard]] MessageBoxSink& messages() { return m_sink; }
    [[nodiscard]] const RecentFiles& recentFiles() const { return m_recent; }

private:
    // What belongs to one settings file.
    struct Session {
        Session(DesktopProgram& program, const std::filesystem::path& path);
        ~Session();
        Session(const Session&) = delete;
        Session& operator=(const Session&) = delete;

        std::filesystem::path path;
        platform::DiskProfileFile settings;
        signfeed::FeedProgram feed;
        signfeed::SignPreview preview;
        std::unique_ptr<MainWindow> window;
    };

    void startSession();
    void switchWhenIdle();

    QtClock m_clock;
    QtEventLoop m_loop;
    platform::PosixUdpEndpoint m_udp{m_loop};
    platform::PosixSerialPort m_serial;
    platform::SystemConnectivity m_connectivity;
    MessageBoxSink m_sink;
    DiscoveryOpener m_openDiscovery;
    RecentFiles m_recent;
    std::unique_ptr<Session> m_session;
    std::optional<std::filesystem::path> m_nextPath;  // a switch under way
    std::unique_ptr<Session> m_retired;               // the file open before, until the loop is back
    platform::SignalWatch m_signals{m_loop};
    int m_signalsSeen = 0;
};

// Blocks the termination signals for the whole process; call it before any
// thread starts (before QApplication), so they only arrive through start().
void blockTerminationSignals();

}  // namespace orlavo::gui
