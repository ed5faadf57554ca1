#include "feedcomp/strip_markup.h"

#include <array>
#include <cstring>
#include <string_view>

#include "feedcomp/text_search.h"

namespace pellix::detail {

namespace {

enum class EndText { Anchor, Heading, Paragraph, Span, TagClose };

constexpr std::array<std::string_view, 5> kEndTexts = {"</a>", "</h2>", "</p>", "</span>", ">"};

// Where each end text next occurs. A search starts where the reader stands;
// an answer at or after a later reader position is still the first one
// there, and "none" stays none, so no part of the text is searched twice
// for the same end text (many unclosed anchors stay linear).
class EndTextFinder {
public:
    explicit EndTextFinder(std::string_view text) : m_text(text) {}

    [[nodiscard]] std::size_t find(EndText kind, std::size_t from) noexcept
    {
        const auto k = static_cast<std::size_t>(kind);
        if (!m_known[k] || (m_next[k] != kNotFound && m_next[k] < from)) {
            m_next[k] = findNoCase(m_text, kEndTexts[k], from);
            m_known[k] = true;
        }
        return m_next[k];
    }

private:
    std::string_view m_text;
    std::array<std::size_t, 5> m_next{};
    std::array<bool, 5> m_known{};
};

// What a "<" does, decided by the two characters after it.
struct Removal {
    EndText end;
    std::size_t dropAfter;  // characters dropped after the end text
};

// The element a "<" can open, by the character after it (either case), and
// the character (either case) that must come next; second 0 for none.
struct Opener {
    char second = 0;
    char orSecond = 0;
    Removal removal{};
};

constexpr std::array<Opener, 256> makeOpeners()
{
    std::array<Opener, 256> openers{};
    const auto set = [&openers](char lower, Opener opener) {
        openers[static_cast<unsigned char>(lower)] = opener;
        openers[static_cast<unsigned char>(lower - 'a' + 'A')] = opener;
    };
    set('a', {' ', '\r', {EndText::Anchor, 1}});
    set('h', {'2', '2', {EndText::Heading, 0}});
    set('p', {'>', '>', {EndText::Paragraph, 1}});
    set('s', {'p', 'p', {EndText::Span, 1}});
    set('i', {'m', 'm', {EndText::TagClose, 1}});
    return openers;
}

constexpr std::array<Opener, 256> kOpeners = makeOpeners();

bool classify(std::string_view t, std::size_t j, Removal& removal) noexcept
{
    const Opener& opener = kOpeners[static_cast<unsigned char>(t[j + 1])];
    const char c2 = asciiLower(t[j + 2]);
    if (opener.second == 0 || (c2 != opener.second && c2 != opener.orSecond)) {
        return false;
    }
    removal = opener.removal;
    return true;
}

// Position after `count` characters from pos (or the text's end).
std::size_t skipChars(std::string_view t, std::size_t pos, std::size_t count) noexcept
{
    for (std::size_t i = 0; i < count && pos < t.size(); ++i) {
        pos += charLength(t, pos);
    }
    return pos;
}

// Next read position for the "<" at j: past the removed element, or j when
// the "<" is to be copied, or j + 1 when only the "<" is dropped.
std::size_t nextAfterMarkup(std::string_view t, std::size_t j, EndTextFinder& finder)
{
    // The last three characters are always copied, "<" included; classify
    // reads the two bytes after the "<", so it waits for a length check.
    Removal removal{};
    if (t.size() - j < 3 || !classify(t, j, removal) || countChars(t, j + 1, t.size(), 3) < 3) {
        return j;
    }
    const std::size_t k = finder.find(removal.end, j);
    if (removal.end == EndText::TagClose) {
        // An image tag closed within seven characters of its "<" stays.
        if (k == kNotFound || countChars(t, j, k, 8) <= 7) {
            return j;
        }
    } else if (k == kNotFound) {
        return j + 1;
    }
    const std::size_t endLength = kEndTexts[static_cast<std::size_t>(removal.end)].size();
    return skipChars(t, k + endLength, removal.dropAfter);
}

}  // namespace

void stripMarkup(std::string& text)
{
    // Written in place: the write position never passes the read position,
    // and every search looks only at the unread part. Text is moved only
    // when an element is dropped, a whole stretch at a time.
    char* const data = text.data();
    const std::string_view t(text);
    EndTextFinder finder(t);
    std::size_t copyFrom = 0;  // the text from here on is still to be written
    std::size_t written = 0;   // what is kept so far lies before this
    const auto copyUpTo = [&](std::size_t end) {
        if (written != copyFrom) {
            std::memmove(data + written, data + copyFrom, end - copyFrom);
        }
        written += end - copyFrom;
    };
    ByteCursor lessThan(t, '<', 0);
    for (std::size_t lt = lessThan.next(); lt != kNotFound; lt = lessThan.next()) {
        const std::size_t next = nextAfterMarkup(t, lt, finder);
        if (next != lt) {
            copyUpTo(lt);
            copyFrom = next;
            lessThan.seek(next);
        }
    }
    copyUpTo(t.size());
    text.resize(written);
}

}  // namespace pellix::detail
