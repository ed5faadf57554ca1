#include "platform/manual_clock.h"
#include "platform/poll_event_loop.h"
#include "signfeed/feed_program.h"
#include "signfeed/message_text.h"
#include "support/fake_message_sink.h"
#include "support/fake_network.h"
#include "support/fake_serial_port.h"
#include "support/fake_udp_endpoint.h"

#include <pellix/parse.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace orlavo;
using namespace orlavo::signfeed;

namespace {

struct Item {
    std::string title;
    std::string description;
};

std::string feedOf(const std::vector<Item>& items)
{
    std::string xml = "<rss><channel><title>T</title>";
    for (const auto& item : items) {
        xml += "<item><title>" + item.title + "</title><description>" + item.description + "</description></item>";
    }
    return xml + "</channel></rss>";
}

// The feed program on an in-memory settings file and fakes; only its composer runs.
struct ComposerRig {
    explicit ComposerRig(const std::string& ini) : settings(ini) { program.load(); }
    ComposeResult run(const std::string& xml, DownloadOutcome outcome = {true, 200, "OK"})
    {
        clock.clearSleeps();
        return composer.run(
            [&](bool strip, std::int32_t& n) {
                pellix::ParsedFeed parsed = pellix::ParseFeed(xml, strip);
                n = parsed.items;
                return parsed.file;
            },
            outcome);
    }
    platform::ManualClock clock;
    platform::PollEventLoop loop{clock};
    platform::MemoryProfileFile settings;
    orlavo::testing::FakeUdpEndpoint udp{clock};
    orlavo::testing::FakeSerialPort serial{clock};
    orlavo::testing::FakeMessageSink sink;
    orlavo::testing::FakeConnectivity connectivity;
    FeedProgram program{ProgramPorts{clock, loop, settings, udp, serial, connectivity, sink}, 0};
    MainWindowModel& window = program.window();
    Composer& composer = program.composer();
};

const std::string kSmartClock =
    "[CommMethod]\r\nRGBDISPLAY=1\r\nEMBEDDED=1\r\nETHERNET=1\r\n[Parameters]\r\nSPEED=3\r\n"
    "[Communications]\r\nTYPEFONTINDEX1=0\r\nCOLORSCHEMEINDEX=0\r\n";
const std::string kPlainWhole = "[CommMethod]\r\nRGBDISPLAY=0\r\nEMBEDDED=0\r\nETHERNET=1\r\n";

}  // namespace

TEST(Composer, SmartDisplayExampleGoesOutInClockPacketsWithWaits)
{
    ComposerRig rig(kSmartClock);
    ComposeResult r = rig.run(feedOf({{"Hello", "World"}}));
    EXPECT_EQ(r.frame, "~00~00~00~00~00~01FF00~02A0C30ff00002359FFF~FE1~FDCHello - World| ~03FFFF~04");
    EXPECT_TRUE(r.sent);
    EXPECT_EQ(rig.udp.sentBytes(), (std::vector<std::string>{"*~00~00~00~00~00~00~01FF00~02A0C30#",
                                                            "*~00ff00002359FFF~FE1~FDCHello - W#",
                                                            "*~00orld| ~03FFFF~04" + std::string(14, '\x04') + "#"}));
    EXPECT_EQ(rig.clock.sleeps(), (std::vector<std::int64_t>{1000, 1000}));
    EXPECT_EQ(rig.window.control(Field::Trss).text, "Hello - World\r\n" + std::string(9 * 2, ' ').replace(0, 18, "\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n"));
    EXPECT_EQ(rig.window.control(Field::Label17).text, "Last Update: ");
    EXPECT_EQ(rig.window.control(Field::Label18).text, "12:00");
    EXPECT_TRUE(rig.window.control(Field::Label18).visible);
    EXPECT_TRUE(rig.window.control(Field::Command1).enabled);
}

