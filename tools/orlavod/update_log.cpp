#include "update_log.h"

#include "platform/code_page.h"

#include <pellix/finish_text.h>

#include <fmt/format.h>

namespace orlavo::tools {

std::string formatTimestamp(const platform::LocalTime& when)
{
    return fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:{:02}", when.year, when.month, when.day, when.hour,
                       when.minute, when.second);
}

std::string notSentText(const signfeed::DownloadOutcome& outcome, const signfeed::ComposeResult& result)
{
    if (result.sent) {
        return {};
    }
    std::string reason = signfeed::failureReason(outcome, result.itemCount);
    if (reason.empty() && !result.notSentReason.empty()) {
        return result.notSentReason;
    }
    return "failed, " + (reason.empty() ? std::string("no frame built") : reason) + ", nothing sent";
}

std::string formatUpdateLine(const platform::LocalTime& when, const std::string& url,
                             const signfeed::DownloadOutcome& outcome, const signfeed::ComposeResult& result,
                             const signfeed::FrameReport& frame)
{
    return formatTimestamp(when) + " " + updateText(url, outcome, result, frame);
}

std::string updateText(const std::string& url, const signfeed::DownloadOutcome& outcome,
                       const signfeed::ComposeResult& result, const signfeed::FrameReport& frame)
{
    std::string head = "update " + url + ": ";
    if (!result.sent) {
        return head + notSentText(outcome, result);
    }
    // One byte per character goes out on the wire.
    std::string what = fmt::format("{} items, {} bytes", result.itemsShown, platform::utf8Length(result.frame));
    if (frame.stopped) {
        what += fmt::format(", stopped after {} of {} packets: the frame is only partly shown", frame.unitsSent,
                            frame.units);
    }
    if (frame.failures != 0) {
        return head + what + ", not taken by the link";
    }
    return head + what + (frame.stopped ? "" : " sent");
}

std::string movedText(const FeedProgram& program)
{
    if (!program.movedFeedNote().empty()) {
        return program.movedFeedNote();
    }
    const std::string movedTo = program.movedUrl();
    return movedTo.empty() ? std::string()
                           : "the feed moved for good to " + movedTo + ", the stored address was kept (RewriteMovedFeeds=0)";
}

std::string formatAbandonedLine(const platform::LocalTime& when, const std::string& why)
{
    return formatTimestamp(when) + " update not started: " + why;
}

void UpdateLog::updateFinished(const signfeed::DownloadOutcome& outcome, const signfeed::ComposeResult& result)
{
    std::string line =
        formatUpdateLine(m_clock.localTime(), m_program.lastUrl(), outcome, result, m_program.lastFrameReport());
    if (const std::string charset = m_program.charsetFallback(); !charset.empty()) {
        line += "; " + pellix::DescribeCharsetFallback(charset);
    }
    if (const std::string moved = movedText(m_program); !moved.empty()) {
        line += "; " + moved;
    }
    write(withStaleNote(std::move(line)));
}

void UpdateLog::updateAbandoned(const std::string& why)
{
    write(withStaleNote(formatAbandonedLine(m_clock.localTime(), why)));
}

void UpdateLog::hoursChanged(bool on, const std::string& nextStart)
{
    write(formatTimestamp(m_clock.localTime()) +
          (on ? " its hours begin: updating now" : " outside its hours: blank frame sent, no updates until " + nextStart));
}

std::string UpdateLog::withStaleNote(std::string line) const
{
    const std::string stale = m_program.staleHeadlines();
    return stale.empty() ? line : line + "; " + stale;
}

void UpdateLog::write(const std::string& line)
{
    // Reason phrases and addresses come from the network.
    std::fprintf(m_out, "%sorlavod: %s\n", m_prefix.c_str(), platform::escapeControls(line).c_str());
    std::fflush(m_out);
    if (m_sink != nullptr) {
        m_sink->forgetLast();
    }
}

}  // namespace orlavo::tools
