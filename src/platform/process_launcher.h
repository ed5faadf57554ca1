#pragma once
// Starts another program from an argument vector, never through a shell, so
// no text the user typed can become a command. The child runs on its own:
// it is never waited for, leaves no zombie and outlives the program.
#include "platform/sys_error.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orlavo::platform {

class ProcessLauncher {
public:
    virtual ~ProcessLauncher() = default;
    // The path of an executable called name in PATH, or nullopt.
    [[nodiscard]] virtual std::optional<std::string> findProgram(std::string_view name) const = 0;
    // argv[0] is a path or a name looked up in PATH. Returns once the program
    // has been started (or failed to start).
    [[nodiscard]] virtual std::optional<SysError> launch(const std::vector<std::string>& argv) = 0;
};

// fork, then fork again and exec: the intermediate child is reaped at once,
// and the program is adopted by init (or the session's subreaper). It gets
// its own session, no blocked signals and /dev/null as its standard streams.
class PosixProcessLauncher final : public ProcessLauncher {
public:
    [[nodiscard]] std::optional<std::string> findProgram(std::string_view name) const override;
    [[nodiscard]] std::optional<SysError> launch(const std::vector<std::string>& argv) override;
};

}  // namespace orlavo::platform
