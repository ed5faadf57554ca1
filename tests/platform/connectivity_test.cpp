#include "platform/connectivity.h"

#include <gtest/gtest.h>

#include <cstdlib>

using orlavo::platform::ProxyEnvironment;
using orlavo::platform::proxyApplies;

TEST(Connectivity, ProxyAppliesUnlessNoProxyCoversTheHost)
{
    struct Row {
        const char* label;
        ProxyEnvironment env;
        const char* host;
        bool applies;
    };
    const Row rows[] = {
        {"no proxy set", {"", "", ""}, "feeds.example", false},
        {"http_proxy", {"http://proxy:3128", "", ""}, "feeds.example", true},
        {"all_proxy", {"", "socks5://proxy", ""}, "feeds.example", true},
        {"exact entry", {"http://p", "", "feeds.example"}, "feeds.example", false},
        {"subdomain", {"http://p", "", "example"}, "feeds.example", false},
        {"leading dot", {"http://p", "", ".example"}, "feeds.example", false},
        {"suffix is not a domain", {"http://p", "", "ample"}, "feeds.example", true},
        {"list with blanks", {"http://p", "", "a.test, feeds.example ,b"}, "feeds.example", false},
        {"star", {"http://p", "", "*"}, "anything", false},
        {"case ignored", {"http://p", "", "FEEDS.Example"}, "feeds.EXAMPLE", false},
        {"IPv6 in brackets", {"http://p", "", "::1"}, "[::1]", false},
        {"other host", {"http://p", "", "intranet"}, "feeds.example", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        EXPECT_EQ(proxyApplies(row.env, row.host), row.applies);
    }
}

TEST(Connectivity, NamesTheProxyForEachSchemeUnlessNoProxyCoversTheHost)
{
    for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY",
                             "no_proxy", "NO_PROXY"}) {
        ::unsetenv(name);
    }
    ::setenv("http_proxy", "http://plain.proxy:3128", 1);
    ::setenv("all_proxy", "all.proxy:1080", 1);
    ::setenv("no_proxy", "intranet.example", 1);
    orlavo::platform::SystemConnectivity connectivity;
    EXPECT_EQ(connectivity.proxyFor("news.example", false), "http://plain.proxy:3128");
    EXPECT_EQ(connectivity.proxyFor("news.example", true), "all.proxy:1080");
    ::setenv("https_proxy", "secure.proxy:8443", 1);
    EXPECT_EQ(connectivity.proxyFor("news.example", true), "secure.proxy:8443");
    EXPECT_EQ(connectivity.proxyFor("feeds.intranet.example", true), "");
    for (const char* name : {"http_proxy", "https_proxy", "all_proxy", "no_proxy"}) {
        ::unsetenv(name);
    }
    EXPECT_EQ(connectivity.proxyFor("news.example", false), "");
}
