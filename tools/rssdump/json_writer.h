#pragma once
// Writes a parsed document as the one JSON object rssdump prints.
#include <cstdint>
#include <ostream>
#include <string_view>

#include <pellix/rss_file.h>

namespace orlavo::tools {

// A JSON string literal: quotes, backslashes and every control character
// (NUL included) escaped; the rest of the UTF-8 text as it is.
void writeJsonString(std::ostream& out, std::string_view text);

// item_count, channel, image and items 1..itemCount; items is [] when the
// count is not positive. document may be null only when itemCount <= 0.
void writeDocumentJson(std::ostream& out, const pellix::RSSFile* document, std::int32_t itemCount);

}  // namespace orlavo::tools
