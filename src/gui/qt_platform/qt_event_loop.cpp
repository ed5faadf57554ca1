#include "gui/qt_platform/qt_event_loop.h"
#include "platform/descriptor.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace orlavo::gui {

namespace {

int clampMs(std::int64_t ms)
{
    return static_cast<int>(std::clamp<std::int64_t>(ms, 0, 24LL * 3600 * 1000));
}

}  // namespace

QtEventLoop::QtEventLoop() = default;

QtEventLoop::~QtEventLoop()
{
    for (auto& [id, timer] : m_timers) {
        delete timer;
    }
}

void QtEventLoop::post(Task task)
{
    QMetaObject::invokeMethod(&m_context, std::move(task), Qt::QueuedConnection);
}

platform::EventLoop::TimerId QtEventLoop::startTimer(std::int64_t delayMs, Task task)
{
    return addTimer(delayMs, false, std::move(task));
}

platform::EventLoop::TimerId QtEventLoop::startRepeatingTimer(std::int64_t intervalMs, Task task)
{
    return addTimer(intervalMs, true, std::move(task));
}

platform::EventLoop::TimerId QtEventLoop::addTimer(std::int64_t ms, bool repeating, Task task)
{
    const TimerId id = m_nextTimer++;
    auto* timer = new QTimer(&m_context);
    timer->setTimerType(Qt::PreciseTimer);
    timer->setSingleShot(!repeating);
    timer->setInterval(clampMs(ms));
    QObject::connect(timer, &QTimer::timeout, &m_context, [this, id, repeating, task = std::move(task)] {
        if (!repeating) {
            // Forget it first: the task may start or cancel timers itself.
            if (auto it = m_timers.find(id); it != m_timers.end()) {
                it->second->deleteLater();
                m_timers.erase(it);
            }
        }
        task();
    });
    m_timers.emplace(id, timer);
    timer->start();
    return id;
}

void QtEventLoop::cancelTimer(TimerId id)
{
    if (auto it = m_timers.find(id); it != m_timers.end()) {
        it->second->stop();
        it->second->deleteLater();
        m_timers.erase(it);
    }
}

platform::EventLoop::WatchId QtEventLoop::watchFd(int fd, unsigned events, std::function<void(unsigned)> handler)
{
    const WatchId id = m_nextWatch++;
    Watch& watch = m_watches[id];
    watch.fd = fd;
    watch.events = events;
    watch.handler = std::make_shared<std::function<void(unsigned)>>(std::move(handler));
    watch.readable = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    watch.writable = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    for (QSocketNotifier* notifier : {watch.readable.get(), watch.writable.get()}) {
        QObject::connect(notifier, &QSocketNotifier::activated, &m_context, [this, id] { dispatch(id); });
    }
    applyEvents(watch);
    return id;
}

void QtEventLoop::setWatchEvents(WatchId id, unsigned events)
{
    if (auto it = m_watches.find(id); it != m_watches.end()) {
        it->second.events = events;
        applyEvents(it->second);
    }
}

void QtEventLoop::unwatchFd(WatchId id)
{
    if (auto it = m_watches.find(id); it != m_watches.end()) {
        // The notifiers may be the ones whose signal is running: delete them later.
        it->second.readable.release()->deleteLater();
        it->second.writable.release()->deleteLater();
        m_watches.erase(it);
    }
}

void QtEventLoop::applyEvents(Watch& watch)
{
    // A handler asleep in a pause must not be entered again for the same
    // readiness, so the notifiers stay off while it runs (see dispatch).
    watch.readable->setEnabled((watch.events & kReadable) != 0);
    watch.writable->setEnabled((watch.events & kWritable) != 0);
}

void QtEventLoop::dispatch(WatchId id)
{
    auto it = m_watches.find(id);
    if (it == m_watches.end()) {
        return;
    }
    Watch& watch = it->second;
    // A notifier says only "readable" or "writable"; the handlers also want
    // to know about errors and hang-ups, so ask the descriptor itself.
    const unsigned bits = platform::readiness(watch.fd, watch.events | kReadable);
    const unsigned wanted = bits & (watch.events | kHangup);
    if (wanted == 0) {
        return;
    }
    auto handler = watch.handler;  // the watch may go away inside the call
    watch.readable->setEnabled(false);
    watch.writable->setEnabled(false);
    (*handler)(wanted);
    if (auto again = m_watches.find(id); again != m_watches.end()) {
        applyEvents(again->second);
    }
}

void QtEventLoop::runPending()
{
    // Posted tasks, ready descriptors, due timers and window events, once.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtEventLoop::runOnce(std::int64_t maxWaitMs)
{
    if (maxWaitMs < 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        return;
    }
    // Wakes the wait at the latest after maxWaitMs.
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(clampMs(maxWaitMs));
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void QtEventLoop::run()
{
    QEventLoop loop;
    m_running.push_back(&loop);
    loop.exec();
    m_running.pop_back();
}

void QtEventLoop::quit()
{
    if (!m_running.empty()) {
        m_running.back()->quit();
    }
}

}  // namespace orlavo::gui
