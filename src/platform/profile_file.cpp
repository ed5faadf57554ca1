#include "platform/profile_file.h"

#include "platform/atomic_file.h"
#include "platform/code_page.h"
#include "platform/profile_text.h"
#include "platform/whole_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace orlavo::platform {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool hasBom(std::string_view bytes)
{
    return bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom;
}

std::string toText(std::string_view stored, bool utf8)
{
    return utf8 ? decodeUtf8OrCp1252(stored) : cp1252ToUtf8(stored);
}

// The first maxChars characters of UTF-8 text.
std::string cutToCharacters(std::string text, std::size_t maxChars)
{
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            if (chars == maxChars) {
                text.resize(i);
                return text;
            }
            ++chars;
        }
    }
    return text;
}

// Holds an exclusive lock on "<file>.lock" from the read to the rename, so two
// processes editing the settings do not lose each other's change. Without a
// writable directory the edit goes on unlocked; a lock path that is a symlink
// or not a regular file stops it, since following it would create or touch a
// file elsewhere.
class LockFile {
public:
    explicit LockFile(const std::filesystem::path& file)
    {
        const std::string lockPath = file.string() + ".lock";
        m_fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK, 0644);
        struct stat st {};
        if (m_fd < 0 && errno == ELOOP) {
            m_failure = SysError{ELOOP, lockPath + " is a symbolic link, not a lock file; remove it to save settings"};
        } else if (m_fd >= 0 && (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode))) {
            m_failure = SysError{EINVAL, lockPath + " is not a regular file; remove it to save settings"};
        } else if (m_fd >= 0) {
            ::flock(m_fd, LOCK_EX);
        }
    }
    ~LockFile()
    {
        if (m_fd >= 0) {
            ::close(m_fd);  // releases the lock
        }
    }
    LockFile(const LockFile&) = delete;
    LockFile& operator=(const LockFile&) = delete;
    [[nodiscard]] const std::optional<SysError>& failure() const { return m_failure; }

private:
    int m_fd = -1;
    std::optional<SysError> m_failure;
};

// The value of key as stored in a file's bytes.
std::optional<std::string> storedValue(std::string_view bytes, std::string_view section, std::string_view key)
{
    return profile::lookup(hasBom(bytes) ? bytes.substr(kUtf8Bom.size()) : bytes, section, key);
}

}  // namespace

std::string ProfileFile::read(std::string_view section, std::string_view key, std::string_view fallback,
                              std::size_t bufferSize) const
{
    if (bufferSize == 0) {
        return {};
    }
    std::optional<std::string> value;
    if (std::optional<std::string> bytes = load()) {
        bool utf8 = hasBom(*bytes);
        std::string_view body = utf8 ? std::string_view(*bytes).substr(kUtf8Bom.size()) : std::string_view(*bytes);
        if (auto stored = profile::lookup(body, section, key)) {
            value = toText(*stored, utf8);
        }
    }
    if (!value) {
        std::string_view def = fallback;
        while (!def.empty() && def.back() == ' ') {
            def.remove_suffix(1);
        }
        value = std::string(def);
    }
    return cutToCharacters(std::move(*value), bufferSize - 1);
}

std::optional<SysError> ProfileFile::write(std::string_view section, std::string_view key, std::string_view value,
                                           WriteMode mode)
{
    auto assignTo = [&](const std::string& bytes) -> std::optional<std::string> {
        bool utf8 = hasBom(bytes);
        std::string_view body = utf8 ? std::string_view(bytes).substr(kUtf8Bom.size()) : std::string_view(bytes);
        std::string stored = utf8 ? std::string(value) : utf8ToCp1252(value);
        if (profile::lookup(body, section, key) == stored) {
            return std::nullopt;  // unchanged: spare the disk a rewrite
        }
        std::string edited = profile::assign(body, section, key, stored);
        return utf8 ? std::string(kUtf8Bom) + edited : edited;
    };
    bool kept = false;
    std::optional<SysError> error = update([&](const std::string& bytes) -> std::optional<std::string> {
        // A file emptied or removed since it was seen changed every key.
        kept = mode == WriteMode::KeepChangeOnDisk && m_seen &&
               ((bytes.empty() && !m_seen->empty()) ||
                storedValue(bytes, section, key) != storedValue(*m_seen, section, key));
        return kept ? std::nullopt : assignTo(bytes);
    });
    if (!error && !kept && m_seen) {
        if (std::optional<std::string> edited = assignTo(*m_seen)) {
            m_seen = std::move(edited);
        }
    }
    return error;
}

void ProfileFile::markSeen()
{
    m_seen = load().value_or(std::string());
}

bool ProfileFile::changedSinceSeen() const
{
    return m_seen && load().value_or(std::string()) != *m_seen;
}

std::optional<std::string> DiskProfileFile::load() const
{
    return readRegularFile(m_path, kMaxProfileBytes).bytes;
}

std::optional<SysError> DiskProfileFile::readFailure() const
{
    return readRegularFile(m_path, kMaxProfileBytes).error;
}

std::optional<SysError> DiskProfileFile::update(const Edit& edit)
{
    // The file replaced is the end of a symlink chain: lock and read that one.
    const std::filesystem::path target = AtomicFileWriter::resolveTarget(m_path);
    LockFile lock(target);
    if (lock.failure()) {
        return lock.failure();
    }
    RegularFileRead current = readRegularFile(target, kMaxProfileBytes);
    if (current.error) {
        // Editing a file we cannot read would replace it with a single key.
        return current.error;
    }
    std::optional<std::string> edited = edit(current.bytes.value_or(std::string()));
    if (!edited) {
        return std::nullopt;
    }
    AtomicWriteOptions options;
    options.beforeRename = m_beforeRename;
    return writeFileAtomically(target, *edited, options);
}

std::optional<SysError> MemoryProfileFile::update(const Edit& edit)
{
    if (std::optional<std::string> edited = edit(m_bytes.value_or(std::string()))) {
        m_bytes = std::move(edited);
    }
    return std::nullopt;
}

}  // namespace orlavo::platform
