#include "gui/qt_platform/qt_clock.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace orlavo::gui {

void QtClock::sleep(std::int64_t ms)
{
    if (ms <= 0) {
        return;
    }
    const std::int64_t deadline = nowMs() + ms;
    // A quit of the program ends running loops early: wait again for the rest,
    // so the pacing stays what the sign expects.
    while (true) {
        const std::int64_t left = deadline - nowMs();
        if (left <= 0) {
            return;
        }
        if (QCoreApplication::closingDown() || QCoreApplication::instance() == nullptr) {
            m_system.sleep(left);
            return;
        }
        QEventLoop wait;
        QTimer::singleShot(static_cast<int>(left), Qt::PreciseTimer, &wait, &QEventLoop::quit);
        wait.exec();
    }
}

}  // namespace orlavo::gui
