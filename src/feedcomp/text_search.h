#pragma once
// Substring search over the feed text. Tag texts are lower-case ASCII and the
// feed is matched ignoring ASCII case only, which gives the same positions as
// searching a lower-cased copy without ever making one.
//
// Most needles begin with "<", which a feed holds every few bytes, so a search
// that stops at each "<" spends its time starting and stopping. Searches here
// look for a pair of adjacent bytes instead, many positions per step.
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

[[nodiscard]] constexpr char asciiLower(char c) noexcept
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

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

namespace scan {

#if defined(__SSE2__)
// Sixteen bytes per step on any x86-64 (SSE2 is part of its base set).
inline constexpr std::size_t kStep = 16;

[[nodiscard]] inline __m128i load(const char* p) noexcept
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// Bit k set where p[k] == c, for k < kStep.
[[nodiscard]] inline std::uint32_t byteMask(const char* p, unsigned char c) noexcept
{
    const __m128i hits = _mm_cmpeq_epi8(load(p), _mm_set1_epi8(static_cast<char>(c)));
    return static_cast<std::uint32_t>(_mm_movemask_epi8(hits));
}

// Bit k set where p[k] == first and p[k + 1] | fold == second (reads kStep + 1 bytes).
[[nodiscard]] inline std::uint32_t pairMask(const char* p, unsigned char first,
                                            unsigned char second, unsigned char fold) noexcept
{
    const __m128i next = _mm_or_si128(load(p + 1), _mm_set1_epi8(static_cast<char>(fold)));
    const __m128i hits =
        _mm_and_si128(_mm_cmpeq_epi8(load(p), _mm_set1_epi8(static_cast<char>(first))),
                      _mm_cmpeq_epi8(next, _mm_set1_epi8(static_cast<char>(second))));
    return static_cast<std::uint32_t>(_mm_movemask_epi8(hits));
}
#else
// Elsewhere eight bytes per step in one 64-bit word.
inline constexpr std::size_t kStep = 8;

[[nodiscard]] inline std::uint64_t load64(const char* p) noexcept
{
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

// Bit k set for each byte k (in memory order) of a word read by load64 that
// is 1; every byte must be 0 or 1.
[[nodiscard]] inline std::uint32_t byteBits(std::uint64_t word) noexcept
{
    if constexpr (std::endian::native == std::endian::big) {
        word = (word >> 56) | ((word >> 40) & 0xFF00u) | ((word >> 24) & 0xFF0000u) |
               ((word >> 8) & 0xFF000000u) | ((word << 8) & 0xFF00000000u) |
               ((word << 24) & 0xFF0000000000u) | ((word << 40) & 0xFF000000000000u) |
               (word << 56);
    }
    // Gathers byte k's bit at bit 56 + k; no two partial products collide.
    return static_cast<std::uint32_t>((word * 0x0102040810204080u) >> 56);
}

// 1 in each byte of word that equals c, 0 in every other byte. Exact: the sum
// never carries from one byte into the next.
[[nodiscard]] inline std::uint64_t equalBytes(std::uint64_t word, unsigned char c) noexcept
{
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Fu;
    const std::uint64_t x = word ^ (0x0101010101010101u * c);
    return ~(((x & kLow7) + kLow7) | x | kLow7) >> 7;
}

[[nodiscard]] inline std::uint32_t byteMask(const char* p, unsigned char c) noexcept
{
    return byteBits(equalBytes(load64(p), c));
}

[[nodiscard]] inline std::uint32_t pairMask(const char* p, unsigned char first,
                                            unsigned char second, unsigned char fold) noexcept
{
    return byteBits(equalBytes(load64(p), first) &
                    equalBytes(load64(p + 1) | (0x0101010101010101u * fold), second));
}
#endif

}  // namespace scan

// The positions of one byte in a text, in order, found a block at a time.
class ByteCursor {
public:
    ByteCursor(std::string_view text, char c, std::size_t from) noexcept
        : m_text(text), m_byte(static_cast<unsigned char>(c))
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
    std::uint32_t blockMask() const noexcept
    {
        if (m_base >= m_text.size()) {
            return 0;
        }
        if (m_text.size() - m_base >= scan::kStep) {
            return scan::byteMask(m_text.data() + m_base, m_byte);
        }
        std::uint32_t mask = 0;
        for (std::size_t k = 0; m_base + k < m_text.size(); ++k) {
            mask |= static_cast<std::uint32_t>(static_cast<unsigned char>(m_text[m_base + k]) == m_byte)
                    << k;
        }
        return mask;
    }

    std::string_view m_text;
    unsigned char m_byte;
    std::size_t m_base = 0;
    std::uint32_t m_mask = 0;
};

// First position >= from where text holds `first` followed by `second`, or
// kNotFound. With foldSecond, `second` is a lower-case letter and matches in
// either case (setting bit 0x20 maps exactly the two cases of a letter onto it).
[[nodiscard]] inline std::size_t findPair(std::string_view text, char first, char second,
                                          bool foldSecond, std::size_t from) noexcept
{
    const char* const p = text.data();
    const std::size_t n = text.size();
    const auto a = static_cast<unsigned char>(first);
    const auto b = static_cast<unsigned char>(second);
    const unsigned char fold = foldSecond ? 0x20 : 0;
    std::size_t i = from;
    // Each step reads kStep + 1 bytes: this one and the next of each pair.
    for (; i + scan::kStep < n; i += scan::kStep) {
        const std::uint32_t mask = scan::pairMask(p + i, a, b, fold);
        if (mask != 0) {
            return i + static_cast<std::size_t>(std::countr_zero(mask));
        }
    }
    for (; i + 1 < n; ++i) {
        if (static_cast<unsigned char>(p[i]) == a &&
            (static_cast<unsigned char>(p[i + 1]) | fold) == b) {
            return i;
        }
    }
    return kNotFound;
}

// First position >= from of lowerNeedle in text, ASCII case ignored, or
// kNotFound. The needle must begin with a character that is not a letter.
[[nodiscard]] inline std::size_t findNoCase(std::string_view text, std::string_view lowerNeedle,
                                            std::size_t from) noexcept
{
    if (lowerNeedle.size() == 1) {
        return text.find(lowerNeedle[0], from);
    }
    const bool fold = isAsciiLetter(lowerNeedle[1]);
    while (true) {
        const std::size_t pos = findPair(text, lowerNeedle[0], lowerNeedle[1], fold, from);
        if (pos == kNotFound || startsWithNoCase(text, pos, lowerNeedle)) {
            return pos;
        }
        from = pos + 1;
    }
}

// First position >= from of needle (at least two characters) in text, exact
// case. The search runs on the pair of characters at anchor and anchor + 1,
// which the caller picks to be rare in feeds.
[[nodiscard]] inline std::size_t findExact(std::string_view text, std::string_view needle,
                                           std::size_t from, std::size_t anchor = 0) noexcept
{
    while (true) {
        const std::size_t at =
            findPair(text, needle[anchor], needle[anchor + 1], false, from + anchor);
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
