#pragma once
// Whether a standard stream is a terminal, so tools colour their output only
// for a person and never for a pipe or a file.
namespace orlavo::platform {

[[nodiscard]] bool stdoutIsTerminal();

}  // namespace orlavo::platform
