#pragma once
// The profile (INI) format as pure functions over a file's bytes, so reads and
// edits are tested without touching a disk. Sections and keys match without
// regard to ASCII case; the first matching section and the first matching key
// win. An edit changes as little as possible: every line it does not touch
// keeps its bytes and its own line end.
#include <optional>
#include <string>
#include <string_view>

namespace orlavo::platform::profile {

// The stored value of key in section, with surrounding blanks and one pair of
// matching quotes removed; nullopt when the section or the key is missing (a
// line without "=" is not a key). The bytes are as stored in the file.
[[nodiscard]] std::optional<std::string> lookup(std::string_view file, std::string_view section,
                                                std::string_view key);

// The file with key set to value: replaced in place (keeping the key's
// spelling), added after the last key line of its section, or appended in a
// new section at the end. New lines use the line end the file already uses
// (CR LF for a new file). CR and LF inside value become blanks.
[[nodiscard]] std::string assign(std::string_view file, std::string_view section, std::string_view key,
                                 std::string_view value);

}  // namespace orlavo::platform::profile
