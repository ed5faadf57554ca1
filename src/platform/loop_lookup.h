#pragma once
// The system's name lookup without holding up the loop: numeric addresses
// come back at once, names go to getaddrinfo on a helper thread whose answer
// reaches the loop through an eventfd the loop watches. A lookup cancelled
// or timed out leaves its thread to finish on its own; the late answer is
// dropped.
#include "platform/event_loop.h"
#include "platform/resolver.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace orlavo::platform {

class LoopLookup {
public:
    using Done = std::function<void(LookupResult)>;

    explicit LoopLookup(EventLoop& loop) : m_loop(loop) {}
    ~LoopLookup() { cancel(); }
    LoopLookup(const LoopLookup&) = delete;
    LoopLookup& operator=(const LoopLookup&) = delete;

    // done runs once, from the loop and never from inside start: with the
    // answer, or TimedOut when timeoutMs passed first. A running lookup is
    // cancelled first.
    void start(const std::string& host, std::int64_t timeoutMs, Done done);
    // done is not called; safe when nothing runs.
    void cancel();

private:
    struct Handoff;
    void answer(LookupResult result);
    void takeAnswer();

    EventLoop& m_loop;
    std::shared_ptr<Handoff> m_handoff;
    std::optional<EventLoop::WatchId> m_watch;
    std::optional<EventLoop::TimerId> m_timer;
    Done m_done;
};

}  // namespace orlavo::platform
