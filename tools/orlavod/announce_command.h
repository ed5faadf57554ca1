#pragma once
#include "cli_options.h"

namespace orlavo::tools {

// "orlavod announce": sends the request to the running service's control
// socket and prints its one-line answer. Exit 0 when the service took it,
// 1 when it refused it or none is running, 2 for a text no sign can take.
[[nodiscard]] int runAnnounce(const CliOptions& options);

}  // namespace orlavo::tools
