#pragma once
/// @file
/// pellix::RSSFile, a parsed RSS document.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "pellix/export.h"

namespace pellix {

namespace detail {
struct DocumentContent;
struct DocumentFactory;
}  // namespace detail

/// The channel fields, the image block and the items found in one feed text.
/// Values are UTF-8 and verbatim from the feed after its fixed entity
/// replacements: whitespace and any markup inside an element are kept.
/// The number of items is not stored here; it comes with the document from
/// whoever parsed it, and items 1 to that number can be read.
///
/// The library makes these (RSSComp::GetRSSFile, ParseFeed); a host only
/// reads them and drops them when done. Every member is safe to call on any
/// document, and a document never changes, so any thread may read it.
class PELLIX_API RSSFile {
public:
    ~RSSFile();
    RSSFile(const RSSFile&) = delete;
    RSSFile& operator=(const RSSFile&) = delete;

    /// Channel title: text of the channel's first `<title>` element. Channel
    /// fields are empty when the element is missing, has no text or no
    /// closing tag, and whenever the feed held no item.
    [[nodiscard]] const std::string& Title() const noexcept;
    /// URL of the channel website: text of the first `<link>` element.
    [[nodiscard]] const std::string& Link() const noexcept;
    /// RSS channel description: text of the first `<description>` element.
    [[nodiscard]] const std::string& Description() const noexcept;
    /// Language code for the channel: text of the first `<language>` element.
    [[nodiscard]] const std::string& Language() const noexcept;
    /// Text of the channel's first `<copyright>` element.
    [[nodiscard]] const std::string& Copyright() const noexcept;
    /// Text of the channel's first `<managingEditor>` element.
    [[nodiscard]] const std::string& ManagingEditor() const noexcept;
    /// Text of the channel's first `<webMaster>` element.
    [[nodiscard]] const std::string& Webmaster() const noexcept;
    /// Date of channel posting: text of the first `<pubDate>` element.
    [[nodiscard]] const std::string& PubDate() const noexcept;
    /// Date of the last change in channel content: first `<lastBuildDate>`.
    [[nodiscard]] const std::string& LastBuildDate() const noexcept;
    /// Text of the channel's first `<category>` element.
    [[nodiscard]] const std::string& Category() const noexcept;

    /// A new array on every call. Element 0 is "yes" when the channel has an
    /// `<image>` block closed by `</image>`; elements 1-6 then hold its url,
    /// title, link, width, height and description (empty when missing).
    /// Without such a block all seven elements are empty.
    [[nodiscard]] std::array<std::string, 7> ImageData() const;

    /// Item properties. For an item number from 1 to the item count: the
    /// item's text (empty when the element is missing). For 0 on a document
    /// with items: an empty string. Any other number: no value. Never fails.
    [[nodiscard]] std::optional<std::string> ItemTitle(std::int32_t iNum) const;
    /// URL of the item: its `<link>` element.
    [[nodiscard]] std::optional<std::string> ItemLink(std::int32_t iNum) const;
    /// Description of the item: its `<description>` element.
    [[nodiscard]] std::optional<std::string> ItemDescription(std::int32_t iNum) const;
    /// Author of the item: its `<author>` element.
    [[nodiscard]] std::optional<std::string> ItemAuthor(std::int32_t iNum) const;
    /// The item's first `<category>` element.
    [[nodiscard]] std::optional<std::string> ItemCategory(std::int32_t iNum) const;
    /// Unique ID of the item: its `<guid>` element.
    [[nodiscard]] std::optional<std::string> ItemGuid(std::int32_t iNum) const;
    /// Date of the item: its `<pubDate>` element.
    [[nodiscard]] std::optional<std::string> ItemPubDate(std::int32_t iNum) const;

private:
    friend struct detail::DocumentFactory;
    explicit RSSFile(std::unique_ptr<const detail::DocumentContent> content) noexcept;

    [[nodiscard]] const std::string& channelField(int index) const noexcept;
    [[nodiscard]] std::optional<std::string> itemField(std::int32_t iNum, int field) const;

    std::unique_ptr<const detail::DocumentContent> m_content;
};

}  // namespace pellix
