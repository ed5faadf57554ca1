#pragma once
// Turns the raw bytes of a feed into UTF-8 text, once, over the whole document.
#include <string>
#include <string_view>

namespace pellix::detail {

// True when the bytes open with an XML declaration whose encoding is
// windows-1252, iso-8859-1 or latin1 (any case).
[[nodiscard]] bool declaresWindows1252(std::string_view bytes) noexcept;

}  // namespace pellix::detail
