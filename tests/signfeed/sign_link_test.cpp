#include "sign_link_rig.h"

#include <gtest/gtest.h>

using namespace orlavo::signfeed;
using orlavo::testing::exampleFrame;
using orlavo::testing::frameOfLength;
using orlavo::testing::SignLinkRig;

using Strings = std::vector<std::string>;
using Sleeps = std::vector<std::int64_t>;

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
        rig.link.sendFrame(frameOfLength(row.frameLength), row.packets, 1000);
        EXPECT_EQ(rig.trace, row.trace);
        EXPECT_EQ(rig.clock.sleeps(), row.sleeps);
        EXPECT_EQ(eventRan, !row.sleeps.empty());
        EXPECT_TRUE(rig.sink.messages().empty());
    }
}

TEST(SignLink, SendsTheExamplePacketsOnBothLinks)
{
    SignLinkRig rig;
    rig.serial.forceOpen();
    rig.link.sendFrame(exampleFrame(), true, 1000);
    const Strings expected = buildClockPackets(exampleFrame());
    EXPECT_EQ(rig.udp.sentBytes(), expected);
    EXPECT_EQ(rig.serial.writtenBytes(), expected);
    EXPECT_EQ(rig.udp.sent()[2].atMs, 2000);
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

TEST(SignLink, NonAsciiTextGoesOutAsWindows1252)
{
    SignLinkRig rig({true, false});
    std::string frame = buildSignFrame(buildTextBody({"1", "3", false, buildMessageSegment('B', "K\xC3\xB6ln \xE2\x82\xAC")}));
    rig.link.sendFrame(frame, false, 0);
    ASSERT_EQ(rig.udp.sent().size(), 1u);
    EXPECT_NE(rig.udp.sent()[0].bytes.find("~FDBK\xF6ln \x80| "), std::string::npos);
    EXPECT_EQ(rig.udp.sent()[0].bytes.size(), frame.size() - 3);  // ö and € shrink to one byte each
}

TEST(SignLink, TildeCodesAndHashInAMessageGoOutUnchanged)
{
    SignLinkRig rig({true, false});
    std::string frame = buildSignFrame(buildTextBody({"1", "3", false, buildMessageSegment('C', "x~04y#z")}));
    rig.link.sendFrame(frame, true, 1000);
    std::string joined;
    for (const auto& packet : rig.udp.sentBytes()) {
        joined += packet.substr(4, 30);
    }
    EXPECT_EQ(joined.substr(0, frame.size()), frame);
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
