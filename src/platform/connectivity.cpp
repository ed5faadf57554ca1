#include "platform/connectivity.h"

#include "platform/ascii.h"

#include <ifaddrs.h>
#include <net/if.h>

#include <cstdlib>

namespace orlavo::platform {

namespace {

std::string firstSet(const char* lower, const char* upper)
{
    for (const char* name : {lower, upper}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return value;
        }
    }
    return {};
}

std::string_view trim(std::string_view text)
{
    return trimIf(text, isAsciiSpace);
}

bool entryCovers(std::string_view entry, const std::string& host)
{
    if (entry == "*") {
        return true;
    }
    if (!entry.empty() && entry.front() == '.') {
        entry.remove_prefix(1);
    }
    if (entry.empty()) {
        return false;
    }
    std::string pattern = asciiLower(entry);
    if (host == pattern) {
        return true;
    }
    return host.size() > pattern.size() && host.ends_with(pattern) && host[host.size() - pattern.size() - 1] == '.';
}

}  // namespace

ProxyEnvironment readProxyEnvironment()
{
    return ProxyEnvironment{firstSet("http_proxy", "HTTP_PROXY"), firstSet("all_proxy", "ALL_PROXY"),
                            firstSet("no_proxy", "NO_PROXY")};
}

bool proxyApplies(const ProxyEnvironment& env, std::string_view host)
{
    if (env.httpProxy.empty() && env.allProxy.empty()) {
        return false;
    }
    std::string name = asciiLower(host);
    if (name.size() >= 2 && name.front() == '[' && name.back() == ']') {
        name = name.substr(1, name.size() - 2);
    }
    if (!name.empty() && name.back() == '.') {
        name.pop_back();
    }
    std::string_view list = env.noProxy;
    while (!list.empty()) {
        std::size_t comma = list.find(',');
        if (entryCovers(trim(list.substr(0, comma)), name)) {
            return false;
        }
        list = comma == std::string_view::npos ? std::string_view{} : list.substr(comma + 1);
    }
    return true;
}

}  // namespace orlavo::platform

namespace pellix {

using orlavo::platform::firstSet;
using orlavo::platform::ProxyEnvironment;
using orlavo::platform::proxyApplies;
using orlavo::platform::readProxyEnvironment;

bool SystemConnectivity::isOnline() const
{
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        return false;
    }
    bool online = false;
    for (ifaddrs* entry = list; entry != nullptr && !online; entry = entry->ifa_next) {
        const unsigned flags = entry->ifa_flags;
        online = (flags & IFF_UP) && (flags & IFF_RUNNING) && !(flags & IFF_LOOPBACK);
    }
    ::freeifaddrs(list);
    return online;
}

bool SystemConnectivity::isConnectionProxy() const
{
    ProxyEnvironment env = readProxyEnvironment();
    return !env.httpProxy.empty() || !env.allProxy.empty();
}

bool SystemConnectivity::isConnectionProxy(std::string_view host) const
{
    return proxyApplies(readProxyEnvironment(), host);
}

std::string SystemConnectivity::proxyFor(std::string_view host, bool secure) const
{
    ProxyEnvironment env = readProxyEnvironment();
    // https:// URLs take https_proxy (else HTTPS_PROXY) before all_proxy, as curl does.
    const std::string first = secure ? firstSet("https_proxy", "HTTPS_PROXY") : env.httpProxy;
    const std::string chosen = !first.empty() ? first : env.allProxy;
    // no_proxy is checked as for http_proxy, whichever variable named the proxy.
    env.httpProxy = chosen;
    return !chosen.empty() && proxyApplies(env, host) ? chosen : std::string();
}

}  // namespace pellix
