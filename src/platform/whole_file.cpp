#include "platform/whole_file.h"

#include "platform/atomic_file.h"
#include "platform/descriptor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
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

namespace {

// Reads fd to its end; false on an I/O error or when it holds more than maxBytes.
bool readToEnd(int fd, std::size_t maxBytes, std::string& out, int& errorNumber)
{
    char buffer[65536];
    for (;;) {
        ssize_t n = retryInterrupted([&] { return ::read(fd, buffer, sizeof buffer); });
        if (n < 0) {
            errorNumber = errno;
            return false;
        }
        if (n == 0) {
            return true;
        }
        if (out.size() + static_cast<std::size_t>(n) > maxBytes) {
            errorNumber = EFBIG;
            return false;
        }
        out.append(buffer, static_cast<std::size_t>(n));
    }
}

std::string sizeText(std::size_t bytes)
{
    return bytes % (1u << 20) == 0 ? std::to_string(bytes >> 20) + " MiB" : std::to_string(bytes) + " bytes";
}

// "<path> is a FIFO, not a regular file", for the kinds a user may recognise.
std::string notRegularText(const fs::path& path, mode_t mode)
{
    const char* kind = S_ISDIR(mode) ? "a directory" : S_ISFIFO(mode) ? "a FIFO" : S_ISSOCK(mode) ? "a socket"
                     : (S_ISCHR(mode) || S_ISBLK(mode))                ? "a device"
                                                                       : nullptr;
    return path.string() + " is " + (kind ? std::string(kind) + ", not" : std::string("not")) + " a regular file";
}

}  // namespace

RegularFileRead readRegularFile(const fs::path& path, std::size_t maxBytes)
{
    // O_NONBLOCK: opening a FIFO with no writer would otherwise wait forever.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        if (errno == ENOENT) {
            return {};
        }
        return {std::nullopt, sysErrorFromErrno(errno, path.string())};
    }
    RegularFileRead result;
    struct stat st {};
    int number = 0;
    std::string bytes;
    if (::fstat(fd, &st) != 0) {
        result.error = sysErrorFromErrno(errno, path.string());
    } else if (!S_ISREG(st.st_mode)) {
        result.error = SysError{S_ISDIR(st.st_mode) ? EISDIR : EINVAL, notRegularText(path, st.st_mode)};
    } else if (static_cast<std::uintmax_t>(st.st_size) > maxBytes) {
        result.error = SysError{EFBIG, path.string() + " is larger than " + sizeText(maxBytes) + " (" +
                                           std::to_string(st.st_size) + " bytes)"};
    } else if (!readToEnd(fd, maxBytes, bytes, number)) {
        result.error = number == EFBIG ? SysError{EFBIG, path.string() + " is larger than " + sizeText(maxBytes)}
                                       : sysErrorFromErrno(number, "cannot read " + path.string());
    } else {
        result.bytes = std::move(bytes);
    }
    closeDescriptor(fd);
    return result;
}

std::optional<std::string> readWholeFile(const fs::path& path, std::size_t maxBytes)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    std::string out;
    int number = 0;
    const bool whole = readToEnd(fd, maxBytes, out, number);
    closeDescriptor(fd);
    return whole ? std::optional<std::string>(std::move(out)) : std::nullopt;
}

}  // namespace orlavo::platform
