#pragma once
// An announcement: a text that overrides the headlines on this sign for a
// while. It goes out at once (after the frame going out, if any), in the
// sign's announcement colour, and holds the update cycle while it is on.
// When its time is up or it is cleared the sign gets its headlines back at
// once: the last headlines it was sent, and a fresh update when one came due
// meanwhile or none was sent yet. A new announcement replaces the old one.
#include "platform/clock.h"
#include "platform/event_loop.h"
#include "signfeed/composer.h"
#include "signfeed/main_window_model.h"
#include "signfeed/sign_link.h"
#include "signfeed/sign_protocol.h"
#include "signfeed/update_cycle.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace orlavo::signfeed {

inline constexpr int kAnnounceMinutesDefault = 10;
inline constexpr int kAnnounceMinutesMax = 1440;  // one day

// The text as the sign gets it: read as UTF-8 (stray bytes as windows-1252),
// characters the sign lacks replaced, "~" and control characters made
// harmless as in headlines, surrounding blanks removed.
[[nodiscard]] std::string announcementText(std::string_view raw);

// Why start() would refuse text for minutes; empty when it would not.
[[nodiscard]] std::string announcementProblem(std::string_view text, int minutes);

// [Announce] Color=: a colour name of the colour-scheme list; red when it is
// missing, unknown, or needs Smart LED Display on a sign without it.
[[nodiscard]] SignColour announcementColour(std::string_view name, bool smartDisplay);

struct AnnounceResult {
    std::string error;  // why it was refused; empty when it is on
    std::string note;   // shown, but something is worth saying (not kept for a restart)
};

class Announcement {
public:
    Announcement(MainWindowModel& window, Composer& composer, UpdateCycle& cycle,
                 platform::Clock& clock, platform::EventLoop& loop);
    ~Announcement();
    Announcement(const Announcement&) = delete;
    Announcement& operator=(const Announcement&) = delete;

    // Where it is kept across restarts; without one it lives as long as the program.
    void keepIn(std::filesystem::path file) { m_file = std::move(file); }
    // Shows text for minutes (1 to kAnnounceMinutesMax).
    AnnounceResult start(std::string_view text, int minutes);
    // Ends it early; false when none was on.
    bool clear();
    // At start-up: shows the kept announcement for the rest of its time. A
    // line for the log: what was taken up, or why the file was ignored (and
    // removed); empty when there was none.
    [[nodiscard]] std::string restore();

    [[nodiscard]] bool active() const { return m_timer.has_value(); }
    [[nodiscard]] const std::string& text() const { return m_text; }
    [[nodiscard]] std::int64_t remainingMs() const;
    // Runs whenever one starts or ends (by time, clear or replacement).
    void setChangeListener(std::function<void()> listener) { m_changed = std::move(listener); }
    // Runs when one ends because its time is up, with its text: for the log.
    void setExpiryListener(std::function<void(const std::string&)> listener) { m_expired = std::move(listener); }

private:
    void show(std::int64_t durationMs);
    void end();
    void forgetFile();

    MainWindowModel& m_window;
    Composer& m_composer;
    UpdateCycle& m_cycle;
    platform::Clock& m_clock;
    platform::EventLoop& m_loop;
    std::filesystem::path m_file;
    std::string m_text;
    std::int64_t m_endsAtMs = 0;
    std::optional<platform::EventLoop::TimerId> m_timer;
    std::function<void()> m_changed;
    std::function<void(const std::string&)> m_expired;
};

}  // namespace orlavo::signfeed
