#include "service_command.h"

#include "headless_program.h"
#include "system_ports.h"
#include "update_log.h"

#include "platform/signal_watch.h"

#include <csignal>
#include <cstdio>
#include <cstring>

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

}  // namespace

int runService(const std::filesystem::path& settingsPath, const ServiceOptions& options)
{
    SystemPorts system(settingsPath);
    platform::SignalWatch signals(system.loop);
    HeadlessProgram program(system.ports());
    bool closing = false;
    bool forced = false;
    auto onSignal = [&](int signalNumber) {
        if (closing) {
            // A frame is still going out; a second request ends at once. Every
            // edit was stored when it was made, so nothing but the close's
            // rewrite is skipped.
            logLine(system.clock, std::string("second SIG") + sigabbrev_np(signalNumber) + ", ending now");
            forced = true;
            system.loop.quit();
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
    UpdateLog log(system.clock, program, stderr);
    program.cycle().setObserver(&log);
    logLine(system.clock, "started with " + settingsPath.string() + ", updates every " +
                              program.window().control(signfeed::Field::Text5).text + " minutes");
    program.cycle().start();
    if (options.updateNow) {
        system.loop.post([&program] { program.cycle().requestUpdate(); });
    }
    system.loop.run();
    program.cycle().setObserver(nullptr);
    program.window().setListener(nullptr);
    if (forced) {
        return 1;
    }
    logLine(system.clock, "settings written, stopped");
    return 0;
}

}  // namespace orlavo::tools
