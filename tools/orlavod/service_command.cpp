#include "service_command.h"

#include "control_server.h"
#include "headless_program.h"
#include "mqtt/mqtt_bridge.h"
#include "sign_announcements.h"
#include "sign_board.h"
#include "sign_set.h"
#include "update_log.h"
#include "web/web_server.h"

#include "platform/app_paths.h"
#include "platform/loop_inbox.h"
#include "platform/signal_watch.h"
#include "signfeed/announcement_file.h"
#include "shared/text_numbers.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

namespace orlavo::tools {

namespace {

// Status texts when asked for, and the end of the loop once the close
// sequence of every sign has written its settings.
class ServiceWindowListener final : public signfeed::MainWindowModel::Listener {
public:
    ServiceWindowListener(SignSet::Sign& sign, platform::EventLoop& loop, std::size_t& open, bool verbose)
        : m_status(sign.program.window(), sign.linePrefix), m_program(sign.program), m_loop(loop), m_open(open),
          m_verbose(verbose)
    {
    }
    void fieldChanged(signfeed::Field field) override
    {
        if (m_verbose) {
            m_status.fieldChanged(field);
        }
    }
    void closeRequested() override
    {
        // The loop runs on while other signs close: a download of this one
        // still under way must not send or write after its close.
        m_program.feed().CloseComm();
        if (--m_open == 0) {
            m_loop.quit();
        }
    }

private:
    StatusPrinter m_status;
    FeedProgram& m_program;
    platform::EventLoop& m_loop;
    std::size_t& m_open;  // signs not closed yet
    bool m_verbose;
};

void logLine(const platform::Clock& clock, const std::string& text, const std::string& prefix = {})
{
    std::fprintf(stderr, "%sorlavod: %s %s\n", prefix.c_str(), formatTimestamp(clock.localTime()).c_str(),
                 text.c_str());
    std::fflush(stderr);
}

// Looks at the settings file before each minute's tick, so an edit made while
// the service runs is taken (as a start-up would take it) before the tick
// decides on an update.
class SettingsFollower {
public:
    SettingsFollower(SignSet::Sign& sign, const platform::Clock& clock)
        : m_program(sign.program), m_clock(clock), m_prefix(sign.linePrefix)
    {
    }

    void beforeTick()
    {
        signfeed::MainWindowModel::SettingsReload reload = m_program.window().reloadChangedSettings();
        if (reload.failure) {
            if (reload.failure->description != m_lastFailure) {  // once, not every minute
                m_lastFailure = reload.failure->description;
                logLine(m_clock, "settings file changed but not read, the settings in effect stay: " + m_lastFailure,
                        m_prefix);
            }
            return;
        }
        m_lastFailure.clear();
        if (reload.reloaded) {
            // Queued behind the reload, which waits for a frame going out.
            m_program.link().whenIdle([this] {
                logLine(m_clock, "settings file changed, read again: " + periodText(m_program.window().updatePeriodText()),
                        m_prefix);
            });
        }
    }

private:
    FeedProgram& m_program;
    const platform::Clock& m_clock;
    std::string m_prefix;
    std::string m_lastFailure;
};

// One sign's part in the service: its settings follower, its window
// listener and its update log, attached for as long as the service runs.
class ServiceSign {
public:
    ServiceSign(SignSet::Sign& sign, SignSet& set, std::size_t& open, bool verbose)
        : m_sign(sign), m_follower(sign, set.clock), m_listener(sign, set.loop, open, verbose),
          m_log(set.clock, sign.program, stderr, &sign.sink)
    {
        m_log.setLinePrefix(sign.linePrefix);
        FeedProgram& program = sign.program;
        program.cycle().setBeforeTick([this] { m_follower.beforeTick(); });
        program.window().setListener(&m_listener);
        program.load();
        program.cycle().setObserver(&m_log);
    }
    ~ServiceSign()
    {
        m_sign.program.cycle().setObserver(nullptr);
        m_sign.program.window().setListener(nullptr);
        m_sign.program.cycle().setBeforeTick(nullptr);
    }
    ServiceSign(const ServiceSign&) = delete;
    ServiceSign& operator=(const ServiceSign&) = delete;

