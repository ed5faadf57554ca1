#pragma once
// The one loop every model runs on: posted tasks, timers on the loop's Clock,
// and file descriptors watched for readiness. Everything runs on the thread
// that calls run() or runPending(); handlers may re-enter runPending() (a
// pause inside a handler), so implementations never hold iterators across a
// callback.
#include <cstdint>
#include <functional>

#include "pellix/export.h"

namespace pellix {

/// The loop an RSSComp runs on: posted tasks, timers on the loop's Clock and
/// file descriptors watched for readiness. A host implements it over its own
/// loop (Qt, GLib, libuv), or takes pellix::PollEventLoop.
class PELLIX_API EventLoop {
public:
    using Task = std::function<void()>;
    using TimerId = std::uint64_t;
    using WatchId = std::uint64_t;
    // Readiness bits passed to watchers.
    static constexpr unsigned kReadable = 1;
    static constexpr unsigned kWritable = 2;
    static constexpr unsigned kHangup = 4;  // error or hang-up reported by the OS

    virtual ~EventLoop() = default;

    virtual void post(Task task) = 0;
    // A one-shot timer due delayMs after now.
    virtual TimerId startTimer(std::int64_t delayMs, Task task) = 0;
    // A timer due every intervalMs, the first time intervalMs after now.
    virtual TimerId startRepeatingTimer(std::int64_t intervalMs, Task task) = 0;
    virtual void cancelTimer(TimerId id) = 0;

    // handler receives the readiness bits; it stays registered until unwatchFd.
    virtual WatchId watchFd(int fd, unsigned events, std::function<void(unsigned)> handler) = 0;
    virtual void setWatchEvents(WatchId id, unsigned events) = 0;
    virtual void unwatchFd(WatchId id) = 0;

    // Runs, once each, the tasks posted before the call, the descriptors that
    // are ready now and the timers that are due now. Never blocks.
    virtual void runPending() = 0;
    // Blocks until something is due or ready (at most maxWaitMs, -1 for no
    // limit), then behaves like runPending().
    virtual void runOnce(std::int64_t maxWaitMs) = 0;
    // Runs until quit() is called.
    virtual void run() = 0;
    virtual void quit() = 0;
};

}  // namespace pellix
