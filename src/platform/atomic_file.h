#pragma once
// Replaces a file only once its new content is safely on disk: the bytes go to
// a temporary file in the same directory, which is flushed, synced and renamed
// over the target. Until commit() succeeds the old file is untouched; an
// uncommitted writer removes its temporary file when it goes away.
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

    // Creates the temporary file next to target.
    [[nodiscard]] std::optional<SysError> open(const std::filesystem::path& target);
    [[nodiscard]] std::optional<SysError> write(std::string_view bytes);
    // fsync, give it the target's mode (or the umask default), rename.
    [[nodiscard]] std::optional<SysError> commit();

private:
    void discard();

    std::filesystem::path m_target;
    std::filesystem::path m_temp;
    int m_fd = -1;
};

}  // namespace orlavo::platform
