#pragma once
// ASCII-only case folding for keys, names and protocol words. Bytes outside
// A-Z / a-z are never changed, whatever the C locale says, so UTF-8 and
// windows-1252 text keeps its length and every position found in a folded
// copy cuts the original.
#include <cstddef>
#include <string>
#include <string_view>

namespace orlavo::platform {

[[nodiscard]] constexpr char asciiLower(char c) noexcept
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

[[nodiscard]] constexpr char asciiUpper(char c) noexcept
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

[[nodiscard]] inline std::string asciiLower(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        c = asciiLower(c);
    }
    return out;
}

[[nodiscard]] inline std::string asciiUpper(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        c = asciiUpper(c);
    }
    return out;
}

[[nodiscard]] constexpr bool equalsIgnoreCase(std::string_view a, std::string_view b) noexcept
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

// Space as the C locale has it (space, tab, line feed, vertical tab, form
// feed, carriage return), without consulting the locale.
[[nodiscard]] constexpr bool isAsciiSpace(char c) noexcept
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// The blanks of HTTP header values (RFC 9110's OWS).
[[nodiscard]] constexpr bool isSpaceOrTab(char c) noexcept
{
    return c == ' ' || c == '\t';
}

// The text without the leading and trailing characters that isBlank accepts;
// each reader has its own idea of a blank.
template <typename IsBlank>
[[nodiscard]] constexpr std::string_view trimIf(std::string_view text, IsBlank isBlank) noexcept
{
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace orlavo::platform
