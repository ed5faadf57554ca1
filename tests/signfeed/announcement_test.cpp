#include "signfeed/announcement_file.h"
#include "support/fake_program.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>

using namespace orlavo;
using namespace orlavo::signfeed;

namespace {

constexpr std::int64_t kMinute = 60'000;
const std::string kHeadlines =
    "~00~00~00~00~00~01FF00~02A0C10ff00002359FFFF~FE3~FDCHello | ~03FFFF~04";
const std::string kBlank = "~00~00~00~00~00~01FF00~02A0C10ff00002359FFFF~FE3~03FFFF~04";

std::string announced(char colour, const std::string& text)
{
    return "~00~00~00~00~00~01FF00~02A0C10ff00002359FFFF~FE3~FD" + std::string(1, colour) + text + "| ~03FFFF~04";
}

// One plain sign on fakes; feeds are looked up nowhere and never connect.
struct AnnounceRig : orlavo::testing::FakeProgram {
    explicit AnnounceRig(const std::string& extra = {})
        : FakeProgram("[CommMethod]\r\nRGBDISPLAY=0\r\nEMBEDDED=0\r\nETHERNET=1\r\n" + extra)
    {
        program.announcement().keepIn(dir.file("lobby.announce"));
    }
    void sendHeadlines() { compose("<rss><channel><item><title>Hello</title></item></channel></rss>"); }
    std::string lastSent() const { return udp.sentBytes().empty() ? "" : udp.sentBytes().back(); }
    void minutes(int n)
    {
        clock.advance(n * kMinute);
        loop.runPending();
    }

    orlavo::testing::TempDir dir;
    Announcement& announcement = program.announcement();
};

}  // namespace

TEST(Announcement, OverridesHeadlinesUntilItsTimeIsUpThenTheyReturnAtOnce)
{
    AnnounceRig rig("[Parameters]\r\nUPDATEPERIOD=1\r\n");
    rig.sendHeadlines();
    ASSERT_EQ(rig.lastSent(), kHeadlines);
    std::string expired;
    rig.announcement.setExpiryListener([&](const std::string& text) { expired = text; });

    ASSERT_EQ(rig.announcement.start("Fire drill", 3).error, "");
    EXPECT_EQ(rig.lastSent(), announced('B', "Fire drill")) << "shown at once, red by default";
    EXPECT_TRUE(rig.program.cycle().held());
    EXPECT_NE(orlavo::testing::readFileBytes(rig.dir.file("lobby.announce")).find("Text=Fire drill\n"),
              std::string::npos);

    rig.program.cycle().start();
    rig.minutes(2);
    EXPECT_TRUE(rig.resolver.names.empty()) << "ticks send no headlines while it is on";
    EXPECT_EQ(rig.lastSent(), announced('B', "Fire drill"));
    EXPECT_EQ(rig.announcement.remainingMs(), kMinute - 1000) << "its frame's pause counts";

    rig.minutes(1);
    EXPECT_EQ(expired, "Fire drill");
    EXPECT_FALSE(rig.announcement.active());
    EXPECT_FALSE(rig.program.cycle().held());
    EXPECT_EQ(rig.udp.sentBytes().at(2), kHeadlines) << "the last headlines come back at once";
    EXPECT_FALSE(rig.resolver.names.empty()) << "and the update missed meanwhile runs";
    EXPECT_FALSE(std::filesystem::exists(rig.dir.file("lobby.announce")));
}

TEST(Announcement, ReplaceClearAndNoHeadlinesYet)
{
    AnnounceRig rig("[Announce]\r\nColor=Yellow\r\n");
    ASSERT_EQ(rig.announcement.start("One", 10).error, "");
    ASSERT_EQ(rig.announcement.start("Two", 1).error, "");
    EXPECT_EQ(rig.lastSent(), announced('F', "Two"));
    rig.minutes(1);
    EXPECT_FALSE(rig.announcement.active()) << "the new one's time counts, not the old one's";
    EXPECT_EQ(rig.lastSent(), kBlank) << "no headlines were sent yet: a blank frame";
    EXPECT_EQ(rig.resolver.names.size(), 1U) << "and an update at once";

    ASSERT_EQ(rig.announcement.start("Three", 5).error, "");
    EXPECT_TRUE(rig.announcement.clear());
    EXPECT_FALSE(rig.announcement.clear()) << "nothing left to clear";
    EXPECT_FALSE(rig.program.cycle().held());

    rig.announcement.keepIn(rig.dir.file("gone") / "lobby.announce");
    EXPECT_NE(rig.announcement.start("Four", 5).note.find("not kept for a restart"), std::string::npos);
    EXPECT_TRUE(rig.announcement.active()) << "shown all the same";
}

