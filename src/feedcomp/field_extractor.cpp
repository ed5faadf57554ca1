#include "feedcomp/field_extractor.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <string_view>

#include "feedcomp/text_search.h"

namespace pellix::detail {

namespace {

constexpr std::string_view kItemSeparator = "<item";

struct TagPair {
    std::string_view open;
    std::string_view close;  // first five characters of the closing tag, "</link>" whole
};

constexpr std::array<TagPair, kChannelFieldCount> kChannelTags = {{
    {"<title>", "</tit"},
    {"<link>", "</link>"},
    {"<description>", "</des"},
    {"<language>", "</lan"},
    {"<copyright>", "</cop"},
    {"<managingeditor>", "</man"},
    {"<webmaster>", "</web"},
    {"<pubdate>", "</pub"},
    {"<lastbuilddate>", "</las"},
    {"<category>", "</cat"},
}};

constexpr std::array<TagPair, kItemFieldCount> kItemTags = {{
    {"<title>", "</tit"},
    {"<link>", "</link>"},
    {"<description>", "</des"},
    {"<author>", "</aut"},
    {"<category>", "</cat"},
    {"<guid>", "</gui"},
    {"<pubdate>", "</pub"},
}};

constexpr std::array<std::string_view, kImageFieldCount> kImageTags = {
    "<url>", "<title>", "<link>", "<width>", "<height>", "<description>"};

// A piece of the text: the channel part or the image block.
struct Piece {
    std::size_t begin = 0;
    std::size_t end = 0;
};

// First occurrence of lowerNeedle inside the piece from `from`, or kNotFound.
std::size_t findIn(std::string_view text, Piece piece, std::string_view needle,
                   std::size_t from) noexcept
{
    return findNoCase(text.substr(0, piece.end), needle, from);
}

// A field's place in the text; begin is kNotFound when the field is empty.
struct Cut {
    std::size_t begin = kNotFound;
    std::size_t length = 0;
};

// The value between the piece's first opening tag and the first closing text
// after it.
Cut cutField(std::string_view text, Piece piece, TagPair tag) noexcept
{
    const std::size_t p = findIn(text, piece, tag.open, piece.begin);
    if (p == kNotFound) {
        return {};
    }
    const std::size_t q = findIn(text, piece, tag.close, p);
    if (q == kNotFound || q < p + tag.open.size()) {
        return {};
    }
    return {p + tag.open.size(), q - p - tag.open.size()};
}

void extractChannel(std::string_view text, Piece channel, DocumentContent& content)
{
    for (std::size_t i = 0; i < kChannelTags.size(); ++i) {
        const Cut cut = cutField(text, channel, kChannelTags[i]);
        if (cut.begin != kNotFound) {
            content.channel[i] = text.substr(cut.begin, cut.length);
        }
    }
}

// The image block runs from "<image>" to "</image>"; each image field ends
// at the first "</" after its tag inside the block.
void extractImage(std::string_view text, Piece channel, DocumentContent& content)
{
    const std::size_t p = findIn(text, channel, "<image>", channel.begin);
    if (p == kNotFound) {
        return;
    }
    const std::size_t q = findIn(text, channel, "</image>", p);
    if (q == kNotFound) {
        return;
    }
    const Piece block{p, q};
    content.channel[kImageMarker] = "yes";
    for (std::size_t j = 0; j < kImageTags.size(); ++j) {
        const std::size_t tag = findIn(text, block, kImageTags[j], block.begin);
        if (tag == kNotFound) {
            continue;
        }
        const std::size_t close = text.substr(0, block.end).find("</", tag);
        if (close != kNotFound) {
            const std::size_t begin = tag + kImageTags[j].size();
            content.channel[kImageFirstField + j] = text.substr(begin, close - begin);
        }
    }
}

void storeField(DocumentContent& content, std::size_t index, std::size_t field, Cut cut)
{
    ItemRecord& item = content.items[index];
    if (cut.begin == kNotFound) {
        return;
    }
    constexpr std::size_t kMax = std::numeric_limits<std::uint32_t>::max() - 1;
    const std::size_t offset = cut.begin - item.start;
    if (offset <= kMax && cut.length <= kMax) {
        item.fields[field] = {static_cast<std::uint32_t>(offset),
                              static_cast<std::uint32_t>(cut.length)};
        return;
    }
    item.fields[field] = {kWideMarker, 0};
    content.wideFields.push_back({index, static_cast<int>(field), cut.begin, cut.length});
}

// Which item tag a lower-case letter can begin: the letter after "<" picks
// at most one opening tag and the letter after "</" at most one closing text.
constexpr int kNoTag = -1;

constexpr std::array<int, 26> tagsByLetter(bool closing)
{
    std::array<int, 26> byLetter{};
    byLetter.fill(kNoTag);
    for (std::size_t j = 0; j < kItemTags.size(); ++j) {
        const std::string_view tag = closing ? kItemTags[j].close : kItemTags[j].open;
        byLetter[static_cast<std::size_t>(tag[closing ? 2 : 1] - 'a')] = static_cast<int>(j);
    }
    return byLetter;
}

constexpr std::array<int, 26> kOpenByLetter = tagsByLetter(false);
constexpr std::array<int, 26> kCloseByLetter = tagsByLetter(true);

int tagAt(const std::array<int, 26>& byLetter, char c) noexcept
{
    const char lower = asciiLower(c);
    return lower >= 'a' && lower <= 'z' ? byLetter[static_cast<std::size_t>(lower - 'a')] : kNoTag;
}

// Cuts the fields of item `index`, whose piece starts at its record's start,
// in one walk over the piece's "<": each is an opening tag seen for the first
// time, the first closing text after its opening tag, the next "<item", or
// none of these. No tag text holds a "<" past its first character, so none
// found before the next "<item" runs past it. Returns where the piece ends.
std::size_t extractItem(std::string_view text, std::size_t index, DocumentContent& content)
{
    std::array<std::size_t, kItemFieldCount> open;
    open.fill(kNotFound);
    std::array<bool, kItemFieldCount> done{};
    ByteCursor cursor(text, '<', content.items[index].start);
    for (std::size_t lt = cursor.next(); lt != kNotFound; lt = cursor.next()) {
        const std::size_t pos = lt + 1;
        if (pos == text.size()) {
            break;
        }
        if (text[pos] == '/') {
            const int j = pos + 1 < text.size() ? tagAt(kCloseByLetter, text[pos + 1]) : kNoTag;
            const auto field = static_cast<std::size_t>(j);
            if (j != kNoTag && open[field] != kNotFound && !done[field] &&
                startsWithNoCase(text, lt, kItemTags[field].close)) {
                const std::size_t value = open[field] + kItemTags[field].open.size();
                storeField(content, index, field, {value, lt - value});
                done[field] = true;
            }
            continue;
        }
        if (startsWithNoCase(text, lt, kItemSeparator)) {
            return lt;
        }
        const int j = tagAt(kOpenByLetter, text[pos]);
        const auto field = static_cast<std::size_t>(j);
        if (j != kNoTag && open[field] == kNotFound &&
            startsWithNoCase(text, lt, kItemTags[field].open)) {
            open[field] = lt;
        }
    }
    return text.size();
}

}  // namespace

std::unique_ptr<DocumentContent> extractFields(std::string text, std::int32_t maxItems)
{
    auto content = std::make_unique<DocumentContent>();
    content->text = std::move(text);
    const std::string_view t(content->text);
    if (t.empty()) {
        content->itemCount = -1;
        return content;
    }
    const auto limit = static_cast<std::size_t>(std::max(maxItems, 0));
    const std::size_t first = findNoCase(t, kItemSeparator, 0);
    if (first == kNotFound || limit == 0) {
        return content;
    }
    const Piece channel{0, first};
    extractChannel(t, channel, *content);
    extractImage(t, channel, *content);
    // Items are recorded as the walk finds them: the text is read once.
    std::size_t end = first;
    do {
        content->items.push_back({end + kItemSeparator.size(), {}});
        end = extractItem(t, content->items.size() - 1, *content);
    } while (end != t.size() && content->items.size() < limit);
    content->itemCount = static_cast<std::int32_t>(content->items.size());
    return content;
}

}  // namespace pellix::detail
