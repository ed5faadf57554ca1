#include "sign_link_rig.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace orlavo::signfeed;
using orlavo::testing::exampleFrame;
using orlavo::testing::frameOfLength;
using orlavo::testing::SignLinkRig;

using Strings = std::vector<std::string>;
using Sleeps = std::vector<std::int64_t>;

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

TEST(SignLink, TransmitsInLinkOrderWithItsWaits)
{
    struct Row {
        const char* label;
        LinkSelection links;
        bool packets;
        std::size_t frameLength;
        Strings trace;
        Sleeps sleeps;
    };
    const Row rows[] = {
        {"both links, whole frame: UDP, wait, serial, wait", {true, true}, false, 76,
         {"udp@0", "serial@1000"}, {1000, 1000}},
        {"UDP only, whole frame", {true, false}, false, 76, {"udp@0"}, {1000}},
        {"serial only, whole frame", {false, true}, false, 76, {"serial@0"}, {1000}},
        {"both links, packets: each packet on both before its wait", {true, true}, true, 76,
         {"udp@0", "serial@0", "udp@1000", "serial@1000", "udp@2000", "serial@2000"}, {1000, 1000}},
        {"60 characters: two full packets, two waits, no third", {true, false}, true, 60,
         {"udp@0", "udp@1000"}, {1000, 1000}},
        {"37 characters: full packet, wait, partial packet", {true, false}, true, 37,
         {"udp@0", "udp@1000"}, {1000}},
        {"no link on: nothing sent, no wait", {false, false}, true, 76, {}, {}},
        {"no link on, whole frame", {false, false}, false, 76, {}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        SignLinkRig rig(row.links);
        rig.serial.forceOpen();
        bool eventRan = false;
        rig.loop.post([&] { eventRan = true; });
        const std::string frame = frameOfLength(row.frameLength);
        rig.link.sendFrame(frame, row.packets, 1000);
        EXPECT_EQ(rig.trace, row.trace);
        EXPECT_EQ(rig.clock.sleeps(), row.sleeps);
        EXPECT_EQ(eventRan, !row.sleeps.empty());
        EXPECT_TRUE(rig.sink.messages().empty());
        const Strings units = row.packets ? buildClockPackets(frame) : Strings{frame};
        EXPECT_EQ(rig.udp.sentBytes(), row.links.udp ? units : Strings{});
        EXPECT_EQ(rig.serial.writtenBytes(), row.links.serial ? units : Strings{});
    }
}

TEST(SignLink, MessagesGoOutAsWindows1252WithTildeCodesAndHashUnchanged)
{
    // What the code page lacks goes out as a question mark.
    const std::string text = "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC \xE6\x97\xA5 a~04b#c|d\r\n";
    const std::string frame = buildSignFrame(buildTextBody({"1", "3", false, buildMessageSegment('B', text)}));
    const std::string wire = toWireBytes(frame);
    ASSERT_NE(wire.find("~FDBGr\xFC\xDF" "e \x80 ? a~04b#c|d\r\n| ~03FFFF~04"), std::string::npos);
    for (bool packets : {false, true}) {
        SCOPED_TRACE(packets ? "packets" : "whole");
        SignLinkRig rig({true, false});
        rig.link.sendFrame(frame, packets, 1000);
        std::string joined;
        for (const auto& unit : rig.udp.sentBytes()) {
            joined += packets ? unit.substr(4, 30) : unit;
        }
        EXPECT_EQ(packets ? joined.substr(0, wire.size()) : joined, wire);
    }
}

TEST(SignLink, ResetGoesWholeWithoutWaitsAndBracketsTheSerialPort)
{
    SignLinkRig rig;
    rig.link.resetSign();
    EXPECT_EQ(rig.udp.sentBytes(), Strings{std::string(kResetFrame)});
    EXPECT_EQ(rig.serial.writtenBytes(), Strings{std::string(kResetFrame)});
    EXPECT_TRUE(rig.clock.sleeps().empty());
    EXPECT_EQ(rig.serial.opens(), 1);
    EXPECT_EQ(rig.serial.closes(), 1);
    EXPECT_FALSE(rig.serial.isOpen());
}

TEST(SignLink, SerialLinkOffLeavesThePortAlone)
{
    SignLinkRig rig({true, false});
    rig.serial.forceOpen();
    rig.link.openLink();
    rig.link.sendFrame(exampleFrame(), false, 1000);
    rig.link.closeLink();
    EXPECT_EQ(rig.serial.opens(), 0);
    EXPECT_EQ(rig.serial.closes(), 0);
    EXPECT_TRUE(rig.serial.isOpen());
    EXPECT_TRUE(rig.serial.written().empty());
}

TEST(SignLink, OpenAndCloseTouchThePortOnlyWhenNeeded)
{
    SignLinkRig rig({false, true});
    rig.link.openLink();
    rig.link.openLink();  // already open: left alone
    EXPECT_EQ(rig.serial.opens(), 1);
    rig.link.closeLink();
    rig.link.closeLink();
    EXPECT_EQ(rig.serial.closes(), 1);
}

TEST(SignLink, ReportsProgressPacketByPacket)
{
    struct Recorder : SignLinkObserver {
        Strings events;
        void frameProgress(int unit, int units) override
        {
            events.push_back(std::to_string(unit) + "/" + std::to_string(units));
        }
        void frameFinished(const FrameReport& report) override
        {
            events.push_back("done failures=" + std::to_string(report.failures));
        }
    } recorder;
    SignLinkRig rig({true, false});
    rig.link.setObserver(&recorder);
    rig.link.sendFrame(exampleFrame(), true, 1000);
    rig.link.sendFrame(exampleFrame(), false, 1000);
    EXPECT_EQ(recorder.events, (Strings{"1/3", "2/3", "3/3", "done failures=0", "1/1", "done failures=0"}));
}

TEST(SignLink, LinkSelectionIsReadAtEveryStep)
{
    SignLinkRig rig;
    LinkSelection selection{true, true};
    rig.link.setLinkSelectionSource([&] { return selection; });
    rig.serial.forceOpen();
    // The operator unticks "Serial Communications" during the UDP wait.
    rig.loop.post([&] { selection.serial = false; });
    rig.link.sendFrame(exampleFrame(), false, 1000);
    EXPECT_EQ(rig.trace, Strings{"udp@0"});
}

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
