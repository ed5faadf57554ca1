#include "platform/connectivity.h"

#include <gtest/gtest.h>

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
