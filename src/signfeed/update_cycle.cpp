#include "signfeed/update_cycle.h"

#include "platform/wait.h"
#include "shared/settings.h"
#include "shared/text_numbers.h"

#include <pellix/finish_text.h>

#include <fmt/format.h>

namespace orlavo::signfeed {

namespace {

constexpr std::string_view kPeriodNotANumber =
    "Automatic updates are off: \"Minutes Between Updates\" is not a number.";

}  // namespace

UpdateCycle::UpdateCycle(MainWindowModel& window, pellix::RSSComp& feed, Composer& composer, platform::Clock& clock,
                         platform::EventLoop& loop)
    : m_window(window), m_feed(feed), m_composer(composer), m_clock(clock), m_loop(loop)
{
    m_feed.setListener(this);
    m_composer.setFailureNote([this] { return failureSentence(); });
}

UpdateCycle::~UpdateCycle()
{
    for (auto* timer : {&m_timer, &m_waitTimer}) {
        if (*timer) {
            m_loop.cancelTimer(**timer);
        }
    }
    m_feed.setListener(nullptr);
    m_composer.setFailureNote(nullptr);
}

void UpdateCycle::start()
{
    if (!m_timer) {
        m_timer = m_loop.startRepeatingTimer(kTickMs, [this] {
            if (m_beforeTick) {
                m_beforeTick();
            }
            tick();
        });
    }
}

void UpdateCycle::stop()
{
    platform::stopTimer(m_loop, m_timer);
    // An update still in its wait never downloads: on timers the loop runs
    // on for the other signs' close, past this sign's.
    if (m_waitTimer) {
        m_loop.cancelTimer(*m_waitTimer);
        m_waitTimer.reset();
        m_busy = m_requestPending = false;
        m_window.showInitializing(false);
    }
}

void UpdateCycle::tick()
{
    // The count does not wrap: a period of 300 minutes updates every 300 minutes.
    const long minutes = m_window.countMinute();
    std::optional<double> period = m_window.updatePeriodMinutes();
    if (!period) {
        m_window.setStatus(std::string(kPeriodNotANumber));
        return;
    }
    // A corrected period must not leave the window saying that updates are off.
    if (m_window.statusText() == kPeriodNotANumber) {
        m_window.setStatus("");
    }
    if (!hoursAllowTick()) {
        return;
    }
    if (*period <= static_cast<double>(minutes)) {
        m_window.restartUpdatePeriod();
        requestUpdate();
    }
}

bool UpdateCycle::hoursAllowTick()
{
    const HoursGate::Step step = m_hours.step(m_window.settings(), m_clock.localTime());
    if (!m_hours.newProblem().empty()) {
        m_window.messages().showMessage(MessageIcon::Exclamation, "Hours", m_hours.newProblem());
    }
    switch (step) {
    case HoursGate::Step::On:
        return true;
    case HoursGate::Step::Off:
        return false;
    case HoursGate::Step::Ended:
        // An update under way finishes first; the blank frame then follows it.
        m_requestPending = false;
        if (m_held) {
            // The announcement stays; its end leaves the sign blank.
        } else if (m_busy) {
            m_blankPending = true;
        } else {
            goDark();
        }
        if (m_observer != nullptr) {
            m_observer->hoursChanged(false, m_hours.nextStart());
        }
        return false;
    case HoursGate::Step::Began:
        m_blankPending = false;
        if (m_observer != nullptr) {
            m_observer->hoursChanged(true, "");
        }
        m_window.restartUpdatePeriod();
        requestUpdate();
        return false;
    }
    return true;
}

void UpdateCycle::goDark()
{
    m_composer.sendBlank();
    m_window.setStatus("Outside its hours: the sign is blank until " + m_hours.nextStart() + ".");
}

void UpdateCycle::setHeld(bool held)
{
    if (held && !m_held) {
        m_missedWhileHeld = false;
    }
    m_held = held;
}

void UpdateCycle::requestUpdate()
{
    if (m_held) {
        m_missedWhileHeld = true;
        return;
    }
    if (m_busy) {
        m_requestPending = true;  // runs when the current update is done
        return;
    }
    runUpdate();
}

void UpdateCycle::runUpdate()
{
    m_busy = true;
    m_movedNote.clear();
    // The text area keeps what the sign shows until new messages replace it.
    m_window.clearDownloadDetails();
    m_window.showInitializing(true);
    m_window.showLastUpdate(false);
    testSerialPort();
    if (m_pacing == platform::Pacing::Timers) {
        m_waitTimer = m_loop.startTimer(1000, [this] {
            m_waitTimer.reset();
            requestDownload();
        });
        return;
    }
    platform::waitMs(m_clock, m_loop, 1000);
    requestDownload();
}

void UpdateCycle::requestDownload()
{
    std::optional<std::string> url = chooseUrl();
    if (!url || url->empty()) {
        abandon(url ? "no feed URL" : "all 26 feed slots are empty");
        return;
    }
    m_lastUrl = *url;
    m_feed.FollowRedirects(settingOn(key::kFollowRedirects));
    m_feed.ConditionalGet(settingOn(key::kConditionalGet));
    std::string text;
    m_connected = false;
    std::int32_t result = m_feed.RequestFile(*url, text);
    if (result == 0) {
        m_window.setDownloadInfo("Request Sent");
        return;  // OnFinish continues the update
    }
    requestFailed(result, text);
}

void UpdateCycle::requestFailed(std::int32_t result, const std::string& text)
{
    m_window.setDownloadInfo(fmt::format("Error: {} - {}", result, text));
    // A request whose send failed keeps its connection; its end must not run
    // the composer in the middle of a later update.
    m_feed.CloseComm();
    abandon(fmt::format("{} ({})", text, result), true);
}

std::optional<std::string> UpdateCycle::chooseUrl()
{
    if (m_window.selectedFeedOnly()) {
        return m_window.editedFeedUrl();
    }
    // Rotation reads the stored slots; an edit counts once Enter stored it.
    for (int tries = 0; tries < kFeedSlots; ++tries) {
        const int slot = m_window.takeFeedSlot();
        std::string value = readFeedSlot(m_window.settings(), slot, "").value_or("");
        if (value.find_first_not_of(' ') != std::string::npos) {
            return value;
        }
    }
    return std::nullopt;
}

void UpdateCycle::testSerialPort()
{
    if (m_window.serialLinkOff()) {
        return;
    }
    platform::SerialPort& port = m_window.serialPort();
    if (!port.isOpen()) {
        if (auto error = port.open()) {
            m_window.messages().showMessage(MessageIcon::Critical, std::to_string(error->number),
                                            error->description);
        }
    }
    if (port.isOpen()) {
        port.close();
    }
}

void UpdateCycle::OnConnect(const std::string& host)
{
    m_connected = true;
    m_window.setDownloadInfo("Connected to " + host);
}

void UpdateCycle::OnFinish(std::int32_t code, const std::string& text)
{
    if (!m_connected && code > 0) {
        // A control connecting in the background reports its failed lookup
        // or connect here, with the code RequestFile would have returned.
        requestFailed(code, text);
        return;
    }
    std::string info = fmt::format("Download complete. Server response: {} - {}", code, text);
    const std::string movedTo = m_feed.MovedURL();
    if (!movedTo.empty()) {
        info += " - the feed has moved to " + movedTo;
    } else if (m_feed.FinalURL() != m_lastUrl) {
        info += " - from " + m_feed.FinalURL();
    }
    if (const std::string charset = m_feed.CharsetFallback(); !charset.empty()) {
        info += " - " + pellix::DescribeCharsetFallback(charset);
    }
    m_window.setDownloadInfo(info);
    m_window.setDownloadSize(std::to_string(m_feed.CurSize()));
    if (m_held) {
        // An announcement came on meanwhile: it stays on the sign.
        m_missedWhileHeld = true;
        m_window.showInitializing(false);
        m_window.showLastUpdateIfAny();
        if (m_observer != nullptr) {
            m_observer->updateAbandoned("an announcement is on");
        }
        endUpdate();
        return;
    }
    // A feed that did not change comes back as its remembered body: compose it as fresh.
    const bool unchanged = code == 304 && m_feed.CurSize() > 0;
    DownloadOutcome outcome{code >= 0, unchanged ? 200 : code, text};
    ComposeResult result = m_composer.run(
        [this](bool strip, std::int32_t& n) { return m_feed.GetRSSFile(strip, n); }, outcome);
    // Filled once the document is gone, so a large body, its parse and this
    // text are never all in memory at once.
    m_window.setDocumentText(m_feed.CurFileString());
    const bool succeeded = failureReason(outcome, result.itemCount).empty();
    noteOutcome(succeeded);
    if (!movedTo.empty() && readIni(m_window.settings(), key::kRewriteMovedFeeds.section, key::kRewriteMovedFeeds.key,
                                    key::kRewriteMovedFeeds.fallback) == "1") {
        rewriteMovedFeed(movedTo, succeeded);
    }
    auto finish = [this, outcome, result] {
        if (m_observer != nullptr) {
            m_observer->updateFinished(outcome, result);
        }
        endUpdate();
    };
    if (m_frameDeferral) {
        m_frameDeferral(std::move(finish));
    } else {
        finish();
    }
}

bool UpdateCycle::settingOn(const SettingKey& setting) const
{
    return readIni(m_window.settings(), setting.section, setting.key, setting.fallback) != "0";
}

// One bad answer (from the server, or from anyone on the path of a plain
// http:// feed) must not lose the stored feed: the slots change only when the
// move ended in a feed, at an address that reads back as written. The
// window's list shows a changed slot at once; the status and the log say
// what happened.
void UpdateCycle::rewriteMovedFeed(const std::string& movedTo, bool endedInAFeed)
{
    std::string problem = feedAddressProblem(movedTo);
    std::string note = problem.empty() ? "the feed moved for good to " + movedTo
                                       : std::string("the feed answered that it moved for good");
    if (problem.empty() && !endedInAFeed) {
        problem = "the move did not end in a feed";
    }
    std::string rewritten;
    for (int slot = 0; problem.empty() && slot < kFeedSlots; ++slot) {
        const std::string name = feedSlotKeyName(slot);
        if (readFeedSlot(m_window.settings(), slot, "") == m_lastUrl &&
            !writeIni(m_window.settings(), section::kAccessPoint, name, movedTo)) {
            m_window.showStoredFeedSlot(slot, m_lastUrl);
            rewritten += (rewritten.empty() ? "" : ", ") + name;
        }
    }
    if (!problem.empty()) {
        note += ", but the stored address was kept: " + problem;
    } else {
        note += rewritten.empty() ? ", and no stored feed slot held its old address" : "; rewritten: " + rewritten;
    }
    m_movedNote = note;
    const std::string& status = m_window.statusText();
    note[0] = static_cast<char>(note[0] - 'a' + 'A');
    m_window.setStatus((status.empty() ? "" : status + " ") + note + ".");
}

std::string UpdateCycle::staleHeadlines() const
{
    return m_failingSince ? describeStale(*m_failingSince) : std::string();
}

std::string UpdateCycle::describeStale(const platform::LocalTime& failingSince) const
{
    const platform::LocalTime now = m_clock.localTime();
    const auto when = [&now](const platform::LocalTime& t) {
        const std::string hhmm = fmt::format("{:02}:{:02}", t.hour, t.minute);
        const bool today = t.year == now.year && t.month == now.month && t.day == now.day;
        return today ? hhmm : fmt::format("{:04}-{:02}-{:02} {}", t.year, t.month, t.day, hhmm);
    };
    const std::string shown =
        m_headlinesFrom ? "showing headlines from " + when(*m_headlinesFrom) : std::string("no headlines shown yet");
    return shown + ", the feed has failed since " + when(failingSince);
}

std::string UpdateCycle::failureSentence() const
{
    std::string stale = describeStale(m_failingSince.value_or(m_clock.localTime()));
    stale[0] = static_cast<char>(stale[0] - 'a' + 'A');
    return stale + ".";
}

void UpdateCycle::noteOutcome(bool succeeded)
{
    if (succeeded) {
        m_headlinesFrom = m_clock.localTime();
        m_failingSince.reset();
        return;
    }
    if (!m_failingSince) {
        m_failingSince = m_clock.localTime();
    }
}

void UpdateCycle::abandon(const std::string& why, bool feedFailed)
{
    m_window.showInitializing(false);
    m_window.showLastUpdateIfAny();
    if (feedFailed) {
        noteOutcome(false);
    }
    // An empty selected slot (the list moves on after Enter) says what to do.
    const std::string reason = why == "no feed URL"
                                   ? "the selected feed slot is empty. Pick a feed from the list, or type one"
                                   : why;
    m_window.setStatus("The update did not start: " + reason + "." + (feedFailed ? " " + failureSentence() : ""));
    if (m_observer != nullptr) {
        m_observer->updateAbandoned(why);
    }
    endUpdate();
}

void UpdateCycle::endUpdate()
{
    m_busy = false;
    if (m_blankPending) {
        m_blankPending = false;
        goDark();
    }
    if (m_requestPending) {
        m_requestPending = false;
        // The posted task may outlive the cycle when the loop runs on after it.
        m_loop.post([this, alive = std::weak_ptr<const bool>(m_alive)] {
            if (!alive.expired()) {
                requestUpdate();
            }
        });
    }
}

}  // namespace orlavo::signfeed
