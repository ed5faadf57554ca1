#include "gui/desktop_program.h"

#include "signfeed/announcement_file.h"

#include <csignal>
#include <cstdio>

namespace orlavo::gui {

DesktopProgram::DesktopProgram(const std::filesystem::path& settingsPath, DiscoveryOpener openDiscovery)
    : m_settings(settingsPath),
      m_feed(signfeed::ProgramPorts{m_clock, m_loop, m_settings, m_udp, m_serial, m_connectivity, m_sink})
{
    m_feed.link().setObserver(&m_preview);
    m_window = std::make_unique<MainWindow>(m_feed, m_preview, [this, open = std::move(openDiscovery)](QWidget* parent) {
        if (open) {
            open(parent, *this);
        }
    });
}

DesktopProgram::~DesktopProgram()
{
    m_feed.link().setObserver(nullptr);
}

void DesktopProgram::start()
{
    m_feed.load();
    m_window->refreshAll();
    m_window->show();
    m_feed.cycle().start();
    // An announcement on when the program last ended goes on for its time,
    // sent once the window is up (a frame's pauses can take a while).
    m_feed.announcement().keepIn(signfeed::announcementFileFor(m_settings.path()));
    m_loop.post([this] {
        if (const std::string restored = m_feed.announcement().restore(); !restored.empty()) {
            std::fprintf(stderr, "orlavo: %s\n", restored.c_str());
        }
    });
    auto failure = m_signals.start({SIGTERM, SIGINT, SIGHUP}, [this](int) {
        if (++m_signalsSeen == 1) {
            m_window->close();
        } else {
            m_feed.stopSending();
        }
    });
    if (failure) {
        std::fprintf(stderr, "orlavo: termination signals not watched: %s\n", failure->description.c_str());
    }
}

void blockTerminationSignals()
{
    platform::blockSignals({SIGTERM, SIGINT, SIGHUP});
}

void DesktopProgram::finish()
{
    if (!m_feed.window().closed()) {
        m_feed.close();
    }
}

}  // namespace orlavo::gui
