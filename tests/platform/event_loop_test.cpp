#include "platform/descriptor.h"
#include "platform/manual_clock.h"
#include "platform/poll_event_loop.h"
#include "platform/signal_watch.h"
#include "platform/wait.h"

#include <gtest/gtest.h>

#include <pthread.h>
#include <unistd.h>

#include <string>
#include <vector>

using namespace orlavo::platform;

namespace {

// A loop on a manual clock, and a pipe for the descriptor cases.
struct PollEventLoopTest : ::testing::Test {
    void SetUp() override { ASSERT_EQ(::pipe(fds), 0); }
    void TearDown() override
    {
        for (int fd : fds) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }
    ManualClock clock;
    PollEventLoop loop{clock};
    int fds[2] = {-1, -1};
};

bool isBlocked(int signalNumber)
{
    sigset_t current;
    pthread_sigmask(SIG_SETMASK, nullptr, &current);
    return sigismember(&current, signalNumber) == 1;
}

}  // namespace

TEST_F(PollEventLoopTest, TimersFireAtTheirDeadlineAndNotBefore)
{
    int oneShot = 0;
    int repeating = 0;
    loop.startTimer(100, [&] { ++oneShot; });
    loop.startRepeatingTimer(60'000, [&] { ++repeating; });

    clock.advance(99);
    loop.runPending();
    EXPECT_EQ(oneShot, 0);
    clock.advance(1);
    loop.runPending();
    EXPECT_EQ(oneShot, 1);

    clock.advance(60'000 - 100 - 1);
    loop.runPending();
    EXPECT_EQ(repeating, 0);
    clock.advance(1);
    loop.runPending();
    EXPECT_EQ(repeating, 1);
    // A long gap fires the repeating timer once, not once per missed period.
    clock.advance(180'000);
    loop.runPending();
    EXPECT_EQ(repeating, 2);
    loop.runPending();
    EXPECT_EQ(oneShot, 1);
}

TEST_F(PollEventLoopTest, CancelledTimerAndTaskPostedDuringRunWaitForNextRound)
{
    std::vector<std::string> trace;
    auto id = loop.startTimer(0, [&] { trace.push_back("cancelled"); });
    loop.cancelTimer(id);
    loop.post([&] {
        trace.push_back("first");
        loop.post([&] { trace.push_back("second"); });
    });
    loop.runPending();
    EXPECT_EQ(trace, std::vector<std::string>{"first"});
    loop.runPending();
    EXPECT_EQ(trace, (std::vector<std::string>{"first", "second"}));
}

TEST_F(PollEventLoopTest, DeliversReadableDescriptorAndStopsAfterUnwatch)
{
    std::string received;
    EventLoop::WatchId watch = 0;
    watch = loop.watchFd(fds[0], EventLoop::kReadable, [&](unsigned bits) {
        ASSERT_TRUE(bits & EventLoop::kReadable);
        char buffer[16];
        ssize_t n = read(fds[0], buffer, sizeof buffer);
        received.append(buffer, static_cast<std::size_t>(n));
        loop.unwatchFd(watch);  // removing itself from inside its handler is safe
    });
    loop.runPending();
    EXPECT_TRUE(received.empty());
    ASSERT_EQ(write(fds[1], "ab", 2), 2);
    loop.runPending();
    EXPECT_EQ(received, "ab");
    ASSERT_EQ(write(fds[1], "cd", 2), 2);
    loop.runPending();
    EXPECT_EQ(received, "ab");
    EXPECT_EQ(loop.watchCount(), 0u);
}

// A host's loop learns what to wait for and when; runUntilIdle ends with the
// last watch, timer and task, including work that work started.
TEST_F(PollEventLoopTest, TellsAHostLoopWhatToWaitForAndEndsWhenIdle)
{
    EXPECT_TRUE(loop.idle());
    EXPECT_EQ(loop.nextTimeoutMs(), -1);
    int done = 0;
    EventLoop::WatchId watch = 0;
    watch = loop.watchFd(fds[0], EventLoop::kReadable, [&](unsigned) {
        loop.unwatchFd(watch);
        loop.post([&] { loop.startTimer(0, [&] { ++done; }); });
    });
    loop.startTimer(250, [] {});
    ASSERT_EQ(loop.descriptors().size(), 1u);
    EXPECT_EQ(loop.descriptors()[0].fd, fds[0]);
    EXPECT_EQ(loop.descriptors()[0].events, EventLoop::kReadable);
    EXPECT_EQ(loop.nextTimeoutMs(), 250);
    loop.post([] {});
    EXPECT_EQ(loop.nextTimeoutMs(), 0);

    clock.advance(250);
    ASSERT_EQ(write(fds[1], "x", 1), 1);
    loop.runUntilIdle();
    EXPECT_TRUE(loop.idle());
    EXPECT_EQ(done, 1);
}

TEST_F(PollEventLoopTest, WaitMsAdvancesManualTimeThenRunsQueuedEventsOnce)
{
    int clicks = 0;
    int ticks = 0;
    loop.post([&] { ++clicks; });                  // a click queued before the pause
    loop.startTimer(500, [&] { ++ticks; });         // a tick that falls inside it
    waitMs(clock, loop, 1000);
    EXPECT_EQ(clock.sleeps(), std::vector<std::int64_t>{1000});
    EXPECT_EQ(clock.nowMs(), 1000);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(ticks, 1);

    waitMs(clock, loop, 0);  // zero only processes pending events
    EXPECT_EQ(clock.sleeps().size(), 1u);
    EXPECT_EQ(clock.nowMs(), 1000);
}

TEST_F(PollEventLoopTest, ClosingAWatchedDescriptorSilencesItsHandlerAndIsIdempotent)
{
    int handled = 0;
    std::optional<EventLoop::WatchId> watch = loop.watchFd(fds[0], EventLoop::kReadable, [&](unsigned) { ++handled; });
    ASSERT_EQ(::write(fds[1], "x", 1), 1);

    EXPECT_TRUE(closeWatchedDescriptor(loop, watch, fds[0]));
    loop.runPending();
    EXPECT_EQ(handled, 0);
    EXPECT_EQ(fds[0], -1);
    EXPECT_FALSE(watch);
    EXPECT_FALSE(closeWatchedDescriptor(loop, watch, fds[0]));
    EXPECT_TRUE(closeDescriptor(fds[1]));
    EXPECT_FALSE(closeDescriptor(fds[1]));
}

TEST_F(PollEventLoopTest, SignalWatchDeliversSignalsOnTheLoopAndRestoresTheMask)
{
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
