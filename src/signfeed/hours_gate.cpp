#include "signfeed/hours_gate.h"

#include "shared/settings.h"

#include <fmt/format.h>

#include <array>

namespace orlavo::signfeed {

namespace {

// When the clocks go back, the hour that repeats was decided already.
constexpr std::int64_t kRepeatedMinutes = 60;

}  // namespace

HoursGate::Step HoursGate::step(const platform::ProfileFile& settings, const platform::LocalTime& now)
{
    ScheduleReading reading =
        readSchedule(readIni(settings, "Schedule", "Hours", ""), readIni(settings, "Schedule", "Days", ""));
    m_newProblem = reading.problem != m_problem ? reading.problem : std::string();
    m_problem = reading.problem;
    m_schedule = reading.schedule;

    std::int64_t minute = wallMinutes(now);
    if (m_lastMinute && minute < *m_lastMinute && *m_lastMinute - minute <= kRepeatedMinutes) {
        minute = *m_lastMinute;
    }
    m_lastMinute = minute;
    const bool on = m_schedule.isOn(wallTimeOf(minute));
    // Before the first step the sign may still show headlines from before:
    // outside the hours it goes dark at once.
    const bool was = m_on.value_or(true);
    m_on = on;
    if (on == was) {
        return on ? Step::On : Step::Off;
    }
    return on ? Step::Began : Step::Ended;
}

std::string HoursGate::nextStart() const
{
    constexpr std::array<const char*, 7> kDays{"Thu", "Fri", "Sat", "Sun", "Mon", "Tue", "Wed"};
    const std::optional<platform::LocalTime> next =
        m_lastMinute ? m_schedule.nextChange(wallTimeOf(*m_lastMinute)) : std::nullopt;
    if (!next) {
        return "never";  // not reached: every schedule read has hours
    }
    const std::int64_t day = wallMinutes(*next) / 1440;  // day 0 was a Thursday
    return fmt::format("{} {:02}:{:02}", kDays[static_cast<std::size_t>((day % 7 + 7) % 7)], next->hour, next->minute);
}

}  // namespace orlavo::signfeed
