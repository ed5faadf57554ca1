#include "feedcomp/http_header.h"

#include "platform/ascii.h"

#include <algorithm>

namespace pellix::detail {

namespace {

using orlavo::platform::asciiLower;
using orlavo::platform::equalsIgnoreCase;
using orlavo::platform::isSpaceOrTab;
using orlavo::platform::trimIf;

constexpr std::string_view kHeaderPrefix = "HTTP/";

// Position of needle in haystack ignoring ASCII case, or npos.
std::size_t findIgnoringCase(std::string_view haystack, std::string_view needle)
{
    auto it = std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(),
                          [](char a, char b) { return asciiLower(a) == asciiLower(b); });
    return it == haystack.end() ? std::string_view::npos : static_cast<std::size_t>(it - haystack.begin());
}

std::string_view withoutCr(std::string_view line)
{
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    return line;
}

// The line that starts at pos, without its line end.
std::string_view lineAt(std::string_view text, std::size_t pos)
{
    std::size_t end = text.find('\n', pos);
    return withoutCr(text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos));
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

void readStatusLine(std::string_view statusLine, ResponseHeader& header)
{
    std::size_t blank = statusLine.find(' ');
    if (blank == std::string_view::npos) {
        return;
    }
    std::string_view code = statusLine.substr(blank + 1, 3);
    if (code.size() == 3 && std::all_of(code.begin(), code.end(), isDigit)) {
        header.statusCode = (code[0] - '0') * 100 + (code[1] - '0') * 10 + (code[2] - '0');
    }
    if (blank + 5 <= statusLine.size()) {
        header.statusText = std::string(statusLine.substr(blank + 5));
    }
}

std::optional<std::int64_t> readContentLength(std::string_view header)
{
    for (std::size_t pos = header.find('\n'); pos != std::string_view::npos; pos = header.find('\n', pos + 1)) {
        std::string_view line = lineAt(header, pos + 1);
        constexpr std::string_view kName = "content-length:";
        if (!equalsIgnoreCase(line.substr(0, kName.size()), kName)) {
            continue;
        }
        std::string_view value = line.substr(kName.size());
        while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) {
            value.remove_prefix(1);
        }
        std::int64_t length = 0;
        std::size_t digits = 0;
        for (; digits < value.size() && digits < 18 && isDigit(value[digits]); ++digits) {
            length = length * 10 + (value[digits] - '0');
        }
        return digits > 0 ? std::optional(length) : std::nullopt;
    }
    return std::nullopt;
}

// The value of the first header line called name (with its colon, lower
// case); the status line never counts.
std::string headerValue(std::string_view header, std::string_view kName)
{
    for (std::size_t pos = header.find('\n'); pos != std::string_view::npos; pos = header.find('\n', pos + 1)) {
        std::string_view line = lineAt(header, pos + 1);
        if (!equalsIgnoreCase(line.substr(0, kName.size()), kName)) {
            continue;
        }
        return std::string(trimIf(line.substr(kName.size()), isSpaceOrTab));
    }
    return {};
}

// The charset parameter of the first Content-Type line, quotes removed.
std::string readCharset(std::string_view header)
{
    constexpr std::string_view kName = "content-type:";
    for (std::size_t pos = header.find('\n'); pos != std::string_view::npos; pos = header.find('\n', pos + 1)) {
        std::string_view line = lineAt(header, pos + 1);
        if (!equalsIgnoreCase(line.substr(0, kName.size()), kName)) {
            continue;
        }
        const std::size_t at = findIgnoringCase(line, "charset=");
        if (at == std::string_view::npos) {
            return {};
        }
        std::string_view value = line.substr(at + 8);
        value = value.substr(0, value.find_first_of("; \t"));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
        }
        return std::string(value);
    }
    return {};
}

}  // namespace

HeaderStart classifyResponseStart(std::string_view received)
{
    std::size_t n = std::min(received.size(), kHeaderPrefix.size());
    if (received.substr(0, n) != kHeaderPrefix.substr(0, n)) {
        return HeaderStart::NotHeader;
    }
    return n == kHeaderPrefix.size() ? HeaderStart::Header : HeaderStart::TooShort;
}

std::size_t findHeaderEnd(std::string_view received, std::size_t from)
{
    for (std::size_t lf = received.find('\n', from); lf != std::string_view::npos; lf = received.find('\n', lf + 1)) {
        if (lf + 1 < received.size() && received[lf + 1] == '\n') {
            return lf + 2;
        }
        if (lf + 2 < received.size() && received[lf + 1] == '\r' && received[lf + 2] == '\n') {
            return lf + 3;
        }
    }
    return std::string_view::npos;
}

ResponseHeader parseHeader(std::string_view header)
{
    ResponseHeader result;
    readStatusLine(lineAt(header, 0), result);
    if (result.statusCode > 300 && result.statusCode < 304) {
        std::size_t location = findIgnoringCase(header, "location:");
        if (location != std::string_view::npos && header.find('\n', location) != std::string_view::npos) {
            result.statusText += std::string(lineAt(header, location));
        }
    }
    result.contentLength = readContentLength(header);
    result.location = headerValue(header, "location:");
    result.lastModified = headerValue(header, "last-modified:");
    result.etag = headerValue(header, "etag:");
    result.charset = readCharset(header);
    return result;
}

}  // namespace pellix::detail
