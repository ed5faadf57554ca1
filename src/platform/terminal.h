#pragma once
// Whether a standard stream is an interactive terminal: tools draw colours and
// progress only for a person, never for a pipe or a file.
namespace orlavo::platform {

[[nodiscard]] bool isTerminal(int fd);
[[nodiscard]] bool stdoutIsTerminal();

}  // namespace orlavo::platform
