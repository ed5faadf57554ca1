#pragma once
// What an RSSFile holds after a parse: the channel strings and, per item,
// where its seven fields lie in the one processed text. Items are offsets,
// not strings, so a feed of many small items stays compact.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "feedcomp/large_pages.h"
#include "pellix/rss_file.h"

namespace pellix::detail {

// Indices into DocumentContent::channel.
inline constexpr int kChannelFieldCount = 10;
inline constexpr int kImageMarker = 10;
inline constexpr int kImageFirstField = 11;
inline constexpr int kImageFieldCount = 6;
inline constexpr int kItemFieldCount = 7;

// A field as offset and length from the start of its item's piece.
struct FieldSpan {
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
};

// A field too far from its item's start for 32 bits (only in texts past
// 4 GiB); FieldSpan then holds kWideMarker and the field is looked up here.
struct WideField {
    std::size_t item = 0;
    int field = 0;
    std::size_t begin = 0;  // absolute offset in the text
    std::size_t length = 0;
};
inline constexpr std::uint32_t kWideMarker = 0xFFFFFFFFu;

struct ItemRecord {
    std::size_t start = 0;  // just after the item's "<item"
    std::array<FieldSpan, kItemFieldCount> fields{};
};

struct DocumentContent {
    std::array<std::string, 17> channel;
    std::string text;               // the processed document the items are cut from
    // Items 1..n at index 0..n-1; a million tiny items fill 64 MiB.
    std::vector<ItemRecord, LargePageAllocator<ItemRecord>> items;
    std::vector<WideField> wideFields;
    std::int32_t itemCount = 0;
};

// The one place that turns parsed content into a document.
struct DocumentFactory {
    [[nodiscard]] static std::shared_ptr<RSSFile> make(std::unique_ptr<DocumentContent> content);
};

}  // namespace pellix::detail
