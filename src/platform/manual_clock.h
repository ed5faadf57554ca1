#pragma once
// A clock whose time moves only when its owner says so: advance() or sleep().
// Every sleep is recorded, so a test can assert the pacing of a sequence
// without waiting for it.
#include "platform/clock.h"

#include <vector>

namespace orlavo::platform {

class ManualClock final : public Clock {
public:
    // Wall time starts at 2026-01-01 12:00:00 unless set.
    ManualClock();

    [[nodiscard]] std::int64_t nowMs() const override { return m_nowMs; }
    [[nodiscard]] LocalTime localTime() const override;
    void sleep(std::int64_t ms) override;

    void advance(std::int64_t ms);
    void setLocalTime(const LocalTime& time);
    // A time zone as its changes of UTC offset: from utcSeconds on, local
    // time is UTC + offsetSeconds (the first change holds before it, too).
    // Lets a test cross the clocks going forward and back.
    struct OffsetChange {
        std::int64_t utcSeconds = 0;
        int offsetSeconds = 0;
    };
    // Keeps the local time shown now (the earlier one when it repeats).
    void setZone(std::vector<OffsetChange> changes);
    [[nodiscard]] const std::vector<std::int64_t>& sleeps() const { return m_sleeps; }
    void clearSleeps() { m_sleeps.clear(); }

private:
    [[nodiscard]] int offsetAt(std::int64_t utcSeconds) const;

    std::int64_t m_nowMs = 0;
    std::int64_t m_wallBaseSeconds = 0;  // wall seconds at m_nowMs == m_wallBaseMs
    std::int64_t m_wallBaseMs = 0;
    std::vector<std::int64_t> m_sleeps;
    std::vector<OffsetChange> m_zone;  // sorted; empty: local time is UTC
};

}  // namespace orlavo::platform
