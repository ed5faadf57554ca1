// The update's wait before its download on the loop's timers, as several
// signs in one program run it.
#include "platform/manual_clock.h"
#include "platform/poll_event_loop.h"
#include "signfeed/feed_program.h"
#include "support/fake_message_sink.h"
#include "support/fake_network.h"
#include "support/fake_serial_port.h"
#include "support/fake_udp_endpoint.h"

#include <gtest/gtest.h>

using namespace orlavo;
using namespace orlavo::signfeed;

namespace {

struct Endings final : UpdateCycleObserver {
    void updateFinished(const DownloadOutcome&, const ComposeResult&) override { ++count; }
    void updateAbandoned(const std::string&) override { ++count; }
    int count = 0;
};

}  // namespace

TEST(TimedUpdate, TheWaitRunsOnATimerAndAStopInItEndsTheUpdateUndownloaded)
{
    platform::ManualClock clock;
    platform::PollEventLoop loop{clock};
    platform::MemoryProfileFile settings{std::string("[AccessPoint]\r\nACCESSPOINTIP0=http://feeds.test/a.xml\r\n")};
    orlavo::testing::FakeUdpEndpoint udp{clock};
    orlavo::testing::FakeSerialPort serial{clock};
    orlavo::testing::FakeMessageSink sink;
    orlavo::testing::FakeConnectivity connectivity;
    orlavo::testing::FakeResolver resolver;
    orlavo::testing::TimingOutConnector connector;
    FeedProgram program{ProgramPorts{clock, loop, settings, udp, serial, connectivity, sink, &resolver, &connector}, 0,
                        {}, platform::Pacing::Timers};
    program.load();
    Endings endings;
    program.cycle().setObserver(&endings);
    for (const bool stopInTheWait : {false, true}) {
        SCOPED_TRACE(stopInTheWait);
        resolver.names.clear();
        program.cycle().requestUpdate();
        EXPECT_TRUE(program.cycle().busy());
        EXPECT_TRUE(clock.sleeps().empty()) << "the wait blocks nothing";
        clock.advance(999);
        loop.runPending();
        EXPECT_TRUE(resolver.names.empty()) << "downloaded before its 1000 ms";
        if (stopInTheWait) {
            program.cycle().stop();
            EXPECT_FALSE(program.cycle().busy());
        }
        clock.advance(1);
        loop.runPending();
        EXPECT_EQ(resolver.names.size(), stopInTheWait ? 0u : 1u);
    }
    EXPECT_EQ(endings.count, 1);
    program.cycle().setObserver(nullptr);
}
