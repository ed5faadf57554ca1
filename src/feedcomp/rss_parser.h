#pragma once
// The text steps of a parse, before the document is cut into items: the fixed
// entity replacements, the StripTags removals and the "<items>" removal.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace pellix::detail {

struct PreparedText {
    std::string text;
    std::size_t itemTags = 0;  // "<item" counted on the way: a guess at the item count
};

// The feed text after every replacement and removal that comes before the
// split at "<item", in order; with stripTags also the markup stripping.
// keepCdataMarkers leaves "<![CDATA[" and "]]>" in place, for the Atom reader.
[[nodiscard]] PreparedText prepareText(std::string_view text, bool stripTags, bool keepCdataMarkers = false);
// The same steps done inside text itself, so a large document is never held
// twice. original() gives the text again for the rare input where one pass
// cannot make the replacements and each must run over the whole text.
[[nodiscard]] PreparedText prepareOwnedText(std::string text, bool stripTags,
                                            const std::function<std::string()>& original);

}  // namespace pellix::detail
