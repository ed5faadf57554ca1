#pragma once
/// @file
/// Time as the library sees it: a monotonic millisecond counter for timeouts,
/// the local wall time, and a blocking sleep. Passed by reference to whatever
/// waits, so tests can drive time by hand.
#include <cstdint>

#include "pellix/export.h"

namespace pellix {

/// A local wall-clock time.
struct LocalTime {
    int year = 1970;  ///< four digits
    int month = 1;    ///< 1-12
    int day = 1;      ///< 1-31
    int hour = 0;     ///< 0-23
    int minute = 0;   ///< 0-59
    int second = 0;   ///< 0-60
};

/// The time source of timeouts and timers.
class PELLIX_API Clock {
public:
    virtual ~Clock() = default;
    /// Milliseconds on a monotonic scale with an arbitrary origin.
    [[nodiscard]] virtual std::int64_t nowMs() const = 0;
    /// The local wall time now.
    [[nodiscard]] virtual LocalTime localTime() const = 0;
    /// Blocks the calling thread; a manual clock only moves its time.
    virtual void sleep(std::int64_t ms) = 0;
};

/// The real clock: CLOCK_MONOTONIC, localtime_r and nanosleep.
class PELLIX_API SystemClock final : public Clock {
public:
    [[nodiscard]] std::int64_t nowMs() const override;
    [[nodiscard]] LocalTime localTime() const override;
    void sleep(std::int64_t ms) override;
};

}  // namespace pellix
