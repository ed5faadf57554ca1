#pragma once
// Splitting a feed URL into what the request needs. Pure functions: no
// sockets, no lookups, so every URL form is tested on its own.
#include "pellix/result_code.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pellix::detail {

// Longer URLs are refused: nothing legitimate needs more, and the request
// line must stay well inside what servers accept.
inline constexpr std::size_t kMaxUrlBytes = 8192;

struct UrlParts {
    std::string host;                 // as written (IPv6 keeps its brackets); no port
    std::optional<std::uint16_t> port;  // when the URL names one
    std::string path;                 // starts with "/", percent-encoded
    bool secure = false;              // https://: TLS, port 443 unless named
};

struct UrlSplit {
    ResultCode code = ResultCode::Ok;
    std::string detail;  // why the URL was refused, for the host's text
    UrlParts parts;
};

// Accepts "http://" or "https://" in any case, or no scheme (plain HTTP). The path must follow a "/"
// that is not the last character; "host:port" is read off the host.
[[nodiscard]] UrlSplit splitUrl(std::string_view url);

// Blanks and bytes outside ASCII become %XX; everything else is kept.
[[nodiscard]] std::string percentEncodePath(std::string_view path);

// The absolute URL a Location value names, read against the URL it came
// from: absolute, scheme-relative ("//host/p"), host-relative ("/p") or
// relative to the base's directory; the fragment is dropped. nullopt for an
// empty value.
[[nodiscard]] std::optional<std::string> resolveLocation(std::string_view base, std::string_view location);

// True when text holds a byte below 0x20 or DEL.
[[nodiscard]] bool hasControlByte(std::string_view text);

// "1".."65535" only.
[[nodiscard]] std::optional<std::uint16_t> parsePort(std::string_view text);

// The host name handed to the resolver: brackets of an IPv6 literal removed.
[[nodiscard]] std::string lookupName(std::string_view host);

// 127.0.0.0/8, ::1 and localhost: reached without any network or proxy.
[[nodiscard]] bool isLoopbackHost(std::string_view host);

}  // namespace pellix::detail
