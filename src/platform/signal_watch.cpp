#include "platform/signal_watch.h"

#include "platform/descriptor.h"

#include <cerrno>
#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace orlavo::platform {

namespace {

sigset_t maskOf(std::initializer_list<int> signalNumbers)
{
    sigset_t mask;
    sigemptyset(&mask);
    for (int s : signalNumbers) {
        sigaddset(&mask, s);
    }
    return mask;
}

}  // namespace

void blockSignals(std::initializer_list<int> signalNumbers)
{
    const sigset_t mask = maskOf(signalNumbers);
    pthread_sigmask(SIG_BLOCK, &mask, nullptr);
}

SignalWatch::SignalWatch(EventLoop& loop) : m_loop(loop) {}

SignalWatch::~SignalWatch()
{
    stop();
}

std::optional<SysError> SignalWatch::start(std::initializer_list<int> signalNumbers, Handler handler)
{
    stop();
    const sigset_t mask = maskOf(signalNumbers);
    if (int rc = pthread_sigmask(SIG_BLOCK, &mask, &m_previousMask); rc != 0) {
        return sysErrorFromErrno(rc, "cannot block signals");
    }
    m_fd = ::signalfd(-1, &mask, SFD_NONBLOCK | SFD_CLOEXEC);
    if (m_fd < 0) {
        SysError error = sysErrorFromErrno(errno, "cannot watch signals");
        pthread_sigmask(SIG_SETMASK, &m_previousMask, nullptr);
        return error;
    }
    m_handler = std::move(handler);
    m_watch = m_loop.watchFd(m_fd, EventLoop::kReadable, [this](unsigned) { readSignals(); });
    return std::nullopt;
}

void SignalWatch::stop()
{
    if (!closeWatchedDescriptor(m_loop, m_watch, m_fd)) {
        return;
    }
    m_handler = nullptr;
    pthread_sigmask(SIG_SETMASK, &m_previousMask, nullptr);
}

void SignalWatch::readSignals()
{
    // A handler may call stop(); the copy keeps it alive for this delivery.
    Handler handler = m_handler;
    while (m_fd >= 0) {
        signalfd_siginfo info{};
        ssize_t n = ::read(m_fd, &info, sizeof info);
        if (n != static_cast<ssize_t>(sizeof info)) {
            return;  // drained (EAGAIN) or interrupted: the next readiness reads on
        }
        if (handler) {
            handler(static_cast<int>(info.ssi_signo));
        }
    }
}

}  // namespace orlavo::platform
