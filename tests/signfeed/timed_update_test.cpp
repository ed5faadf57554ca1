// The update's wait before its download on the loop's timers, as several
// signs in one program run it.
#include "support/fake_program.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace orlavo;
using namespace orlavo::signfeed;

TEST(TimedUpdate, TheWaitRunsOnATimerAndAStopInItEndsTheUpdateUndownloaded)
{
    orlavo::testing::FakeProgram rig("[AccessPoint]\r\nACCESSPOINTIP0=http://feeds.test/a.xml\r\n",
                                     platform::Pacing::Timers);
    auto [clock, loop, resolver, program] = std::tie(rig.clock, rig.loop, rig.resolver, rig.program);
    orlavo::testing::UpdateCounter endings;
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