TEST(Composer, PlainDisplayExampleGoesOutWholeWithOneWait)
{
    ComposerRig rig(kPlainWhole);
    rig.window.editCheck(Field::Check2, 1);  // serial too: UDP, wait, serial, wait
    ComposeResult r = rig.run(feedOf({{"Hello", ""}, {"Bye", ""}}));
    const std::string frame = "~00~00~00~00~00~01FF00~02A0C10ff00002359FFFF~FE3~FDCHello | ~FDFBye | ~03FFFF~04";
    EXPECT_EQ(r.frame, frame);
    EXPECT_EQ(rig.udp.sentBytes(), std::vector<std::string>{frame});
    EXPECT_EQ(rig.serial.writtenBytes(), std::vector<std::string>{frame});
    EXPECT_EQ(rig.clock.sleeps(), (std::vector<std::int64_t>{1000, 1000}));
    EXPECT_FALSE(rig.serial.isOpen()) << "the port is closed when the run ends";
}

TEST(Composer, ItemLimitBudgetAndEmptyItems)
{
    struct Row {
        const char* label;
        std::vector<Item> items;
        const char* limit;
        long used;
        long shown;
        std::string preview;
    } rows[] = {
        {"3 items, limit 10", {{"a", ""}, {"b", ""}, {"c", ""}}, "10", 10, 3,
         "a \r\nb \r\nc \r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n"},
        {"600 + 600 is over budget", {{std::string(600, 'x'), ""}, {std::string(599, 'y'), ""}}, "10", 1, 1,
         std::string(600, 'x') + " \r\n"},
        {"550 + 550 fits", {{std::string(549, 'x'), ""}, {std::string(549, 'y'), ""}}, "2", 2, 2,
         std::string(549, 'x') + " \r\n" + std::string(549, 'y') + " \r\n"},
        {"first item alone too long", {{std::string(1100, 'x'), ""}}, "10", 0, 0, ""},
        {"limit 2.5 rounds to 2", {{"a", ""}, {"b", ""}, {"c", ""}}, "2.5", 2, 2, "a \r\nb \r\n"},
        {"non-numeric limit", {{"a", ""}}, "abc", 0, 0, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        ComposerRig rig(kPlainWhole);
        rig.window.editText(Field::Text3, row.limit);
        ComposeResult r = rig.run(feedOf(row.items));
        EXPECT_EQ(r.itemsUsed, row.used);
        EXPECT_EQ(r.itemsShown, row.shown);
        EXPECT_EQ(rig.window.control(Field::Trss).text, row.preview);
        EXPECT_EQ(r.sent, !row.preview.empty());
    }
}

TEST(Composer, ColourCyclesAndFixedColours)
{
    EXPECT_EQ(nextColour('B', true, 0), 'C');
    std::string smart, plain;
    for (char c = 'B', d = 'B'; smart.size() < 7; smart += c, plain += d) {
        c = nextColour(c, true, 0);
        d = nextColour(d, false, 0);
    }
    EXPECT_EQ(smart, "CFcgkBC");
    EXPECT_EQ(plain, "CFBCFBC");
    EXPECT_EQ(nextColour('B', true, 2), 'a');
    EXPECT_EQ(nextColour('B', false, 2), 'C');
    EXPECT_EQ(nextColour('F', false, 4), 'F') << "index beyond the plain list keeps the colour";
    EXPECT_EQ(nextColour('k', true, -1), 'k');

    ComposerRig rig(kPlainWhole);
    ComposeResult r = rig.run(feedOf({{"a", ""}, {"", "only a description"}, {"b", ""}}));
    EXPECT_NE(r.frame.find("~FDCa | ~FDFb | "), std::string::npos) << r.frame;
    EXPECT_EQ(rig.window.control(Field::Trss).text.substr(0, 7), "a \r\n\r\nb");
}

TEST(Composer, ItemTextRulesAndFeedTextNeutralised)
{
    EXPECT_EQ(itemText("<B>Breaking</B>", ""), "Breaking ");
    EXPECT_EQ(itemText("<b>Breaking</b>", ""), "<b>Breaking</b> ");
    EXPECT_EQ(itemText("", "description only"), "");
    EXPECT_EQ(itemText("<li>a/li>", "d"), "a - d");
    EXPECT_EQ(neutraliseForSign("x~03FFFF~04\r\ny\tz\x7F\xC2\x80\xC2\x81\xC2\x9D\xC2\x9F\xC2\xA0\xC2"),
              "x-03FFFF-04  y z     \xC2\xA0\xC2");

    ComposerRig rig(kPlainWhole);
    ComposeResult r = rig.run(feedOf({{"Evil~03FFFF~04~00~01FF00~02WN", "line\r\nbreak"}}));
    EXPECT_EQ(r.frame.find("~03FFFF~04"), r.frame.size() - 10) << "only the frame's own end";
    EXPECT_NE(r.frame.find("Evil-03FFFF-04-00-01FF00-02WN - line  break| "), std::string::npos) << r.frame;
}

TEST(Composer, SpeedGoesOutAsOneDigitFromOneToFive)
{
    const struct {
        const char* typed;
        char digit;
    } rows[] = {{"3", '3'}, {"9", '5'}, {"2.7", '3'}, {"0", '1'}, {"-99999", '1'}, {"abc", '1'},
                {"1~03FFFF~04~00~00~00~00~00~01FF00~02WN~03FFFF~04", '1'}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.typed);
        ComposerRig rig(kPlainWhole);
        rig.window.editText(Field::Text4, row.typed);
        ComposeResult r = rig.run(feedOf({{"Hi", ""}}));
        EXPECT_EQ(r.frame, std::string("~00~00~00~00~00~01FF00~02A0C") + row.digit +
                               "0ff00002359FFFF~FE3~FDCHi | ~03FFFF~04");
    }
}

