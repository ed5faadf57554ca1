// Links whose waits run on the loop's timers: several signs on one loop, each
// paced on its own.
#include "sign_link_rig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>

using namespace orlavo;
using namespace orlavo::signfeed;
using orlavo::testing::FakeMessageSink;
using orlavo::testing::FakeSerialPort;
using orlavo::testing::FakeUdpEndpoint;
using orlavo::testing::frameOfLength;

namespace {

// Five full clock packets and a partial one: six packets, five waits.
constexpr std::size_t kSixPackets = 5 * kClockPieceLength + 10;

struct TimedLink {
    explicit TimedLink(platform::ManualClock& clock, platform::PollEventLoop& loop, std::vector<std::string>& trace)
        : udp(clock, &trace), serial(clock), link(clock, loop, udp, serial, sink)
    {
        link.setLinkSelection({true, false});
        link.setPacing(platform::Pacing::Timers);
    }
    FakeUdpEndpoint udp;
    FakeSerialPort serial;
    FakeMessageSink sink;
    SignLink link;
};

struct ThreeSigns {
    ThreeSigns()
    {
        for (auto& sign : signs) {
            sign = std::make_unique<TimedLink>(clock, loop, trace);
        }
    }
    // Steps the clock until every link is idle (or a minute passed).
    void runIdle()
    {
        for (int step = 0; step < 600 && busy(); ++step) {
            clock.advance(100);
            loop.runPending();
        }
    }
    [[nodiscard]] bool busy() const
    {
        return std::any_of(signs.begin(), signs.end(), [](const auto& s) { return s->link.busy(); });
    }

    platform::ManualClock clock;
    platform::PollEventLoop loop{clock};
    std::vector<std::string> trace;
    std::array<std::unique_ptr<TimedLink>, 3> signs;
};

}  // namespace

TEST(ParallelPacing, ThreeClockSignsGetTheirSixPacketsInTheTimeOfOne)
{
    ThreeSigns rig;
    std::vector<std::int64_t> idleAt;
    for (auto& sign : rig.signs) {
        sign->link.sendFrame(frameOfLength(kSixPackets), true, 1000);
        EXPECT_TRUE(sign->link.busy()) << "sendFrame returns before the frame is gone";
        // As a close waits for the frame going out.
        sign->link.whenIdle([&] { idleAt.push_back(rig.clock.nowMs()); });
    }
    rig.runIdle();
    EXPECT_EQ(idleAt, (std::vector<std::int64_t>{5000, 5000, 5000}));
    std::vector<std::string> expected;
    for (int second = 0; second < 6; ++second) {
        expected.insert(expected.end(), 3, "udp@" + std::to_string(second * 1000));
    }
    EXPECT_EQ(rig.trace, expected) << "the packets interleave, each sign's 1000 ms apart";
    for (auto& sign : rig.signs) {
        EXPECT_EQ(sign->udp.sentBytes(), buildClockPackets(frameOfLength(kSixPackets)));
        EXPECT_EQ(sign->link.lastFrameReport().unitsSent, 6);
    }
    EXPECT_TRUE(rig.clock.sleeps().empty()) << "no wait blocks the loop";
}

TEST(ParallelPacing, AStopEndsOnlyThatSignsFrameWithoutSittingOutTheWait)
{
    ThreeSigns rig;
    for (auto& sign : rig.signs) {
        sign->link.sendFrame(frameOfLength(kSixPackets), true, 1000);
    }
    rig.clock.advance(1500);
    rig.loop.runPending();
    rig.signs[1]->link.stopSending();
    rig.loop.runPending();
    EXPECT_FALSE(rig.signs[1]->link.busy());
    EXPECT_TRUE(rig.signs[1]->link.lastFrameReport().stopped);
    EXPECT_EQ(rig.signs[1]->link.lastFrameReport().unitsSent, 2);
    rig.runIdle();
    EXPECT_EQ(rig.signs[0]->udp.sent().size(), 6u);
    EXPECT_EQ(rig.signs[2]->udp.sent().size(), 6u);
}
