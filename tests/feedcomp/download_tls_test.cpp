// https:// downloads against TLS servers on 127.0.0.1 whose certificates the
// test makes: the body only when the chain is trusted and names the host; and
// FollowRedirects against plain and TLS servers.
#include "support/download_harness.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"
#include "support/test_tls.h"

#include <gtest/gtest.h>

#include <map>

using orlavo::testing::DownloadHarness;
using orlavo::testing::FakeResolver;
using orlavo::testing::requestPath;
using orlavo::testing::ScriptedServer;
using orlavo::testing::TestCa;
using orlavo::testing::TestConnectProxy;
using orlavo::testing::TestHttpServer;
using orlavo::testing::TestIdentity;
using Events = std::vector<std::string>;

namespace {

const std::string kFeed = "<rss><channel><item><title>secure</title></item></channel></rss>";

std::string answerFeed(const std::string&)
{
    return "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(kFeed.size()) + "\r\n\r\n" + kFeed;
}

// A CA the downloads trust through their CA file.
class SecureDownload : public ::testing::Test {
protected:
    void SetUp() override { orlavo::testing::writeFileBytes(caFile(), m_ca.certificatePem()); }
    [[nodiscard]] std::string caFile() const { return m_dir.file("ca.pem").string(); }

    TestCa m_ca;
    orlavo::testing::TempDir m_dir;
};

}  // namespace

TEST_F(SecureDownload, GivesTheBodyOnlyForATrustedCertificateOfTheHostAndEndsItAsPlainHttpDoes)
{
    using End = TestHttpServer::TlsEnd;
    const std::string cut = "HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n" + kFeed;
    const std::string cutShort = "finish -1 The connection closed after 64 of 100 body bytes.";
    struct Row {
        const char* label;
        TestIdentity identity;
        const char* host;
        std::string finish;
        std::string response = answerFeed("");
        End end = End::CloseNotify;
    };
    const Row rows[] = {
        {"trusted, IP address", m_ca.issue(), "127.0.0.1", "finish 200 OK"},
        {"trusted, host name", m_ca.issue(), "localhost", "finish 200 OK"},
        {"expired", m_ca.issue({.notBeforeDays = -10, .notAfterDays = -1}), "127.0.0.1",
         "finish -4 The secure connection to 127.0.0.1 failed: certificate has expired."},
        {"other host's address", m_ca.issue({.subjectAltNames = "DNS:news.example"}), "127.0.0.1",
         "finish -4 The secure connection to 127.0.0.1 failed: IP address mismatch."},
        {"other host's name", m_ca.issue({.subjectAltNames = "DNS:news.example"}), "localhost",
         "finish -4 The secure connection to localhost failed: hostname mismatch."},
        // A bare TCP close ends the body as it does over plain http.
        {"whole Content-Length, TCP close", m_ca.issue(), "127.0.0.1", "finish 200 OK", answerFeed(""),
         End::TcpCloseOnly},
        {"no Content-Length, TCP close", m_ca.issue(), "127.0.0.1", "finish 200 OK", "HTTP/1.0 200 OK\r\n\r\n" + kFeed,
         End::TcpCloseOnly},
        {"cut short, TCP close", m_ca.issue(), "127.0.0.1", cutShort, cut, End::TcpCloseOnly},
        {"cut short, close_notify", m_ca.issue(), "127.0.0.1", cutShort, cut},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        TestHttpServer server([&](const std::string&) { return row.response; }, row.identity, row.end);
        DownloadHarness h;
        h.comp->CAFile(caFile());
        const std::string url = "https://" + std::string(row.host) + ":" + std::to_string(server.port()) + "/feed.xml";
        ASSERT_TRUE(h.fetch(url)) << h.retVal;
        EXPECT_EQ(h.events.events, (Events{"connect " + std::string(row.host), "disconnect", row.finish}));
        const bool refused = row.finish.starts_with("finish -4 ");
        EXPECT_EQ(h.comp->CurSize(), refused ? 0 : static_cast<std::int32_t>(kFeed.size()));
        ASSERT_EQ(server.requests().size(), refused ? 0u : 1u);
        if (!refused) {
            EXPECT_EQ(server.requests()[0], "GET /feed.xml HTTP/1.0\r\nUser-Agent: " + pellix::RSSComp::UserAgent() +
                                                "\r\nHost: " + row.host + "\r\n\r\n");
        }
    }
}

