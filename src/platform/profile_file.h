#pragma once
// One settings file in the profile format. Every call reads the file anew (no
// cache), so a read always sees every earlier write. Text inside is UTF-8; on
// disk the file is windows-1252, or UTF-8 when it starts with a UTF-8 BOM (and
// then stays so).
#include "platform/sys_error.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace orlavo::platform {

// A settings file is a few kilobytes; anything far larger is not ours.
inline constexpr std::size_t kMaxProfileBytes = 4u << 20;

enum class WriteMode {
    Always,
    // Leaves the key as it is when its stored value changed on disk since
    // markSeen(): another program's edit wins over a value read before it.
    KeepChangeOnDisk,
};

class ProfileFile {
public:
    virtual ~ProfileFile() = default;

    // Why the file exists but cannot be read (not a regular file, over
    // kMaxProfileBytes, an I/O error); nullopt when it reads or is missing.
    // Reads of such a file give the defaults, so a program checks this first
    // rather than run on settings it never saw.
    [[nodiscard]] virtual std::optional<SysError> readFailure() const { return std::nullopt; }

    // The stored value, cut to bufferSize - 1 characters; the default (with
    // its trailing blanks removed, and cut the same way) when the file, the
    // section or the key is missing or the file cannot be read.
    [[nodiscard]] std::string read(std::string_view section, std::string_view key, std::string_view fallback,
                                   std::size_t bufferSize = 750) const;
    // Stores value under key (spelled as given) in section. A value equal to
    // the stored one leaves the file untouched.
    [[nodiscard]] std::optional<SysError> write(std::string_view section, std::string_view key,
                                                std::string_view value, WriteMode mode = WriteMode::Always);

    // Remembers the file as it is now, as the picture this program holds of
    // it; its own writes from then on are applied to that picture, so only
    // other programs' edits make the file differ from it.
    void markSeen();
    // Whether the file differs from that picture (false before markSeen()).
    [[nodiscard]] bool changedSinceSeen() const;
    // False when the file is missing or cannot be read.
    [[nodiscard]] bool exists() const { return load().has_value(); }

protected:
    // The file's bytes, or nullopt when it is missing or unreadable.
    [[nodiscard]] virtual std::optional<std::string> load() const = 0;
    // Rewrites the file with edit(current bytes); edit returns nullopt to leave
    // it untouched. The read and the replacement form one step.
    using Edit = std::function<std::optional<std::string>(std::string current)>;
    [[nodiscard]] virtual std::optional<SysError> update(const Edit& edit) = 0;

private:
    // The picture of markSeen(); a missing file is seen as empty.
    std::optional<std::string> m_seen;
};

// The real file, replaced atomically on every change; concurrent writers in
// other processes are serialised with a lock file beside it (beside the file a
// symlink leads to, since that is the one replaced). A symlink planted as the
// lock file is refused, never followed.
class DiskProfileFile final : public ProfileFile {
public:
    explicit DiskProfileFile(std::filesystem::path path) : m_path(std::move(path)) {}
    [[nodiscard]] const std::filesystem::path& path() const { return m_path; }
    // Test seam forwarded to the atomic write (see AtomicWriteOptions).
    void setBeforeRenameHook(std::function<bool()> hook) { m_beforeRename = std::move(hook); }
    [[nodiscard]] std::optional<SysError> readFailure() const override;

protected:
    [[nodiscard]] std::optional<std::string> load() const override;
    [[nodiscard]] std::optional<SysError> update(const Edit& edit) override;

private:
    std::filesystem::path m_path;
    std::function<bool()> m_beforeRename;
};

// A file held in memory: behaves like the disk file for reads and writes, so
// a dry run can execute the start-up sequence without changing anything.
class MemoryProfileFile final : public ProfileFile {
public:
    explicit MemoryProfileFile(std::optional<std::string> bytes = std::nullopt) : m_bytes(std::move(bytes)) {}
    [[nodiscard]] const std::optional<std::string>& bytes() const { return m_bytes; }
    // Another program's edit of the file.
    void replaceBytes(std::optional<std::string> bytes) { m_bytes = std::move(bytes); }

protected:
    [[nodiscard]] std::optional<std::string> load() const override { return m_bytes; }
    [[nodiscard]] std::optional<SysError> update(const Edit& edit) override;

private:
    std::optional<std::string> m_bytes;
};

}  // namespace orlavo::platform
