#pragma once
// What the machine's connection looks like to a downloader: is a network
// interface other than loopback up, and would a request go through a proxy.
// Injected into whatever asks, so tests decide the answers.
#include <string>
#include <string_view>

namespace orlavo::platform {

class Connectivity {
public:
    virtual ~Connectivity() = default;
    [[nodiscard]] virtual bool isOnline() const = 0;
    // A proxy is configured at all (no host in mind).
    [[nodiscard]] virtual bool isConnectionProxy() const = 0;
    // A request to host would go through the proxy: no_proxy is honoured.
    [[nodiscard]] virtual bool isConnectionProxy(std::string_view host) const = 0;
    // The proxy a request to host goes through, as configured ("host:port" or
    // "http://host:port/"); empty when none is named. secure: for https://.
    [[nodiscard]] virtual std::string proxyFor(std::string_view, bool) const { return {}; }
};

// The proxy variables in the order curl consults them for http:// URLs.
struct ProxyEnvironment {
    std::string httpProxy;  // http_proxy, else HTTP_PROXY
    std::string allProxy;   // all_proxy, else ALL_PROXY
    std::string noProxy;    // no_proxy, else NO_PROXY
};

[[nodiscard]] ProxyEnvironment readProxyEnvironment();
// True when env names a proxy and its no_proxy list does not cover host.
// no_proxy: comma separated; "*" covers every host; an entry covers itself
// and its subdomains, with or without a leading dot; case does not matter.
[[nodiscard]] bool proxyApplies(const ProxyEnvironment& env, std::string_view host);

// getifaddrs for the interfaces, the process environment for the proxy.
class SystemConnectivity final : public Connectivity {
public:
    [[nodiscard]] bool isOnline() const override;
    [[nodiscard]] bool isConnectionProxy() const override;
    [[nodiscard]] bool isConnectionProxy(std::string_view host) const override;
    [[nodiscard]] std::string proxyFor(std::string_view host, bool secure) const override;
};

}  // namespace orlavo::platform
