#pragma once
#include "sign_roster.h"

#include <filesystem>
#include <vector>

namespace orlavo::tools {

// Prints, one line per transmission, what one update of each sign would send
// (with several signs each line starts with "NAME: "); exit status.
[[nodiscard]] int runCompose(const std::vector<SignEntry>& signs, const std::filesystem::path& feedPath);

}  // namespace orlavo::tools
