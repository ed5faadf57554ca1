#include "platform/atomic_file.h"

#include "platform/descriptor.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace orlavo::platform {

namespace {

// The mode a plain open(O_CREAT, 0666) would have given a new file.
mode_t defaultMode()
{
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

constexpr std::string_view kTempMarker = ".tmp-";
constexpr std::size_t kRandomChars = 6;  // mkostemp's XXXXXX
// Temporary files of the earlier naming (no process id) are left for this long,
// far more than any write takes, before they count as abandoned.
constexpr std::time_t kUnownedTempAgeSeconds = 600;

// The writer's process id in a temporary file's suffix "<pid>-XXXXXX", or 0
// when the suffix is not of that form.
pid_t ownerOf(std::string_view suffix)
{
    if (suffix.size() < kRandomChars + 2 || suffix.size() > kRandomChars + 11) {
        return 0;
    }
    std::string_view digits = suffix.substr(0, suffix.size() - kRandomChars - 1);
    if (suffix[digits.size()] != '-' || digits.find_first_not_of("0123456789") != std::string_view::npos) {
        return 0;
    }
    long pid = std::stol(std::string(digits));  // at most 10 digits: fits
    return pid > 0 && pid <= INT32_MAX ? static_cast<pid_t>(pid) : 0;
}

// Whether the temporary file dir/name with this suffix was left by a writer
// that is gone: its process no longer runs, or (the earlier naming, without a
// process id) it has not been touched for far longer than any write takes.
bool isAbandoned(const std::string& path, std::string_view suffix, std::time_t now)
{
    if (suffix.size() == kRandomChars) {
        struct stat st {};
        return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && now - st.st_mtime > kUnownedTempAgeSeconds;
    }
    const pid_t owner = ownerOf(suffix);
    return owner > 0 && ::kill(owner, 0) != 0 && errno == ESRCH;
}

// A rename lives in the directory, not in the file: until the directory is
// synced a power cut can bring the old file back.
std::optional<SysError> syncDirectoryOf(const std::filesystem::path& target)
{
    const std::filesystem::path dir = target.has_parent_path() ? target.parent_path() : ".";
    int number = 0;
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        number = errno;
    } else {
        // EINVAL: a file system without directory sync; the rename is as durable as it gets.
        if (::fsync(fd) != 0 && errno != EINVAL) {
            number = errno;
        }
        ::close(fd);
    }
    if (number == 0) {
        return std::nullopt;
    }
    return sysErrorFromErrno(number, "cannot sync the folder " + dir.string() + " after replacing " +
                                         target.string() + ", so a power cut may undo it");
}

}  // namespace

void AtomicFileWriter::removeAbandonedTemporaries(const std::filesystem::path& target)
{
    const std::string dir = target.has_parent_path() ? target.parent_path().string() : std::string(".");
    const std::string prefix = target.filename().string() + std::string(kTempMarker);
    DIR* stream = ::opendir(dir.c_str());
    if (stream == nullptr) {
        return;
    }
    const std::time_t now = std::time(nullptr);
    while (const dirent* entry = ::readdir(stream)) {
        std::string_view name = entry->d_name;
        if (name.substr(0, prefix.size()) != prefix) {
            continue;
        }
        const std::string path = dir + "/" + std::string(name);
        if (isAbandoned(path, name.substr(prefix.size()), now)) {
            ::unlink(path.c_str());
        }
    }
    ::closedir(stream);
}

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
    // A writer killed before its rename leaves its file behind; the next
    // writer of the same target clears those, so they never pile up.
    removeAbandonedTemporaries(m_target);
    std::string pattern = m_target.string() + std::string(kTempMarker) + std::to_string(::getpid()) + "-XXXXXX";
    // mkostemp creates with O_EXCL, so a link planted under the name is never followed.
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
    return syncDirectoryOf(m_target);
}

}  // namespace orlavo::platform
