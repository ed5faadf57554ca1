#include "platform/atomic_file.h"

#include "platform/descriptor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace orlavo::platform {

namespace {

// The mode a plain open(O_CREAT, 0666) would have given a new file.
mode_t defaultMode()
{
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

AtomicFileWriter::~AtomicFileWriter()
{
    discard();
}

void AtomicFileWriter::discard()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_temp.empty()) {
        ::unlink(m_temp.c_str());
        m_temp.clear();
    }
}

std::filesystem::path AtomicFileWriter::resolveTarget(const std::filesystem::path& path)
{
    std::error_code ec;
    std::filesystem::path resolved = std::filesystem::weakly_canonical(path, ec);
    return ec ? path : resolved;
}

std::optional<SysError> AtomicFileWriter::open(const std::filesystem::path& target)
{
    discard();
    m_target = resolveTarget(target);
    m_inPlace = false;
    struct stat existing {};
    if (::stat(m_target.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode) && !S_ISDIR(existing.st_mode)) {
        // Renaming over /dev/stdout would replace the device node, not write to it.
        m_fd = ::open(m_target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY);
        if (m_fd < 0) {
            return sysErrorFromErrno(errno, "cannot write " + m_target.string());
        }
        m_inPlace = true;
        return std::nullopt;
    }
    std::string pattern = m_target.string() + ".tmp-XXXXXX";
    m_fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (m_fd < 0) {
        return sysErrorFromErrno(errno, "cannot create a temporary file next to " + m_target.string());
    }
    m_temp = pattern;
    return std::nullopt;
}

std::optional<SysError> AtomicFileWriter::write(std::string_view bytes)
{
    while (!bytes.empty()) {
        ssize_t n = retryInterrupted([&] { return ::write(m_fd, bytes.data(), bytes.size()); });
        if (n < 0) {
            return sysErrorFromErrno(errno, "cannot write " + writingTo().string());
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return std::nullopt;
}

std::optional<SysError> AtomicFileWriter::commit()
{
    if (m_inPlace) {
        int fd = m_fd;
        m_fd = -1;
        if (::close(fd) != 0) {
            return sysErrorFromErrno(errno, "cannot write " + m_target.string());
        }
        return std::nullopt;
    }
    struct stat existing {};
    mode_t mode = ::stat(m_target.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : defaultMode();
    if (::fchmod(m_fd, mode) != 0 || ::fsync(m_fd) != 0) {
        return sysErrorFromErrno(errno, "cannot write " + m_temp.string());
    }
    if (::close(m_fd) != 0) {
        m_fd = -1;
        return sysErrorFromErrno(errno, "cannot write " + m_temp.string());
    }
    m_fd = -1;
    if (::rename(m_temp.c_str(), m_target.c_str()) != 0) {
        return sysErrorFromErrno(errno, "cannot replace " + m_target.string());
    }
    m_temp.clear();
    return std::nullopt;
}

}  // namespace orlavo::platform