    [[nodiscard]] signfeed::UpdateCycleObserver& log() { return m_log; }

private:
    SignSet::Sign& m_sign;
    SettingsFollower m_follower;
    ServiceWindowListener m_listener;
    UpdateLog m_log;
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

int runService(const std::vector<SignEntry>& signs, const ServiceOptions& options)
{
    SignSet set(signs, options.limits);
    platform::SignalWatch signals(set.loop);
    bool closing = false;
    bool forced = false;
    auto onSignal = [&](int signalNumber) {
        if (closing) {
            // The close waits for the frames going out; a second request cuts
            // them short, so the close (and its writes) runs at once.
            logLine(set.clock, std::string("second SIG") + sigabbrev_np(signalNumber) +
                                   ", stopping the frame and ending now");
            forced = true;
            for (const auto& sign : set.signs()) {
                sign->program.stopSending();
            }
            return;
        }
        closing = true;
        logLine(set.clock, std::string("SIG") + sigabbrev_np(signalNumber) + " received, closing");
        for (const auto& sign : set.signs()) {
            sign->program.cycle().stop();
            sign->program.window().close();
        }
    };
    // Started before the first update: name lookups run on helper threads,
    // which inherit the blocked mask and so leave the signals to the loop.
    if (auto error = signals.start({SIGINT, SIGTERM, SIGHUP}, onSignal)) {
        std::fprintf(stderr, "orlavod: %s\n", error->description.c_str());
        return 2;
    }
    std::size_t open = set.signs().size();
    std::vector<std::unique_ptr<ServiceSign>> running;
    for (const auto& sign : set.signs()) {
        running.push_back(std::make_unique<ServiceSign>(*sign, set, open, options.verbose));
        logLine(set.clock,
                "started with " + sign->settingsPath.string() + ", " +
                    periodText(sign->program.window().updatePeriodText()),
                sign->linePrefix);
    }
    // Announcements reach the signs through the control socket; without one
    // (another service holds it) the headlines run on as before.
    SignAnnouncements announcements(set.loop, [&set](const std::string& line) { logLine(set.clock, line); });
    for (const auto& sign : set.signs()) {
        sign->program.announcement().keepIn(signfeed::announcementFileFor(sign->settingsPath));
        announcements.add(sign->name, sign->program.announcement());
    }
    // What the remote controls see: every update's end passes the board on its way to the log.
    std::vector<BoardSign> boardSigns;
    for (const auto& sign : set.signs()) {
        boardSigns.push_back({sign->name, sign->settingsPath, sign->program});
    }
    std::optional<SignBoard> board(std::in_place, set.loop, boardSigns, announcements);
    for (std::size_t i = 0; i < set.signs().size(); ++i) {
        SignSet::Sign& sign = *set.signs()[i];
        sign.program.cycle().setObserver(&board->cycleObserver(sign.name, &running[i]->log()));
    }
    // The remote controls' threads hand their work to the loop through the
    // inbox, declared before them so it outlives their threads.
    platform::LoopInbox inbox(set.loop);
    std::optional<WebServer> web;
    if (!options.web.listen.empty()) {
        web.emplace(options.web, inbox, *board, set.clock);
        if (std::optional<std::string> error = web->start()) {
            std::fprintf(stderr, "orlavod: %s\n", error->c_str());
            return 2;
        }
        logLine(set.clock, "web control on " + web->url());
    }
    std::optional<MqttBridge> mqtt;
    if (options.mqtt.broker.empty() && options.mqtt != MqttOptions{}) {
        std::fprintf(stderr, "orlavod: MQTT: the MQTT options need a broker: --mqtt HOST[:PORT] or [Mqtt] Broker=\n");
        return 2;
    }
    if (!options.mqtt.broker.empty()) {
        mqtt.emplace(*board, inbox, [&set](const std::string& line) { logLine(set.clock, line); });
        if (auto error = mqtt->start(options.mqtt)) {
            std::fprintf(stderr, "orlavod: MQTT: %s\n", error->c_str());
            return 2;
        }
    }
    ControlServer control(set.loop, [&announcements](std::string_view line) { return announcements.answer(line); });
    if (auto error = control.listen(platform::controlSocketPath())) {
        logLine(set.clock, "announcements are off: " + error->description);
    }
    for (const auto& sign : set.signs()) {
        if (const std::string restored = sign->program.announcement().restore(); !restored.empty()) {
            logLine(set.clock, restored, sign->linePrefix);
        }
        sign->program.cycle().start();
        if (options.updateNow) {
            set.loop.post([&program = sign->program] { program.cycle().requestUpdate(); });
        }
    }
    set.loop.run();
    mqtt.reset();  // says "offline" while the board still stands
    // Requests still waiting for the loop get their refusal now; the web's
    // threads end before the board they read goes.
    inbox.close();
    web.reset();
    board.reset();
    running.clear();
    for (const auto& sign : set.signs()) {
        logLine(set.clock,
                sign->program.window().closeWriteFailed() ? "settings not written, stopped"
                                                          : "settings written, stopped",
                sign->linePrefix);
    }
    return forced ? 1 : 0;
}

}  // namespace orlavo::tools
