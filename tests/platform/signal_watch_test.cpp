#include "platform/signal_watch.h"

#include "platform/manual_clock.h"
#include "platform/poll_event_loop.h"

#include <gtest/gtest.h>

#include <pthread.h>

#include <vector>

namespace orlavo::platform {
namespace {

bool isBlocked(int signalNumber)
{
    sigset_t current;
    pthread_sigmask(SIG_SETMASK, nullptr, &current);
    return sigismember(&current, signalNumber) == 1;
}

TEST(SignalWatch, DeliversSignalsOnTheLoopAndRestoresTheMask)
{
    ManualClock clock;
    PollEventLoop loop(clock);
    std::vector<int> received;
    {
        SignalWatch watch(loop);
        ASSERT_FALSE(watch.start({SIGUSR1, SIGUSR2}, [&](int s) { received.push_back(s); }));
        EXPECT_TRUE(isBlocked(SIGUSR1));
        ASSERT_EQ(::raise(SIGUSR2), 0);
        // Nothing runs until the loop reads the signal.
        EXPECT_TRUE(received.empty());
        loop.runOnce(1000);
        EXPECT_EQ(received, std::vector<int>{SIGUSR2});

        // A handler that stops the watch during a delivery is safe.
        watch.stop();
        EXPECT_FALSE(isBlocked(SIGUSR1));
        ASSERT_FALSE(watch.start({SIGUSR1}, [&](int s) {
            received.push_back(s);
            watch.stop();
        }));
        ASSERT_EQ(::raise(SIGUSR1), 0);
        loop.runOnce(1000);
        EXPECT_EQ(received, (std::vector<int>{SIGUSR2, SIGUSR1}));
    }
    EXPECT_FALSE(isBlocked(SIGUSR1));
    EXPECT_FALSE(isBlocked(SIGUSR2));
}

}  // namespace
}  // namespace orlavo::platform
