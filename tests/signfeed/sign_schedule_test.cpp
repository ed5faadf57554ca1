// A sign's hours: reading the [Schedule] keys, the changes through a week,
// the clocks going forward and back, and the gate in the real update cycle.
#include "signfeed/hours_gate.h"
#include "signfeed/sign_schedule.h"
#include "support/fake_program.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <tuple>
#include <vector>

using namespace orlavo;
using namespace orlavo::signfeed;
using Strings = std::vector<std::string>;

namespace {

std::string dayAndTime(const platform::LocalTime& t)
{
    constexpr std::array<const char*, 7> kDays{"Thu", "Fri", "Sat", "Sun", "Mon", "Tue", "Wed"};
    char hhmm[8];
    std::snprintf(hhmm, sizeof hhmm, "%02d:%02d", t.hour, t.minute);
    return kDays[static_cast<std::size_t>(wallMinutes(t) / 1440 % 7)] + std::string(" ") + hhmm;
}

std::string settingsWith(const std::string& hours, const std::string& days, const std::string& more = "")
{
    return "[CommMethod]\r\nETHERNET=1\r\nRGBDISPLAY=0\r\nRSSLISTOP0=False\r\nRSSLISTOP1=True\r\n" + more +
           "[AccessPoint]\r\nACCESSPOINTIP0=\r\nACCESSPOINTIP1=\r\n[Schedule]\r\nHours=" + hours + "\r\nDays=" + days +
           "\r\n";
}

// Berlin in 2026: clocks forward at 01:00 UTC on 29 March, back on 25 October.
const std::vector<platform::ManualClock::OffsetChange> kBerlin2026{
    {0, 3600}, {1'774'746'000, 7200}, {1'792'890'000, 3600}};

}  // namespace

TEST(SignSchedule, ReadsValuesAndNamesWhatItCannotRead)
{
    const std::string many = [] {
        std::string s = "00:00-00:01";
        for (int i = 1; i < 49; ++i) {
            s += ",00:00-00:01";
        }
        return s;
    }();
    struct Row {
        std::string hours, days, problem;
    };
    for (const Row& row : std::vector<Row>{
             {"07:30-18:00", "Mon-Fri", ""},
             {" 7:30 - 18:00 ,20:00-24:00", "mon, WED,Friday", ""},
             {"00:00-24:00", "Fri-Mon", ""},
             {"7.30-18:00", "", "[Schedule] Hours=7.30-18:00 cannot be read: \"7.30-18:00\" is not a time window such "
                                "as 07:30-18:00; the sign stays on at all hours"},
             {"07:30", "", "\"07:30\" is not a time window"},
             {"07:30-18:00,", "", "\"\" is not a time window"},
             {"18:60-19:00", "", "\"18:60-19:00\""},
             {"24:00-06:00", "", "\"24:00-06:00\""},
             {"08:00-08:00", "", "\"08:00-08:00\""},
             {"08:00-007:00", "", "\"08:00-007:00\""},
             {"", "Mon-Fry", "[Schedule] Days=Mon-Fry cannot be read: \"Mon-Fry\" is not a day such as Mon"},
             {"", "Mon,,Fri", "\"\" is not a day"},
             {many, "", "Hours has 49 windows, more than 48"},
         }) {
        const ScheduleReading reading = readSchedule(row.hours, row.days);
        if (row.problem.empty()) {
            EXPECT_EQ(reading.problem, "") << row.hours << " / " << row.days;
        } else {
            EXPECT_NE(reading.problem.find(row.problem), std::string::npos) << reading.problem;
            EXPECT_TRUE(reading.schedule.alwaysOn()) << "a typo never leaves a sign dark: " << row.hours;
        }
    }
}