TEST(Composer, NoIntensitySelectedAndNoLinkOn)
{
    ComposerRig rig(kSmartClock);
    rig.window.chooseTypeFont(-1);
    rig.window.editCheck(Field::Check1, 0);
    ComposeResult r = rig.run(feedOf({{"Hi", ""}}));
    EXPECT_NE(r.frame.find("FFF~FE~FDC"), std::string::npos) << r.frame;
    EXPECT_TRUE(rig.udp.sent().empty());
    EXPECT_TRUE(rig.clock.sleeps().empty());
}

TEST(Composer, AFailedUpdateLeavesTheSignAloneAndSaysWhy)
{
    struct Row {
        const char* label;
        DownloadOutcome outcome;
        std::string xml;
        const char* reason;
    } rows[] = {
        {"not found", {true, 404, "Not Found"}, feedOf({{"a", ""}}), "404 Not Found"},
        {"refused", {false, -1, "connection refused"}, "", "connection refused"},
        {"no items", {true, 200, "OK"}, "<rss><channel><title>x</title></channel></rss>", "no items"},
        {"send fails", {true, 200, "OK"}, feedOf({{"a", ""}}), "did not reach the sign (fake send failure 101)"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        ComposerRig rig(kPlainWhole);
        rig.udp.failAlways(101);
        rig.window.setText(Field::Trss, "previous");
        (void)rig.run(row.xml, row.outcome);
        EXPECT_TRUE(rig.udp.sent().empty());
        // The text keeps what the sign shows; no time, since nothing ever reached it.
        EXPECT_EQ(rig.window.control(Field::Trss).text, "previous");
        EXPECT_EQ(rig.window.control(Field::Label18).text, "");
        EXPECT_FALSE(rig.window.control(Field::Label18).visible);
        EXPECT_NE(rig.window.control(Field::Status).text.find(row.reason), std::string::npos)
            << rig.window.control(Field::Status).text;
        EXPECT_FALSE(rig.window.control(Field::Label13).visible);
    }
}
