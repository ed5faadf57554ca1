#include "service_command.h"
#include "update_log.h"

#include <gtest/gtest.h>

namespace orlavo::tools {
namespace {

const platform::LocalTime kWhen{2026, 3, 4, 5, 6, 7};

// The lines a run of the service or --once prints are theirs to check; here
// the ones those runs do not reach.
TEST(UpdateLog, TheLinesSayWhatReachedTheSignOrWhyNothingDid)
{
    // Four characters, four bytes on the wire.
    const signfeed::ComposeResult sent{4, 10, 3, "Caf\xc3\xa9", true, ""};
    struct Row {
        signfeed::DownloadOutcome outcome;
        signfeed::ComposeResult result;
        signfeed::FrameReport report;
        const char* line;
    } rows[] = {
        {{}, sent, {}, "3 items, 4 bytes sent"},
        {{}, sent, {1, 0, {}, 0, 0, false}, "3 items, 4 bytes, not taken by the link"},
        {{}, sent, {0, 0, {}, 2, 5, true},
         "3 items, 4 bytes, stopped after 2 of 5 packets: the frame is only partly shown"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(formatUpdateLine(kWhen, "http://127.0.0.1/f.xml", row.outcome, row.result, row.report),
                  std::string("2026-03-04 05:06:07 update http://127.0.0.1/f.xml: ") + row.line);
    }
    EXPECT_EQ(formatAbandonedLine(kWhen, "no feed URL"), "2026-03-04 05:06:07 update not started: no feed URL");
    EXPECT_EQ(periodText("1"), "updates every minute");
}

}  // namespace
}  // namespace orlavo::tools
