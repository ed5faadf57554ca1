#include "sign_link_rig.h"

#include <gtest/gtest.h>

using namespace orlavo::signfeed;
using orlavo::testing::exampleFrame;
using orlavo::testing::frameOfLength;
using orlavo::testing::SignLinkRig;

using Strings = std::vector<std::string>;

namespace {

Strings packetsOf(const std::vector<std::string>& frames)
{
    Strings all;
    for (const auto& frame : frames) {
        for (auto& packet : buildClockPackets(frame)) {
            all.push_back(std::move(packet));
        }
    }
    return all;
}

}  // namespace

TEST(SignLinkQueue, FrameStartedInsideAWaitGoesAfterTheCurrentOne)
{
    SignLinkRig rig({true, false});
    const std::string first = exampleFrame();
    const std::string second = frameOfLength(60);
    bool busyInside = false;
    rig.loop.post([&] {
        busyInside = rig.link.busy();
        rig.link.sendFrame(second, true, 1000);  // returns at once
        EXPECT_EQ(rig.udp.sent().size(), 1u);
    });
    rig.link.sendFrame(first, true, 1000);
    EXPECT_TRUE(busyInside);
    EXPECT_FALSE(rig.link.busy());
    EXPECT_EQ(rig.udp.sentBytes(), packetsOf({first, second}));
    EXPECT_EQ(rig.clock.sleeps(), (std::vector<std::int64_t>{1000, 1000, 1000, 1000}));
}

TEST(SignLinkQueue, NewerMessageReplacesAnOlderQueuedOneButResetsStay)
{
    SignLinkRig rig({true, false});
    const std::string first = exampleFrame();
    const std::string older = frameOfLength(40);
    const std::string newer = frameOfLength(50);
    rig.loop.post([&] {
        rig.link.sendFrame(older, true, 1000);
        rig.link.resetSign();
        rig.link.sendFrame(newer, true, 1000);
        EXPECT_EQ(rig.link.queuedCount(), 4u);  // open, reset, close, newer
    });
    rig.link.sendFrame(first, true, 1000);
    Strings expected = packetsOf({first});
    expected.push_back(std::string(kResetFrame));
    for (auto& packet : packetsOf({newer})) {
        expected.push_back(packet);
    }
    EXPECT_EQ(rig.udp.sentBytes(), expected);
}

TEST(SignLinkQueue, CloseDuringAFrameWaitsUntilTheFrameHasGone)
{
    SignLinkRig rig({false, true});
    rig.link.openLink();
    rig.loop.post([&] {
        rig.link.closeLink();
        EXPECT_TRUE(rig.serial.isOpen());
    });
    rig.link.sendFrame(exampleFrame(), true, 1000);
    EXPECT_EQ(rig.serial.written().size(), 3u);
    EXPECT_TRUE(rig.sink.messages().empty());
    EXPECT_FALSE(rig.serial.isOpen());
    EXPECT_EQ(rig.serial.closes(), 1);
}

TEST(SignLinkQueue, PortReconfigurationIsDeferredInOrder)
{
    SignLinkRig rig({false, true});
    rig.serial.forceOpen();
    Strings order;
    rig.loop.post([&] {
        rig.link.whenIdle([&] {
            order.push_back("reconfigure after " + std::to_string(rig.serial.written().size()) + " writes");
        });
    });
    rig.link.sendFrame(exampleFrame(), true, 1000);
    EXPECT_EQ(order, Strings{"reconfigure after 3 writes"});
    rig.link.whenIdle([&] { order.push_back("idle: at once"); });
    EXPECT_EQ(order.back(), "idle: at once");
}

// A program that must end now: the frame stops before its next packet, the
// frames queued behind it are dropped, deferred link operations still run.
TEST(SignLinkQueue, StopSendingCutsTheFrameShortAndKeepsDeferredOperations)
{
    SignLinkRig rig({true, false});
    const std::string first = frameOfLength(150);  // five packets
    bool deferredRan = false;
    rig.loop.post([&] {
        rig.link.sendFrame(frameOfLength(60), true, 1000);
        rig.link.whenIdle([&] { deferredRan = true; });
        rig.link.stopSending();
    });
    rig.link.sendFrame(first, true, 1000);
    const Strings packets = packetsOf({first});
    ASSERT_EQ(packets.size(), 5u);
    EXPECT_EQ(rig.udp.sentBytes(), Strings{packets[0]});
    EXPECT_TRUE(deferredRan);
    const FrameReport& report = rig.link.lastFrameReport();
    EXPECT_TRUE(report.stopped);
    EXPECT_EQ(report.unitsSent, 1);
    EXPECT_EQ(report.units, 5);

    rig.link.sendFrame(first, true, 1000);  // the stop holds for that frame only
    EXPECT_EQ(rig.udp.sentBytes().size(), 6u);
    EXPECT_FALSE(rig.link.lastFrameReport().stopped);
}
