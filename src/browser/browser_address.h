#pragma once
// Turns what the operator typed (or data.ini holds) into an address the
// window may load. Signs are reached by bare dotted addresses, so a text
// without a scheme is taken as http.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace orlavo::browser {

// The schemes the window opens; anything else ("chrome://", "ftp://") could
// reach the engine's internals or other programs and is refused.
[[nodiscard]] bool allowedScheme(std::string_view scheme);

// Blanks around the text are dropped; "10.1.2.3" and "sign:8080/x" gain
// "http://". nullopt for an empty text or a scheme that is not allowed.
[[nodiscard]] std::optional<std::string> loadableAddress(std::string_view text);

// A page title made fit for a window caption: control characters become
// blanks and it is cut to kMaxCaptionChars characters.
inline constexpr std::size_t kMaxCaptionChars = 200;
[[nodiscard]] std::string captionText(std::string_view title);

}  // namespace orlavo::browser
