#include "signfeed/sign_schedule.h"

#include "platform/ascii.h"
#include "platform/code_page.h"

#include <array>

namespace orlavo::signfeed {

namespace {

constexpr int kDayMinutes = 1440;
constexpr std::array<std::string_view, 7> kDayNames{"mon", "tue", "wed", "thu", "fri", "sat", "sun"};
constexpr std::array<std::string_view, 7> kFullDayNames{"monday", "tuesday", "wednesday", "thursday",
                                                         "friday", "saturday", "sunday"};

// Howard Hinnant's days_from_civil and civil_from_days.
std::int64_t daysFromCivil(std::int64_t y, int m, int d)
{
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b)
{
    return a / b - ((a % b != 0 && (a < 0) != (b < 0)) ? 1 : 0);
}

// Monday 0 .. Sunday 6; day 0 (1970-01-01) was a Thursday.
int weekdayOf(std::int64_t minutes)
{
    const std::int64_t day = floorDiv(minutes, kDayMinutes);
    return static_cast<int>(((day + 3) % 7 + 7) % 7);
}

std::string_view trim(std::string_view s)
{
    return platform::trimIf(s, platform::isSpaceOrTab);
}

std::vector<std::string_view> splitOn(std::string_view s, char separator)
{
    std::vector<std::string_view> parts;
    for (std::size_t at = 0;;) {
        const std::size_t next = s.find(separator, at);
        parts.push_back(trim(s.substr(at, next == std::string_view::npos ? std::string_view::npos : next - at)));
        if (next == std::string_view::npos) {
            return parts;
        }
        at = next + 1;
    }
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// "7:30", "07:30"; "24:00" only as the end of a window.
std::optional<int> timeOfDay(std::string_view text, bool isEnd)
{
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0 || colon > 2 || text.size() != colon + 3) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i != colon && !isDigit(text[i])) {
            return std::nullopt;
        }
    }
    const int hour = colon == 1 ? text[0] - '0' : (text[0] - '0') * 10 + (text[1] - '0');
    const int minute = (text[colon + 1] - '0') * 10 + (text[colon + 2] - '0');
    if (minute > 59 || hour > 24 || (hour == 24 && (minute != 0 || !isEnd))) {
        return std::nullopt;
    }
    return hour * 60 + minute;
}

std::optional<int> dayOf(std::string_view name)
{
    const std::string lower = platform::asciiLower(name);
    for (int i = 0; i < 7; ++i) {
        if (lower == kDayNames[static_cast<std::size_t>(i)] || lower == kFullDayNames[static_cast<std::size_t>(i)]) {
            return i;
        }
    }
    return std::nullopt;
}

// A value is quoted in a message only in part: the file may hold anything.
std::string quoted(std::string_view text)
{
    constexpr std::size_t kShown = 40;
    return platform::escapeControls(text.size() <= kShown ? text : text.substr(0, kShown)) +
           (text.size() <= kShown ? "" : "...");
}

std::string cannotRead(std::string_view key, std::string_view value, std::string_view part, std::string_view expected)
{
    return "[Schedule] " + std::string(key) + "=" + quoted(value) + " cannot be read: \"" + quoted(part) +
           "\" is not " + std::string(expected) + "; the sign stays on at all hours";
}

}  // namespace

std::int64_t wallMinutes(const platform::LocalTime& time)
{
    return daysFromCivil(time.year, time.month, time.day) * kDayMinutes + time.hour * 60 + time.minute;
}

platform::LocalTime wallTimeOf(std::int64_t minutes)
{
    const std::int64_t z = floorDiv(minutes, kDayMinutes) + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const int year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
    const int ofDay = static_cast<int>(minutes - floorDiv(minutes, kDayMinutes) * kDayMinutes);
    return platform::LocalTime{year, month, day, ofDay / 60, ofDay % 60, 0};
}

bool SignSchedule::isOn(const platform::LocalTime& time) const
{
    return isOnAt(wallMinutes(time));
}

bool SignSchedule::isOnAt(std::int64_t minute) const
{
    const int weekday = weekdayOf(minute);
    const int yesterday = (weekday + 6) % 7;
    const int ofDay = static_cast<int>(minute - floorDiv(minute, kDayMinutes) * kDayMinutes);
    if (m_windows.empty()) {
        return onDay(weekday);
    }
    for (const Window& w : m_windows) {
        const bool on = w.start < w.end ? onDay(weekday) && ofDay >= w.start && ofDay < w.end
                                        : (onDay(weekday) && ofDay >= w.start) || (onDay(yesterday) && ofDay < w.end);
        if (on) {
            return true;
        }
    }
    return false;
}

std::optional<platform::LocalTime> SignSchedule::nextChange(const platform::LocalTime& from) const
{
    const std::int64_t start = wallMinutes(from);
    const bool now = isOnAt(start);
    // The pattern repeats every week, so a change comes within eight days or never.
    for (std::int64_t minute = start + 1; minute <= start + 8 * kDayMinutes; ++minute) {
        if (isOnAt(minute) != now) {
            return wallTimeOf(minute);
        }
    }
    return std::nullopt;
}

ScheduleReading readSchedule(std::string_view hours, std::string_view days)
{
    ScheduleReading reading;
    SignSchedule schedule;
    hours = trim(hours);
    days = trim(days);
    if (!hours.empty()) {
        const std::vector<std::string_view> items = splitOn(hours, ',');
        if (items.size() > kMaxHoursWindows) {
            reading.problem = "[Schedule] Hours has " + std::to_string(items.size()) + " windows, more than " +
                              std::to_string(kMaxHoursWindows) + "; the sign stays on at all hours";
            return reading;
        }
        for (std::string_view item : items) {
            const std::size_t dash = item.find('-');
            const std::optional<int> start =
                dash == std::string_view::npos ? std::nullopt : timeOfDay(trim(item.substr(0, dash)), false);
            const std::optional<int> end =
                dash == std::string_view::npos ? std::nullopt : timeOfDay(trim(item.substr(dash + 1)), true);
            if (!start || !end || *start == *end) {
                reading.problem = cannotRead("Hours", hours, item, "a time window such as 07:30-18:00");
                return reading;
            }
            schedule.m_windows.push_back(SignSchedule::Window{*start, *end});
        }
    }
    if (!days.empty()) {
        schedule.m_days = 0;
        for (std::string_view item : splitOn(days, ',')) {
            const std::size_t dash = item.find('-');
            const std::optional<int> first = dayOf(trim(item.substr(0, dash)));
            const std::optional<int> last =
                dash == std::string_view::npos ? first : dayOf(trim(item.substr(dash + 1)));
            if (!first || !last) {
                reading.problem = cannotRead("Days", days, item, "a day such as Mon or a range such as Mon-Fri");
                return reading;
            }
            // A range runs forward through the week: Fri-Mon is Friday to Monday.
            for (int day = *first;; day = (day + 1) % 7) {
                schedule.m_days = static_cast<std::uint8_t>(schedule.m_days | 1U << day);
                if (day == *last) {
                    break;
                }
            }
        }
    }
    reading.schedule = schedule;
    return reading;
}

}  // namespace orlavo::signfeed
