#pragma once
// One line on stderr for every update the service runs, so an operator can
// follow the sign from the journal: when, which feed, what went out.
#include "headless_program.h"
#include "stderr_sink.h"

#include "platform/clock.h"
#include "signfeed/composer.h"
#include "signfeed/update_cycle.h"

#include <cstdio>
#include <string>

namespace orlavo::tools {

// "2026-12-07 03:20:00 update URL: 5 items, 312 bytes sent", or the failure,
// or why nothing was sent; frame: how the link fared with the frame sent.
// UpdateLog adds "; showing headlines from 14:05, the feed has failed since
// 14:10" while updates fail, a note on an unknown character set, and what
// became of the stored address of a feed that moved for good.
[[nodiscard]] std::string formatUpdateLine(const platform::LocalTime& when, const std::string& url,
                                           const signfeed::DownloadOutcome& outcome,
                                           const signfeed::ComposeResult& result, const signfeed::FrameReport& frame);
// The same line without its time: "update URL: 5 items, 312 bytes sent".
[[nodiscard]] std::string updateText(const std::string& url, const signfeed::DownloadOutcome& outcome,
                                     const signfeed::ComposeResult& result, const signfeed::FrameReport& frame);
// Why an update sent nothing: "failed, 404 Not Found, nothing sent", or "the
// message limit is 0: nothing to send"; empty when it sent.
[[nodiscard]] std::string notSentText(const signfeed::DownloadOutcome& outcome, const signfeed::ComposeResult& result);
// What became of a feed that moved for good, said at every update whatever
// RewriteMovedFeeds says, so the operator learns the new address: the
// cycle's note when it tried the rewrite, else "the feed moved for good to
// URL, the stored address was kept (RewriteMovedFeeds=0)"; empty otherwise.
[[nodiscard]] std::string movedText(const FeedProgram& program);
[[nodiscard]] std::string formatAbandonedLine(const platform::LocalTime& when, const std::string& why);
[[nodiscard]] std::string formatTimestamp(const platform::LocalTime& when);

class UpdateLog final : public signfeed::UpdateCycleObserver {
public:
    // sink: told of each new update, so a failure that repeats is logged again.
    UpdateLog(const platform::Clock& clock, const FeedProgram& program, std::FILE* out, StderrSink* sink = nullptr)
        : m_clock(clock), m_program(program), m_out(out), m_sink(sink)
    {
    }
    void updateFinished(const signfeed::DownloadOutcome& outcome, const signfeed::ComposeResult& result) override;
    void updateAbandoned(const std::string& why) override;
    void hoursChanged(bool on, const std::string& nextStart) override;
    // Starts every line (see StderrSink).
    void setLinePrefix(std::string prefix) { m_prefix = std::move(prefix); }

private:
    void write(const std::string& line);
    // The line and, while updates fail, since when the sign's headlines are old.
    [[nodiscard]] std::string withStaleNote(std::string line) const;

    const platform::Clock& m_clock;
    const FeedProgram& m_program;
    std::FILE* m_out;
    StderrSink* m_sink;
    std::string m_prefix;
};

}  // namespace orlavo::tools
