#include "gui/desktop_program.h"

#include "gui/file_menu.h"

#include <QTimer>

#include <csignal>
#include <cstdio>

namespace orlavo::gui {

namespace {

QString qtPath(const std::filesystem::path& path)
{
    return QString::fromStdString(path.string());
}

// Two spellings of one file are one file.
bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b)
{
    std::error_code error;
    return std::filesystem::equivalent(a, b, error);
}

}  // namespace

DesktopProgram::Session::Session(DesktopProgram& program, const std::filesystem::path& settingsPath)
    : path(std::filesystem::absolute(settingsPath).lexically_normal()),
      settings(settingsPath),
      feed(signfeed::ProgramPorts{program.m_clock, program.m_loop, settings, program.m_udp, program.m_serial,
                                  program.m_connectivity, program.m_sink})
{
    feed.link().setObserver(&preview);
    window = std::make_unique<MainWindow>(feed, preview, [&program](QWidget* parent) {
        if (program.m_openDiscovery) {
            program.m_openDiscovery(parent, program);
        }
    });
    window->setSettingsPath(qtPath(path));
    addFileMenu(*window, FileMenuActions{[this] { return qtPath(path); }, [&program] { return program.m_recent.paths(); },
                                         [&program](const QString& next) { program.openSettings(next); }});
}

DesktopProgram::Session::~Session()
{
    window.reset();
    feed.link().setObserver(nullptr);
}

DesktopProgram::DesktopProgram(const std::filesystem::path& settingsPath, DiscoveryOpener openDiscovery,
                               const std::filesystem::path& recentStore)
    : m_openDiscovery(std::move(openDiscovery)),
      m_recent(qtPath(recentStore)),
      m_session(std::make_unique<Session>(*this, settingsPath))
{
}

DesktopProgram::~DesktopProgram() = default;

void DesktopProgram::start()
{
    startSession();
    auto failure = m_signals.start({SIGTERM, SIGINT, SIGHUP}, [this](int) {
        if (++m_signalsSeen == 1) {
            m_session->window->setCloseHandler(nullptr);  // ending wins over a switch under way
            m_session->window->close();
        } else {
            m_session->feed.stopSending();
        }
    });
    if (failure) {
        std::fprintf(stderr, "orlavo: termination signals not watched: %s\n", failure->description.c_str());
    }
}

void DesktopProgram::startSession()
{
    m_session->feed.load();
    m_session->window->refreshAll();
    m_session->window->show();
    m_session->feed.cycle().start();
    m_recent.add(qtPath(m_session->path));
}

void DesktopProgram::openSettings(const QString& path)
{
    const std::filesystem::path next = path.toStdString();
    if (m_nextPath || sameFile(next, m_session->path)) {
        return;
    }
    std::error_code error;
    if (!std::filesystem::exists(next, error)) {
        m_recent.remove(path);
        m_sink.showMessage(signfeed::MessageIcon::Exclamation, "Open Settings File",
                           "The settings file " + next.string() +
                               " does not exist any more; it is taken off the recent files.");
        return;
    }
    if (auto unreadable = platform::DiskProfileFile(next).readFailure()) {
        m_sink.showMessage(signfeed::MessageIcon::Critical, "Open Settings File",
                           "The settings file was not read, so " + m_session->path.string() +
                               " stays open:\n" + unreadable->description);
        return;
    }
    m_nextPath = next;
    // Posted, so the switch never runs inside a handler of the window it removes.
    m_session->window->setCloseHandler([this] {
        QTimer::singleShot(0, m_session->window.get(), [this] { switchWhenIdle(); });
    });
    m_session->feed.cycle().stop();
    m_session->feed.window().close();
}

void DesktopProgram::switchWhenIdle()
{
    // An update or a frame under way may be paused in a wait further down
    // the stack: its objects stay until it has ended.
    if (m_session->feed.cycle().busy() || m_session->feed.link().busy()) {
        QTimer::singleShot(50, m_session->window.get(), [this] { switchWhenIdle(); });
        return;
    }
    m_retired = std::move(m_session);
    m_session = std::make_unique<Session>(*this, *m_nextPath);
    m_nextPath.reset();
    m_session->window->setGeometry(m_retired->window->geometry());
    startSession();
    // Hidden after the new window shows, so the program never has no window;
    // gone once this task (which runs on its timer) has returned.
    m_retired->window->hide();
    QTimer::singleShot(0, m_session->window.get(), [this] { m_retired.reset(); });
}

void blockTerminationSignals()
{
    platform::blockSignals({SIGTERM, SIGINT, SIGHUP});
}

void DesktopProgram::finish()
{
    if (!m_session->feed.window().closed()) {
        m_session->feed.close();
    }
}

}  // namespace orlavo::gui
