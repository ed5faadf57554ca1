#pragma once
// What a sign's hours ask of the update cycle at each tick: carry on, stay
// dark, go dark now (one blank frame) or light up now (an update at once).
// The [Schedule] keys are read at every step, so an edited file counts from
// the next tick; a value that cannot be read is reported once and leaves the
// sign on at all hours.
#include "platform/clock.h"
#include "platform/profile_file.h"
#include "signfeed/sign_schedule.h"

#include <cstdint>
#include <optional>
#include <string>

namespace orlavo::signfeed {

class HoursGate {
public:
    enum class Step { On, Off, Began, Ended };

    Step step(const platform::ProfileFile& settings, const platform::LocalTime& now);
    // Inside the hours at the last step (before any step: yes).
    [[nodiscard]] bool on() const { return m_on.value_or(true); }
    // The problem with the keys found by the last step, when it is new;
    // empty otherwise.
    [[nodiscard]] const std::string& newProblem() const { return m_newProblem; }
    // When the hours begin next, "Mon 07:30" (local wall time).
    [[nodiscard]] std::string nextStart() const;

private:
    SignSchedule m_schedule;
    std::optional<bool> m_on;
    std::optional<std::int64_t> m_lastMinute;  // the latest local minute a step decided on
    std::string m_problem;
    std::string m_newProblem;
};

}  // namespace orlavo::signfeed
