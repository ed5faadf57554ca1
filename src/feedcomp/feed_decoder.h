#pragma once
// Turns the raw bytes of a feed into UTF-8 text, once, over the whole document.
#include <string>
#include <string_view>

#include "pellix/export.h"

namespace pellix::detail {

// True when the bytes open with an XML declaration whose encoding is
// windows-1252, iso-8859-1 or latin1 (any case).
[[nodiscard]] bool declaresWindows1252(std::string_view bytes) noexcept;

// The wide form the bytes are written in, for the converter: "UTF-32" or
// "UTF-16" after a byte order mark (UTF-32's checked first, since
// FF FE 00 00 also opens like UTF-16's), else "UTF-16BE", "UTF-16LE",
// "UTF-32BE" or "UTF-32LE" when the first character is "<" in that form.
// Empty for bytes that read as ASCII.
[[nodiscard]] std::string_view wideForm(std::string_view bytes) noexcept;

// The encoding named by an XML declaration at the start, or empty.
[[nodiscard]] std::string_view declaredEncoding(std::string_view bytes) noexcept;

// decodeFeedBytes, extended: a wide form (see wideForm), or any other character
// set the declaration names (else transportCharset, the Content-Type charset),
// is converted with the C library's converter. A name it does not know, or
// one that turns bytes holding "<" into a text without any, falls back to the
// UTF-8 rule.
[[nodiscard]] std::string decodeFeedBytes(std::string_view bytes, std::string_view transportCharset);
// The character set name that decodeFeedBytes could not use and so read the
// bytes by the UTF-8 rule instead (one the converter does not know, one whose
// conversion lost all markup, or no character set name at all); empty when
// there was none or it was used. For people: cut to 40 characters, anything
// but printable ASCII shown as "?".
[[nodiscard]] PELLIX_API std::string unknownCharset(std::string_view bytes, std::string_view transportCharset);
// decodeFeedText with the Content-Type charset as decodeFeedBytes takes it.
[[nodiscard]] std::string decodeFeedText(std::string_view bytes, std::string_view transportCharset);

}  // namespace pellix::detail
