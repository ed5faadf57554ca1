#include "web/web_options.h"

#include "platform/whole_file.h"
#include "platform/ascii.h"

#include <arpa/inet.h>

#include <charconv>

namespace orlavo::tools {

namespace {

// A token file is one line; anything far larger is not one.
constexpr std::size_t kMaxTokenFileBytes = 4096;

bool isIpv4(const std::string& host)
{
    in_addr address{};
    return ::inet_pton(AF_INET, host.c_str(), &address) == 1;
}

bool isIpv6(const std::string& host)
{
    in6_addr address{};
    return ::inet_pton(AF_INET6, host.c_str(), &address) == 1;
}

}  // namespace

std::optional<ListenAddress> parseListenAddress(const std::string& text)
{
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon + 1 == text.size()) {
        return std::nullopt;
    }
    std::string host = text.substr(0, colon);
    const std::string portText = text.substr(colon + 1);
    int port = -1;
    auto [end, error] = std::from_chars(portText.data(), portText.data() + portText.size(), port);
    if (error != std::errc() || end != portText.data() + portText.size() || port < 0 || port > 65535) {
        return std::nullopt;
    }
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
        return isIpv6(host) ? std::optional<ListenAddress>(ListenAddress{host, port}) : std::nullopt;
    }
    return isIpv4(host) ? std::optional<ListenAddress>(ListenAddress{host, port}) : std::nullopt;
}

bool isLoopbackHost(const std::string& host)
{
    in_addr v4{};
    if (::inet_pton(AF_INET, host.c_str(), &v4) == 1) {
        return (ntohl(v4.s_addr) >> 24) == 127;
    }
    in6_addr v6{};
    return ::inet_pton(AF_INET6, host.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}

TokenRead readTokenFile(const std::string& path)
{
    platform::RegularFileRead read = platform::readRegularFile(path, kMaxTokenFileBytes);
    if (!read.bytes) {
        return {{}, "the token file cannot be read: " + (read.error ? read.error->description : path)};
    }
    const std::string_view line = std::string_view(*read.bytes).substr(0, read.bytes->find('\n'));
    std::string token(platform::trimIf(line, [](char c) { return c == ' ' || c == '\t' || c == '\r'; }));
    if (token.empty()) {
        return {{}, "the token file " + path + " holds no token on its first line"};
    }
    return {token, {}};
}

std::optional<std::string> checkWebOptions(const WebOptions& options)
{
    const std::optional<ListenAddress> address = parseListenAddress(options.listen);
    if (!address) {
        return "--web needs ADDR:PORT with an IPv4 address or an IPv6 one in brackets, not \"" + options.listen +
               "\"";
    }
    if (options.certFile.empty() != options.keyFile.empty()) {
        return std::string("HTTPS needs both a certificate (--web-cert) and its key (--web-key)");
    }
    // The token travels in a header and a cookie: no blanks, quotes or separators.
    for (char c : options.token) {
        if (c <= ' ' || c > '~' || c == ';' || c == ',' || c == '"' || c == '\\') {
            return std::string("the web token may hold only printable ASCII without blanks, quotes, \\, ; or ,");
        }
    }
    if (options.token.empty() && !isLoopbackHost(address->host)) {
        return "the web control on " + address->host +
               " would be open to the network: give a token (--web-token or --web-token-file), or listen on "
               "127.0.0.1 or [::1]";
    }
    return std::nullopt;
}

}  // namespace orlavo::tools
