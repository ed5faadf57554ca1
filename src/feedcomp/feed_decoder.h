#pragma once
// Turns the raw bytes of a feed into UTF-8 text, once, over the whole document.
#include <string>
#include <string_view>

#include "pellix/export.h"

namespace pellix::detail {

// True when the bytes open with an XML declaration whose encoding is
// windows-1252, iso-8859-1 or latin1 (any case).
[[nodiscard]] bool declaresWindows1252(std::string_view bytes) noexcept;

// True when the bytes open with a UTF-16 byte order mark (either order).
[[nodiscard]] bool hasUtf16Bom(std::string_view bytes) noexcept;

// The encoding named by an XML declaration at the start, or empty.
[[nodiscard]] std::string_view declaredEncoding(std::string_view bytes) noexcept;

// decodeFeedBytes, extended: a UTF-16 byte order mark, or any other character
// set the declaration names (else transportCharset, the Content-Type charset),
// is converted with the C library's converter; a name it does not know falls
// back to the UTF-8 rule.
[[nodiscard]] std::string decodeFeedBytes(std::string_view bytes, std::string_view transportCharset);
// The character set name that decodeFeedBytes could not use and so read the
// bytes by the UTF-8 rule instead (one the converter does not know, or no
// character set name at all); empty when there was none or it was used. For
// people: cut to 40 characters, anything but printable ASCII shown as "?".
[[nodiscard]] std::string unknownCharset(std::string_view bytes, std::string_view transportCharset);
// decodeFeedText with the Content-Type charset as decodeFeedBytes takes it.
[[nodiscard]] std::string decodeFeedText(std::string_view bytes, std::string_view transportCharset);

}  // namespace pellix::detail