TEST_F(SecureDownload, RefusesToStartWhenTheCaFileCannotBeLoaded)
{
    ScriptedServer server;
    DownloadHarness h;
    h.comp->CAFile(m_dir.file("missing.pem").string());
    EXPECT_EQ(h.request(server.secureUrl("/f")), pellix::toInt(pellix::ResultCode::TlsUnavailable));
    EXPECT_NE(h.retVal.find("missing.pem could not be loaded"), std::string::npos) << h.retVal;
    EXPECT_TRUE(h.events.events.empty());
}

TEST_F(SecureDownload, ServerThatIsNoTlsServerFailsTheHandshakeAndASilentOneTimesOut)
{
    struct Row {
        const char* label;
        std::function<void(ScriptedServer&)> act;  // null: stays silent
        std::string finish;
    };
    const Row rows[] = {
        {"plain HTTP instead of a handshake", [](ScriptedServer& s) { s.send("HTTP/1.0 200 OK\r\n\r\nplain"); },
         "finish -4 The secure connection to 127.0.0.1 failed: wrong version number."},
        {"reset mid-handshake", [](ScriptedServer& s) { s.reset(); },
         "finish -4 The secure connection to 127.0.0.1 failed: Connection reset by peer."},
        {"closed mid-handshake", [](ScriptedServer& s) { s.close(); },
         "finish -4 The secure connection to 127.0.0.1 failed: the server closed the connection during the "
         "handshake."},
        {"stalled handshake", nullptr,
         "finish -4 The secure connection to 127.0.0.1 failed: no TLS handshake within 10 s."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        ScriptedServer server;
        DownloadHarness h;
        ASSERT_EQ(h.request(server.secureUrl("/f")), 0);
        ASSERT_TRUE(server.accept());
        h.pumpOnce();  // the client hello goes out
        (void)server.readAvailable();
        if (row.act) {
            row.act(server);
        } else {
            h.clock.advance(9'999);
            h.loop.runPending();
            EXPECT_FALSE(h.events.finished());
            h.clock.advance(1);
            h.loop.runPending();
            EXPECT_TRUE(server.clientClosed());
        }
        ASSERT_TRUE(h.pumpUntilFinished());
        EXPECT_EQ(h.events.events, (Events{"connect 127.0.0.1", "disconnect", row.finish}));
    }
}

TEST_F(SecureDownload, GoesThroughTheProxysTunnelWithTheFeedHostsCertificate)
{
    TestHttpServer server(answerFeed, m_ca.issue({.subjectAltNames = "DNS:feeds.example"}));
    const std::string hostPort = "feeds.example:" + std::to_string(server.port());
    struct Row {
        const char* label;
        std::string refusal;
        std::string finish;
    };
    const Row rows[] = {
        {"tunnel opened", "", "finish 200 OK"},
        {"tunnel refused", "HTTP/1.0 407 Proxy Authentication Required\r\n\r\n",
         "finish -4 The proxy refused the tunnel to feeds.example: 407 Proxy Authentication Required."},
        {"garbage answer", "HTTP/1.0 502 \x1b]0;owned\x07\r\n\r\n",
         "finish -4 The proxy refused the tunnel to feeds.example: 502 \\x1b]0;owned\\x07."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        TestConnectProxy proxy(row.refusal);
        FakeResolver resolver("127.0.0.1");
        DownloadHarness h({}, &resolver);
        h.connectivity.proxy = true;
        h.connectivity.proxyUrl = "http://127.0.0.1:" + std::to_string(proxy.port());
        h.comp->CAFile(caFile());
        ASSERT_TRUE(h.fetch("https://" + hostPort + "/feed.xml")) << h.retVal;
        EXPECT_EQ(h.events.events, (Events{"connect feeds.example", "disconnect", row.finish}));
        EXPECT_EQ(proxy.requests(), std::vector<std::string>{"CONNECT " + hostPort + " HTTP/1.0\r\nHost: " + hostPort +
                                                             "\r\n\r\n"});
    }
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_TRUE(server.requests()[0].starts_with("GET /feed.xml HTTP/1.0\r\n")) << server.requests()[0];
}

namespace {

// Answers each path from a table; unknown paths get 404.
struct Routes {
    std::map<std::string, std::string> responses;
    std::string operator()(const std::string& request) const
    {
        auto it = responses.find(requestPath(request));
        return it != responses.end() ? it->second : "HTTP/1.0 404 Not Found\r\n\r\n";
    }
};

std::string redirect(int status, const std::string& reason, const std::string& location)
{
    return "HTTP/1.0 " + std::to_string(status) + " " + reason + "\r\nLocation: " + location + "\r\n\r\nmoved";
}

// A plain and a TLS server whose routes the test fills before the download.
class RedirectDownload : public SecureDownload {
protected:
    Events download(const std::string& url, bool follow = true)
    {
        m_h.comp->FollowRedirects(follow);
        m_h.comp->CAFile(caFile());
        EXPECT_TRUE(m_h.fetch(url)) << m_h.retVal;
        return m_h.events.events;
    }

    std::shared_ptr<Routes> m_plainRoutes = std::make_shared<Routes>();
    std::shared_ptr<Routes> m_tlsRoutes = std::make_shared<Routes>();
    TestHttpServer m_plain{[r = m_plainRoutes](const std::string& q) { return (*r)(q); }};
    TestHttpServer m_tls{[r = m_tlsRoutes](const std::string& q) { return (*r)(q); }, m_ca.issue()};
    DownloadHarness m_h;
};

}  // namespace

TEST_F(RedirectDownload, FollowsAChainFromHttpToHttpsReportingEveryHop)
{
    const std::string target = m_tls.url("/feed.xml");
    m_plainRoutes->responses = {{"/a", redirect(301, "Moved Permanently", "/b")},
                                {"/b", redirect(307, "Temporary Redirect", target)}};
    m_tlsRoutes->responses = {{"/feed.xml", "HTTP/1.0 200 OK\r\n\r\n<rss/>"}};
    EXPECT_EQ(download(m_plain.url("/a")),
              (Events{"connect 127.0.0.1", "disconnect", "connect 127.0.0.1", "disconnect", "connect 127.0.0.1",
                      "disconnect", "finish 200 Moved PermanentlyLocation: /b; Temporary RedirectLocation: " + target +
                                        "; OK"}));
    EXPECT_EQ(m_h.comp->CurFileString(), "<rss/>");
    EXPECT_EQ(m_h.comp->FinalURL(), target);
    EXPECT_EQ(m_h.comp->MovedURL(), "");  // one hop was temporary
}

TEST_F(RedirectDownload, RemembersWhereAFeedMovedForGoodAndResolvesRelativeLocations)
{
    m_plainRoutes->responses = {{"/old/feed.xml", redirect(308, "Permanent Redirect", "new.xml")},
                                {"/old/new.xml", redirect(301, "Moved Permanently", "//127.0.0.1:" +
                                                                                       std::to_string(m_plain.port()) +
                                                                                       "/feed.xml")},
                                {"/feed.xml", "HTTP/1.0 200 OK\r\n\r\nfeed"}};
    EXPECT_EQ(download(m_plain.url("/old/feed.xml")).back().rfind("finish 200 ", 0), 0u);
    EXPECT_EQ(m_h.comp->MovedURL(), m_plain.url("/feed.xml"));
    EXPECT_EQ(m_plain.requests().size(), 3u);
}

TEST_F(RedirectDownload, EndsWithItsOwnCodeWhenARedirectMayNotBeFollowed)
{
    m_plainRoutes->responses = {{"/loop", redirect(302, "Found", "/loop")}};
    m_tlsRoutes->responses = {{"/down", redirect(301, "Moved Permanently", m_plain.url("/feed.xml"))}};
    const Events loop = download(m_plain.url("/loop"));
    EXPECT_EQ(loop.size(), 13u);  // six connections, then the finish
    EXPECT_EQ(loop.back().rfind("finish -5 The redirect was not followed: more than 5 redirects. FoundLocation: /loop; ", 0),
              0u)
        << loop.back();
    EXPECT_EQ(m_plain.requests().size(), 6u);

    m_h.events.events.clear();
    EXPECT_EQ(download(m_tls.url("/down")),
              (Events{"connect 127.0.0.1", "disconnect",
                      "finish -5 The redirect was not followed: an https:// feed may not move to plain http://. "
                      "Moved PermanentlyLocation: " +
                          m_plain.url("/feed.xml") + "; "}));
    EXPECT_EQ(m_plain.requests().size(), 6u);  // no request went out over plain http

    // A lone CR would otherwise reach FinalURL and every message raw.
    m_h.events.events.clear();
    m_plainRoutes->responses = {{"/cr", redirect(302, "Found", "/x\ry")}};
    EXPECT_EQ(download(m_plain.url("/cr")).back(), "finish -5 The redirect was not followed: the Location holds a "
                                                   "control character. FoundLocation: /x\\x0dy; ");
    EXPECT_EQ(m_h.comp->FinalURL(), m_plain.url("/cr"));
}

TEST_F(RedirectDownload, ConditionalGetHandsBackTheRememberedBodyOnNotModified)
{
    const std::string fresh = "HTTP/1.0 200 OK\r\nLast-Modified: Mon, 07 Dec 2026 10:00:00 GMT\r\nETag: \"v1\"\r\n\r\n<rss/>";
    m_plainRoutes->responses = {{"/feed.xml", fresh}};
    m_h.comp->ConditionalGet(true);
    (void)download(m_plain.url("/feed.xml"), false);
    m_plainRoutes->responses = {{"/feed.xml", "HTTP/1.0 304 Not Modified\r\n\r\n"}};
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        m_h.events.events.clear();
        EXPECT_EQ(download(m_plain.url("/feed.xml"), false).back(), "finish 304 Not Modified");
        EXPECT_EQ(m_h.comp->CurFileString(), "<rss/>");
    }
    const auto requests = m_plain.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].find("If-"), std::string::npos);
    for (std::size_t i = 1; i < 3; ++i) {
        EXPECT_NE(requests[i].find("\r\nIf-Modified-Since: Mon, 07 Dec 2026 10:00:00 GMT\r\nIf-None-Match: \"v1\"\r\n\r\n"),
                  std::string::npos)
            << requests[i];
    }
}

