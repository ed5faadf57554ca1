#pragma once
// Small builders for feed texts used across the document tests.
#include <array>
#include <string>
#include <string_view>

#include "feedcomp/rss_document.h"

#include <gtest/gtest.h>

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

using Fields = std::array<std::string, 7>;

// An item's seven fields in the order of the item properties; "?" for no value.
inline Fields itemFields(const RSSFile& doc, std::int32_t n)
{
    return {doc.ItemTitle(n).value_or("?"),  doc.ItemLink(n).value_or("?"),     doc.ItemDescription(n).value_or("?"),
            doc.ItemAuthor(n).value_or("?"), doc.ItemCategory(n).value_or("?"), doc.ItemGuid(n).value_or("?"),
            doc.ItemPubDate(n).value_or("?")};
}

// Everything a document answers, in one string, to compare two parses.
inline std::string documentDump(const detail::ParsedDocument& parsed)
{
    std::string dump = std::to_string(parsed.itemCount);
    if (parsed.document == nullptr) {
        return dump;
    }
    const RSSFile& doc = *parsed.document;
    dump += "|" + doc.Title() + "|" + doc.Category();
    for (std::int32_t i = 0; i <= parsed.itemCount; ++i) {
        for (const auto& field : {doc.ItemTitle(i), doc.ItemLink(i), doc.ItemDescription(i), doc.ItemAuthor(i),
                                  doc.ItemCategory(i), doc.ItemGuid(i), doc.ItemPubDate(i)}) {
            dump += "|" + field.value_or("-");
        }
    }
    return dump;
}

// Every parse test also checks that the parse made in place of its text
// (the download's way) gives the document the copying parse gives.
inline detail::ParsedDocument parse(std::string_view text, bool stripTags = false)
{
    detail::ParsedDocument copied = detail::parseDocument(text, stripTags);
    EXPECT_EQ(documentDump(detail::parseOwnedDocument(std::string(text), stripTags,
                                                      [text] { return std::string(text); })),
              documentDump(copied))
        << "in-place parse differs for: " << text;
    return copied;
}

}  // namespace pellix::testing
