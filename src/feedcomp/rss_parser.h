#pragma once
// The text steps of a parse, before the document is cut into items: the fixed
// entity replacements, the StripTags removals and the "<items>" removal.
#include <string>
#include <string_view>

namespace pellix::detail {

// Replaces every occurrence of `find` by `with` in one left-to-right pass, in
// place; `with` is never longer than `find`. With ignoreCase, `find` is lower
// case and matches ignoring ASCII case.
void replaceAll(std::string& text, std::string_view find, std::string_view with,
                bool ignoreCase = false);

// Every replacement and removal that comes before the split at "<item", in
// order; with stripTags also the markup stripping.
void prepareText(std::string& text, bool stripTags);

}  // namespace pellix::detail
