#include "update_log.h"

#include <gtest/gtest.h>

namespace orlavo::tools {
namespace {

const platform::LocalTime kWhen{2026, 3, 4, 5, 6, 7};

TEST(UpdateLog, SuccessCountsWireBytesNotUtf8Bytes)
{
    signfeed::ComposeResult sent;
    sent.itemCount = 4;
    sent.itemsUsed = 10;
    sent.itemsShown = 3;
    sent.frame = "Caf\xc3\xa9";  // four characters, four bytes on the wire
    sent.sent = true;
    EXPECT_EQ(formatUpdateLine(kWhen, "http://127.0.0.1/f.xml", {}, sent, false),
              "2026-03-04 05:06:07 update http://127.0.0.1/f.xml: 3 items, 4 bytes sent");
    EXPECT_EQ(formatUpdateLine(kWhen, "u", {}, sent, true), "2026-03-04 05:06:07 update u: 3 items, 4 bytes, not taken by the link");
}

TEST(UpdateLog, FailuresNameTheReasonAndThatNothingWasSent)
{
    signfeed::ComposeResult none;
    EXPECT_EQ(formatUpdateLine(kWhen, "u", {true, 404, "Not Found"}, none, false),
              "2026-03-04 05:06:07 update u: failed, 404 Not Found, nothing sent");
    EXPECT_EQ(formatUpdateLine(kWhen, "u", {false, -1, "connection refused"}, none, false),
              "2026-03-04 05:06:07 update u: failed, connection refused, nothing sent");
    none.itemCount = 0;
    EXPECT_EQ(formatUpdateLine(kWhen, "u", {true, 200, "OK"}, none, false),
              "2026-03-04 05:06:07 update u: failed, no items, nothing sent");
    EXPECT_EQ(formatAbandonedLine(kWhen, "no feed URL"), "2026-03-04 05:06:07 update not started: no feed URL");
}

}  // namespace
}  // namespace orlavo::tools
