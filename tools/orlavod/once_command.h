#pragma once
#include <pellix/rss_comp.h>

#include "sign_roster.h"

#include <vector>

namespace orlavo::tools {

// One update of every sign at once, with the real feed control and the links
// each sign's settings select. Exit status 0 when every sign's frame went
// out, 1 otherwise. One line per sign says how it ended; verbose adds the
// status texts as they change.
[[nodiscard]] int runOnce(const std::vector<SignEntry>& signs, const pellix::RSSCompLimits& limits = {},
                          bool verbose = false);

}  // namespace orlavo::tools
