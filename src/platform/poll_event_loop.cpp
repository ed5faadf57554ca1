#include "pellix/poll_event_loop.h"

#include "platform/descriptor.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <vector>

namespace pellix {

namespace {

Clock& systemClock()
{
    static SystemClock clock;
    return clock;
}

}  // namespace

PollEventLoop::PollEventLoop() : m_clock(systemClock()) {}

PollEventLoop::PollEventLoop(Clock& clock) : m_clock(clock) {}

PollEventLoop::~PollEventLoop() = default;

void PollEventLoop::post(Task task)
{
    m_posted.push_back(std::move(task));
}

EventLoop::TimerId PollEventLoop::startTimer(std::int64_t delayMs, Task task)
{
    TimerId id = m_nextId++;
    m_timers.emplace(id, Timer{m_clock.nowMs() + std::max<std::int64_t>(delayMs, 0), 0,
                               std::make_shared<Task>(std::move(task))});
    return id;
}

EventLoop::TimerId PollEventLoop::startRepeatingTimer(std::int64_t intervalMs, Task task)
{
    intervalMs = std::max<std::int64_t>(intervalMs, 1);
    TimerId id = m_nextId++;
    m_timers.emplace(id, Timer{m_clock.nowMs() + intervalMs, intervalMs, std::make_shared<Task>(std::move(task))});
    return id;
}

void PollEventLoop::cancelTimer(TimerId id)
{
    m_timers.erase(id);
}

EventLoop::WatchId PollEventLoop::watchFd(int fd, unsigned events, std::function<void(unsigned)> handler)
{
    WatchId id = m_nextId++;
    m_watches.emplace(id, Watch{fd, events, std::make_shared<std::function<void(unsigned)>>(std::move(handler))});
    return id;
}

void PollEventLoop::setWatchEvents(WatchId id, unsigned events)
{
    if (auto it = m_watches.find(id); it != m_watches.end()) {
        it->second.events = events;
    }
}

void PollEventLoop::unwatchFd(WatchId id)
{
    m_watches.erase(id);
}

void PollEventLoop::runPending()
{
    dispatch(0);
}

void PollEventLoop::runOnce(std::int64_t maxWaitMs)
{
    std::int64_t wait = nextTimeoutMs();
    if (maxWaitMs >= 0 && (wait < 0 || wait > maxWaitMs)) {
        wait = maxWaitMs;
    }
    dispatch(wait);
}

void PollEventLoop::run()
{
    m_quit = false;
    while (!m_quit) {
        runOnce(-1);
    }
}

void PollEventLoop::quit()
{
    m_quit = true;
}

void PollEventLoop::runUntilIdle()
{
    m_quit = false;
    while (!m_quit && !idle()) {
        runOnce(-1);
    }
}

bool PollEventLoop::idle() const
{
    return m_posted.empty() && m_timers.empty() && m_watches.empty();
}

std::vector<WatchedFd> PollEventLoop::descriptors() const
{
    std::vector<WatchedFd> out;
    out.reserve(m_watches.size());
    for (const auto& [id, watch] : m_watches) {
        out.push_back(WatchedFd{watch.fd, watch.events});
    }
    return out;
}

std::int64_t PollEventLoop::nextTimeoutMs() const
{
    return m_posted.empty() ? msUntilNextTimer() : 0;
}

std::int64_t PollEventLoop::msUntilNextTimer() const
{
    if (m_timers.empty()) {
        return -1;
    }
    std::int64_t next = std::numeric_limits<std::int64_t>::max();
    for (const auto& [id, timer] : m_timers) {
        next = std::min(next, timer.dueMs);
    }
    return std::max<std::int64_t>(next - m_clock.nowMs(), 0);
}

void PollEventLoop::dispatch(std::int64_t pollTimeoutMs)
{
    // Snapshot the watches: handlers may add or remove watches while we run.
    std::vector<std::pair<WatchId, pollfd>> snapshot;
    snapshot.reserve(m_watches.size());
    for (const auto& [id, watch] : m_watches) {
        const short mask = orlavo::platform::pollEventsOf(watch.events);
        if (mask != 0) {
            snapshot.push_back({id, pollfd{watch.fd, mask, 0}});
        }
    }
    std::vector<pollfd> fds;
    fds.reserve(snapshot.size());
    for (const auto& entry : snapshot) {
        fds.push_back(entry.second);
    }
    int timeout = pollTimeoutMs < 0 ? -1 : static_cast<int>(std::min<std::int64_t>(pollTimeoutMs, 1 << 30));
    int ready = ::poll(fds.data(), fds.size(), timeout);
    if (ready > 0) {
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].revents == 0) {
                continue;
            }
            auto it = m_watches.find(snapshot[i].first);
            if (it == m_watches.end()) {
                continue;  // removed by an earlier handler of this round
            }
            const unsigned bits = orlavo::platform::readinessOf(fds[i].revents);
            auto handler = it->second.handler;  // keep alive while it runs
            (*handler)(bits);
        }
    }
    runDueTimers();
    runPosted();
}

void PollEventLoop::runPosted()
{
    std::deque<Task> batch;
    batch.swap(m_posted);
    for (auto& task : batch) {
        task();
    }
}

void PollEventLoop::runDueTimers()
{
    const std::int64_t now = m_clock.nowMs();
    std::vector<TimerId> due;
    for (const auto& [id, timer] : m_timers) {
        if (timer.dueMs <= now) {
            due.push_back(id);
        }
    }
    for (TimerId id : due) {
        auto it = m_timers.find(id);
        if (it == m_timers.end()) {
            continue;  // cancelled by an earlier timer of this round
        }
        auto task = it->second.task;
        if (it->second.intervalMs > 0) {
            // Catch up to the current time without firing the missed periods.
            while (it->second.dueMs <= now) {
                it->second.dueMs += it->second.intervalMs;
            }
        } else {
            m_timers.erase(it);
        }
        (*task)();
    }
}

}  // namespace pellix
