#include "sign_link_rig.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace orlavo::signfeed;
using orlavo::testing::exampleFrame;
using orlavo::testing::SignLinkRig;

TEST(SignLinkFailures, FirstFailureOfAFrameIsShownOnceAndTheRestCounted)
{
    struct Row {
        const char* label;
        bool packets;
        int udpFailure;
        int serialFailure;
        std::size_t boxes;
        int failures;
        int transient;
        std::size_t udpSent;
    };
    const Row rows[] = {
        {"packets, serial broken: one box, three failures, UDP goes on", true, 0, EIO, 1, 3, 0, 3},
        {"packets, UDP queue full: skipped silently", true, ENOBUFS, 0, 0, 0, 3, 0},
        {"packets, UDP would block: skipped silently", true, EAGAIN, 0, 0, 0, 3, 0},
        {"packets, both broken: still one box", true, ENETUNREACH, EIO, 1, 6, 0, 0},
        {"whole frame, serial broken: one box", false, 0, EIO, 1, 1, 0, 1},
        {"whole frame, UDP unreachable: one box, serial still written", false, ENETUNREACH, 0, 1, 1, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        SignLinkRig rig;
        rig.serial.forceOpen();
        rig.udp.failAlways(row.udpFailure);
        rig.serial.failAlways(row.serialFailure);
        rig.link.sendFrame(exampleFrame(), row.packets, 1000);
        ASSERT_EQ(rig.sink.messages().size(), row.boxes);
        EXPECT_EQ(rig.link.lastFrameReport().failures, row.failures);
        EXPECT_EQ(rig.link.lastFrameReport().transientSkipped, row.transient);
        EXPECT_EQ(rig.udp.sent().size(), row.udpSent);
        EXPECT_EQ(rig.clock.sleeps().size(), 2u);  // the pacing never changes
        if (row.boxes == 1) {
            const auto& box = rig.sink.messages()[0];
            EXPECT_EQ(box.icon, MessageIcon::Critical);
            EXPECT_EQ(box.title, std::to_string(rig.link.lastFrameReport().first->number));
            EXPECT_EQ(box.text, rig.link.lastFrameReport().first->description);
        }
    }
}

TEST(SignLinkFailures, EachFrameReportsItsOwnFirstFailure)
{
    SignLinkRig rig({false, true});
    rig.serial.forceOpen();
    rig.serial.failAlways(EIO);
    rig.link.sendFrame(exampleFrame(), true, 1000);
    rig.link.sendFrame(exampleFrame(), true, 1000);
    EXPECT_EQ(rig.sink.messages().size(), 2u);
}

TEST(SignLinkFailures, FailedSerialOpenIsShownOnceForTheWholeUpdate)
{
    SignLinkRig rig;
    rig.serial.failOpen(ENOENT);
    rig.link.openLink();
    rig.link.sendFrame(exampleFrame(), true, 1000);
    rig.link.closeLink();
    ASSERT_EQ(rig.sink.messages().size(), 1u);
    EXPECT_EQ(rig.sink.messages()[0].title, std::to_string(ENOENT));
    EXPECT_EQ(rig.udp.sent().size(), 3u);
    EXPECT_EQ(rig.link.lastFrameReport().failures, 3);

    // The next update tries again and shows a failure again.
    rig.link.openLink();
    EXPECT_EQ(rig.sink.messages().size(), 2u);
}

TEST(SignLinkFailures, WriteToAPortNobodyOpenedIsShown)
{
    SignLinkRig rig({false, true});
    rig.link.sendFrame(exampleFrame(), false, 0);
    ASSERT_EQ(rig.sink.messages().size(), 1u);
    EXPECT_EQ(rig.sink.messages()[0].title, std::to_string(EBADF));
}

TEST(SignLinkFailures, ResetFailureIsShown)
{
    SignLinkRig rig({true, false});
    rig.udp.failAlways(EACCES);
    rig.link.resetSign();
    ASSERT_EQ(rig.sink.messages().size(), 1u);
    EXPECT_EQ(rig.sink.messages()[0].title, std::to_string(EACCES));
}
