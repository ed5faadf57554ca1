#include "browser/browser_address.h"

#include "platform/ascii.h"

namespace orlavo::browser {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trimmed(std::string_view text)
{
    return platform::trimIf(text, isBlank);
}

bool isAlpha(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The scheme of "scheme://...", empty when the text has none. "host:8080"
// counts as no scheme: a scheme here is always followed by "//".
std::string_view schemeOf(std::string_view text)
{
    const auto end = text.find("://");
    if (end == std::string_view::npos || end == 0 || !isAlpha(text[0])) {
        return {};
    }
    for (char c : text.substr(0, end)) {
        const bool ok = isAlpha(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
        if (!ok) {
            return {};
        }
    }
    return text.substr(0, end);
}

}  // namespace

bool allowedScheme(std::string_view scheme)
{
    const std::string lower = platform::asciiLower(scheme);
    return lower == "http" || lower == "https" || lower == "file";
}

std::optional<std::string> loadableAddress(std::string_view text)
{
    text = trimmed(text);
    if (text.empty()) {
        return std::nullopt;
    }
    if (platform::asciiLower(text) == "about:blank") {
        return std::string(text);
    }
    const std::string_view scheme = schemeOf(text);
    if (scheme.empty()) {
        return "http://" + std::string(text);
    }
    if (!allowedScheme(scheme)) {
        return std::nullopt;
    }
    return std::string(text);
}

std::string captionText(std::string_view title)
{
    std::string out;
    std::size_t chars = 0;
    for (char c : title) {
        const auto byte = static_cast<unsigned char>(c);
        const bool continuation = (byte & 0xC0) == 0x80;
        if (!continuation && ++chars > kMaxCaptionChars) {
            break;
        }
        out += (byte < 0x20 || byte == 0x7F) ? ' ' : c;
    }
    return out;
}

}  // namespace orlavo::browser
