#pragma once
// Termination signals delivered through the event loop. The signals are
// blocked and read from a signalfd, so the handler runs as ordinary code on
// the loop's thread (it may write files, close links, start timers) instead
// of inside an asynchronous signal handler.
#include "platform/event_loop.h"
#include "platform/sys_error.h"

#include <csignal>
#include <functional>
#include <initializer_list>
#include <optional>

namespace orlavo::platform {

// Blocks the signals for the calling thread and the threads it starts from
// now on, so that a watch started later is the only way they arrive.
void blockSignals(std::initializer_list<int> signalNumbers);

class SignalWatch {
public:
    using Handler = std::function<void(int signalNumber)>;

    explicit SignalWatch(EventLoop& loop);
    ~SignalWatch();
    SignalWatch(const SignalWatch&) = delete;
    SignalWatch& operator=(const SignalWatch&) = delete;

    // Blocks the signals for the calling thread and routes them to handler.
    // Call it before starting other threads: threads inherit the mask, so no
    // thread receives the signals the asynchronous way.
    [[nodiscard]] std::optional<SysError> start(std::initializer_list<int> signalNumbers, Handler handler);
    // Stops watching and restores the signal mask that start() changed.
    void stop();

private:
    void readSignals();

    EventLoop& m_loop;
    Handler m_handler;
    int m_fd = -1;
    std::optional<EventLoop::WatchId> m_watch;
    sigset_t m_previousMask{};
};

}  // namespace orlavo::platform
