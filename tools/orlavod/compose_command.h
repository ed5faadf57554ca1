#pragma once
#include <filesystem>

namespace orlavo::tools {

// Prints, one line per transmission, what one update would send; exit status.
[[nodiscard]] int runCompose(const std::filesystem::path& settingsPath, const std::filesystem::path& feedPath);

}  // namespace orlavo::tools
