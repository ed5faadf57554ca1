#pragma once
/// @file
/// The library's own EventLoop on poll(2). A program without a loop runs it
/// (run, runOnce, runUntilIdle); a program with its own loop drives it from
/// there: watch descriptors(), wake up after nextTimeoutMs(), and call
/// runPending() whenever one of them is ready or the time has come.
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <vector>

#include "pellix/clock.h"
#include "pellix/event_loop.h"
#include "pellix/export.h"

namespace pellix {

/// A descriptor the loop waits on, with EventLoop::kReadable / kWritable bits.
struct WatchedFd {
    int fd = -1;          ///< the descriptor
    unsigned events = 0;  ///< what to wait for: EventLoop::kReadable, kWritable
};

/// EventLoop on poll(2). Timers follow the Clock it is given, so with a
/// hand-driven clock a test decides when timers are due.
class PELLIX_API PollEventLoop final : public EventLoop {
public:
    /// On the system's monotonic clock.
    PollEventLoop();
    /// clock must outlive the loop.
    explicit PollEventLoop(Clock& clock);
    ~PollEventLoop() override;
    PollEventLoop(const PollEventLoop&) = delete;
    PollEventLoop& operator=(const PollEventLoop&) = delete;

    void post(Task task) override;
    TimerId startTimer(std::int64_t delayMs, Task task) override;
    TimerId startRepeatingTimer(std::int64_t intervalMs, Task task) override;
    void cancelTimer(TimerId id) override;
    WatchId watchFd(int fd, unsigned events, std::function<void(unsigned)> handler) override;
    void setWatchEvents(WatchId id, unsigned events) override;
    void unwatchFd(WatchId id) override;
    void runPending() override;
    void runOnce(std::int64_t maxWaitMs) override;
    void run() override;
    void quit() override;

    /// Runs until nothing is posted, timed or watched any more: a download
    /// has ended (OnFinish ran) and no other work was given to the loop.
    void runUntilIdle();
    /// Nothing is posted, timed or watched.
    [[nodiscard]] bool idle() const;
    /// For a host's loop: the descriptors to wait on now. A descriptor with
    /// events 0 is kept but needs no waiting.
    [[nodiscard]] std::vector<WatchedFd> descriptors() const;
    /// For a host's loop: milliseconds until runPending() has timed work, 0
    /// when it has work now, -1 when only a descriptor can bring work.
    [[nodiscard]] std::int64_t nextTimeoutMs() const;

    /// Timers now set.
    [[nodiscard]] std::size_t timerCount() const { return m_timers.size(); }
    /// Descriptors now watched.
    [[nodiscard]] std::size_t watchCount() const { return m_watches.size(); }

private:
    struct Timer {
        std::int64_t dueMs;
        std::int64_t intervalMs;  ///< 0 for one-shot
        std::shared_ptr<Task> task;
    };
    struct Watch {
        int fd;
        unsigned events;
        std::shared_ptr<std::function<void(unsigned)>> handler;
    };

    void dispatch(std::int64_t pollTimeoutMs);
    void runPosted();
    void runDueTimers();
    [[nodiscard]] std::int64_t msUntilNextTimer() const;

    Clock& m_clock;
    std::deque<Task> m_posted;
    std::map<TimerId, Timer> m_timers;
    std::map<WatchId, Watch> m_watches;
    std::uint64_t m_nextId = 1;
    bool m_quit = false;
};

}  // namespace pellix
