#pragma once
// Replaces a file so that a crash, a kill or a full disk leaves either the
// whole old file or the whole new one: write a temporary file in the same
// directory, fsync, rename over the target, fsync the directory.
#include "platform/sys_error.h"

#include <filesystem>
#include <functional>
#include <optional>
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

[[nodiscard]] std::optional<SysError> writeFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                                                          const AtomicWriteOptions& options = {});

// The whole file, or nullopt when it cannot be read. Files above maxBytes are
// refused (nullopt) so a stray huge file cannot exhaust memory.
[[nodiscard]] std::optional<std::string> readWholeFile(const std::filesystem::path& path,
                                                       std::size_t maxBytes = 64u << 20);

}  // namespace orlavo::platform
