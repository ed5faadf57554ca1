#pragma once
// What a sign is called when one program drives several: in log lines, on the
// command line and by the control socket.
#include "platform/profile_file.h"
#include "shared/settings.h"

#include <filesystem>
#include <string>

namespace orlavo::signfeed {

// Extension: names the sign instead of its settings file's base name.
inline constexpr SettingKey kSignNameKey{"Sign", "Name", ""};

// [Sign] Name= without its surrounding blanks when it has any other
// character, else the settings file's base name ("lobby.ini" -> "lobby").
[[nodiscard]] std::string signNameOf(const std::filesystem::path& settingsPath, const platform::ProfileFile& settings);

}  // namespace orlavo::signfeed
