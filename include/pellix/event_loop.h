#pragma once
/// @file
/// The loop interface: what RSSComp needs from the loop it runs on.
#include <cstdint>
#include <functional>

#include "pellix/export.h"

namespace pellix {

/// The loop an RSSComp runs on: posted tasks, timers on the loop's Clock and
/// file descriptors watched for readiness. A host implements it over its own
/// loop (Qt, GLib, libuv), or takes pellix::PollEventLoop.
///
/// Everything runs on the thread that runs the loop; handlers may re-enter
/// runPending() (a pause inside a handler), so an implementation never holds
/// iterators across a callback.
class PELLIX_API EventLoop {
public:
    /// Work the loop runs later, on its thread.
    using Task = std::function<void()>;
    /// Names a timer for cancelTimer.
    using TimerId = std::uint64_t;
    /// Names a descriptor watch for setWatchEvents and unwatchFd.
    using WatchId = std::uint64_t;
    static constexpr unsigned kReadable = 1;  ///< readiness bit: data to read, or the peer closed
    static constexpr unsigned kWritable = 2;  ///< readiness bit: room to write
    static constexpr unsigned kHangup = 4;    ///< readiness bit: error or hang-up reported by the OS

    virtual ~EventLoop() = default;

    /// Runs task once, from the loop, after the current handler returned.
    virtual void post(Task task) = 0;
    /// A one-shot timer due delayMs after now.
    virtual TimerId startTimer(std::int64_t delayMs, Task task) = 0;
    /// A timer due every intervalMs, the first time intervalMs after now.
    virtual TimerId startRepeatingTimer(std::int64_t intervalMs, Task task) = 0;
    /// The timer does not fire (again); unknown ids are ignored.
    virtual void cancelTimer(TimerId id) = 0;

    /// handler receives the readiness bits; it stays registered until unwatchFd.
    virtual WatchId watchFd(int fd, unsigned events, std::function<void(unsigned)> handler) = 0;
    /// Changes which readiness bits the watch waits for (0: none for now).
    virtual void setWatchEvents(WatchId id, unsigned events) = 0;
    /// Ends the watch; its handler is not called again.
    virtual void unwatchFd(WatchId id) = 0;

    /// Runs, once each, the tasks posted before the call, the descriptors that
    /// are ready now and the timers that are due now. Never blocks.
    virtual void runPending() = 0;
    /// Blocks until something is due or ready (at most maxWaitMs, -1 for no
    /// limit), then behaves like runPending().
    virtual void runOnce(std::int64_t maxWaitMs) = 0;
    /// Runs until quit() is called.
    virtual void run() = 0;
    /// Makes run() return after the current handler.
    virtual void quit() = 0;
};

}  // namespace pellix
