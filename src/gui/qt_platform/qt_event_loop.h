#pragma once
// The models' event loop on top of Qt's: posted tasks, timers and watched
// descriptors become queued calls, QTimers and QSocketNotifiers, so the models
// run unchanged inside the desktop program and window events keep flowing.
#include "platform/event_loop.h"

#include <QObject>

#include <map>
#include <memory>
#include <vector>

class QEventLoop;
class QSocketNotifier;
class QTimer;

namespace orlavo::gui {

class QtEventLoop final : public platform::EventLoop {
public:
    QtEventLoop();
    ~QtEventLoop() override;
    QtEventLoop(const QtEventLoop&) = delete;
    QtEventLoop& operator=(const QtEventLoop&) = delete;

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

private:
    struct Watch {
        int fd = -1;
        unsigned events = 0;
        std::shared_ptr<std::function<void(unsigned)>> handler;
        std::unique_ptr<QSocketNotifier> readable;
        std::unique_ptr<QSocketNotifier> writable;
    };

    TimerId addTimer(std::int64_t ms, bool repeating, Task task);
    void applyEvents(Watch& watch);
    void dispatch(WatchId id);

    QObject m_context;  // owns the timers; queued calls run in its thread
    std::map<TimerId, QTimer*> m_timers;
    std::map<WatchId, Watch> m_watches;
    std::vector<QEventLoop*> m_running;
    TimerId m_nextTimer = 1;
    WatchId m_nextWatch = 1;
};

}  // namespace orlavo::gui
