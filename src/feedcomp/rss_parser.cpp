#include "feedcomp/rss_parser.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "feedcomp/large_pages.h"
#include "feedcomp/strip_markup.h"
#include "feedcomp/text_search.h"

namespace pellix::detail {

namespace {

// A text replaced everywhere. A search looks for its key, a rare byte or pair
// of bytes at `keyAt` in it.
struct Replacement {
    std::string_view find;
    std::string_view with;
    std::size_t keyAt = 0;
};

// The fixed replacements, each a left-to-right pass over what the one before
// left. "&lt;" runs before "&amp;", so "&amp;lt;" becomes "andlt;", never "<".
constexpr std::array<Replacement, 7> kFixedReplacements = {{
    {"<![CDATA[", "", 2},  // "<" is everywhere; "[" is rare
    {"]]>", "", 0},
    {"&gt;", ">", 0},
    {"&lt;", "<", 0},
    {"&apos;", "'", 0},
    {"&amp;", "and", 0},
    {"&quot;", "''", 0},
}};
constexpr std::array<BytePair, 3> kFixedKeys = {
    {{'[', kAnyByte, kAnyByte}, {']', kAnyByte, kAnyByte}, {'&', kAnyByte, kAnyByte}}};

// The fixed replacements without the CDATA markers, which the Atom reader
// needs to see where a section begins and ends (it drops them from values).
constexpr std::array<Replacement, 5> kEntityReplacements = {
    {kFixedReplacements[2], kFixedReplacements[3], kFixedReplacements[4], kFixedReplacements[5],
     kFixedReplacements[6]}};
constexpr std::array<BytePair, 1> kEntityKeys = {{{'&', kAnyByte, kAnyByte}}};

// Removed only when the caller asks for tags to be stripped, in this order.
constexpr std::array<Replacement, 7> kStripRemovals = {{
    {"<br />", "", 0},
    {"(NFL)", "", 0},
    {"(National Basketball Association)", "", 0},
    {"(Major League Baseball)", "", 0},
    {"(NHL)", "", 0},
    {"<b>", "", 0},
    {"</b>", "", 1},  // "</" opens every closing tag; "/b" is rare
}};
constexpr std::array<BytePair, 3> kStripKeys = {{{'<', 'b'}, {'/', 'b'}, {'(', kAnyByte, kAnyByte}}};

// Where a pass writes: onto the end of a new string, or back into the text
// it reads, trailing the reading (no replacement is longer than its text).
class AppendWriter {
public:
    explicit AppendWriter(std::string& out) noexcept : m_out(out) {}
    void put(const char* p, std::size_t n)
    {
        if (n > 0) {
            m_out.append(p, n);
        }
    }

private:
    std::string& m_out;
};

class InPlaceWriter {
public:
    explicit InPlaceWriter(std::string& text) noexcept : m_out(text.data()) {}
    void put(const char* p, std::size_t n) noexcept
    {
        if (n > 0 && m_out + m_written != p) {
            std::memmove(m_out + m_written, p, n);
        }
        m_written += n;
    }
    [[nodiscard]] std::size_t written() const noexcept { return m_written; }

private:
    char* m_out;
    std::size_t m_written = 0;
};

void replaceStep(std::string& text, const Replacement& step)
{
    const std::string_view t(text);
    InPlaceWriter out(text);
    std::size_t r = 0;
    for (std::size_t at = findExact(t, step.find, 0, step.keyAt); at != kNotFound;
         at = findExact(t, step.find, r, step.keyAt)) {
        out.put(t.data() + r, at - r);
        out.put(step.with.data(), step.with.size());
        r = at + step.find.size();
    }
    out.put(t.data() + r, t.size() - r);
    text.resize(out.written());
}

template <std::size_t N>
void replaceStepByStep(std::string& text, const std::array<Replacement, N>& steps)
{
    for (const Replacement& step : steps) {
        replaceStep(text, step);
    }
}

// Replacing a group of texts one pass per text is the same as one pass that
// replaces whichever comes first, as long as no two of the texts can overlap
// and no replacement writes a character that can begin a later step's text
// (both true of both groups here), and no replacement joins what lies around
// it into a new match for a later step. Such a match would have to begin in
// untouched text right before the replacement, with a start of that later
// step's text running up to it; a pass that finds one there gives up and the
// group runs step by step.
template <std::size_t N, std::size_t K>
class OnePassReplacer {
public:
    OnePassReplacer(const std::array<Replacement, N>& steps,
                    const std::array<BytePair, K>& keys) noexcept
        : m_steps(steps), m_keys(keys)
    {
        for (std::size_t s = 0; s < N; ++s) {
            for (std::size_t later = s + 1; later < N; ++later) {
                const std::string_view find = steps[later].find;
                m_reach[s] = std::max(m_reach[s], find.size() - 1);
                m_laterStarts[s][static_cast<unsigned char>(find[0])] = true;
            }
        }
    }

