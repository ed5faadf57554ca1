#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace orlavo::platform {

namespace {

namespace fs = std::filesystem;

// A symlinked settings file keeps its link: the target is what gets replaced.
fs::path resolveTarget(const fs::path& path)
{
    std::error_code ec;
    fs::path resolved = fs::weakly_canonical(path, ec);
    return ec ? path : resolved;
}

std::optional<SysError> writeAll(int fd, std::string_view bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return sysErrorFromErrno(errno, "write");
        }
        done += static_cast<std::size_t>(n);
    }
    return std::nullopt;
}

std::optional<SysError> checkWritable(const fs::path& target, mode_t& mode)
{
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            return SysError{EISDIR, target.string() + " is a directory"};
        }
        mode = st.st_mode & 07777;
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

void syncDirectory(const fs::path& dir)
{
    int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

std::optional<SysError> writeFileAtomically(const fs::path& path, std::string_view bytes,
                                            const AtomicWriteOptions& options)
{
    const fs::path target = resolveTarget(path);
    mode_t mode = 0644;
    if (options.refuseReadOnlyTarget) {
        if (auto error = checkWritable(target, mode)) {
            return error;
        }
    }
    std::string tmp = target.string() + ".XXXXXX";
    int fd = ::mkstemp(tmp.data());
    if (fd < 0) {
        return sysErrorFromErrno(errno, "cannot create a temporary file beside " + target.string());
    }
    std::optional<SysError> error = writeAll(fd, bytes);
    if (!error && ::fsync(fd) != 0) {
        error = sysErrorFromErrno(errno, "fsync");
    }
    if (!error && ::fchmod(fd, mode) != 0) {
        error = sysErrorFromErrno(errno, "fchmod");
    }
    if (::close(fd) != 0 && !error) {
        error = sysErrorFromErrno(errno, "close");
    }
    if (!error && options.beforeRename && !options.beforeRename()) {
        error = SysError{EINTR, "write interrupted before the file was replaced"};
    }
    if (!error && ::rename(tmp.c_str(), target.c_str()) != 0) {
        error = sysErrorFromErrno(errno, "rename");
    }
    if (error) {
        ::unlink(tmp.c_str());
        return error;
    }
    syncDirectory(target.parent_path());
    return std::nullopt;
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
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0 || out.size() + static_cast<std::size_t>(n) > maxBytes) {
            ::close(fd);
            if (n < 0 || out.size() + static_cast<std::size_t>(n > 0 ? n : 0) > maxBytes) {
                return std::nullopt;
            }
            return out;
        }
        out.append(buffer, static_cast<std::size_t>(n));
    }
}

}  // namespace orlavo::platform
