#include "update_log.h"

#include "platform/code_page.h"

#include <fmt/format.h>

namespace orlavo::tools {

std::string formatTimestamp(const platform::LocalTime& when)
{
    return fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:{:02}", when.year, when.month, when.day, when.hour,
                       when.minute, when.second);
}

std::string formatUpdateLine(const platform::LocalTime& when, const std::string& url,
                             const signfeed::DownloadOutcome& outcome, const signfeed::ComposeResult& result)
{
    std::string head = formatTimestamp(when) + " update " + url + ": ";
    if (result.sent) {
        // One byte per character goes out on the wire.
        return head + fmt::format("{} items, {} bytes sent", result.itemsShown, platform::utf8Length(result.frame));
    }
    std::string reason = signfeed::failureReason(outcome, result.itemCount);
    return head + "failed, " + (reason.empty() ? std::string("no frame built") : reason) + ", nothing sent";
}

std::string formatAbandonedLine(const platform::LocalTime& when, const std::string& why)
{
    return formatTimestamp(when) + " update not started: " + why;
}

void UpdateLog::updateFinished(const signfeed::DownloadOutcome& outcome, const signfeed::ComposeResult& result)
{
    ++m_updates;
    m_lastSent = result.sent;
    write(formatUpdateLine(m_clock.localTime(), m_cycle.lastUrl(), outcome, result));
}

void UpdateLog::updateAbandoned(const std::string& why)
{
    ++m_updates;
    m_lastSent = false;
    write(formatAbandonedLine(m_clock.localTime(), why));
}

void UpdateLog::write(const std::string& line)
{
    std::fprintf(m_out, "orlavod: %s\n", line.c_str());
    std::fflush(m_out);
}

}  // namespace orlavo::tools
