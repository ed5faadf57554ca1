#include "feedcomp/hop_target.h"

#include "platform/code_page.h"
#include "platform/port_number.h"

#include <algorithm>

namespace pellix::detail {

namespace {

// The configured proxy when this download can use it: an http:// proxy, or
// one written without scheme, that asks for no credentials.
std::optional<UrlParts> usableProxy(const std::string& configured, std::string& why)
{
    if (configured.empty()) {
        why = "no proxy is named for this host";
        return std::nullopt;
    }
    std::string url = configured;
    while (!url.empty() && url.back() == '/') {
        url.pop_back();
    }
    const std::size_t authorityAt = url.find("://") == std::string::npos ? 0 : url.find("://") + 3;
    const std::size_t authorityEnd = std::min(url.find('/', authorityAt), url.size());
    if (const std::size_t at = url.rfind('@', authorityEnd); at != std::string::npos && at >= authorityAt) {
        // The credentials stay out of the text: it reaches logs.
        why = "the proxy " + url.substr(at + 1, authorityEnd - at - 1) +
              " asks for a user name and password, which are not supported";
        return std::nullopt;
    }
    UrlSplit split = splitUrl(url + "/p");
    if (split.code == ResultCode::BadUrl) {
        why = "the proxy " + configured + " is not usable: " + split.detail;
        return std::nullopt;
    }
    if (split.code != ResultCode::Ok || split.parts.secure) {
        why = "the proxy " + configured + " is not an http:// proxy";
        return std::nullopt;
    }
    if (split.parts.host.empty()) {
        why = "the proxy " + configured + " names no host";
        return std::nullopt;
    }
    return split.parts;
}

}  // namespace

std::string refusalText(ResultCode code, const std::string& detail)
{
    std::string text = resultText(code);
    if (!detail.empty()) {
        text += " (" + orlavo::platform::escapeControls(detail) + ")";
    }
    return text;
}

std::variant<HopTarget, HopRefusal> planHop(const std::string& url, std::optional<std::int32_t> port,
                                            Connectivity& connectivity)
{
    UrlSplit split = splitUrl(url);
    if (split.code != ResultCode::Ok) {
        return HopRefusal{split.code, split.detail};
    }
    const bool secure = split.parts.secure;
    HopTarget target{split.parts.host, split.parts.port.value_or(secure ? 443 : 80), split.parts.path, secure, {}, {}};
    if (port) {
        if (!orlavo::platform::isServicePort(*port)) {
            return HopRefusal{ResultCode::BadUrl, "the port " + std::to_string(*port) + " is not from 1 to 65535"};
        }
        target.port = static_cast<std::uint16_t>(*port);
    }
    // A local feed needs neither a network nor the proxy's permission.
    if (!isLoopbackHost(target.host)) {
        if (!connectivity.isOnline()) {
            return HopRefusal{ResultCode::NotOnline, {}};
        }
        const std::string configured = connectivity.proxyFor(target.host, secure);
        if (connectivity.isConnectionProxy(target.host) || !configured.empty()) {
            std::string why;
            target.proxy = usableProxy(configured, why);
            if (!target.proxy) {
                return HopRefusal{ResultCode::ProxyInUse, why};
            }
            const std::string portText = target.port == 80 ? "" : ":" + std::to_string(target.port);
            target.absoluteUrl = "http://" + target.host + portText + target.path;
        }
    }
    if (target.host.empty()) {
        return HopRefusal{ResultCode::EmptyHost, {}};
    }
    return target;
}

}  // namespace pellix::detail
