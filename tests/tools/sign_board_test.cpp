#include "sign_board.h"

#include "platform/loop_inbox.h"
#include "support/fake_program.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace orlavo;
using namespace orlavo::tools;
using BoardStatus = BoardReply::Status;

namespace {

// One sign, "lobby", on fakes, watched by a board as the service watches its signs.
struct BoardRig : orlavo::testing::FakeProgram {
    BoardRig() : FakeProgram("[CommMethod]\r\nETHERNET=1\r\nEMBEDDED=0\r\n")
    {
        announcements.add("lobby", program.announcement());
        board.listen([this](const std::string& sign) { heard.push_back(sign); });
    }
    void sendHeadlines()
    {
        compose("<rss><channel><item><title>Hello</title></item><item><title>World</title></item></channel></rss>");
    }

    SignAnnouncements announcements{loop, [](const std::string&) {}};
    SignBoard board{loop, {{"lobby", "lobby.ini", program}}, announcements};
    std::vector<std::string> heard;
};

}  // namespace

TEST(SignBoard, ShowsWhatTheLinkDeliveredAndTellsTheListeners)
{
    BoardRig rig;
    nlohmann::json before = signJson(*rig.board.sign("lobby"));
    EXPECT_EQ(before["headlines"], nlohmann::json::array());
    EXPECT_TRUE(before["last_update"].is_null());
    EXPECT_TRUE(before["announcement"].is_null());
    EXPECT_TRUE(before["link"]["udp"]);

    rig.sendHeadlines();
    nlohmann::json after = signJson(rig.board.signs().at(0));
    EXPECT_EQ(after["name"], "lobby");
    ASSERT_EQ(after["headlines"].size(), 2U);
    EXPECT_EQ(after["headlines"][1]["text"], "World") << "without the blank between messages";
    EXPECT_FALSE(rig.heard.empty()) << "a frame that went out is a change";
    EXPECT_EQ(rig.board.sign("hall"), std::nullopt);
}

TEST(SignBoard, CommandsNameTheSignAndRefuseWhatTheControlSocketRefuses)
{
    const struct {
        const char* sign;
        const char* text;
        int minutes;
        BoardStatus status;
    } rows[] = {
        {"lobby", "Fire drill", 5, BoardStatus::Ok},
        {"hall", "Fire drill", 5, BoardStatus::NotFound},
        {"", "Fire drill", 5, BoardStatus::NotFound},  // not "every sign" here
        {"lobby", "   ", 5, BoardStatus::BadRequest},
        {"lobby", "Fire drill", 0, BoardStatus::BadRequest},
        {"lobby", "Fire drill", 1441, BoardStatus::BadRequest},
    };
    for (const auto& row : rows) {
        BoardRig rig;
        const BoardReply reply = rig.board.announce(row.sign, row.text, row.minutes);
        EXPECT_EQ(reply.status, row.status) << row.sign << row.text << ": " << reply.message;
        rig.loop.runPending();
        EXPECT_EQ(rig.board.sign("lobby")->announcement.has_value(), row.status == BoardStatus::Ok) << row.text;
    }
    BoardRig rig;
    ASSERT_EQ(rig.board.announce("lobby", "Fire drill", 2).status, BoardStatus::Ok);
    rig.loop.runPending();
    EXPECT_GT(signJson(*rig.board.sign("lobby"))["announcement"]["seconds_left"], 110);
    rig.heard.clear();
    EXPECT_EQ(rig.board.clearAnnouncement("lobby").status, BoardStatus::Ok);
    rig.loop.runPending();
    EXPECT_FALSE(rig.board.sign("lobby")->announcement);
    EXPECT_EQ(rig.heard.at(0), "lobby");
    EXPECT_EQ(rig.board.updateNow("hall").status, BoardStatus::NotFound);
    EXPECT_EQ(rig.board.clearAnnouncement("hall").status, BoardStatus::NotFound);
}

TEST(LoopInbox, RunsOtherThreadsWorkOnTheLoopInOrderAndFailsOnceClosed)
{
    orlavo::testing::FakeProgram rig;
    platform::LoopInbox inbox(rig.loop);
    std::vector<int> ran;
    std::optional<int> answer;
    std::thread other([&] {
        for (int i = 0; i < 3; ++i) {
            inbox.post([&ran, i] { ran.push_back(i); });
        }
        answer = inbox.call<int>([&ran] { return static_cast<int>(ran.size()); }, std::chrono::seconds(30));
    });
    while (!answer) {
        rig.loop.runOnce(10);
    }
    other.join();
    EXPECT_EQ(ran, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(answer, 3);

    // Nobody runs the loop: the call gives up; a task beyond the bound is refused.
    EXPECT_EQ(inbox.call<int>([] { return 1; }, std::chrono::milliseconds(1)), std::nullopt);
    int posted = 0;
    while (inbox.post([] {})) {
        ++posted;
    }
    EXPECT_EQ(posted, static_cast<int>(platform::LoopInbox::kMaxPending) - 1);
    inbox.close();
    EXPECT_FALSE(inbox.post([] {}));
    EXPECT_EQ(inbox.call<int>([] { return 1; }, std::chrono::seconds(30)), std::nullopt);
}
