#pragma once
// How the web control listens and who may use it; filled from the command
// line or the service's config file. Checked once at start, before binding.
#include <optional>
#include <string>

namespace orlavo::tools {

struct WebOptions {
    std::string listen;    // "127.0.0.1:8080", "[::1]:8080"; empty: the web control is off
    std::string token;     // empty: no token asked (loopback only)
    std::string certFile;  // both or neither: HTTPS
    std::string keyFile;
};

struct ListenAddress {
    std::string host;  // without brackets
    int port = 0;      // 0: any free port
};

// "ADDR:PORT" with an IPv4 literal or a bracketed IPv6 literal; no names,
// so the address bound is the one checked.
[[nodiscard]] std::optional<ListenAddress> parseListenAddress(const std::string& text);
[[nodiscard]] bool isLoopbackHost(const std::string& host);

// The first line of the file, blanks trimmed; empty with error set when the
// file cannot be read or holds no token.
struct TokenRead {
    std::string token;
    std::string error;
};
[[nodiscard]] TokenRead readTokenFile(const std::string& path);

// Why options cannot start a web control (one sentence), or nullopt.
[[nodiscard]] std::optional<std::string> checkWebOptions(const WebOptions& options);

}  // namespace orlavo::tools
