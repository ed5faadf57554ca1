#pragma once
// Headlines as a reader expects them on a sign: character references that
// the feed's parse leaves in item texts are decoded, and characters the
// sign's code page (windows-1252) lacks are replaced by their nearest plain
// form instead of becoming "?".
#include <string>
#include <string_view>

namespace orlavo::signfeed {

// "&#8217;", "&#x2019;" and the common HTML named entities ("&nbsp;",
// "&mdash;", "&eacute;", ...) to their characters; anything else, including
// references to no character or to NUL, stays as written.
[[nodiscard]] std::string decodeCharacterReferences(std::string_view utf8);

// Letters with marks outside windows-1252 (Latin Extended-A) to their base
// letters, and the dashes, primes and spaces it lacks to ASCII ones. Other
// characters pass unchanged.
[[nodiscard]] std::string transliterateForSign(std::string_view utf8);

}  // namespace orlavo::signfeed
