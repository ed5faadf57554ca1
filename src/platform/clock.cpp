#include "pellix/clock.h"

#include <cerrno>
#include <ctime>

namespace pellix {

namespace {
LocalTime fromTm(const std::tm& tm)
{
    return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}
}  // namespace

std::int64_t SystemClock::nowMs() const
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1'000'000;
}

LocalTime SystemClock::localTime() const
{
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return fromTm(tm);
}

void SystemClock::sleep(std::int64_t ms)
{
    if (ms <= 0) {
        return;
    }
    timespec req{static_cast<std::time_t>(ms / 1000), static_cast<long>((ms % 1000) * 1'000'000)};
    timespec rem{};
    // Signals interrupt nanosleep; finish the pause anyway.
    while (nanosleep(&req, &rem) != 0 && errno == EINTR) {
        req = rem;
    }
}

}  // namespace pellix
