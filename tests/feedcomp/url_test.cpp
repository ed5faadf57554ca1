#include "feedcomp/url.h"

#include <gtest/gtest.h>

using pellix::ResultCode;
using namespace pellix::detail;

TEST(Url, SplitsHostPortAndPathOrRefusesWithItsCode)
{
    struct Row {
        const char* label;
        std::string url;
        ResultCode code;
        std::string host;
        std::optional<std::uint16_t> port;
        std::string path;
    };
    const Row rows[] = {
        {"plain", "http://feeds.example/news.xml", ResultCode::Ok, "feeds.example", std::nullopt, "/news.xml"},
        {"no scheme", "feeds.example/a/b.rss", ResultCode::Ok, "feeds.example", std::nullopt, "/a/b.rss"},
        {"scheme in upper case", "HTTP://feeds.example/x", ResultCode::Ok, "feeds.example", std::nullopt, "/x"},
        {"port in URL", "http://127.0.0.1:8080/feed.xml", ResultCode::Ok, "127.0.0.1", 8080, "/feed.xml"},
        {"empty port means default", "http://host:/x", ResultCode::Ok, "host", std::nullopt, "/x"},
        {"IPv6 with port", "http://[::1]:81/f", ResultCode::Ok, "[::1]", 81, "/f"},
        {"IPv6 without port", "http://[::1]/f", ResultCode::Ok, "[::1]", std::nullopt, "/f"},
        {"URL inside the query is not a scheme", "host/go?to=ftp://x/y", ResultCode::Ok, "host", std::nullopt,
         "/go?to=ftp://x/y"},
        {"blank and non-ASCII encoded", "http://h/a b/caf\xC3\xA9", ResultCode::Ok, "h", std::nullopt,
         "/a%20b/caf%C3%A9"},
        {"percent kept", "http://h/a%20b", ResultCode::Ok, "h", std::nullopt, "/a%20b"},
        {"empty host left for the engine", "http:///x", ResultCode::Ok, "", std::nullopt, "/x"},
        {"empty", "", ResultCode::BadUrl, "", std::nullopt, ""},
        {"no slash", "http://feeds.example", ResultCode::BadUrl, "", std::nullopt, ""},
        {"trailing slash only", "http://feeds.example/", ResultCode::BadUrl, "", std::nullopt, ""},
        {"https", "https://feeds.example/x", ResultCode::Ok, "feeds.example", std::nullopt, "/x"},
        {"https in upper case with port", "HTTPS://h:8443/x", ResultCode::Ok, "h", 8443, "/x"},
        {"ftp refused", "ftp://feeds.example/x", ResultCode::UnsupportedScheme, "", std::nullopt, ""},
        {"port zero", "http://h:0/x", ResultCode::BadUrl, "", std::nullopt, ""},
        {"port too large", "http://h:65536/x", ResultCode::BadUrl, "", std::nullopt, ""},
        {"port not a number", "http://h:8o/x", ResultCode::BadUrl, "", std::nullopt, ""},
        {"CR LF injection", "http://h/x HTTP/1.0\r\nX-Evil: 1", ResultCode::BadUrl, "", std::nullopt, ""},
        {"LF alone", "http://h/x\n", ResultCode::BadUrl, "", std::nullopt, ""},
        {"tab", "http://h/\tx", ResultCode::BadUrl, "", std::nullopt, ""},
        {"DEL", "http://h/x\x7F", ResultCode::BadUrl, "", std::nullopt, ""},
        {"NUL", std::string("http://h/x\0y", 12), ResultCode::BadUrl, "", std::nullopt, ""},
        {"unclosed IPv6", "http://[::1/x", ResultCode::BadUrl, "", std::nullopt, ""},
        {"too long", "http://h/" + std::string(kMaxUrlBytes, 'a'), ResultCode::BadUrl, "", std::nullopt, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        UrlSplit split = splitUrl(row.url);
        EXPECT_EQ(split.code, row.code);
        if (row.code == ResultCode::Ok) {
            EXPECT_EQ(split.parts.host, row.host);
            EXPECT_EQ(split.parts.port, row.port);
            EXPECT_EQ(split.parts.path, row.path);
            EXPECT_EQ(split.parts.secure, std::string_view(row.label).starts_with("https"));
        } else {
            EXPECT_FALSE(split.detail.empty());
        }
    }
}

TEST(Url, RecognisesLoopbackHostsOnly)
{
    struct Row {
        const char* host;
        bool loopback;
    };
    const Row rows[] = {
        {"127.0.0.1", true},   {"127.1.2.3", true},    {"localhost", true},  {"LocalHost.", true},
        {"::1", true},         {"[::1]", true},        {"128.0.0.1", false}, {"127.0.0.256", false},
        {"127.0.0", false},    {"127.0.0.1.2", false}, {"127.x.0.1", false}, {"localhost.example", false},
        {"example.com", false}, {"", false},
        // Forms the resolver does not read as addresses and sends to DNS.
        {"127.08.0.1", false}, {"127.000.0.1", false}, {"127.0.0.1.", false}, {"0:0:0:0:0:0:0:1", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.host);
        EXPECT_EQ(isLoopbackHost(row.host), row.loopback);
    }
}

TEST(Url, ParsesPortsFromOneTo65535)
{
    EXPECT_EQ(parsePort("1"), 1);
    EXPECT_EQ(parsePort("65535"), 65535);
    EXPECT_EQ(parsePort("0"), std::nullopt);
    EXPECT_EQ(parsePort("65536"), std::nullopt);
    EXPECT_EQ(parsePort("-1"), std::nullopt);
    EXPECT_EQ(parsePort("000080"), std::nullopt);
    EXPECT_EQ(parsePort(""), std::nullopt);
}

TEST(Url, ResolvesALocationAgainstTheUrlItCameFrom)
{
    struct Row {
        const char* label;
        const char* base;
        const char* location;
        std::optional<std::string> resolved;
    };
    const Row rows[] = {
        {"absolute", "http://a/x/f.xml", "https://b:8443/g", "https://b:8443/g"},
        {"scheme-relative keeps the scheme", "https://a/x/f.xml", "//b/g", "https://b/g"},
        {"host-relative", "http://a:81/x/f.xml?q=1", "/g.xml", "http://a:81/g.xml"},
        {"directory-relative", "http://a/x/f.xml?q=/1", "g.xml", "http://a/x/g.xml"},
        {"relative without scheme in base", "a/x/f.xml", "g", "a/x/g"},
        {"blanks trimmed, fragment dropped", "http://a/f", "  /g#top ", "http://a/g"},
        {"empty", "http://a/f", " ", std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        EXPECT_EQ(resolveLocation(row.base, row.location), row.resolved);
    }
}
