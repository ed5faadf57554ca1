#pragma once
// Substring search over the feed text. Tag texts are lower-case ASCII and the
// feed is matched ignoring ASCII case only, which gives the same positions as
// searching a lower-cased copy without ever making one.
//
// Most needles begin with "<", which a feed holds every few bytes, so a search
// that stops at each "<" spends its time starting and stopping. Searches here
// look for a pair of adjacent bytes instead, eight positions per step.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

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

namespace swar {

inline constexpr std::uint64_t kOnes = 0x0101010101010101u;
inline constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Fu;

[[nodiscard]] inline std::uint64_t load(const char* p) noexcept
{
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

// 0x80 in each byte of word that equals c, 0 in every other byte. Exact: the
// sum below never carries from one byte into the next.
[[nodiscard]] inline std::uint64_t equalBytes(std::uint64_t word, char c) noexcept
{
    const std::uint64_t x = word ^ (kOnes * static_cast<unsigned char>(c));
    return ~(((x & kLow7) + kLow7) | x | kLow7);
}

// Index in memory order of the first byte flagged by equalBytes.
[[nodiscard]] inline std::size_t firstFlagged(std::uint64_t flags) noexcept
{
    if constexpr (std::endian::native == std::endian::little) {
        return static_cast<std::size_t>(std::countr_zero(flags)) / 8;
    } else {
        return static_cast<std::size_t>(std::countl_zero(flags)) / 8;
    }
}

}  // namespace swar

// First position >= from where text holds `first` followed by `second`, or
// kNotFound. With foldSecond, `second` is a lower-case letter and matches in
// either case (setting bit 0x20 maps exactly the two cases of a letter onto it).
[[nodiscard]] inline std::size_t findPair(std::string_view text, char first, char second,
                                          bool foldSecond, std::size_t from) noexcept
{
    const char* const p = text.data();
    const std::size_t n = text.size();
    const std::uint64_t fold = foldSecond ? swar::kOnes * 0x20 : 0;
    std::size_t i = from;
    for (; i + sizeof(std::uint64_t) < n; i += sizeof(std::uint64_t)) {
        const std::uint64_t hits = swar::equalBytes(swar::load(p + i), first) &
                                   swar::equalBytes(swar::load(p + i + 1) | fold, second);
        if (hits != 0) {
            return i + swar::firstFlagged(hits);
        }
    }
    const char foldByte = foldSecond ? 0x20 : 0;
    for (; i + 1 < n; ++i) {
        if (p[i] == first && static_cast<char>(p[i + 1] | foldByte) == second) {
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
