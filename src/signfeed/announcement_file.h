#pragma once
// An announcement kept beside its sign's settings file ("lobby.ini" ->
// "lobby.announce"), so it survives a restart of the program within its time:
//
//     [Announcement]
//     Text=Fire drill at 11:00
//     Until=2026-12-08 11:30:00
//
// Until is the local wall time it ends. The file is small, written
// atomically, and read as hostile input: anything else is no announcement.
#include "platform/clock.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace orlavo::signfeed {

// Larger files are not ours; the text itself is at most 1100 characters.
inline constexpr std::size_t kMaxAnnouncementFileBytes = 8192;

struct KeptAnnouncement {
    std::string text;
    platform::LocalTime until;
};

[[nodiscard]] std::filesystem::path announcementFileFor(const std::filesystem::path& settingsPath);

[[nodiscard]] std::string formatAnnouncementFile(const KeptAnnouncement& kept);
// nullopt when the bytes hold no complete, valid announcement.
[[nodiscard]] std::optional<KeptAnnouncement> parseAnnouncementFile(std::string_view bytes);

// Wall-clock arithmetic on local times, taken as written (a daylight-saving
// change in between moves an end by at most that hour).
[[nodiscard]] std::int64_t secondsBetween(const platform::LocalTime& from, const platform::LocalTime& to);
[[nodiscard]] platform::LocalTime addSeconds(const platform::LocalTime& time, std::int64_t seconds);

}  // namespace orlavo::signfeed
