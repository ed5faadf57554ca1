#pragma once
// EventLoop on poll(2). Timers follow the Clock it is given, so with a
// ManualClock a test decides when timers are due; descriptors are always
// real (sockets, pipes, pseudo-terminals).
#include "platform/clock.h"
#include "platform/event_loop.h"

#include <deque>
#include <map>
#include <memory>

namespace orlavo::platform {

class PollEventLoop final : public EventLoop {
public:
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

    [[nodiscard]] std::size_t timerCount() const { return m_timers.size(); }
    [[nodiscard]] std::size_t watchCount() const { return m_watches.size(); }

private:
    struct Timer {
        std::int64_t dueMs;
        std::int64_t intervalMs;  // 0 for one-shot
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

}  // namespace orlavo::platform
