#include "signfeed/announcement.h"

#include "platform/ascii.h"
#include "platform/code_page.h"
#include "platform/whole_file.h"
#include "shared/settings.h"
#include "signfeed/announcement_file.h"
#include "signfeed/message_text.h"
#include "signfeed/readable_text.h"

#include <fmt/format.h>

#include <system_error>

namespace orlavo::signfeed {

namespace {

constexpr std::int64_t kMinuteMs = 60'000;

std::string trimBlanks(const std::string& text)
{
    return std::string(platform::trimIf(text, [](char c) { return c == ' '; }));
}

}  // namespace

std::string announcementText(std::string_view raw)
{
    return trimBlanks(neutraliseForSign(transliterateForSign(platform::decodeUtf8OrCp1252(raw))));
}

std::string announcementProblem(std::string_view text, int minutes)
{
    const std::string shown = announcementText(text);
    if (shown.empty()) {
        return "the announcement is empty";
    }
    if (const std::size_t length = platform::utf8Length(shown); length > kMessageBudget) {
        return fmt::format("the announcement is {} characters long; a sign takes at most {}", length, kMessageBudget);
    }
    if (minutes < 1 || minutes > kAnnounceMinutesMax) {
        return fmt::format("the minutes must be 1 to {}", kAnnounceMinutesMax);
    }
    return {};
}

SignColour announcementColour(std::string_view name, bool smartDisplay)
{
    const std::string wanted = platform::asciiLower(name);
    for (SignColour colour : {SignColour::Red, SignColour::Green, SignColour::Yellow, SignColour::Blue,
                              SignColour::Magenta, SignColour::Cyan, SignColour::White}) {
        if (colourName(colour) == wanted && (smartDisplay || !colourNeedsSmartDisplay(colour))) {
            return colour;
        }
    }
    return SignColour::Red;
}

Announcement::Announcement(MainWindowModel& window, Composer& composer, UpdateCycle& cycle,
                           platform::Clock& clock, platform::EventLoop& loop)
    : m_window(window), m_composer(composer), m_cycle(cycle), m_clock(clock), m_loop(loop)
{
}

Announcement::~Announcement()
{
    // The kept file stays: the announcement goes on after a restart.
    if (m_timer) {
        m_loop.cancelTimer(*m_timer);
    }
}

AnnounceResult Announcement::start(std::string_view text, int minutes)
{
    if (std::string problem = announcementProblem(text, minutes); !problem.empty()) {
        return {std::move(problem), {}};
    }
    m_text = announcementText(text);
    AnnounceResult result;
    if (!m_file.empty()) {
        const std::string bytes = formatAnnouncementFile(
            {m_text, addSeconds(m_clock.localTime(), static_cast<std::int64_t>(minutes) * 60)});
        if (auto error = platform::writeFileAtomically(m_file, bytes)) {
            result.note = "not kept for a restart: " + error->description;
            forgetFile();  // nor may the one it replaces come back
        }
    }
    show(minutes * kMinuteMs);
    return result;
}

bool Announcement::clear()
{
    if (!active()) {
        return false;
    }
    end();
    return true;
}

std::string Announcement::restore()
{
    if (m_file.empty()) {
        return {};
    }
    const platform::RegularFileRead read = platform::readRegularFile(m_file, kMaxAnnouncementFileBytes);
    if (!read.error && !read.bytes) {
        return {};
    }
    const std::optional<KeptAnnouncement> kept = read.bytes ? parseAnnouncementFile(*read.bytes) : std::nullopt;
    const std::int64_t remaining = kept ? secondsBetween(m_clock.localTime(), kept->until) : 0;
    const std::string text = kept ? announcementText(kept->text) : std::string();
    std::string why;
    if (read.error) {
        why = read.error->description;
    } else if (!kept) {
        why = "not an announcement";
    } else if (remaining <= 0) {
        why = "its time is up";
    } else if (remaining > static_cast<std::int64_t>(kAnnounceMinutesMax) * 60) {
        why = "it ends more than a day from now";
    } else if (text.empty() || platform::utf8Length(text) > kMessageBudget) {
        why = "its text is empty or too long";
    }
    if (!why.empty()) {
        forgetFile();
        return "announcement in " + m_file.string() + " ignored: " + why;
    }
    m_text = text;
    show(remaining * 1000);
    return fmt::format("announcement taken up again for {} more minutes: {}", (remaining + 59) / 60, m_text);
}

std::int64_t Announcement::remainingMs() const
{
    return active() ? std::max<std::int64_t>(m_endsAtMs - m_clock.nowMs(), 0) : 0;
}

void Announcement::show(std::int64_t durationMs)
{
    if (m_timer) {
        m_loop.cancelTimer(*m_timer);
    }
    m_endsAtMs = m_clock.nowMs() + durationMs;
    m_timer = m_loop.startTimer(durationMs, [this] {
        m_timer.reset();
        // Told first: the frames of the end may run other events.
        if (m_expired) {
            m_expired(m_text);
        }
        end();
    });
    m_cycle.setHeld(true);
    if (m_changed) {
        m_changed();
    }
    const SignColour colour =
        announcementColour(readIni(m_window.settings(), "Announce", "Color", "red"), m_window.smartDisplay());
    m_composer.sendFrame(m_composer.buildFrame(buildMessageSegment(colourCode(colour), m_text)));
}

void Announcement::end()
{
    platform::stopTimer(m_loop, m_timer);
    m_text.clear();
    forgetFile();
    const bool missedUpdate = m_cycle.missedWhileHeld();
    m_cycle.setHeld(false);
    if (m_changed) {
        m_changed();
    }
    if (!m_cycle.insideHours()) {
        // Outside its hours the sign goes dark again, with no update.
        m_composer.sendBlank();
        return;
    }
    // The announcement leaves the sign now, whatever the feed does next.
    const std::string& headlines = m_composer.lastSentFrame();
    m_composer.sendFrame(headlines.empty() ? m_composer.buildFrame("") : headlines);
    if (missedUpdate || headlines.empty()) {
        m_cycle.requestUpdate();
    }
}

void Announcement::forgetFile()
{
    if (!m_file.empty()) {
        std::error_code ignored;
        std::filesystem::remove(m_file, ignored);
    }
}

}  // namespace orlavo::signfeed
