#pragma once
// Substring search over the feed text. Tag texts are lower-case ASCII and the
// feed is matched ignoring ASCII case only, which gives the same positions as
// searching a lower-cased copy without ever making one.
#include "platform/ascii.h"

#include <cstddef>
#include <cstring>
#include <string_view>

namespace pellix::detail {

inline constexpr std::size_t kNotFound = std::string_view::npos;

using orlavo::platform::asciiLower;

// True when text at pos starts with lowerNeedle, ASCII case ignored.
[[nodiscard]] inline bool startsWithNoCase(std::string_view text, std::size_t pos,
                                           std::string_view lowerNeedle) noexcept
{
    if (text.size() - pos < lowerNeedle.size()) {
        return false;
    }
    for (std::size_t i = 0; i < lowerNeedle.size(); ++i) {
        if (asciiLower(text[pos + i]) != lowerNeedle[i]) {
            return false;
        }
    }
    return true;
}

// First position >= from of lowerNeedle in text, ASCII case ignored, or
// kNotFound. The needle must begin with a character that is not a letter.
[[nodiscard]] inline std::size_t findNoCase(std::string_view text, std::string_view lowerNeedle,
                                            std::size_t from) noexcept
{
    const char first = lowerNeedle.front();
    while (from < text.size()) {
        const void* hit = std::memchr(text.data() + from, first, text.size() - from);
        if (hit == nullptr) {
            return kNotFound;
        }
        const auto pos = static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
        if (startsWithNoCase(text, pos, lowerNeedle)) {
            return pos;
        }
        from = pos + 1;
    }
    return kNotFound;
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
