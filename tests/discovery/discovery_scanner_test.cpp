#include "discovery/discovery_scanner.h"
#include "platform/manual_clock.h"
#include "platform/poll_event_loop.h"
#include "platform/posix_udp_endpoint.h"
#include "support/fake_message_sink.h"
#include "support/fake_udp_endpoint.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace orlavo;
using namespace orlavo::discovery;

namespace {

const std::string kReply = std::string("*$:0050C2A1B2C3:192.168.001.050:") + "Lobby clock 3       ";

// Records what the scanner reports, in order, and runs an action on a chosen
// progress step (a click that lands during a pause).
class Recorder final : public DiscoveryScanner::Listener {
public:
    void walkStarted() override { events.push_back("started"); }
    void walkProgress(const WalkProgress& p) override
    {
        progress.push_back(p);
        if (onProgress) {
            onProgress(p);
        }
    }
    void walkEnded(const WalkSummary& s) override
    {
        events.push_back("ended");
        summary = s;
    }
    void lineFound(const std::string& line) override { lines.push_back(line); }
    std::vector<std::string> events;
    std::vector<WalkProgress> progress;
    std::vector<std::string> lines;
    WalkSummary summary;
    std::function<void(const WalkProgress&)> onProgress;
};

struct Rig {
    platform::ManualClock clock;
    platform::PollEventLoop loop{clock};
    orlavo::testing::FakeUdpEndpoint udp{clock};
    orlavo::testing::FakeMessageSink sink;
    Recorder recorder;
    DiscoveryScanner scanner{clock, loop, udp, sink};
    Rig() { scanner.setListener(&recorder); }

