#pragma once
// Where the running program lives and making room for its settings file.
#include <filesystem>
#include <optional>
#include <string>

namespace orlavo::platform {

// The directory of the running executable (the working directory when the
// system does not say).
[[nodiscard]] std::filesystem::path executableDir();

// The program's own configuration directory: $XDG_CONFIG_HOME/orlavo when
// that is an absolute path, else ~/.config/orlavo.
[[nodiscard]] std::filesystem::path userConfigDir();

// Where the running service listens for commands:
// $XDG_RUNTIME_DIR/orlavo/control.sock when XDG_RUNTIME_DIR is an absolute
// path, else /tmp/orlavo-<uid>/control.sock (see preparePrivateDir).
[[nodiscard]] std::filesystem::path controlSocketPath();

// Creates the directory that will hold file, when it is missing, so a first
// start can write its settings. Returns the reason when that fails.
[[nodiscard]] std::optional<std::string> createParentDir(const std::filesystem::path& file);

// True when the program runs with root's effective user id.
[[nodiscard]] bool runningAsRoot();

}  // namespace orlavo::platform
