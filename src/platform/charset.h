#pragma once
// Feeds in any character set the C library knows (KOI8-R, Shift_JIS, GB18030,
// UTF-16, ISO-8859-x, ...) converted to the UTF-8 used inside.
#include <optional>
#include <string>
#include <string_view>

namespace orlavo::platform {

// nullopt when the C library does not know charset. A byte sequence that is
// not valid in charset becomes U+FFFD and the conversion goes on after it;
// an incomplete sequence at the end is dropped.
[[nodiscard]] std::optional<std::string> convertToUtf8(std::string_view bytes, const std::string& charset);

}  // namespace orlavo::platform
