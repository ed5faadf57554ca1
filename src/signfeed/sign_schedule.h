#pragma once
// A sign's hours: the [Schedule] keys Hours (time windows of the day) and
// Days (the days they apply on). A window that runs past midnight belongs to
// the day it starts on. Pure: the caller passes the local time.
#include "platform/clock.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orlavo::signfeed {

struct ScheduleReading;

class SignSchedule {
public:
    // Minutes of the day; start > end runs past midnight, end may be 1440 (24:00).
    struct Window {
        int start = 0;
        int end = 1440;
    };

    // Always on.
    SignSchedule() = default;

    [[nodiscard]] bool alwaysOn() const { return m_windows.empty() && m_days == kEveryDay; }
    [[nodiscard]] bool isOn(const platform::LocalTime& time) const;
    // The first whole minute after `from` at which isOn changes, in local
    // wall time; none when it never changes.
    [[nodiscard]] std::optional<platform::LocalTime> nextChange(const platform::LocalTime& from) const;

private:
    friend ScheduleReading readSchedule(std::string_view hours, std::string_view days);
    static constexpr std::uint8_t kEveryDay = 0x7f;

    [[nodiscard]] bool onDay(int weekday) const { return (m_days >> weekday & 1) != 0; }
    [[nodiscard]] bool isOnAt(std::int64_t minute) const;

    std::vector<Window> m_windows;  // empty: the whole day
    std::uint8_t m_days = kEveryDay;  // bit 0: Monday
};

struct ScheduleReading {
    SignSchedule schedule;  // always on when a value cannot be read
    std::string problem;    // why not, naming the key and the value; empty when read
};

// Hours: "07:30-18:00", several joined by commas; Days: "Mon-Fri",
// "Mon,Wed,Fri", "Fri-Mon". An empty value sets no limit. At most
// kMaxHoursWindows windows.
inline constexpr std::size_t kMaxHoursWindows = 48;
[[nodiscard]] ScheduleReading readSchedule(std::string_view hours, std::string_view days);

// Minutes since 1970-01-01 00:00 of a local wall time, and back; 0 is a Thursday.
[[nodiscard]] std::int64_t wallMinutes(const platform::LocalTime& time);
[[nodiscard]] platform::LocalTime wallTimeOf(std::int64_t minutes);

}  // namespace orlavo::signfeed
