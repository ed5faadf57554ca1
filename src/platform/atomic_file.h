#pragma once
// Replaces a file only once its new content is safely on disk: the bytes go to
// a temporary file in the same directory, which is flushed, synced and renamed
// over the target, and the directory is synced so the rename survives a power
// cut. Until commit() succeeds the old file is untouched; an
// uncommitted writer removes its temporary file when it goes away.
//
// A symlinked target keeps its link: the file it points to is replaced. A
// target that cannot be renamed over (a device, a pipe, a socket, such as
// /dev/stdout) is written in place instead.
#include "platform/sys_error.h"

#include <filesystem>
#include <optional>
#include <string_view>

namespace orlavo::platform {

class AtomicFileWriter {
public:
    AtomicFileWriter() = default;
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // Creates the temporary file next to target (or opens a special file).
    [[nodiscard]] std::optional<SysError> open(const std::filesystem::path& target);
    // The file that open(path) replaces: the end of a symlink chain.
    [[nodiscard]] static std::filesystem::path resolveTarget(const std::filesystem::path& path);
    [[nodiscard]] std::optional<SysError> write(std::string_view bytes);
    // fsync, give it the target's mode (or the umask default), rename, sync the
    // directory. A failure of that last sync comes after the replacement.
    [[nodiscard]] std::optional<SysError> commit();

    // Removes "<target>.tmp-<pid>-XXXXXX" files whose writer no longer runs
    // (and older, process-less "<target>.tmp-XXXXXX" files untouched for ten
    // minutes); open() calls it, so kills never leave more than one behind.
    static void removeAbandonedTemporaries(const std::filesystem::path& target);

private:
    void discard();
    [[nodiscard]] const std::filesystem::path& writingTo() const { return m_inPlace ? m_target : m_temp; }

    std::filesystem::path m_target;
    std::filesystem::path m_temp;
    int m_fd = -1;
    bool m_inPlace = false;
};

}  // namespace orlavo::platform
