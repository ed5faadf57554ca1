#include "platform/loop_lookup.h"

#include "platform/descriptor.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace orlavo::platform {

// Shared by the loop and the helper thread; whoever lets go last closes the
// descriptor, so a late answer never writes to a number reused meanwhile.
struct LoopLookup::Handoff {
    std::mutex mutex;
    std::optional<LookupResult> answer;
    int fd = -1;
    ~Handoff() { closeDescriptor(fd); }
};

void LoopLookup::start(const std::string& host, std::int64_t timeoutMs, Done done)
{
    cancel();
    m_done = std::move(done);
    if (auto literal = parseIpLiteral(host)) {
        m_timer = m_loop.startTimer(0, [this, address = *literal] {
            m_timer.reset();
            answer(LookupResult{LookupStatus::Found, {address}, {}});
        });
        return;
    }
    auto handoff = std::make_shared<Handoff>();
    handoff->fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    std::string failure;
    if (handoff->fd < 0) {
        failure = std::system_category().message(errno);
    } else {
        try {
            std::thread([handoff, host] {
                LookupResult result = lookupNow(host);
                std::lock_guard lock(handoff->mutex);
                handoff->answer = std::move(result);
                const std::uint64_t one = 1;
                (void)!::write(handoff->fd, &one, sizeof one);
            }).detach();
        } catch (const std::system_error& error) {
            failure = error.what();
        }
    }
    if (!failure.empty()) {
        m_timer = m_loop.startTimer(0, [this, failure] {
            m_timer.reset();
            answer(LookupResult{LookupStatus::NotFound, {}, failure});
        });
        return;
    }
    m_handoff = std::move(handoff);
    m_watch = m_loop.watchFd(m_handoff->fd, EventLoop::kReadable, [this](unsigned) { takeAnswer(); });
    m_timer = m_loop.startTimer(timeoutMs, [this] {
        m_timer.reset();
        answer(LookupResult{LookupStatus::TimedOut, {}, "lookup timed out"});
    });
}

void LoopLookup::takeAnswer()
{
    std::optional<LookupResult> result;
    {
        std::lock_guard lock(m_handoff->mutex);
        std::uint64_t count = 0;
        (void)!::read(m_handoff->fd, &count, sizeof count);
        result = std::move(m_handoff->answer);
    }
    if (result) {
        answer(std::move(*result));
    }
}

void LoopLookup::answer(LookupResult result)
{
    Done done = std::exchange(m_done, {});
    cancel();
    if (done) {
        done(std::move(result));  // may destroy this object: nothing of it is used after
    }
}

void LoopLookup::cancel()
{
    stopWatching(m_loop, m_watch);
    stopTimer(m_loop, m_timer);
    m_handoff.reset();
    m_done = {};
}

}  // namespace orlavo::platform