    std::vector<std::string> probedHosts() const
    {
        std::vector<std::string> hosts;
        for (const auto& s : udp.sent()) {
            hosts.push_back(s.host);
        }
        return hosts;
    }
};

RangeTexts range(std::array<const char*, 4> start, std::array<const char*, 4> end)
{
    RangeTexts t;
    for (std::size_t i = 0; i < 4; ++i) {
        t.start[i] = start[i];
        t.end[i] = end[i];
    }
    return t;
}

TEST(DiscoveryScanner, ProbesGoOnlyToQualifyingAddressesTenMillisecondsApart)
{
    struct Row {
        const char* label;
        RangeTexts texts;
        bool ethernet;
        std::uint64_t walked;
        std::vector<std::string> firstHosts;
        std::size_t probes;
        std::string lastHost;
    } rows[] = {
        {"all 255", RangeTexts{}, true, 1, {"255.255.255.255"}, 1, "255.255.255.255"},
        {"10.0.0.0-10.0.0.255", range({"10", "0", "0", "0"}, {"10", "0", "0", "255"}), true, 256,
         {"10.0.0.0", "10.0.0.1"}, 255, "10.0.0.254"},
        {"255.255.255.0-255", range({"255", "255", "255", "0"}, {"255", "255", "255", "255"}), true, 256,
         {"255.255.255.255"}, 1, "255.255.255.255"},
        {"start above end", range({"10", "0", "0", "9"}, {"10", "0", "0", "8"}), true, 0, {}, 0, ""},
        {"Ethernet UDP off", range({"10", "0", "0", "0"}, {"10", "0", "0", "255"}), false, 256, {}, 0, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        Rig rig;
        ASSERT_FALSE(rig.scanner.open("16001", "255.255.255.255"));
        const bool ethernet = row.ethernet;
        EXPECT_EQ(rig.scanner.locate(row.texts, [ethernet] { return ethernet; }), WalkOutcome::Finished);
        EXPECT_EQ(rig.recorder.summary.walked, row.walked);
        EXPECT_EQ(rig.recorder.progress.size(), row.walked);
        EXPECT_EQ(rig.clock.sleeps(), std::vector<std::int64_t>(row.walked, kProbePauseMs));
        if (row.walked > 0) {  // the progress counts down the pauses left
            const WalkProgress& first = rig.recorder.progress.front();
            const WalkProgress& last = rig.recorder.progress.back();
            const auto& octets = row.texts.start;
            EXPECT_EQ(first.address, octets[0] + "." + octets[1] + "." + octets[2] + "." + octets[3]);
            EXPECT_EQ(first.msLeft, static_cast<std::int64_t>(row.walked) * kProbePauseMs);
            EXPECT_EQ(last.index, row.walked);
            EXPECT_EQ(last.total, row.walked);
            EXPECT_EQ(last.msLeft, kProbePauseMs);
        }
        auto hosts = rig.probedHosts();
        ASSERT_EQ(hosts.size(), row.probes);
        for (std::size_t i = 0; i < row.firstHosts.size(); ++i) {
            EXPECT_EQ(hosts[i], row.firstHosts[i]);
        }
        if (!hosts.empty()) {
            EXPECT_EQ(hosts.back(), row.lastHost);
            EXPECT_EQ(rig.udp.sent().front().bytes, kDiscoveryProbe);
            EXPECT_EQ(rig.udp.sent().front().port, 16001);
        }
        EXPECT_EQ(rig.udp.boundPort(), 16001);  // bound before the first probe
        EXPECT_TRUE(rig.sink.lines().empty());
        EXPECT_EQ(rig.recorder.events, (std::vector<std::string>{"started", "ended"}));
    }
}

TEST(DiscoveryScanner, RepliesDuringTheWalkAreListedInArrivalOrderBeforeItEnds)
{
    Rig rig;
    ASSERT_FALSE(rig.scanner.open("16001", ""));
    std::string second = kReply;
    second.replace(16, 15, "010.001.002.003");
    std::size_t linesAtLastStep = 0;
    rig.recorder.onProgress = [&](const WalkProgress& p) {
        if (p.index == 1) {
            // Arrive during the first pause: handled when it ends.
            rig.loop.post([&] { rig.udp.deliver(kReply); });
            rig.loop.post([&] { rig.udp.deliver(second); });
            rig.loop.post([&] { rig.udp.deliver(kReply); });  // a duplicate stays
            rig.loop.post([&] { rig.udp.deliver("*$ nonsense"); });
        }
        if (p.index == 3) {
            linesAtLastStep = rig.recorder.lines.size();
        }
    };
    (void)rig.scanner.locate(range({"10", "0", "0", "1"}, {"10", "0", "0", "3"}), [] { return true; });
    EXPECT_EQ(linesAtLastStep, 3u);
    ASSERT_EQ(rig.recorder.lines.size(), 3u);
    EXPECT_EQ(rig.recorder.lines[0], rig.recorder.lines[2]);
    EXPECT_EQ(rig.recorder.lines[1].substr(0, 19), "IP: 010.001.002.003");
    EXPECT_NE(rig.recorder.lines[0].find("NAME: Lobby clock 3"), std::string::npos);
    // Named mode is judged when a reply arrives.
    rig.scanner.changePort("16000");
    rig.udp.deliver(kReply);
    EXPECT_EQ(rig.recorder.lines.back(), "IP: 192.168.001.050\t   MAC: 00-50-C2-A1-B2-C3");
    EXPECT_EQ(rig.scanner.readLine(rig.recorder.lines[0])->name, "");
}

// Which ports and octets are bad is the protocol's table; here what a refusal leaves.
TEST(DiscoveryScanner, BadPortOrRangeIsRefusedAtLocateWithNothingBound)
{
    struct Row {
        const char* label;
        const char* port;
        RangeTexts texts;
    } rows[] = {
        {"port above 65535", "70000", RangeTexts{}},
        {"octet 256", "16001", range({"10", "0", "0", "0"}, {"10", "0", "0", "256"})},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        Rig rig;
        (void)rig.scanner.open("16001", "");
        rig.scanner.changePort(row.port);  // every keystroke: no message yet
        EXPECT_TRUE(rig.sink.lines().empty());
        EXPECT_EQ(rig.scanner.locate(row.texts, [] { return true; }), WalkOutcome::Refused);
        ASSERT_EQ(rig.sink.lines().size(), 1u);
        EXPECT_EQ(rig.udp.binds(), 0);
        EXPECT_TRUE(rig.udp.sent().empty());
        EXPECT_TRUE(rig.recorder.events.empty());
    }
    Rig rig;
    EXPECT_TRUE(rig.scanner.open("99999", ""));
}

TEST(DiscoveryScanner, SendFailuresAreReportedOncePerWalk)
{
    Rig rig;
    ASSERT_FALSE(rig.scanner.open("16001", ""));
    rig.udp.failAlways(101);
    auto texts = range({"10", "0", "0", "1"}, {"10", "0", "0", "5"});
    EXPECT_EQ(rig.scanner.locate(texts, [] { return true; }), WalkOutcome::Finished);
    EXPECT_EQ(rig.recorder.summary.sendFailures, 5u);
    EXPECT_EQ(rig.recorder.summary.walked, 5u);
    EXPECT_EQ(rig.sink.lines(), (std::vector<std::string>{"101: fake send failure 101"}));
    (void)rig.scanner.locate(texts, [] { return true; });
    EXPECT_EQ(rig.sink.lines().size(), 2u);
}

// A port edit rebinds before the next probe, a second Locate is refused, and
// a close ends the walk at its next pause.
TEST(DiscoveryScanner, DuringAWalkAPortEditRebindsASecondLocateIsRefusedAndACloseStopsIt)
{
    Rig rig;
    ASSERT_FALSE(rig.scanner.open("16001", ""));
    auto texts = range({"10", "0", "0", "0"}, {"10", "0", "0", "254"});
    WalkOutcome inner = WalkOutcome::Finished;
    rig.recorder.onProgress = [&](const WalkProgress& p) {
        if (p.index == 1) {
            rig.loop.post([&] { rig.scanner.changePort("16000"); });
        }
        if (p.index == 2) {
            rig.loop.post([&] { inner = rig.scanner.locate(texts, [] { return true; }); });
        }
        if (p.index == 4) {
            rig.loop.post([&] { rig.scanner.close(); });
        }
    };
    EXPECT_EQ(rig.scanner.locate(texts, [] { return true; }), WalkOutcome::Stopped);
    EXPECT_EQ(inner, WalkOutcome::Refused);
    EXPECT_EQ(rig.recorder.summary.walked, 4u);
    EXPECT_TRUE(rig.recorder.summary.stopped);
    ASSERT_EQ(rig.udp.sent().size(), 4u);
    EXPECT_EQ(rig.udp.sent()[0].port, 16001);
    EXPECT_EQ(rig.udp.sent()[1].port, 16000);
    EXPECT_EQ(rig.udp.boundPort(), 16000);
    EXPECT_FALSE(rig.udp.isOpen());  // closed, not bound again by the walk
    EXPECT_EQ(rig.udp.binds(), 2);
}

// The discovery endpoint on a real socket, bound as a walk binds it, and a
// second socket on 127.0.0.1 that plays the signs.
struct LoopbackRig {
    platform::ManualClock clock;
    platform::PollEventLoop loop{clock};
    platform::PosixUdpEndpoint udp{loop};
    orlavo::testing::FakeMessageSink sink;
    Recorder recorder;
    DiscoveryScanner scanner{clock, loop, udp, sink};
    platform::PosixUdpEndpoint signs{loop};
    int port = -1;

    LoopbackRig()
    {
        scanner.setListener(&recorder);
        // A free port for the walk to bind: taken, read, let go.
        platform::PosixUdpEndpoint probe(loop);
        if (!probe.bind("127.0.0.1", 0)) {
            port = probe.localPort();
        }
        probe.close();
        (void)scanner.open(std::to_string(port), "");
        (void)signs.setRemote("127.0.0.1", port);
    }
    // Handles what arrived until the line count reaches lines (or a guard ends it).
    void handleUntil(std::size_t lines)
    {
        for (int i = 0; i < 200 && recorder.lines.size() < lines; ++i) {
            loop.runOnce(10);
        }
    }
};

// kReply with the address's last octet written as three digits (0-255).
std::string replyFor(std::size_t last)
{
    std::string reply = kReply;
    std::string digits = std::to_string(last % 256);
    reply.replace(28, 3, std::string(3 - digits.size(), '0') + digits);
    return reply;
}

// Each length goes out followed by a good reply: the good one's line shows
// that the datagram before it was read and judged, listed or not. The sign
// link holds the same port: Linux hands a unicast datagram to the socket
// bound to the port last, so the discovery endpoint, bound after it, gets them.
TEST(DiscoveryScanner, RepliesOfAnyLengthOverLoopbackAreReadWholeAndJudgedWhileTheSignLinkSharesThePort)
{
    LoopbackRig rig;
    ASSERT_GT(rig.port, 0);
    platform::PosixUdpEndpoint link(rig.loop);
    ASSERT_FALSE(link.bind("", rig.port));
    link.setReceiveHandler([](std::string, std::string, int) {});
    // A walk of one address binds the endpoint.
    ASSERT_EQ(rig.scanner.locate(range({"127", "0", "0", "9"}, {"127", "0", "0", "9"}), [] { return false; }),
              WalkOutcome::Finished);
    ASSERT_TRUE(rig.udp.isOpen());
    // 65507 bytes: the largest IPv4 datagram, under the endpoint's 65535-byte read.
    for (std::size_t length : {0, 1, 30, 31, 52, 2000, 65507}) {
        SCOPED_TRACE(length);
        rig.recorder.lines.clear();
        std::string datagram = kReply + std::string(65507, '#');
        datagram.resize(length);
        ASSERT_FALSE(rig.signs.send(datagram));
        ASSERT_FALSE(rig.signs.send(replyFor(1)));
        const bool listed = length >= kMinReplyBytes;
        rig.handleUntil(listed ? 2 : 1);
        ASSERT_EQ(rig.recorder.lines.size(), listed ? 2u : 1u);
        EXPECT_NE(rig.recorder.lines.back().find("192.168.001.001"), std::string::npos);
        if (listed) {
            EXPECT_EQ(rig.recorder.lines.front().substr(0, 19), "IP: 192.168.001.050");
        }
    }
}

// A flood queued during the first pause: each pause handles at most one
// endpoint read batch, so the walk keeps its pace on the clock and the rest
// of the flood waits for the following pauses.
TEST(DiscoveryScanner, AFloodOfRepliesCannotHoldUpTheWalk)
{
    LoopbackRig rig;
    ASSERT_GT(rig.port, 0);
    constexpr std::size_t kFlood = 150;  // fits the default socket queue
    std::vector<std::size_t> linesAfterStep;
    rig.recorder.onProgress = [&](const WalkProgress& p) {
        linesAfterStep.push_back(rig.recorder.lines.size());
        if (p.index == 1) {
            for (std::size_t i = 0; i < kFlood; ++i) {
                (void)rig.signs.send(replyFor(i));
            }
        }
    };
    // The probes to 127.0.0.1-3 reach the endpoint itself and are no replies.
    EXPECT_EQ(rig.scanner.locate(range({"127", "0", "0", "1"}, {"127", "0", "0", "3"}), [] { return true; }),
              WalkOutcome::Finished);
    EXPECT_EQ(rig.clock.nowMs(), 3 * kProbePauseMs);
    EXPECT_EQ(rig.recorder.summary.probesSent, 3u);
    ASSERT_EQ(linesAfterStep.size(), 3u);
    EXPECT_EQ(linesAfterStep[1], 64u);  // one read batch per pause
    EXPECT_EQ(linesAfterStep[2], 128u);
    rig.handleUntil(kFlood);
    EXPECT_EQ(rig.recorder.lines.size(), kFlood);
    EXPECT_EQ(rig.recorder.lines[0].substr(0, 19), "IP: 192.168.001.000");
}

TEST(DiscoveryScanner, TheListStopsGrowingAtItsLimitUntilTheNextWalk)
{
    Rig rig;
    ASSERT_FALSE(rig.scanner.open("16001", ""));
    const RangeTexts one = range({"10", "0", "0", "1"}, {"10", "0", "0", "1"});
    (void)rig.scanner.locate(one, [] { return false; });
    for (std::size_t i = 0; i < kMaxListedReplies + 10; ++i) {
        rig.udp.deliver(kReply);  // duplicates count: each is a line
    }
    EXPECT_EQ(rig.recorder.lines.size(), kMaxListedReplies);
    rig.recorder.lines.clear();
    (void)rig.scanner.locate(one, [] { return false; });
    rig.udp.deliver(kReply);
    EXPECT_EQ(rig.recorder.lines.size(), 1u);
}

}  // namespace
