#include "feedcomp/rss_parser.h"

#include <array>
#include <cstring>
#include <utility>

#include "feedcomp/strip_markup.h"
#include "feedcomp/text_search.h"

namespace pellix::detail {

namespace {

using Replacement = std::pair<std::string_view, std::string_view>;

// "&lt;" runs before "&amp;", so "&amp;lt;" becomes "andlt;", never "<".
constexpr std::array<Replacement, 7> kFixedReplacements = {{
    {"<![CDATA[", ""},
    {"]]>", ""},
    {"&gt;", ">"},
    {"&lt;", "<"},
    {"&apos;", "'"},
    {"&amp;", "and"},
    {"&quot;", "''"},
}};

// Removed only when the caller asks for tags to be stripped.
constexpr std::array<std::string_view, 7> kStripRemovals = {
    "<br />", "(NFL)", "(National Basketball Association)", "(Major League Baseball)",
    "(NHL)",  "<b>",   "</b>",
};

std::size_t findFrom(std::string_view text, std::string_view find, std::size_t from,
                     bool ignoreCase) noexcept
{
    return ignoreCase ? findNoCase(text, find, from) : text.find(find, from);
}

}  // namespace

void replaceAll(std::string& text, std::string_view find, std::string_view with, bool ignoreCase)
{
    std::size_t hit = findFrom(text, find, 0, ignoreCase);
    if (hit == kNotFound) {
        return;
    }
    // Compacts in place: the output never grows, so writing trails reading.
    char* const data = text.data();
    std::size_t w = hit;
    while (hit != kNotFound) {
        if (!with.empty()) {
            std::memcpy(data + w, with.data(), with.size());
            w += with.size();
        }
        const std::size_t r = hit + find.size();
        hit = findFrom(text, find, r, ignoreCase);
        const std::size_t end = hit == kNotFound ? text.size() : hit;
        std::memmove(data + w, data + r, end - r);
        w += end - r;
    }
    text.resize(w);
}

void prepareText(std::string& text, bool stripTags)
{
    for (const auto& [find, with] : kFixedReplacements) {
        replaceAll(text, find, with);
    }
    if (stripTags) {
        for (std::string_view find : kStripRemovals) {
            replaceAll(text, find, {});
        }
    }
    // An RSS 1.0 channel lists its items in "<items>"; it must not start an item.
    replaceAll(text, "<items>", {}, true);
    if (stripTags) {
        stripMarkup(text);
    }
}

}  // namespace pellix::detail
