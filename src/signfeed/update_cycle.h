#pragma once
// The update cycle: the one-minute timer, "Request and Display RSS", the
// choice of the feed (the selected one, or the next non-empty slot in
// rotation), the download through the feed control and, when it ends, the
// composer. One update at a time: a request made while one runs (a tick or a
// click inside a wait) is remembered and runs when the current one is done.
#include "platform/clock.h"
#include "platform/event_loop.h"
#include "platform/wait.h"
#include "signfeed/composer.h"
#include "signfeed/hours_gate.h"
#include "signfeed/main_window_model.h"
#include "shared/settings.h"

#include <pellix/rss_comp.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace orlavo::signfeed {

class UpdateCycleObserver {
public:
    // One update ended: what the download reported and what the composer did.
    virtual void updateFinished(const DownloadOutcome& outcome, const ComposeResult& result) = 0;
    // The update ended before any download (no URL, or the request was refused).
    virtual void updateAbandoned(const std::string& why) = 0;
    // The sign's hours ended (a blank frame went out; nextStart: "Mon 07:30")
    // or began (an update follows at once).
    virtual void hoursChanged(bool /*on*/, const std::string& /*nextStart*/) {}

protected:
    ~UpdateCycleObserver() = default;
};

class UpdateCycle final : private pellix::RSSCompListener {
public:
    static constexpr std::int64_t kTickMs = 60'000;

    UpdateCycle(MainWindowModel& window, pellix::RSSComp& feed, Composer& composer, platform::Clock& clock,
                platform::EventLoop& loop);
    ~UpdateCycle();
    UpdateCycle(const UpdateCycle&) = delete;
    UpdateCycle& operator=(const UpdateCycle&) = delete;

    void setObserver(UpdateCycleObserver* observer) { m_observer = observer; }
    // Runs at the start of every timer tick, before the tick decides on an
    // update: the service looks at its settings file there.
    void setBeforeTick(std::function<void()> hook) { m_beforeTick = std::move(hook); }
    // Blocking unless set: the wait before each download (see SignLink).
    void setPacing(platform::Pacing pacing) { m_pacing = pacing; }
    // Takes the end of each composed update (the observer's report and the
    // next request) and runs it once the frame sent has gone out: the feed
    // program queues it behind the frame on a link whose waits run on timers.
    void setFrameDeferral(std::function<void(std::function<void()>)> deferral) { m_frameDeferral = std::move(deferral); }
    // Starts the one-minute timer.
    void start();
    void stop();
    // One timer tick.
    void tick();
    // "Request and Display RSS".
    void requestUpdate();
    [[nodiscard]] bool busy() const { return m_busy; }
    // Inside the sign's [Schedule] hours as of the last tick.
    [[nodiscard]] bool insideHours() const { return m_hours.on(); }
    // While held (an announcement is on) no update runs and a download that
    // ends sends nothing; an update that came due meanwhile is remembered.
    void setHeld(bool held);
    [[nodiscard]] bool held() const { return m_held; }
    [[nodiscard]] bool missedWhileHeld() const { return m_missedWhileHeld; }
    // The URL the last update asked for.
    [[nodiscard]] const std::string& lastUrl() const { return m_lastUrl; }
    // While updates fail: "showing headlines from 14:05, the feed has failed
    // since 14:10" (the clock's local time, with the date when it is not
    // today's); empty once an update succeeded.
    [[nodiscard]] std::string staleHeadlines() const;
    // The last update that succeeded, and the first failure after it.
    [[nodiscard]] const std::optional<platform::LocalTime>& headlinesFrom() const { return m_headlinesFrom; }
    [[nodiscard]] const std::optional<platform::LocalTime>& failingSince() const { return m_failingSince; }
    // After an update whose feed moved for good with RewriteMovedFeeds=1:
    // "the feed moved for good to URL; rewritten: AccessPointIP0", or why
    // the stored address was kept; empty otherwise.
    [[nodiscard]] const std::string& movedFeedNote() const { return m_movedNote; }

private:
    void OnConnect(const std::string& host) override;
    void OnFinish(std::int32_t code, const std::string& text) override;
    void OnDisconnect() override {}

    void runUpdate();
    void requestDownload();
    void requestFailed(std::int32_t result, const std::string& text);
    [[nodiscard]] std::optional<std::string> chooseUrl();
    void testSerialPort();
    void abandon(const std::string& why, bool feedFailed = false);
    // Keeps since when the headlines on the sign are not current.
    void noteOutcome(bool succeeded);
    [[nodiscard]] std::string describeStale(const platform::LocalTime& failingSince) const;
    // What a failure ending now adds to the window's status, as a sentence.
    [[nodiscard]] std::string failureSentence() const;
    [[nodiscard]] bool settingOn(const SettingKey& setting) const;
    void rewriteMovedFeed(const std::string& movedTo, bool endedInAFeed);
    void endUpdate();
    // Whether this tick may update; acts on the edges of the sign's hours.
    [[nodiscard]] bool hoursAllowTick();
    // The blank frame, and the status saying until when.
    void goDark();

    MainWindowModel& m_window;
    pellix::RSSComp& m_feed;
    Composer& m_composer;
    platform::Clock& m_clock;
    platform::EventLoop& m_loop;
    UpdateCycleObserver* m_observer = nullptr;
    std::optional<platform::EventLoop::TimerId> m_timer;
    std::optional<platform::EventLoop::TimerId> m_waitTimer;  // the wait before a download, on timers
    platform::Pacing m_pacing = platform::Pacing::Blocking;
    std::function<void(std::function<void()>)> m_frameDeferral;
    std::function<void()> m_beforeTick;
    HoursGate m_hours;
    bool m_blankPending = false;  // the hours ended while an update ran
    std::string m_lastUrl;
    std::string m_movedNote;
    std::optional<platform::LocalTime> m_headlinesFrom;  // the last update that succeeded
    std::optional<platform::LocalTime> m_failingSince;   // the first failure after it
    bool m_busy = false;
    bool m_requestPending = false;
    bool m_held = false;
    bool m_missedWhileHeld = false;
    bool m_connected = false;  // the download under way raised OnConnect
    std::shared_ptr<const bool> m_alive = std::make_shared<const bool>(true);
};

}  // namespace orlavo::signfeed
