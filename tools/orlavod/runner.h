#pragma once
// Wires the platform, the settings file and the models for one command.
#include "cli_options.h"

namespace orlavo::tools {

// Runs the command and returns the process exit status.
[[nodiscard]] int runCommand(const CliOptions& options);

}  // namespace orlavo::tools
