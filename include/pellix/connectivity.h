#pragma once
/// @file
/// What the machine's connection looks like to a downloader: is a network
/// interface other than loopback up, and would a request go through a proxy.
#include <string>
#include <string_view>

#include "pellix/export.h"

namespace pellix {

/// Answers IsOnline, IsConnectionProxy and which proxy a request takes.
class PELLIX_API Connectivity {
public:
    virtual ~Connectivity() = default;
    /// A network interface other than loopback is up.
    [[nodiscard]] virtual bool isOnline() const = 0;
    /// A proxy is configured at all (no host in mind).
    [[nodiscard]] virtual bool isConnectionProxy() const = 0;
    /// A request to host would go through the proxy: no_proxy is honoured.
    [[nodiscard]] virtual bool isConnectionProxy(std::string_view host) const = 0;
    /// The proxy a request to host goes through, as configured ("host:port" or
    /// "http://host:port/"); empty when none is named. secure: for https://.
    [[nodiscard]] virtual std::string proxyFor(std::string_view, bool) const { return {}; }
};

/// getifaddrs for the interfaces; http_proxy, all_proxy and no_proxy (or
/// their upper-case forms) of the process environment for the proxy.
class PELLIX_API SystemConnectivity final : public Connectivity {
public:
    [[nodiscard]] bool isOnline() const override;
    [[nodiscard]] bool isConnectionProxy() const override;
    [[nodiscard]] bool isConnectionProxy(std::string_view host) const override;
    [[nodiscard]] std::string proxyFor(std::string_view host, bool secure) const override;
};

}  // namespace pellix
