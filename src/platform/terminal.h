#pragma once
// Whether a standard stream is an interactive terminal (progress output is
// only worth drawing there).
namespace orlavo::platform {

[[nodiscard]] bool isTerminal(int fd);

}  // namespace orlavo::platform
