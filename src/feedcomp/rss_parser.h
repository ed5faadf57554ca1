#pragma once
// The text steps of a parse, before the document is cut into items: the fixed
// entity replacements, the StripTags removals and the "<items>" removal.
#include <string>
#include <string_view>

namespace pellix::detail {

// The feed text after every replacement and removal that comes before the
// split at "<item", in order; with stripTags also the markup stripping.
[[nodiscard]] std::string prepareText(std::string_view text, bool stripTags);

}  // namespace pellix::detail
