#pragma once
// windows-1252 <-> UTF-8. Inside the program text is UTF-8; the sign, the
// settings file and old feeds speak windows-1252, one byte per character.
#include <string>
#include <string_view>

namespace orlavo::platform {

// Every byte becomes its windows-1252 character. The five bytes that code page
// leaves unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control of the
// same number, so any byte survives a round trip.
[[nodiscard]] std::string cp1252ToUtf8(std::string_view bytes);

// Characters windows-1252 cannot hold, and bytes that are not valid UTF-8,
// become "?".
[[nodiscard]] std::string utf8ToCp1252(std::string_view utf8);

// Keeps every valid UTF-8 sequence and reads each byte that begins none as its
// windows-1252 character. Always yields valid UTF-8.
[[nodiscard]] std::string decodeUtf8OrCp1252(std::string_view bytes);

// Number of code points in valid UTF-8 text (continuation bytes not counted).
[[nodiscard]] std::size_t utf8Length(std::string_view utf8);

// Text from a peer or a file made safe for a message, a log line or a
// terminal, where a control byte could move the cursor, rewrite the line or
// forge another entry: each C0 control, DEL, C1 control (U+0080-U+009F) and
// byte that begins no valid UTF-8 sequence shows as "\xNN" (two lower-case
// hex digits, one per byte). Everything else, backslash included, is kept,
// so escaping twice changes nothing more.
[[nodiscard]] std::string escapeControls(std::string_view text);

}  // namespace orlavo::platform
