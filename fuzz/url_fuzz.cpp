// Feeds arbitrary text to the URL splitter as a settings file or a command
// line would hand it over, and checks what a request built from the parts
// relies on: the path is one safe request-line token, the port is in range,
// splitting the URL rebuilt from its parts gives the same parts, and a host
// taken for loopback really names a loopback address.
#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "feedcomp/url.h"
#include "platform/ascii.h"

#include "fuzz_check.h"

namespace {

using orlavo::fuzz::check;

using namespace pellix::detail;

bool isRequestLineSafe(std::string_view path)
{
    for (char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F) {
            return false;
        }
    }
    return true;
}

void checkSplit(std::string_view url)
{
    const UrlSplit split = splitUrl(url);
    if (split.code != pellix::ResultCode::Ok) {
        check(!split.detail.empty(), "a refusal without a reason");
        return;
    }
    const UrlParts& parts = split.parts;
    check(url.size() <= kMaxUrlBytes, "a URL over the length limit accepted");
    check(parts.path.size() >= 2 && parts.path.front() == '/', "the path does not start with \"/\"");
    check(isRequestLineSafe(parts.path), "the path would break the request line");
    check(parts.host.find('/') == std::string::npos, "a \"/\" inside the host");
    for (char c : parts.host) {
        check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F, "a control character would break the Host line");
    }
    check(!parts.port || *parts.port >= 1, "port 0 accepted");
    check(percentEncodePath(parts.path) == parts.path, "encoding the path twice changed it");
    // "host:" without a digit after it leaves a colon the rebuilt URL cannot carry.
    if (parts.host.find(':') != std::string::npos && parts.host.front() != '[') {
        return;
    }
    std::string rebuilt = "http://" + parts.host;
    if (parts.port) {
        rebuilt += ":" + std::to_string(*parts.port);
    }
    rebuilt += parts.path;
    if (rebuilt.size() > kMaxUrlBytes) {
        return;
    }
    const UrlSplit again = splitUrl(rebuilt);
    check(again.code == pellix::ResultCode::Ok && again.parts.host == parts.host && again.parts.port == parts.port &&
              again.parts.path == parts.path,
          "the rebuilt URL splits differently");
}

// Loopback hosts skip the online and proxy checks, so the name must not be
// able to reach anything else: it is "localhost" or an address that the
// system's own parser reads as 127/8 or ::1 without asking DNS.
void checkLoopback(std::string_view host)
{
    if (!isLoopbackHost(host)) {
        return;
    }
    std::string name = lookupName(host);
    if (orlavo::platform::equalsIgnoreCase(name, "localhost") || orlavo::platform::equalsIgnoreCase(name, "localhost.")) {
        return;
    }
    // The resolver reads a bracketed literal too.
    if (name.size() >= 2 && name.front() == '[' && name.back() == ']') {
        name = name.substr(1, name.size() - 2);
    }
    in_addr v4{};
    in6_addr v6{};
    const bool loopback4 = ::inet_pton(AF_INET, name.c_str(), &v4) == 1 && (ntohl(v4.s_addr) >> 24) == 127;
    const bool loopback6 = ::inet_pton(AF_INET6, name.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
    check(loopback4 || loopback6, "a host taken for loopback is not a literal loopback address");
}

void checkPort(std::string_view text)
{
    const auto port = parsePort(text);
    bool digits = !text.empty() && text.size() <= 5;
    long value = 0;
    for (char c : text) {
        digits = digits && c >= '0' && c <= '9';
        value = value * 10 + (c - '0');
    }
    const bool expected = digits && value >= 1 && value <= 65535;
    check(port.has_value() == expected && (!port || *port == value), "port parse disagrees with its definition");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view url(reinterpret_cast<const char*>(data), size);
    checkSplit(url);
    if (size <= 300 && url.find('\0') == std::string_view::npos) {
        checkLoopback(url);
    }
    if (size <= 8) {
        checkPort(url);
    }
    return 0;
}
