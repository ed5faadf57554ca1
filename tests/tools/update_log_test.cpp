#include "service_command.h"
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
    EXPECT_EQ(formatUpdateLine(kWhen, "http://127.0.0.1/f.xml", {}, sent, {}),
              "2026-03-04 05:06:07 update http://127.0.0.1/f.xml: 3 items, 4 bytes sent");
    signfeed::FrameReport refused;
    refused.failures = 1;
    signfeed::FrameReport stopped;
    stopped.unitsSent = 2;
    stopped.units = 5;
    stopped.stopped = true;
    EXPECT_EQ(formatUpdateLine(kWhen, "u", {}, sent, refused),
              "2026-03-04 05:06:07 update u: 3 items, 4 bytes, not taken by the link");
    EXPECT_EQ(formatUpdateLine(kWhen, "u", {}, sent, stopped),
              "2026-03-04 05:06:07 update u: 3 items, 4 bytes, stopped after 2 of 5 packets: the frame is only "
              "partly shown");
}

TEST(UpdateLog, FailuresNameTheReasonAndThatNothingWasSent)
{
    signfeed::ComposeResult none;
    EXPECT_EQ(formatUpdateLine(kWhen, "u", {true, 404, "Not Found"}, none, {}),
              "2026-03-04 05:06:07 update u: failed, 404 Not Found, nothing sent");
    EXPECT_EQ(formatUpdateLine(kWhen, "u", {false, -1, "connection refused"}, none, {}),
              "2026-03-04 05:06:07 update u: failed, connection refused, nothing sent");
    none.itemCount = 0;
    EXPECT_EQ(formatUpdateLine(kWhen, "u", {true, 200, "OK"}, none, {}),
              "2026-03-04 05:06:07 update u: failed, no items, nothing sent");
    none.itemCount = 3;
    none.notSentReason = "the message limit is 0: nothing to send";
    EXPECT_EQ(formatUpdateLine(kWhen, "u", {true, 200, "OK"}, none, {}),
              "2026-03-04 05:06:07 update u: the message limit is 0: nothing to send");
    EXPECT_EQ(formatAbandonedLine(kWhen, "no feed URL"), "2026-03-04 05:06:07 update not started: no feed URL");
}

TEST(UpdateLog, TheStartLineSaysHowOftenOrThatAutomaticUpdatesAreOff)
{
    EXPECT_EQ(periodText("15"), "updates every 15 minutes");
    EXPECT_EQ(periodText("1"), "updates every minute");
    EXPECT_EQ(periodText("zz"), "automatic updates are off: the update period \"zz\" is not a number");
}

}  // namespace
}  // namespace orlavo::tools
