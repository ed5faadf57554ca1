#include "platform/whole_file.h"

#include "platform/atomic_file.h"
#include "platform/descriptor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace orlavo::platform {

namespace {

namespace fs = std::filesystem;

// An existing target must be a writable file, a new one needs a writable folder.
// Its mode is not taken here: AtomicFileWriter::commit() copies it.
std::optional<SysError> checkWritable(const fs::path& target)
{
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            return SysError{EISDIR, target.string() + " is a directory"};
        }
        if (::access(target.c_str(), W_OK) != 0) {
            return sysErrorFromErrno(errno, target.string());
        }
        return std::nullopt;
    }
    fs::path dir = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    if (::access(dir.c_str(), W_OK) != 0) {
        return sysErrorFromErrno(errno, dir.string());
    }
    return std::nullopt;
}

}  // namespace

std::optional<SysError> writeFileAtomically(const fs::path& path, std::string_view bytes,
                                            const AtomicWriteOptions& options)
{
    // The writer replaces the end of a symlink chain; check that file.
    const fs::path target = AtomicFileWriter::resolveTarget(path);
    if (options.refuseReadOnlyTarget) {
        if (auto error = checkWritable(target)) {
            return error;
        }
    }
    AtomicFileWriter writer;
    if (auto error = writer.open(target)) {
        return error;
    }
    if (auto error = writer.write(bytes)) {
        return error;
    }
    if (options.beforeRename && !options.beforeRename()) {
        return SysError{EINTR, "write interrupted before the file was replaced"};  // writer discards
    }
    return writer.commit();
}

std::optional<std::string> readWholeFile(const fs::path& path, std::size_t maxBytes)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    std::string out;
    char buffer[65536];
    for (;;) {
        ssize_t n = retryInterrupted([&] { return ::read(fd, buffer, sizeof buffer); });
        const bool tooLarge = n > 0 && out.size() + static_cast<std::size_t>(n) > maxBytes;
        if (n <= 0 || tooLarge) {
            closeDescriptor(fd);
            if (n < 0 || tooLarge) {
                return std::nullopt;
            }
            return out;
        }
        out.append(buffer, static_cast<std::size_t>(n));
    }
}

}  // namespace orlavo::platform