TEST(Announcement, TextAndMinutesAreCheckedAndMadeSafe)
{
    struct Row {
        std::string text;
        int minutes;
        std::string error;
        std::string shown;
    } rows[] = {
        {"  ~04 end\tof\x01line~03 ", 10, "", "-04 end of line-03"},
        {"caf\xe9 \xc5\x91k", 10, "", "caf\xc3\xa9 ok"},
        {"   ", 10, "the announcement is empty", ""},
        {std::string(1101, 'x'), 10, "the announcement is 1101 characters long; a sign takes at most 1100", ""},
        {"x", 0, "the minutes must be 1 to 1440", ""},
        {"x", 1441, "the minutes must be 1 to 1440", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text.substr(0, 20));
        AnnounceRig rig;
        EXPECT_EQ(rig.announcement.start(row.text, row.minutes).error, row.error);
        EXPECT_EQ(rig.announcement.text(), row.shown);
        EXPECT_EQ(rig.announcement.active(), row.error.empty());
    }
}

TEST(Announcement, ColourFollowsTheSettingWithinWhatTheSignShows)
{
    EXPECT_EQ(announcementColour("green", false), SignColour::Green);
    EXPECT_EQ(announcementColour("CYAN", true), SignColour::Cyan);
    EXPECT_EQ(announcementColour("cyan", false), SignColour::Red) << "needs Smart LED Display";
    EXPECT_EQ(announcementColour("purple", true), SignColour::Red);
}

TEST(Announcement, RestoredWithinItsTimeElseIgnoredAndRemoved)
{
    // The manual clock starts at 2026-01-01 12:00:00.
    struct Row {
        std::string bytes;
        std::string log;
        bool active;
    } rows[] = {
        {"[Announcement]\nText=Drill\nUntil=2026-01-01 12:04:30\n",
         "announcement taken up again for 5 more minutes: Drill", true},
        {"[Announcement]\r\nUntil=2026-01-02 11:00:00\r\nText=~Late\r\n",
         "announcement taken up again for 1380 more minutes: -Late", true},
        {"[Announcement]\nText=Drill\nUntil=2026-01-01 11:59:59\n", "ignored: its time is up", false},
        {"[Announcement]\nText=Drill\nUntil=2026-01-02 12:00:01\n", "ignored: it ends more than a day from now", false},
        {"[Announcement]\nText=Drill\nUntil=2026-13-01 12:00:00\n", "ignored: not an announcement", false},
        {"[Other]\nText=Drill\nUntil=2026-01-01 12:04:30\n", "ignored: not an announcement", false},
        {"[Announcement]\nText= \nUntil=2026-01-01 12:04:30\n", "ignored: its text is empty or too long", false},
        {std::string(9000, 'x'), "ignored: ", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.log);
        AnnounceRig rig;
        orlavo::testing::writeFileBytes(rig.dir.file("lobby.announce"), row.bytes);
        EXPECT_NE(rig.announcement.restore().find(row.log), std::string::npos);
        EXPECT_EQ(rig.announcement.active(), row.active);
        EXPECT_EQ(std::filesystem::exists(rig.dir.file("lobby.announce")), row.active);
    }
    AnnounceRig none;
    EXPECT_EQ(none.announcement.restore(), "") << "no file, nothing to say";
}

TEST(Announcement, WallClockArithmeticCrossesMonthsAndYears)
{
    const platform::LocalTime newYear{2026, 12, 31, 23, 50, 0};
    const platform::LocalTime later = addSeconds(newYear, 20 * 60);
    EXPECT_EQ(formatAnnouncementFile({"x", later}), "[Announcement]\nText=x\nUntil=2027-01-01 00:10:00\n");
    EXPECT_EQ(secondsBetween(newYear, later), 1200);
    EXPECT_EQ(secondsBetween(later, newYear), -1200);
    EXPECT_EQ(announcementFileFor("/etc/orlavo/lobby.ini"), "/etc/orlavo/lobby.announce");
}
