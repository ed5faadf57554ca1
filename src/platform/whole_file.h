#pragma once
// Whole-file reads and replacements for small files such as the settings.
#include "platform/sys_error.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace orlavo::platform {

struct AtomicWriteOptions {
    // Checked before anything is written: an existing read-only target is
    // refused rather than silently replaced by the rename.
    bool refuseReadOnlyTarget = true;
    // Test seam: runs after the temporary file is complete and before the
    // rename; returning false simulates a crash at that point.
    std::function<bool()> beforeRename;
};

// The old file or the whole new one, never a mix: see AtomicFileWriter. A
// symlinked target keeps its link; the file it points to is replaced.
[[nodiscard]] std::optional<SysError> writeFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                                                          const AtomicWriteOptions& options = {});

// What reading a file that must be a regular file found: its bytes, neither
// bytes nor error (the file does not exist), or why it could not be read.
struct RegularFileRead {
    std::optional<std::string> bytes;
    std::optional<SysError> error;
};

// Reads a regular file (a symlink to one is followed) without ever blocking on
// a FIFO or a device: anything else, a file over maxBytes or an I/O error is
// an error naming the path and the reason.
[[nodiscard]] RegularFileRead readRegularFile(const std::filesystem::path& path, std::size_t maxBytes);

// The whole file, or nullopt when it cannot be read. Files above maxBytes are
// refused (nullopt) so a stray huge file cannot exhaust memory.
[[nodiscard]] std::optional<std::string> readWholeFile(const std::filesystem::path& path,
                                                       std::size_t maxBytes = 64u << 20);

}  // namespace orlavo::platform
