#include "feedcomp/rss_parser.h"

#include <array>
#include <cstring>

#include "feedcomp/strip_markup.h"
#include "feedcomp/text_search.h"

namespace pellix::detail {

namespace {

// A text replaced everywhere, found by the pair of characters at `anchor`.
struct Replacement {
    std::string_view find;
    std::string_view with;
    std::size_t anchor = 0;
};

struct Entity {
    std::string_view find;
    std::string_view with;
};

// Each entity holds one "&", at its start, and no replacement writes a "&" or
// a ";", so no entity's replacement can make or break another entity: one
// pass over the "&"s gives the text that one pass per entity in this order
// would. ("&amp;lt;" becomes "andlt;", never "<".)
constexpr std::array<Entity, 5> kEntities = {{
    {"&gt;", ">"},
    {"&lt;", "<"},
    {"&apos;", "'"},
    {"&amp;", "and"},
    {"&quot;", "''"},
}};

// Removed only when the caller asks for tags to be stripped, one after the
// other: a removal can join the texts around it into the next one's text.
constexpr std::array<Replacement, 7> kStripRemovals = {{
    {"<br />", "", 0},
    {"(NFL)", "", 0},
    {"(National Basketball Association)", "", 0},
    {"(Major League Baseball)", "", 0},
    {"(NHL)", "", 0},
    {"<b>", "", 0},
    {"</b>", "", 1},  // "</" opens every closing tag; "/b" is rare
}};

// Copies text[from, to) to out + w unless it is already there (an in-place
// pass with nothing replaced yet), and returns the new write position.
std::size_t carry(char* out, std::size_t w, const char* in, std::size_t from, std::size_t to)
{
    if (to > from && out + w != in + from) {
        std::memmove(out + w, in + from, to - from);
    }
    return w + to - from;
}

// One place to replace: text[at, at + length) becomes `with`.
struct Match {
    std::size_t at = kNotFound;
    std::size_t length = 0;
    std::string_view with;
};

// Writes text with every match that next(from) finds replaced to out, which
// may be text's own storage: no replacement is longer than what it replaces,
// so writing trails reading. Returns the written length.
template <typename NextMatch>
std::size_t replaceEach(std::string_view text, char* out, NextMatch next)
{
    std::size_t w = 0;
    std::size_t r = 0;
    for (Match m = next(r); m.at != kNotFound; m = next(r)) {
        w = carry(out, w, text.data(), r, m.at);
        if (!m.with.empty()) {
            std::memcpy(out + w, m.with.data(), m.with.size());
            w += m.with.size();
        }
        r = m.at + m.length;
    }
    return carry(out, w, text.data(), r, text.size());
}

void replaceInPlace(std::string& text, const Replacement& rep)
{
    const std::string_view t(text);
    text.resize(replaceEach(t, text.data(), [&](std::size_t from) {
        return Match{findExact(t, rep.find, from, rep.anchor), rep.find.size(), rep.with};
    }));
}

// The first step works from the caller's text straight into the copy.
std::string copyWithoutCdataOpen(std::string_view text)
{
    constexpr std::string_view kCdataOpen = "<![CDATA[";
    std::string out;
    out.resize(text.size());
    out.resize(replaceEach(text, out.data(), [&](std::size_t from) {
        return Match{findExact(text, kCdataOpen, from), kCdataOpen.size(), {}};
    }));
    return out;
}

void replaceEntities(std::string& text)
{
    const std::string_view t(text);
    text.resize(replaceEach(t, text.data(), [&](std::size_t from) {
        while (from < t.size()) {
            const void* hit = std::memchr(t.data() + from, '&', t.size() - from);
            if (hit == nullptr) {
                break;
            }
            const auto amp = static_cast<std::size_t>(static_cast<const char*>(hit) - t.data());
            for (const Entity& entity : kEntities) {
                if (t.substr(amp, entity.find.size()) == entity.find) {
                    return Match{amp, entity.find.size(), entity.with};
                }
            }
            from = amp + 1;
        }
        return Match{};
    }));
}

// An RSS 1.0 channel lists its items in "<items>"; it must not start an item.
void removeItemsSequence(std::string& text)
{
    constexpr std::string_view kItems = "<items>";
    const std::string_view t(text);
    text.resize(replaceEach(t, text.data(), [&](std::size_t from) {
        return Match{findNoCase(t, kItems, from), kItems.size(), {}};
    }));
}

}  // namespace

std::string prepareText(std::string_view text, bool stripTags)
{
    std::string out = copyWithoutCdataOpen(text);
    replaceInPlace(out, {"]]>", "", 0});
    replaceEntities(out);
    if (stripTags) {
        for (const Replacement& removal : kStripRemovals) {
            replaceInPlace(out, removal);
        }
    }
    removeItemsSequence(out);
    if (stripTags) {
        stripMarkup(out);
    }
    return out;
}

}  // namespace pellix::detail
