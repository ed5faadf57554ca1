#include "feedcomp/field_extractor.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <string_view>
#include <utility>

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

// A tag text of up to 16 characters, compared ignoring ASCII case as two
// 8-byte words: no loop and no branch per character. Letters compare after
// setting bit 0x20, which maps exactly the two cases of a letter onto one.
class TagText {
public:
    explicit constexpr TagText(std::string_view lower) : m_text(lower)
    {
        std::array<unsigned char, 16> want{};
        std::array<unsigned char, 16> fold{};
        std::array<unsigned char, 16> mask{};
        for (std::size_t i = 0; i < lower.size(); ++i) {
            want[i] = static_cast<unsigned char>(lower[i]);
            fold[i] = isAsciiLetter(lower[i]) ? 0x20 : 0;
            mask[i] = 0xFF;
        }
        m_want = halves(want);
        m_fold = halves(fold);
        m_mask = halves(mask);
    }

    [[nodiscard]] std::size_t size() const noexcept { return m_text.size(); }

    // True when text at pos starts with this tag text, ASCII case ignored.
    [[nodiscard]] bool at(std::string_view text, std::size_t pos) const noexcept
    {
        if (text.size() - pos < 16) {
            return startsWithNoCase(text, pos, m_text);
        }
        std::uint64_t low;
        std::uint64_t high;
        std::memcpy(&low, text.data() + pos, sizeof low);
        std::memcpy(&high, text.data() + pos + 8, sizeof high);
        return ((((low | m_fold[0]) ^ m_want[0]) & m_mask[0]) |
                (((high | m_fold[1]) ^ m_want[1]) & m_mask[1])) == 0;
    }

private:
    static constexpr std::array<std::uint64_t, 2> halves(const std::array<unsigned char, 16>& bytes)
    {
        std::array<unsigned char, 8> low{};
        std::array<unsigned char, 8> high{};
        for (std::size_t i = 0; i < 8; ++i) {
            low[i] = bytes[i];
            high[i] = bytes[i + 8];
        }
        return {std::bit_cast<std::uint64_t>(low), std::bit_cast<std::uint64_t>(high)};
    }

    std::string_view m_text;
    std::array<std::uint64_t, 2> m_want{};
    std::array<std::uint64_t, 2> m_fold{};
    std::array<std::uint64_t, 2> m_mask{};
};

struct ItemTagTexts {
    std::array<TagText, kItemFieldCount> open;
    std::array<TagText, kItemFieldCount> close;
};

template <std::size_t... J>
constexpr ItemTagTexts makeItemTagTexts(std::index_sequence<J...>)
{
    return {{TagText(kItemTags[J].open)...}, {TagText(kItemTags[J].close)...}};
}

constexpr ItemTagTexts kItemTagTexts = makeItemTagTexts(std::make_index_sequence<kItemFieldCount>());
constexpr TagText kItemSeparatorText(kItemSeparator);

// What the byte after a "<" (or after "</") can begin: the field whose tag
// starts with it, in either case, or the item separator; the first letters
// of the tags differ from each other and from the separator's.
constexpr std::int8_t kNoTag = -1;
constexpr std::int8_t kSeparatorTag = kItemFieldCount;

constexpr std::array<std::int8_t, 256> tagsByByte(bool closing)
{
    std::array<std::int8_t, 256> byByte{};
    byByte.fill(kNoTag);
    const auto mark = [&byByte](char lower, int tag) {
        byByte[static_cast<unsigned char>(lower)] = static_cast<std::int8_t>(tag);
        byByte[static_cast<unsigned char>(lower - 'a' + 'A')] = static_cast<std::int8_t>(tag);
    };
    for (std::size_t j = 0; j < kItemTags.size(); ++j) {
        mark(closing ? kItemTags[j].close[2] : kItemTags[j].open[1], static_cast<int>(j));
    }
    if (!closing) {
        mark(kItemSeparator[1], kSeparatorTag);
    }
    return byByte;
}

constexpr std::array<std::int8_t, 256> kOpenByByte = tagsByByte(false);
constexpr std::array<std::int8_t, 256> kCloseByByte = tagsByByte(true);

std::int8_t tagAfter(const std::array<std::int8_t, 256>& byByte, std::string_view text,
                     std::size_t pos) noexcept
{
    return pos < text.size() ? byByte[static_cast<unsigned char>(text[pos])] : kNoTag;
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
        if (lt + 1 < text.size() && text[lt + 1] == '/') {
            const std::int8_t tag = tagAfter(kCloseByByte, text, lt + 2);
            const auto field = static_cast<std::size_t>(tag);
            if (tag != kNoTag && open[field] != kNotFound && !done[field] &&
                kItemTagTexts.close[field].at(text, lt)) {
                const std::size_t value = open[field] + kItemTagTexts.open[field].size();
                storeField(content, index, field, {value, lt - value});
                done[field] = true;
            }
            continue;
        }
        const std::int8_t tag = tagAfter(kOpenByByte, text, lt + 1);
        if (tag == kSeparatorTag) {
            if (kItemSeparatorText.at(text, lt)) {
                return lt;
            }
            continue;
        }
        const auto field = static_cast<std::size_t>(tag);
        if (tag != kNoTag && open[field] == kNotFound && kItemTagTexts.open[field].at(text, lt)) {
            open[field] = lt;
        }
    }
    return text.size();
}

}  // namespace

std::unique_ptr<DocumentContent> extractFields(std::string text, std::int32_t maxItems,
                                               std::size_t expectedItems)
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
    content->items.reserve(std::min(limit, expectedItems));
    std::size_t end = first;
    do {
        content->items.push_back({end + kItemSeparator.size(), {}});
        end = extractItem(t, content->items.size() - 1, *content);
    } while (end != t.size() && content->items.size() < limit);
    content->itemCount = static_cast<std::int32_t>(content->items.size());
    return content;
}

}  // namespace pellix::detail