    // Writes text with every replacement made; false when a replacement might
    // join a new match (out then holds an unfinished text).
    template <typename Writer>
    [[nodiscard]] bool run(std::string_view text, Writer& out) const
    {
        std::size_t r = 0;
        for (std::size_t key = m_keys.find(text, 0); key != kNotFound;) {
            const Replacement* step = stepAt(text, key, r);
            if (step == nullptr) {
                key = m_keys.find(text, key + 1);
                continue;
            }
            const std::size_t at = key - step->keyAt;
            if (mayJoin(text, r, at, static_cast<std::size_t>(step - m_steps.data()))) {
                return false;
            }
            out.put(text.data() + r, at - r);
            out.put(step->with.data(), step->with.size());
            r = at + step->find.size();
            key = m_keys.find(text, r);
        }
        out.put(text.data() + r, text.size() - r);
        return true;
    }

private:
    // The step whose text has its key at `key` and starts at or after r; no
    // two of the texts can start with their keys at one place.
    const Replacement* stepAt(std::string_view text, std::size_t key, std::size_t r) const noexcept
    {
        for (const Replacement& step : m_steps) {
            if (key < r + step.keyAt) {
                continue;
            }
            const std::size_t at = key - step.keyAt;
            // The two characters after the key settle most candidates cheaply.
            const std::size_t check = step.keyAt + 2;
            if (text.size() - at >= step.find.size() && text[at + check] == step.find[check] &&
                text.substr(at, step.find.size()) == step.find) {
                return &step;
            }
        }
        return nullptr;
    }

    // True when text[x, at) is a proper start of the text of a step after
    // step s, for some x in the untouched stretch [r, at).
    bool mayJoin(std::string_view text, std::size_t r, std::size_t at, std::size_t s) const noexcept
    {
        const std::size_t from = at - r < m_reach[s] ? r : at - m_reach[s];
        for (std::size_t x = from; x < at; ++x) {
            if (!m_laterStarts[s][static_cast<unsigned char>(text[x])]) {
                continue;
            }
            for (std::size_t later = s + 1; later < N; ++later) {
                const std::string_view find = m_steps[later].find;
                if (at - x < find.size() && find.starts_with(text.substr(x, at - x))) {
                    return true;
                }
            }
        }
        return false;
    }

    const std::array<Replacement, N>& m_steps;
    PairScanner<K> m_keys;
    // Per step: how far back a later step's text could start, and which
    // characters start one.
    std::array<std::size_t, N> m_reach{};
    std::array<std::array<bool, 256>, N> m_laterStarts{};
};

// The fixed replacements, written from the caller's text into a new string.
// A huge document's copy is most of the parse's memory traffic.
template <std::size_t N, std::size_t K>
std::string replaceFixed(std::string_view text, const std::array<Replacement, N>& steps,
                         const std::array<BytePair, K>& keys)
{
    std::string out;
    out.reserve(text.size());
    adviseLargePages(out.data(), out.capacity());
    AppendWriter writer(out);
    if (!OnePassReplacer(steps, keys).run(text, writer)) {
        out.assign(text);
        replaceStepByStep(out, steps);
    }
    return out;
}

std::string replaceFixed(std::string_view text)
{
    return replaceFixed(text, kFixedReplacements, kFixedKeys);
}

// An RSS 1.0 channel lists its items in "<items>"; it must not start an item.
// Returns how many "<item" the pass saw and kept: the item count, unless
// StripMarkup later drops some or a removal joins a new one.
std::size_t removeItemsSequence(std::string& text)
{
    constexpr std::string_view kItems = "<items>";
    const std::string_view t(text);
    InPlaceWriter out(text);
    std::size_t kept = 0;
    std::size_t r = 0;
    // Every "<items>" begins with "<item", so one search finds both.
    for (std::size_t at = findNoCase(t, kItems.substr(0, 5), 0); at != kNotFound;
         at = findNoCase(t, kItems.substr(0, 5), at + 5)) {
        if (!startsWithNoCase(t, at, kItems)) {
            ++kept;
            continue;
        }
        out.put(t.data() + r, at - r);
        r = at + kItems.size();
    }
    out.put(t.data() + r, t.size() - r);
    text.resize(out.written());
    return kept;
}

// One pass of steps over text, written back into it; false (text then
// unfinished) when a replacement might join a new match.
template <std::size_t N, std::size_t K>
bool replaceInPlace(std::string& text, const std::array<Replacement, N>& steps, const std::array<BytePair, K>& keys)
{
    InPlaceWriter writer(text);
    if (!OnePassReplacer(steps, keys).run(text, writer)) {
        return false;
    }
    text.resize(writer.written());
    return true;
}

void finishPreparing(PreparedText& prepared, bool stripTags)
{
    prepared.itemTags = removeItemsSequence(prepared.text);
    if (stripTags) {
        stripMarkup(prepared.text);
    }
}

}  // namespace

PreparedText prepareOwnedText(std::string text, bool stripTags, const std::function<std::string()>& original)
{
    PreparedText prepared{std::move(text), 0};
    std::string& out = prepared.text;
    if (!replaceInPlace(out, kFixedReplacements, kFixedKeys) ||
        (stripTags && !replaceInPlace(out, kStripRemovals, kStripKeys))) {
        out = original();
        replaceStepByStep(out, kFixedReplacements);
        if (stripTags) {
            replaceStepByStep(out, kStripRemovals);
        }
    }
    finishPreparing(prepared, stripTags);
    return prepared;
}

PreparedText prepareText(std::string_view text, bool stripTags, bool keepCdataMarkers)
{
    PreparedText prepared{keepCdataMarkers ? replaceFixed(text, kEntityReplacements, kEntityKeys) : replaceFixed(text),
                          0};
    std::string& out = prepared.text;
    if (stripTags) {
        InPlaceWriter writer(out);
        if (OnePassReplacer(kStripRemovals, kStripKeys).run(out, writer)) {
            out.resize(writer.written());
        } else {
            // The one pass wrote over its own input: start again from the caller's.
            out = keepCdataMarkers ? replaceFixed(text, kEntityReplacements, kEntityKeys) : replaceFixed(text);
            replaceStepByStep(out, kStripRemovals);
        }
    }
    finishPreparing(prepared, stripTags);
    return prepared;
}

}  // namespace pellix::detail
