#include "feedcomp/url.h"

#include "platform/ascii.h"
#include "platform/ip_address.h"
#include "platform/port_number.h"

#include <algorithm>
#include <cctype>

namespace pellix::detail {

namespace {

// A scheme is letters, digits, "+", "-", "." before "://" in front of any "/".
std::optional<std::string_view> schemeOf(std::string_view url)
{
    std::size_t mark = url.find("://");
    if (mark == std::string_view::npos || mark == 0 || url.substr(0, mark).find('/') != std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view scheme = url.substr(0, mark);
    bool wellFormed = std::isalpha(static_cast<unsigned char>(scheme.front())) &&
                      std::all_of(scheme.begin(), scheme.end(), [](char c) {
                          return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
                      });
    return wellFormed ? std::optional(scheme) : std::nullopt;
}

UrlSplit refuse(ResultCode code, std::string detail)
{
    UrlSplit split;
    split.code = code;
    split.detail = std::move(detail);
    return split;
}

// Splits "host", "host:port", "[v6]" or "[v6]:port" into parts.
bool splitAuthority(std::string_view authority, UrlParts& parts, std::string& detail)
{
    std::size_t colon = std::string_view::npos;
    if (!authority.empty() && authority.front() == '[') {
        std::size_t close = authority.find(']');
        if (close == std::string_view::npos) {
            detail = "an IPv6 address lacks its closing \"]\"";
            return false;
        }
        if (close + 1 < authority.size()) {
            if (authority[close + 1] != ':') {
                detail = "unexpected text after the IPv6 address";
                return false;
            }
            colon = close + 1;
        }
    } else {
        colon = authority.rfind(':');
    }
    parts.host = std::string(authority.substr(0, colon));
    if (colon == std::string_view::npos || colon + 1 == authority.size()) {
        return true;  // no port, or "host:" which means the default
    }
    parts.port = parsePort(authority.substr(colon + 1));
    if (!parts.port) {
        detail = "the port \"" + std::string(authority.substr(colon + 1)) + "\" is not a number from 1 to 65535";
        return false;
    }
    return true;
}

}  // namespace

bool hasControlByte(std::string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
}

std::optional<std::uint16_t> parsePort(std::string_view text)
{
    if (text.empty() || text.size() > 5 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    int value = 0;
    for (char c : text) {
        value = value * 10 + (c - '0');
    }
    if (!orlavo::platform::isServicePort(value)) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

std::string percentEncodePath(std::string_view path)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(path.size());
    for (char c : path) {
        auto byte = static_cast<unsigned char>(c);
        if (byte == ' ' || byte >= 0x80) {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        } else {
            out += c;
        }
    }
    return out;
}

UrlSplit splitUrl(std::string_view url)
{
    if (url.empty()) {
        return refuse(ResultCode::BadUrl, "the URL is empty");
    }
    if (url.size() > kMaxUrlBytes) {
        return refuse(ResultCode::BadUrl, "the URL is longer than " + std::to_string(kMaxUrlBytes) + " bytes");
    }
    if (hasControlByte(url)) {
        return refuse(ResultCode::BadUrl, "the URL holds a control character");
    }
    bool secure = false;
    if (auto scheme = schemeOf(url)) {
        secure = orlavo::platform::equalsIgnoreCase(*scheme, "https");
        if (!secure && !orlavo::platform::equalsIgnoreCase(*scheme, "http")) {
            return refuse(ResultCode::UnsupportedScheme, "\"" + std::string(*scheme) + "://\" is not supported");
        }
        url.remove_prefix(scheme->size() + 3);
    }
    std::size_t slash = url.find('/');
    if (slash == std::string_view::npos || slash + 1 == url.size()) {
        return refuse(ResultCode::BadUrl, "no path follows the host name");
    }
    UrlSplit split;
    std::string detail;
    if (!splitAuthority(url.substr(0, slash), split.parts, detail)) {
        return refuse(ResultCode::BadUrl, detail);
    }
    split.parts.path = percentEncodePath(url.substr(slash));
    split.parts.secure = secure;
    return split;
}

std::optional<std::string> resolveLocation(std::string_view base, std::string_view location)
{
    location = orlavo::platform::trimIf(location, orlavo::platform::isSpaceOrTab);
    location = location.substr(0, location.find('#'));
    if (location.empty()) {
        return std::nullopt;
    }
    if (schemeOf(location)) {
        return std::string(location);
    }
    const auto scheme = schemeOf(base);
    const std::size_t authorityAt = scheme ? scheme->size() + 3 : 0;
    if (location.starts_with("//")) {
        return std::string(scheme ? base.substr(0, authorityAt - 2) : "http:") + std::string(location);
    }
    const std::size_t pathAt = std::min(base.find('/', authorityAt), base.size());
    if (location.front() == '/') {
        return std::string(base.substr(0, pathAt)) + std::string(location);
    }
    std::string_view path = base.substr(pathAt);
    path = path.substr(0, path.find_first_of("?#"));
    const std::size_t lastSlash = path.rfind('/');
    std::string directory = lastSlash == std::string_view::npos ? "/" : std::string(path.substr(0, lastSlash + 1));
    return std::string(base.substr(0, pathAt)) + directory + std::string(location);
}

std::string lookupName(std::string_view host)
{
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    }
    return std::string(host);
}

bool isLoopbackHost(std::string_view host)
{
    const std::string name = lookupName(host);
    // Only an address the resolver takes literally counts: a near miss such as
    // "127.08.0.1" or "127.0.0.1." goes to DNS, which may answer anything.
    if (auto address = orlavo::platform::parseIpLiteral(name)) {
        return address->isLoopback();
    }
    std::string_view label = name;
    if (label.ends_with('.')) {
        label.remove_suffix(1);
    }
    return orlavo::platform::equalsIgnoreCase(label, "localhost");
}

}  // namespace pellix::detail
