#include "platform/profile_file.h"

#include "platform/whole_file.h"
#include "platform/code_page.h"
#include "platform/profile_text.h"

#include <fcntl.h>
#include <sys/file.h>
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
// writable directory the edit goes on unlocked.
class LockFile {
public:
    explicit LockFile(const std::filesystem::path& path)
    {
        std::string lockPath = path.string() + ".lock";
        m_fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (m_fd >= 0) {
            ::flock(m_fd, LOCK_EX);
        }
    }
    ~LockFile()
    {
        if (m_fd >= 0) {
            ::flock(m_fd, LOCK_UN);
            ::close(m_fd);
        }
    }
    LockFile(const LockFile&) = delete;
    LockFile& operator=(const LockFile&) = delete;

private:
    int m_fd = -1;
};

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

std::optional<SysError> ProfileFile::write(std::string_view section, std::string_view key, std::string_view value)
{
    return update([&](std::string bytes) -> std::optional<std::string> {
        bool utf8 = hasBom(bytes);
        std::string_view body = utf8 ? std::string_view(bytes).substr(kUtf8Bom.size()) : std::string_view(bytes);
        std::string stored = utf8 ? std::string(value) : utf8ToCp1252(value);
        if (profile::lookup(body, section, key) == stored) {
            return std::nullopt;  // unchanged: spare the disk a rewrite
        }
        std::string edited = profile::assign(body, section, key, stored);
        return utf8 ? std::string(kUtf8Bom) + edited : edited;
    });
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
    LockFile lock(m_path);
    RegularFileRead current = readRegularFile(m_path, kMaxProfileBytes);
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
    return writeFileAtomically(m_path, *edited, options);
}

std::optional<SysError> MemoryProfileFile::update(const Edit& edit)
{
    if (std::optional<std::string> edited = edit(m_bytes.value_or(std::string()))) {
        m_bytes = std::move(edited);
    }
    return std::nullopt;
}

}  // namespace orlavo::platform