// The gate stepped once a minute of real time, through a week and while the
// local clock jumps; each time it goes dark it names the next start right.
TEST(SignSchedule, StepsThroughAWeekAndBothClockChanges)
{
    struct Row {
        std::string hours, days;
        platform::LocalTime start;
        int minutes;
        Strings steps;
    };
    const platform::LocalTime monday{2026, 1, 5, 0, 0, 0};
    const int week = 7 * 1440;
    for (const Row& row : std::vector<Row>{
             {"07:30-18:00", "Mon-Fri", monday, week,
              {"Mon 00:00 ended", "Mon 07:30 began", "Mon 18:00 ended", "Tue 07:30 began", "Tue 18:00 ended",
               "Wed 07:30 began", "Wed 18:00 ended", "Thu 07:30 began", "Thu 18:00 ended", "Fri 07:30 began",
               "Fri 18:00 ended"}},
             // An overnight window belongs to the day it starts on.
             {"22:00-06:00", "Fri,Sun", monday, week,
              {"Mon 06:00 ended", "Fri 22:00 began", "Sat 06:00 ended", "Sun 22:00 began"}},
             {"07:00-09:00,17:00-19:00", "Sat-Sun", monday, week,
              {"Mon 00:00 ended", "Sat 07:00 began", "Sat 09:00 ended", "Sat 17:00 began", "Sat 19:00 ended",
               "Sun 07:00 began", "Sun 09:00 ended", "Sun 17:00 began", "Sun 19:00 ended"}},
             {"", "Fri-Mon", monday, week, {"Tue 00:00 ended", "Fri 00:00 began"}},
             {"20:00-24:00,00:00-02:00", "Wed", monday, week,
              {"Mon 00:00 ended", "Wed 00:00 began", "Wed 02:00 ended", "Wed 20:00 began", "Thu 00:00 ended"}},
             {"", "", monday, week, {}},
             // 02:00-03:00 does not exist on 29 March: edges in it happen at 03:00.
             {"02:30-04:00", "", {2026, 3, 29, 0, 0, 0}, 300, {"Sun 00:00 ended", "Sun 03:00 began", "Sun 04:00 ended"}},
             {"22:00-02:30", "Sat", {2026, 3, 28, 20, 0, 0}, 600,
              {"Sat 20:00 ended", "Sat 22:00 began", "Sun 03:00 ended"}},
             // 02:00-03:00 comes twice on 25 October: each edge in it acts once.
             {"01:00-02:30", "", {2026, 10, 25, 0, 0, 0}, 300, {"Sun 00:00 ended", "Sun 01:00 began", "Sun 02:30 ended"}},
             {"02:30-05:00", "", {2026, 10, 25, 0, 0, 0}, 400, {"Sun 00:00 ended", "Sun 02:30 began", "Sun 05:00 ended"}},
             {"22:00-02:15", "Sat", {2026, 10, 24, 21, 0, 0}, 400,
              {"Sat 21:00 ended", "Sat 22:00 began", "Sun 02:15 ended"}},
         }) {
        platform::ManualClock clock;
        clock.setZone(kBerlin2026);
        clock.setLocalTime(row.start);
        platform::MemoryProfileFile settings{settingsWith(row.hours, row.days)};
        HoursGate gate;
        Strings steps;
        std::string nextStart;
        // A week's edges fall on quarter hours; a clock change needs every minute.
        // The next start is a wall time, which a skipped hour may not have.
        const bool wholeWeek = row.minutes == week;
        const int every = wholeWeek ? 15 : 1;
        for (int i = 0; i < row.minutes; i += every, clock.advance(every * 60'000)) {
            const HoursGate::Step step = gate.step(settings, clock.localTime());
            const std::string now = dayAndTime(clock.localTime());
            if (step == HoursGate::Step::Began) {
                EXPECT_TRUE(!wholeWeek || nextStart.empty() || nextStart == now) << nextStart << " / " << now;
                steps.push_back(now + " began");
            } else if (step == HoursGate::Step::Ended) {
                nextStart = gate.nextStart();
                steps.push_back(now + " ended");
            }
        }
        EXPECT_EQ(steps, row.steps) << row.hours << " / " << row.days;
    }
}

// The update cycle with every feed slot empty: an update shows as its
// abandonment, a blank frame as datagrams.
TEST(SignSchedule, UpdateCycleGoesDarkAndUpdatesAtTheEdges)
{
    struct Row {
        std::string ini;
        int minutes;
        Strings events;  // "12:01 update", "12:03 frame xN"
        std::size_t messages;
    };
    for (const Row& row : std::vector<Row>{
             {settingsWith("12:03-12:05", "", "EMBEDDED=0\r\n[Parameters]\r\nUPDATEPERIOD=60\r\n"), 7,
              {"12:01 frame x1", "12:03 update", "12:05 frame x1"}, 0},
             {settingsWith("12:03-12:05", "", "EMBEDDED=1\r\n[Parameters]\r\nUPDATEPERIOD=60\r\n"), 4,
              {"12:01 frame x2", "12:03 update"}, 0},
             {settingsWith("12:00-12:02", "Thu", "EMBEDDED=0\r\n[Parameters]\r\nUPDATEPERIOD=1\r\n"), 3,
              {"12:01 update", "12:02 frame x1"}, 0},
             {settingsWith("7-18", "Mon", "[Parameters]\r\nUPDATEPERIOD=2\r\n"), 4, {"12:02 update", "12:04 update"}, 1},
         }) {
        orlavo::testing::FakeProgram rig(row.ini);
        auto [clock, loop, udp, sink, program] = std::tie(rig.clock, rig.loop, rig.udp, rig.sink, rig.program);
        orlavo::testing::UpdateCounter observer;
        program.cycle().setObserver(&observer);
        program.cycle().start();
        Strings events;
        for (int i = 0; i < row.minutes; ++i) {
            const std::size_t frames = udp.sent().size();
            const int updates = observer.count;
            clock.advance(60'000 - clock.nowMs() % 60'000);
            loop.runPending();
            const std::string hhmm = dayAndTime(clock.localTime()).substr(4);
            if (observer.count != updates) {
                events.push_back(hhmm + " update");
            }
            if (udp.sent().size() != frames) {
                events.push_back(hhmm + " frame x" + std::to_string(udp.sent().size() - frames));
                EXPECT_EQ(udp.sent().back().bytes.find("~FD"), std::string::npos) << "a blank frame has no message";
            }
        }
        EXPECT_EQ(events, row.events) << row.ini;
        EXPECT_EQ(sink.messages().size(), row.messages) << "a bad value is reported once";
        program.cycle().setObserver(nullptr);
    }
}
