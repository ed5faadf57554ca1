#pragma once
// Atom 1.0 feeds: a prepared text with no "<item" but with "<entry" elements
// is read into the same content an RSS feed gives, so hosts see items either
// way. Values are cut verbatim from the prepared text, markup included, as
// the RSS fields are. The text keeps its CDATA markers: comments and CDATA
// sections are text, so an element written inside one is no element, and
// the markers are dropped from the values as RSS drops them.
#include <cstdint>
#include <memory>
#include <string_view>

#include "feedcomp/document_content.h"

namespace pellix::detail {

// Null when text holds no entry. Entries become items (title, link href,
// summary or else content, author name, category term, id, published or else
// updated); the feed's title, link, subtitle, rights and updated fill the
// channel's Title, Link, Description, Copyright and LastBuildDate, and its
// logo the image. At most maxItems entries are kept.
[[nodiscard]] std::unique_ptr<DocumentContent> readAtom(std::string_view text, std::int32_t maxItems);

}  // namespace pellix::detail
