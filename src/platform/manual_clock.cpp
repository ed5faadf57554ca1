#include "platform/manual_clock.h"

#include <ctime>

namespace orlavo::platform {

namespace {
LocalTime fromTm(const std::tm& tm)
{
    return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}
}  // namespace

ManualClock::ManualClock()
{
    setLocalTime(LocalTime{2026, 1, 1, 12, 0, 0});
}

LocalTime ManualClock::localTime() const
{
    const std::int64_t utc = m_wallBaseSeconds + (m_nowMs - m_wallBaseMs) / 1000;
    std::time_t seconds = static_cast<std::time_t>(utc + offsetAt(utc));
    std::tm tm{};
    gmtime_r(&seconds, &tm);
    return fromTm(tm);
}

void ManualClock::sleep(std::int64_t ms)
{
    m_sleeps.push_back(ms);
    advance(ms);
}

void ManualClock::advance(std::int64_t ms)
{
    if (ms > 0) {
        m_nowMs += ms;
    }
}

void ManualClock::setLocalTime(const LocalTime& time)
{
    std::tm tm{};
    tm.tm_year = time.year - 1900;
    tm.tm_mon = time.month - 1;
    tm.tm_mday = time.day;
    tm.tm_hour = time.hour;
    tm.tm_min = time.minute;
    tm.tm_sec = time.second;
    const std::int64_t wall = timegm(&tm);
    m_wallBaseSeconds = wall - offsetAt(wall);
    for (const OffsetChange& change : m_zone) {
        if (offsetAt(wall - change.offsetSeconds) == change.offsetSeconds) {
            m_wallBaseSeconds = wall - change.offsetSeconds;
            break;
        }
    }
    m_wallBaseMs = m_nowMs;
}

void ManualClock::setZone(std::vector<OffsetChange> changes)
{
    const LocalTime shown = localTime();
    m_zone = std::move(changes);
    setLocalTime(shown);
}

int ManualClock::offsetAt(std::int64_t utcSeconds) const
{
    int offset = m_zone.empty() ? 0 : m_zone.front().offsetSeconds;
    for (const OffsetChange& change : m_zone) {
        if (change.utcSeconds <= utcSeconds) {
            offset = change.offsetSeconds;
        }
    }
    return offset;
}

}  // namespace orlavo::platform
