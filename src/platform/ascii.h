#pragma once
// ASCII-only case folding for keys, names and protocol words. Bytes outside
// A-Z / a-z are never changed, whatever the C locale says, so UTF-8 and
// windows-1252 text keeps its length and every position found in a folded
// copy cuts the original.
#include <cstddef>
#include <cstdio>
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

// Text from the network made safe for a terminal or a log: every control
// byte (below 0x20, and 0x7F) and every C1 control in UTF-8 (C2 80 to C2 9F,
// which terminals take as escape sequences) is written as "\xNN" per byte;
// everything else stays as it is.
[[nodiscard]] inline std::string escapeControlBytes(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    auto escape = [&out](unsigned char b) {
        char hex[5];
        std::snprintf(hex, sizeof hex, "\\x%02x", b);
        out += hex;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        if (b == 0xC2 && next >= 0x80 && next <= 0x9F) {
            escape(b);
            escape(next);
            ++i;
        } else if (b < 0x20 || b == 0x7F) {
            escape(b);
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace orlavo::platform
