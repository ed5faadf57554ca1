#pragma once
// Which signs one orlavod drives: the settings files named on the command
// line and found in a folder, each with its name.
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace orlavo::tools {

struct SignEntry {
    std::filesystem::path settingsPath;
    std::string name;
};

struct Roster {
    std::vector<SignEntry> signs;
    std::string error;  // set when signs is empty: why nothing may run
};

// More would be a mistake (a folder of something else), and each sign holds
// sockets and a serial port.
inline constexpr std::size_t kMaxSigns = 5000;

// The *.ini files of dir (a symlink to one counts), in the order of their
// names; an error when it is no readable folder, holds none or too many.
[[nodiscard]] Roster signFilesIn(const std::filesystem::path& dir);

// Names every sign (signNameOf) by reading its file, and refuses a file that
// cannot be read or does not exist, a name with control characters, and two
// signs of the same name (the name is how a sign is addressed).
[[nodiscard]] Roster nameSigns(const std::vector<std::filesystem::path>& settingsPaths);

}  // namespace orlavo::tools
