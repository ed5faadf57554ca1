#pragma once
// Feeds in any character set the C library knows (KOI8-R, Shift_JIS, GB18030,
// UTF-16, ISO-8859-x, ...) converted to the UTF-8 used inside.
#include <optional>
#include <string>
#include <string_view>

namespace orlavo::platform {

// nullopt when the C library does not know charset. A code unit that is not
// valid in charset (a byte; two bytes in UTF-16 and UCS-2, four in UTF-32 and
// UCS-4, such as an unpaired surrogate) becomes U+FFFD and the conversion goes
// on after it, in step; an incomplete sequence at the end is dropped.
[[nodiscard]] std::optional<std::string> convertToUtf8(std::string_view bytes, const std::string& charset);

}  // namespace orlavo::platform
