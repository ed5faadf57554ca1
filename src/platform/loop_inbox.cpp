#include "platform/loop_inbox.h"

#include "platform/descriptor.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>

namespace orlavo::platform {

// Shared with the posting threads, so a post racing the inbox's end finds it
// closed instead of a freed queue; whoever lets go last closes the eventfd.
struct LoopInbox::Shared {
    std::mutex mutex;
    std::condition_variable answered;
    std::deque<std::function<void()>> tasks;
    bool closed = false;
    int fd = -1;
    ~Shared() { closeDescriptor(fd); }
};

LoopInbox::LoopInbox(EventLoop& loop) : m_loop(loop), m_shared(std::make_shared<Shared>())
{
    m_shared->fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_shared->fd < 0) {
        m_shared->closed = true;  // every post fails: the callers say so
        return;
    }
    m_watch = m_loop.watchFd(m_shared->fd, EventLoop::kReadable, [this](unsigned) { drain(); });
}

LoopInbox::~LoopInbox()
{
    close();
    stopWatching(m_loop, m_watch);
}

bool LoopInbox::post(std::function<void()> task)
{
    std::lock_guard lock(m_shared->mutex);
    if (m_shared->closed || m_shared->tasks.size() >= kMaxPending) {
        return false;
    }
    m_shared->tasks.push_back(std::move(task));
    const std::uint64_t one = 1;
    (void)!::write(m_shared->fd, &one, sizeof one);
    return true;
}

void LoopInbox::close()
{
    std::deque<std::function<void()>> dropped;
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->closed = true;
        dropped.swap(m_shared->tasks);
    }
    // Waiters see their task gone and stop waiting.
    m_shared->answered.notify_all();
}

void LoopInbox::drain()
{
    std::deque<std::function<void()>> tasks;
    {
        std::lock_guard lock(m_shared->mutex);
        std::uint64_t count = 0;
        (void)!::read(m_shared->fd, &count, sizeof count);
        tasks.swap(m_shared->tasks);
    }
    // A task may end the inbox's owner (the last request of a stop): keep the shared part alive and stop at a close.
    const std::shared_ptr<Shared> shared = m_shared;
    for (auto& task : tasks) {
        {
            std::lock_guard lock(shared->mutex);
            if (shared->closed) {
                return;
            }
        }
        task();
    }
}

bool LoopInbox::postAndWait(std::function<void()> task, const std::shared_ptr<Waiter>& waiter,
                            std::chrono::milliseconds timeout)
{
    struct State {
        bool done = false;
    };
    auto state = std::make_shared<State>();
    std::shared_ptr<Shared> shared = m_shared;
    const bool posted = post([shared, state, waiter, task = std::move(task)] {
        task();
        {
            std::lock_guard lock(shared->mutex);
            state->done = true;
        }
        shared->answered.notify_all();
    });
    if (!posted) {
        return false;
    }
    std::unique_lock lock(shared->mutex);
    return shared->answered.wait_for(lock, timeout, [&] { return state->done || shared->closed; }) && state->done;
}

}  // namespace orlavo::platform
