#pragma once
#include "pellix/rss_comp.h"

#include <filesystem>

namespace orlavo::tools {

// One update with the real feed control and the links the settings select.
// Exit status 0 when a frame went out, 1 otherwise. One line says how it
// ended; verbose adds the status texts as they change.
[[nodiscard]] int runOnce(const std::filesystem::path& settingsPath, const pellix::RSSCompLimits& limits = {},
                          bool verbose = false);

}  // namespace orlavo::tools
