// The Qt adapter behaves like the poll loop the models were written for, and
// its pause keeps other events flowing.
#include "gui/qt_platform/qt_clock.h"
#include "gui/qt_platform/qt_event_loop.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

namespace orlavo::gui {
namespace {

using platform::EventLoop;

// The adapter and a pipe. runUntil runs the loop until done() or about two
// seconds (a hung adapter fails, it does not hang).
struct QtEventLoopTest : ::testing::Test {
    void SetUp() override { ASSERT_EQ(::pipe(fds), 0); }
    void TearDown() override
    {
        for (int fd : fds) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }
    bool runUntil(const std::function<bool()>& done)
    {
        const std::int64_t end = clock.nowMs() + 2000;
        while (!done() && clock.nowMs() < end) {
            loop.runOnce(20);
        }
        return done();
    }
    QtEventLoop loop;
    QtClock clock;
    int fds[2] = {-1, -1};
};

TEST_F(QtEventLoopTest, PostedTasksAndTimersRunInOrderAndCancelledOnesNever)
{
    std::vector<std::string> ran;
    loop.post([&] { ran.push_back("post1"); });
    loop.post([&] { ran.push_back("post2"); });
    const auto cancelled = loop.startTimer(5, [&] { ran.push_back("cancelled"); });
    loop.startTimer(30, [&] { ran.push_back("timer30"); });
    loop.startTimer(10, [&] { ran.push_back("timer10"); });
    loop.cancelTimer(cancelled);
    int repeats = 0;
    EventLoop::TimerId repeating = 0;
    repeating = loop.startRepeatingTimer(5, [&] {
        if (++repeats == 3) {
            loop.cancelTimer(repeating);
        }
    });
    ASSERT_TRUE(runUntil([&] { return ran.size() == 4 && repeats == 3; }));
    EXPECT_EQ(ran, (std::vector<std::string>{"post1", "post2", "timer10", "timer30"}));
    loop.runOnce(30);
    EXPECT_EQ(repeats, 3);
}

TEST_F(QtEventLoopTest, WatchReportsReadableWritableAndHangupAndStopsWhenUnwatched)
{
    std::vector<unsigned> seen;
    std::optional<EventLoop::WatchId> watch;
    watch = loop.watchFd(fds[0], EventLoop::kReadable, [&](unsigned bits) {
        seen.push_back(bits);
        char c = 0;
        if (::read(fds[0], &c, 1) == 0) {
            platform::stopWatching(loop, watch);  // from inside its own handler
        }
    });
    ASSERT_EQ(::write(fds[1], "x", 1), 1);
    ASSERT_TRUE(runUntil([&] { return seen.size() == 1; }));
    EXPECT_EQ(seen[0], EventLoop::kReadable);

    int writable = 0;
    const auto writer = loop.watchFd(fds[1], 0, [&](unsigned bits) {
        writable += (bits & EventLoop::kWritable) != 0 ? 1 : 0;
    });
    loop.runOnce(20);
    EXPECT_EQ(writable, 0);
    loop.setWatchEvents(writer, EventLoop::kWritable);
    ASSERT_TRUE(runUntil([&] { return writable > 0; }));
    loop.unwatchFd(writer);

    ::close(fds[1]);
    fds[1] = -1;
    ASSERT_TRUE(runUntil([&] { return !watch.has_value(); }));
    EXPECT_NE(seen.back() & EventLoop::kHangup, 0U);
    const std::size_t calls = seen.size();
    loop.runOnce(20);
    EXPECT_EQ(seen.size(), calls);
}

// The pause of a frame in clock packets: other timers and descriptors keep
// running meanwhile, but the handler that pauses is not entered again.
TEST_F(QtEventLoopTest, QtClockSleepRunsOtherEventsButNotTheSleepingHandlerAgain)
{
    int ticks = 0;
    loop.startRepeatingTimer(10, [&] { ++ticks; });
    int entries = 0;
    int maxDepth = 0;
    int depth = 0;
    const auto id = loop.watchFd(fds[0], EventLoop::kReadable, [&](unsigned) {
        ++entries;
        maxDepth = std::max(maxDepth, ++depth);
        clock.sleep(120);  // the byte is still unread: readable all along
        char c = 0;
        (void)::read(fds[0], &c, 1);
        --depth;
    });
    ASSERT_EQ(::write(fds[1], "x", 1), 1);
    const std::int64_t start = clock.nowMs();
    ASSERT_TRUE(runUntil([&] { return entries == 1 && depth == 0; }));
    EXPECT_GE(clock.nowMs() - start, 120);
    EXPECT_GE(ticks, 4);
    EXPECT_EQ(maxDepth, 1);
    loop.unwatchFd(id);
}

}  // namespace
}  // namespace orlavo::gui
