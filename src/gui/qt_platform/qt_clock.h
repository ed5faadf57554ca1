#pragma once
// The system clock whose pause keeps the window alive: a wait runs Qt's
// events (paints, clicks, sockets, timers) until its deadline instead of
// blocking, so a 40-second frame in clock packets never freezes the window.
#include "platform/clock.h"

namespace orlavo::gui {

class QtClock final : public platform::Clock {
public:
    [[nodiscard]] std::int64_t nowMs() const override { return m_system.nowMs(); }
    [[nodiscard]] platform::LocalTime localTime() const override { return m_system.localTime(); }
    void sleep(std::int64_t ms) override;

private:
    platform::SystemClock m_system;
};

}  // namespace orlavo::gui
