#pragma once
// The name a sign goes by in the service, its log and its control socket.
#include "platform/profile_file.h"

#include <filesystem>
#include <string>

namespace orlavo::signfeed {

// [Sign] Name= when it holds more than blanks, else the settings file's base
// name ("lobby.ini" -> "lobby").
[[nodiscard]] std::string signNameOf(const std::filesystem::path& settingsPath, const platform::ProfileFile& settings);

}  // namespace orlavo::signfeed
