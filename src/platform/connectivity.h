#pragma once
// The library's connectivity interface and its system implementation, and the
// proxy rules behind that implementation.
#include "pellix/connectivity.h"

#include <string>
#include <string_view>

namespace orlavo::platform {

using pellix::Connectivity;
using pellix::SystemConnectivity;

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

}  // namespace orlavo::platform
