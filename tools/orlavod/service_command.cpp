#include "service_command.h"

#include "control_server.h"
#include "headless_program.h"
#include "sign_announcements.h"
#include "system_ports.h"
#include "update_log.h"

#include "platform/app_paths.h"
#include "platform/signal_watch.h"
#include "signfeed/announcement_file.h"
#include "signfeed/sign_name.h"
#include "shared/text_numbers.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>

namespace orlavo::tools {

namespace {

// Status texts when asked for, and the end of the loop once the close
// sequence has written the settings.
class ServiceWindowListener final : public signfeed::MainWindowModel::Listener {
public:
    ServiceWindowListener(const signfeed::MainWindowModel& window, platform::EventLoop& loop, bool verbose)
        : m_status(window), m_loop(loop), m_verbose(verbose)
    {
    }
    void fieldChanged(signfeed::Field field) override
    {
        if (m_verbose) {
            m_status.fieldChanged(field);
        }
    }
    void closeRequested() override { m_loop.quit(); }

private:
    StatusPrinter m_status;
    platform::EventLoop& m_loop;
    bool m_verbose;
};

void logLine(const platform::Clock& clock, const std::string& text)
{
    std::fprintf(stderr, "orlavod: %s %s\n", formatTimestamp(clock.localTime()).c_str(), text.c_str());
    std::fflush(stderr);
}

// Looks at the settings file before each minute's tick, so an edit made while
// the service runs is taken (as a start-up would take it) before the tick
// decides on an update.
class SettingsFollower {
public:
    SettingsFollower(FeedProgram& program, const platform::Clock& clock) : m_program(program), m_clock(clock) {}

    void beforeTick()
    {
        signfeed::MainWindowModel::SettingsReload reload = m_program.window().reloadChangedSettings();
        if (reload.failure) {
            if (reload.failure->description != m_lastFailure) {  // once, not every minute
                m_lastFailure = reload.failure->description;
                logLine(m_clock, "settings file changed but not read, the settings in effect stay: " + m_lastFailure);
            }
            return;
        }
        m_lastFailure.clear();
        if (reload.reloaded) {
            // Queued behind the reload, which waits for a frame going out.
            m_program.link().whenIdle([this] {
                logLine(m_clock, "settings file changed, read again: " +
                                     periodText(m_program.window().updatePeriodText()));
            });
        }
    }

private:
    FeedProgram& m_program;
    const platform::Clock& m_clock;
    std::string m_lastFailure;
};

}  // namespace

std::string periodText(const std::string& period)
{
    std::optional<double> minutes = signfeed::decimalNumberOf(period);
    if (!minutes) {
        return "automatic updates are off: the update period \"" + period + "\" is not a number";
    }
    return *minutes == 1 ? std::string("updates every minute") : "updates every " + period + " minutes";
}

int runService(const std::filesystem::path& settingsPath, const ServiceOptions& options)
{
    SystemPorts system(settingsPath);
    platform::SignalWatch signals(system.loop);
    FeedProgram program(system.ports(), signfeed::kSignUdpPort, options.limits);
    SettingsFollower follower(program, system.clock);
    program.cycle().setBeforeTick([&follower] { follower.beforeTick(); });
    bool closing = false;
    bool forced = false;
    auto onSignal = [&](int signalNumber) {
        if (closing) {
            // The close waits for the frame going out; a second request cuts
            // that frame short, so the close (and its writes) runs at once.
            logLine(system.clock, std::string("second SIG") + sigabbrev_np(signalNumber) +
                                      ", stopping the frame and ending now");
            forced = true;
            program.stopSending();
            return;
        }
        closing = true;
        logLine(system.clock, std::string("SIG") + sigabbrev_np(signalNumber) + " received, closing");
        program.cycle().stop();
        program.window().close();
    };
    // Started before the first update: name lookups run on helper threads,
    // which inherit the blocked mask and so leave the signals to the loop.
    if (auto error = signals.start({SIGINT, SIGTERM, SIGHUP}, onSignal)) {
        std::fprintf(stderr, "orlavod: %s\n", error->description.c_str());
        return 2;
    }
    ServiceWindowListener listener(program.window(), system.loop, options.verbose);
    program.window().setListener(&listener);
    program.load();
    UpdateLog log(system.clock, program, stderr, &system.sink);
    program.cycle().setObserver(&log);
    logLine(system.clock, "started with " + settingsPath.string() + ", " +
                              periodText(program.window().updatePeriodText()));
    // Announcements reach the service through its control socket; without
    // one (another service holds it) the headlines run on as before.
    SignAnnouncements announcements(system.loop, [&system](const std::string& line) { logLine(system.clock, line); });
    program.announcement().keepIn(signfeed::announcementFileFor(settingsPath));
    announcements.add(signfeed::signNameOf(settingsPath, system.settings), program.announcement());
    ControlServer control(system.loop, [&announcements](std::string_view line) { return announcements.answer(line); });
    if (auto error = control.listen(platform::controlSocketPath())) {
        logLine(system.clock, "announcements are off: " + error->description);
    }
    if (const std::string restored = program.announcement().restore(); !restored.empty()) {
        logLine(system.clock, restored);
    }
    program.cycle().start();
    if (options.updateNow) {
        system.loop.post([&program] { program.cycle().requestUpdate(); });
    }
    system.loop.run();
    program.cycle().setObserver(nullptr);
    program.window().setListener(nullptr);
    logLine(system.clock, program.window().closeWriteFailed() ? "settings not written, stopped"
                                                               : "settings written, stopped");
    return forced ? 1 : 0;
}

}  // namespace orlavo::tools
