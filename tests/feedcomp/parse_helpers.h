#pragma once
// Small builders for feed texts used across the document tests.
#include <string>
#include <string_view>

#include "feedcomp/rss_document.h"

namespace pellix::testing {

// A channel titled "Chan" holding the given item elements (each wrapped in
// <item>...</item>).
inline std::string feedWithItems(std::initializer_list<std::string_view> items)
{
    std::string feed = "<?xml version=\"1.0\"?><rss><channel><title>Chan</title>";
    for (std::string_view item : items) {
        feed += "<item>";
        feed += item;
        feed += "</item>";
    }
    feed += "</channel></rss>";
    return feed;
}

inline detail::ParsedDocument parse(std::string_view text, bool stripTags = false)
{
    return detail::parseDocument(text, stripTags);
}

}  // namespace pellix::testing
