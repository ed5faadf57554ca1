#pragma once
// Removes whole HTML elements of a few kinds (anchors, level-2 headings, bare
// paragraphs, span-like tags, long image tags) from a feed text, in place.
#include <string>

namespace pellix::detail {

// The text shrinks to what was written; a NUL in the text is kept like any
// other character. Runs in time linear in the text's length.
void stripMarkup(std::string& text);

}  // namespace pellix::detail
