#include "signfeed/composer.h"

#include "platform/code_page.h"
#include "signfeed/readable_text.h"
#include "signfeed/message_text.h"
#include "signfeed/sign_protocol.h"

#include <pellix/finish_text.h>
#include <pellix/rss_file.h>

#include <fmt/format.h>

namespace orlavo::signfeed {

std::string composedItemText(const pellix::RSSFile& doc, std::int32_t i)
{
    std::string title = doc.ItemTitle(i).value_or("");
    std::string description = doc.ItemDescription(i).value_or("");
    return neutraliseForSign(transliterateForSign(decodeCharacterReferences(itemText(title, description))));
}

namespace {

// Why a frame that went out did not reach the sign; empty when it did.
std::string unsentReason(const FrameReport& report)
{
    if (report.failures == 0 || report.stopped) {
        return {};
    }
    return "the frame did not reach the sign (" + (report.first ? report.first->description : "send failed") + ")";
}

}  // namespace

std::string failureReason(const DownloadOutcome& outcome, std::int32_t itemCount)
{
    if (!outcome.finished || outcome.status < 200 || outcome.status > 299) {
        return pellix::DescribeFinish(outcome.status, outcome.statusText);
    }
    if (itemCount < 1) {
        return "no items";
    }
    return {};
}

Composer::Composer(MainWindowModel& window, SignLink& link, platform::Clock& clock)
    : m_window(window), m_link(link), m_clock(clock)
{
}

ComposeResult Composer::run(const DocumentSource& source, const DownloadOutcome& outcome)
{
    ComposeResult result;
    m_window.setExitEnabled(false);
    m_link.openLink();
    m_window.showInitializing(false);
    m_window.showDownloading(true);
    m_window.showUpdatingSign(false);
    m_window.showLastUpdate(false);
    std::shared_ptr<pellix::RSSFile> doc = source(m_window.stripMarkup(), result.itemCount);
    // A failed download never reaches the sign, even when its body parses.
    const bool usable = doc && result.itemCount >= 1 && failureReason(outcome, result.itemCount).empty();
    std::string sendFailure;
    if (usable) {
        const std::string shownBefore = m_window.shownMessages();
        m_window.showDownloading(false);
        m_window.showUpdatingSign(true);
        const long asked = itemLimitOf(m_window.messageLimitText());
        long limit = budgetPass(*doc, asked);
        result.itemsUsed = limit > 0 ? limit : 0;
        std::string messages = messagePass(*doc, limit, result.itemsShown);
        result.frame = buildFrame(messages);
        if (hasNonBlank(messages)) {
            const bool queued = m_link.busy();  // then its report comes later
            m_link.sendFrame(result.frame, m_window.embeddedInClock(), 1000);
            result.sent = true;
            sendFailure = queued ? std::string() : unsentReason(m_link.lastFrameReport());
            if (!sendFailure.empty()) {
                m_window.showMessages(shownBefore);  // the sign still shows those
            }
        } else if (asked < 1) {
            result.notSentReason = "the message limit is 0: nothing to send";
        } else if (limit < 1) {
            result.notSentReason = fmt::format(
                "the first headline is longer than the {}-character budget: nothing to send", kMessageBudget);
        } else {
            result.notSentReason = "every headline is blank: nothing to send";
        }
    }
    doc.reset();
    finish(outcome, result.itemCount, sendFailure);
    return result;
}

void Composer::sendBlank()
{
    m_link.openLink();
    m_link.sendFrame(buildFrame(""), m_window.embeddedInClock(), 1000);
    m_link.closeLink();
    m_window.showMessages("");
}

long Composer::budgetPass(const pellix::RSSFile& doc, long limit) const
{
    std::size_t budget = 0;
    for (long i = 1; i <= limit; ++i) {
        budget += platform::utf8Length(composedItemText(doc, static_cast<std::int32_t>(i)));
        if (budget > kMessageBudget) {
            return i - 1;
        }
    }
    return limit;
}

std::string Composer::messagePass(const pellix::RSSFile& doc, long limit, long& shown)
{
    std::string preview;
    std::string messages;
    char colour = 'B';
    const bool smart = m_window.smartDisplay();
    for (long i = 1; i <= limit; ++i) {
        std::string text = composedItemText(doc, static_cast<std::int32_t>(i));
        preview += text + "\r\n";
        if (!hasNonBlank(text)) {
            continue;
        }
        colour = nextColour(colour, smart, m_window.colorSchemeIndex());
        messages += buildMessageSegment(colour, text);
        ++shown;
    }
    m_window.showMessages(preview);
    return messages;
}

std::string Composer::buildFrame(const std::string& messages) const
{
    const bool smart = m_window.smartDisplay();
    const std::string code = smart ? intensityCode(m_window.intensityIndex())
                                   : std::string(kPlainIntensityCode);
    const std::string speed(1, speedDigitOf(m_window.speedText()));
    return buildSignFrame(buildTextBody(TextBodyFields{speed, code, smart, messages}));
}

void Composer::finish(const DownloadOutcome& outcome, std::int32_t itemCount, const std::string& sendFailure)
{
    m_link.closeLink();
    m_window.setExitEnabled(true);
    m_window.showDownloading(false);
    m_window.showUpdatingSign(false);
    platform::LocalTime now = m_clock.localTime();
    const std::string hhmm = fmt::format("{:02}:{:02}", now.hour, now.minute);
    std::string reason = failureReason(outcome, itemCount);
    if (reason.empty()) {
        reason = sendFailure;
    }
    // The top right only ever names the last update that reached the sign;
    // what went wrong now is the status line's.
    if (reason.empty()) {
        m_window.setLastUpdate(hhmm);
        m_window.setStatus("");
    } else {
        std::string status = "The update at " + hhmm + " failed: " + reason + ". The sign keeps its messages.";
        if (const std::string note = m_failureNote ? m_failureNote() : std::string(); !note.empty()) {
            status += " " + note;
        }
        m_window.setStatus(status);
    }
    m_window.showLastUpdateIfAny();
}

}  // namespace orlavo::signfeed
