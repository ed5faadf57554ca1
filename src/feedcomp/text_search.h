#pragma once
// Substring search over the feed text. Tag texts are lower-case ASCII and the
// feed is matched ignoring ASCII case only, which gives the same positions as
// searching a lower-cased copy without ever making one.
//
// Most needles begin with "<", which a feed holds every few bytes, so a search
// that stops at each "<" spends its time starting and stopping. Searches here
// look for a pair of adjacent bytes instead, many positions per step.
#include "platform/ascii.h"

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pellix::detail {

inline constexpr std::size_t kNotFound = std::string_view::npos;

using orlavo::platform::asciiLower;

[[nodiscard]] constexpr bool isAsciiLetter(char c) noexcept
{
    return asciiLower(c) >= 'a' && asciiLower(c) <= 'z';
}

// True when text at pos starts with lowerNeedle, ASCII case ignored.
[[nodiscard]] inline bool startsWithNoCase(std::string_view text, std::size_t pos,
                                           std::string_view lowerNeedle) noexcept
{
    if (pos > text.size() || text.size() - pos < lowerNeedle.size()) {
        return false;
    }
    for (std::size_t i = 0; i < lowerNeedle.size(); ++i) {
        if (asciiLower(text[pos + i]) != lowerNeedle[i]) {
            return false;
        }
    }
    return true;
}

// Two adjacent bytes to look for. The second is compared after OR-ing
// `setBits` into the text's byte: 0 compares exactly, kEitherCase matches
// both cases of a lower-case letter (exactly those two bytes map onto it),
// and with kAnyByte (and second == kAnyByte) any byte matches.
struct BytePair {
    char first = 0;
    char second = 0;
    char setBits = 0;
};
inline constexpr char kEitherCase = 0x20;
inline constexpr char kAnyByte = static_cast<char>(0xFF);

namespace scan {

#if defined(__SSE2__)
// Sixteen bytes per step on any x86-64 (SSE2 is part of its base set).
inline constexpr std::size_t kStep = 16;
using Block = __m128i;

[[nodiscard]] inline Block load(const char* p) noexcept
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

[[nodiscard]] inline Block splat(char c) noexcept { return _mm_set1_epi8(c); }

// Each byte all ones where a and b are equal, else zero.
[[nodiscard]] inline Block equal(Block a, Block b) noexcept { return _mm_cmpeq_epi8(a, b); }
[[nodiscard]] inline Block bitAnd(Block a, Block b) noexcept { return _mm_and_si128(a, b); }
[[nodiscard]] inline Block bitOr(Block a, Block b) noexcept { return _mm_or_si128(a, b); }

// Bit k set for each byte k that is all ones.
[[nodiscard]] inline std::uint32_t bits(Block flags) noexcept
{
    return static_cast<std::uint32_t>(_mm_movemask_epi8(flags));
}
#else
// Elsewhere eight bytes per step in one 64-bit word.
inline constexpr std::size_t kStep = 8;
using Block = std::uint64_t;

[[nodiscard]] inline Block load(const char* p) noexcept
{
    Block word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

[[nodiscard]] inline Block splat(char c) noexcept
{
    return 0x0101010101010101u * static_cast<unsigned char>(c);
}

// Each byte 0x80 where a and b are equal, else zero. Exact: the sum never
// carries from one byte into the next.
[[nodiscard]] inline Block equal(Block a, Block b) noexcept
{
    constexpr Block kLow7 = 0x7F7F7F7F7F7F7F7Fu;
    const Block x = a ^ b;
    return ~(((x & kLow7) + kLow7) | x | kLow7);
}
[[nodiscard]] inline Block bitAnd(Block a, Block b) noexcept { return a & b; }
[[nodiscard]] inline Block bitOr(Block a, Block b) noexcept { return a | b; }

// Bit k set for each byte k (in memory order) with its top bit set.
[[nodiscard]] inline std::uint32_t bits(Block flags) noexcept
{
    Block word = (flags >> 7) & 0x0101010101010101u;
    if constexpr (std::endian::native == std::endian::big) {
        Block reversed = 0;
        for (int k = 0; k < 8; ++k, word >>= 8) {
            reversed = (reversed << 8) | (word & 0xFF);
        }
        word = reversed;
    }
    // Gathers byte k's bit at bit 56 + k; no two partial products collide.
    return static_cast<std::uint32_t>((word * 0x0102040810204080u) >> 56);
}
#endif

// mask(p) for the block at text[at], whose end may lie past the text's end:
// such a block is read from a zero-padded copy and the bits past the end are
// cleared. A mask may read one byte past its block.
template <typename Mask>
[[nodiscard]] inline std::uint32_t blockMask(std::string_view text, std::size_t at,
                                             const Mask& mask) noexcept
{
    if (at >= text.size()) {
        return 0;
    }
    const std::size_t left = text.size() - at;
    if (left > kStep) {
        return mask(text.data() + at);
    }
    char padded[kStep + 1] = {};
    std::memcpy(padded, text.data() + at, left);
    return mask(static_cast<const char*>(padded)) & ((std::uint32_t{1} << left) - 1);
}

}  // namespace scan

// Finds where any of N byte pairs starts, testing all N on a block at once.
template <std::size_t N>
class PairScanner {
public:
    explicit PairScanner(const std::array<BytePair, N>& pairs) noexcept
    {
        for (std::size_t k = 0; k < N; ++k) {
            m_first[k] = scan::splat(pairs[k].first);
            m_second[k] = scan::splat(pairs[k].second);
            m_setBits[k] = scan::splat(pairs[k].setBits);
        }
    }

    // First position >= from where one of the pairs starts, or kNotFound.
    [[nodiscard]] std::size_t find(std::string_view text, std::size_t from) const noexcept
    {
        std::size_t at = from;
        // Two blocks per test while both lie wholly inside the text.
        for (; at < text.size() && text.size() - at > 2 * scan::kStep; at += 2 * scan::kStep) {
            const std::uint32_t found =
                blockBits(text.data() + at) | (blockBits(text.data() + at + scan::kStep) << scan::kStep);
            if (found != 0) {
                return at + static_cast<std::size_t>(std::countr_zero(found));
            }
        }
        const auto mask = [this](const char* p) { return blockBits(p); };
        for (; at < text.size(); at += scan::kStep) {
            const std::uint32_t found = scan::blockMask(text, at, mask);
            if (found != 0) {
                return at + static_cast<std::size_t>(std::countr_zero(found));
            }
        }
        return kNotFound;
    }

private:
    [[nodiscard]] std::uint32_t blockBits(const char* p) const noexcept
    {
        const scan::Block here = scan::load(p);
        const scan::Block next = scan::load(p + 1);
        scan::Block hits = match(here, next, 0);
        for (std::size_t k = 1; k < N; ++k) {
            hits = scan::bitOr(hits, match(here, next, k));
        }
        return scan::bits(hits);
    }

    [[nodiscard]] scan::Block match(scan::Block here, scan::Block next, std::size_t k) const noexcept
    {
        return scan::bitAnd(scan::equal(here, m_first[k]),
                            scan::equal(scan::bitOr(next, m_setBits[k]), m_second[k]));
    }

    scan::Block m_first[N];
    scan::Block m_second[N];
    scan::Block m_setBits[N];
};

[[nodiscard]] inline std::size_t findPair(std::string_view text, BytePair pair,
                                          std::size_t from) noexcept
{
    return PairScanner<1>({pair}).find(text, from);
}

// The positions of one byte in a text, in order, found a block at a time.
class ByteCursor {
public:
    ByteCursor(std::string_view text, char c, std::size_t from) noexcept : m_text(text), m_byte(c)
    {
        seek(from);
    }

    // Goes on from `from` (which may be behind or ahead of the last answer).
    void seek(std::size_t from) noexcept
    {
        m_base = from;
        m_mask = blockMask();
    }

    // The next position, or kNotFound.
    [[nodiscard]] std::size_t next() noexcept
    {
        while (m_mask == 0) {
            if (m_base >= m_text.size() || m_text.size() - m_base <= scan::kStep) {
                return kNotFound;
            }
            m_base += scan::kStep;
            m_mask = blockMask();
        }
        const auto k = static_cast<std::size_t>(std::countr_zero(m_mask));
        m_mask &= m_mask - 1;
        return m_base + k;
    }

private:
    [[nodiscard]] std::uint32_t blockMask() const noexcept
    {
        const scan::Block byte = scan::splat(m_byte);
        return scan::blockMask(m_text, m_base, [byte](const char* p) {
            return scan::bits(scan::equal(scan::load(p), byte));
        });
    }

    std::string_view m_text;
    char m_byte;
    std::size_t m_base = 0;
    std::uint32_t m_mask = 0;
};

// First position >= from of lowerNeedle in text, ASCII case ignored, or
// kNotFound. The needle must begin with a character that is not a letter.
[[nodiscard]] inline std::size_t findNoCase(std::string_view text, std::string_view lowerNeedle,
                                            std::size_t from) noexcept
{
    if (lowerNeedle.size() == 1) {
        return text.find(lowerNeedle[0], from);
    }
    // "</" opens every closing tag; the "/" and the letter after it are rarer.
    const std::size_t anchor = lowerNeedle.size() > 2 && lowerNeedle.starts_with("</") ? 1 : 0;
    const char second = lowerNeedle[anchor + 1];
    const BytePair pair{lowerNeedle[anchor], second, isAsciiLetter(second) ? kEitherCase : char{0}};
    while (true) {
        const std::size_t at = findPair(text, pair, from + anchor);
        if (at == kNotFound) {
            return kNotFound;
        }
        if (startsWithNoCase(text, at - anchor, lowerNeedle)) {
            return at - anchor;
        }
        from = at - anchor + 1;
    }
}

// First position >= from of needle (at least two characters) in text, exact
// case. The search runs on the pair of characters at anchor and anchor + 1,
// which the caller picks to be rare in feeds.
[[nodiscard]] inline std::size_t findExact(std::string_view text, std::string_view needle,
                                           std::size_t from, std::size_t anchor = 0) noexcept
{
    while (true) {
        const std::size_t at = findPair(text, {needle[anchor], needle[anchor + 1]}, from + anchor);
        if (at == kNotFound) {
            return kNotFound;
        }
        const std::size_t pos = at - anchor;
        if (text.substr(pos, needle.size()) == needle) {
            return pos;
        }
        from = pos + 1;
    }
}

// Byte length of the character that starts at pos (its lead byte and the
// continuation bytes after it), so no step splits a UTF-8 sequence.
[[nodiscard]] inline std::size_t charLength(std::string_view text, std::size_t pos) noexcept
{
    std::size_t end = pos + 1;
    while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        ++end;
    }
    return end - pos;
}

// Number of characters in text[begin, end), counting no further than limit.
[[nodiscard]] inline std::size_t countChars(std::string_view text, std::size_t begin,
                                            std::size_t end, std::size_t limit) noexcept
{
    std::size_t count = 0;
    for (std::size_t i = begin; i < end && count < limit; ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            ++count;
        }
    }
    return count;
}

}  // namespace pellix::detail
