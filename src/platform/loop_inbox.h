#pragma once
// Work handed to the loop from other threads (a web request's handler, a
// broker's message): post() may be called from any thread; the tasks run on
// the loop, one after another, in the order posted. The queue is bounded so a
// flood of requests cannot grow it without end; once the inbox is closed (or
// destroyed) posting fails and nothing more runs.
#include "platform/event_loop.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace orlavo::platform {

class LoopInbox {
public:
    static constexpr std::size_t kMaxPending = 1024;

    explicit LoopInbox(EventLoop& loop);
    ~LoopInbox();
    LoopInbox(const LoopInbox&) = delete;
    LoopInbox& operator=(const LoopInbox&) = delete;

    // False (and the task dropped) when the inbox is closed or full.
    bool post(std::function<void()> task);
    // Runs task on the loop and waits for its answer, at most timeout; empty
    // when it could not be posted or took too long (a late answer is
    // dropped). Never call it from the loop's own thread.
    template <typename T>
    std::optional<T> call(std::function<T()> task, std::chrono::milliseconds timeout);
    // Posting fails from now on; tasks not run yet are dropped.
    void close();

private:
    struct Shared;
    struct Waiter;
    [[nodiscard]] bool postAndWait(std::function<void()> task, const std::shared_ptr<Waiter>& waiter,
                                   std::chrono::milliseconds timeout);
    void drain();

    EventLoop& m_loop;
    std::shared_ptr<Shared> m_shared;
    std::optional<EventLoop::WatchId> m_watch;
};

struct LoopInbox::Waiter {
    virtual ~Waiter() = default;
};

template <typename T>
std::optional<T> LoopInbox::call(std::function<T()> task, std::chrono::milliseconds timeout)
{
    struct Answer final : Waiter {
        std::optional<T> value;
    };
    auto answer = std::make_shared<Answer>();
    const bool answered = postAndWait([answer, task = std::move(task)] { answer->value = task(); }, answer, timeout);
    if (!answered) {
        return std::nullopt;
    }
    return std::move(answer->value);
}

}  // namespace orlavo::platform
