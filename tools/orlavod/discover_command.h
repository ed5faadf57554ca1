#pragma once
#include <filesystem>

namespace orlavo::tools {

// "orlavod discover": the discovery window's walk without a window. Prints
// each list line on stdout in order of arrival; exit 2 for a bad port or
// range or an endpoint that cannot be bound.
[[nodiscard]] int runDiscover(const std::filesystem::path& settingsPath);

}  // namespace orlavo::tools