TEST(ProxyDownload, HttpFeedsGoThroughTheNamedHttpProxyAndNoOther)
{
    TestHttpServer proxy([](const std::string&) { return std::string("HTTP/1.0 200 OK\r\n\r\nvia proxy"); });
    struct Row {
        const char* label;
        std::string proxyUrl;
        std::string url;
        std::int32_t result;
        std::string seen;  // what the proxy saw first; for a refusal, a part of its text
    };
    const std::string at = "127.0.0.1:" + std::to_string(proxy.port());
    const Row rows[] = {
        {"http:// proxy", "http://" + at + "/", "http://feeds.example/rss", 0, "GET http://feeds.example/rss HTTP/1.0"},
        {"proxy without scheme, feed port kept", at, "http://feeds.example:8080/rss", 0,
         "GET http://feeds.example:8080/rss HTTP/1.0"},
        {"socks proxy", "socks5://" + at, "http://feeds.example/rss", 107, "is not an http:// proxy"},
        {"none named", "", "http://feeds.example/rss", 107, "no proxy is named"},
        {"with credentials", "http://me:secret@" + at, "http://feeds.example/rss", 107,
         "the proxy " + at + " asks for a user name and password"},
        {"port out of range", "http://127.0.0.1:99999", "http://feeds.example/rss", 107,
         "the port \"99999\" is not a number from 1 to 65535"},
    };
    std::size_t seen = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        FakeResolver resolver("127.0.0.1");
        DownloadHarness h({}, &resolver);
        h.connectivity.proxy = true;
        h.connectivity.proxyUrl = row.proxyUrl;
        ASSERT_EQ(h.request(row.url), row.result) << h.retVal;
        if (row.result != 0) {
            EXPECT_TRUE(resolver.names.empty());
            EXPECT_NE(h.retVal.find(row.seen), std::string::npos) << h.retVal;
            EXPECT_EQ(h.retVal.find("secret"), std::string::npos) << h.retVal;
            continue;
        }
        ASSERT_TRUE(h.pumpUntilFinished());
        EXPECT_EQ(h.events.events, (Events{"connect feeds.example", "disconnect", "finish 200 OK"}));
        EXPECT_EQ(resolver.names, std::vector<std::string>{"127.0.0.1"});
        ASSERT_EQ(proxy.requests().size(), ++seen);
        const std::string request = proxy.requests().back();
        EXPECT_EQ(request.substr(0, request.find("\r\n")), row.seen);
        EXPECT_NE(request.find("\r\nHost: feeds.example\r\n"), std::string::npos) << request;
    }
    EXPECT_EQ(proxy.requests().size(), 2u);
}
