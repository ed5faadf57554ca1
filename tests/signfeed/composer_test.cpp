#include "signfeed/message_text.h"
#include "support/fake_program.h"

#include <gtest/gtest.h>

#include <functional>
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
struct ComposerRig : orlavo::testing::FakeProgram {
    using FakeProgram::FakeProgram;
    ComposeResult run(const std::string& xml)
    {
        clock.clearSleeps();
        return compose(xml);
    }
    MainWindowModel& window = program.window();
    Composer& composer = program.composer();
};

const std::string kSmartClock =
    "[CommMethod]\r\nRGBDISPLAY=1\r\nEMBEDDED=1\r\nETHERNET=1\r\n[Parameters]\r\nSPEED=3\r\n"
    "[Communications]\r\nTYPEFONTINDEX1=0\r\nCOLORSCHEMEINDEX=0\r\n";
const std::string kPlainWhole = "[CommMethod]\r\nRGBDISPLAY=0\r\nEMBEDDED=0\r\nETHERNET=1\r\n";

}  // namespace

// The worked example in clock packets is `orlavod compose`'s to print.
TEST(Composer, FrameGoesOutAsTheDisplayAndTheLinksSay)
{
    using Units = std::vector<std::string>;
    const std::string plain = "~00~00~00~00~00~01FF00~02A0C10ff00002359FFFF~FE3~FDCHello | ~FDFBye | ~03FFFF~04";
    struct Row {
        const char* label;
        std::string ini;
        std::function<void(MainWindowModel&)> edit;
        std::vector<Item> items;
        std::string frame;
        Units udp;
        Units serial;
        std::vector<std::int64_t> sleeps;
    } rows[] = {
        {"plain display, serial too: whole, UDP, wait, serial, wait", kPlainWhole,
         [](MainWindowModel& window) { window.editCheck(Field::Check2, 1); }, {{"Hello", ""}, {"Bye", ""}}, plain,
         {plain}, {plain}, {1000, 1000}},
        {"no intensity selected, no link on", kSmartClock,
         [](MainWindowModel& window) {
             window.chooseTypeFont(-1);
             window.editCheck(Field::Check1, 0);
         },
         {{"Hi", ""}}, "~00~00~00~00~00~01FF00~02A0C30ff00002359FFF~FE~FDCHi | ~03FFFF~04", {}, {}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        ComposerRig rig(row.ini);
        row.edit(rig.window);
        EXPECT_EQ(rig.run(feedOf(row.items)).frame, row.frame);
        EXPECT_EQ(rig.udp.sentBytes(), row.udp);
        EXPECT_EQ(rig.serial.writtenBytes(), row.serial);
        EXPECT_EQ(rig.clock.sleeps(), row.sleeps);
        EXPECT_FALSE(rig.serial.isOpen()) << "the port is closed when the run ends";
    }
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
