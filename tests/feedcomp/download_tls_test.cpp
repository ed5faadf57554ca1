// https:// downloads against TLS servers on 127.0.0.1 whose certificates the
// test makes: the body only when the chain is trusted and names the host.
#include "platform/ip_address.h"
#include "support/download_harness.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"
#include "support/test_tls.h"

#include <gtest/gtest.h>

#include <cstdlib>

using orlavo::testing::DownloadHarness;
using orlavo::testing::IssueOptions;
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

class SecureDownload : public ::testing::Test {
protected:
    void SetUp() override { orlavo::testing::writeFileBytes(caFile(), m_ca.certificatePem()); }
    [[nodiscard]] std::string caFile() const { return m_dir.file("ca.pem").string(); }

    TestCa m_ca;
    orlavo::testing::TempDir m_dir;
};

}  // namespace

TEST_F(SecureDownload, GivesTheBodyOnlyForATrustedCertificateOfTheHost)
{
    TestCa stranger("Unknown CA");
    struct Row {
        const char* label;
        TestIdentity identity;
        const char* host;
        std::string finish;  // empty: the body arrives
    };
    const Row rows[] = {
        {"trusted, IP address", m_ca.issue(), "127.0.0.1", ""},
        {"trusted, host name", m_ca.issue(), "localhost", ""},
        {"unknown issuer", stranger.issue(), "127.0.0.1",
         "finish -4 The secure connection to 127.0.0.1 failed: unable to get local issuer certificate."},
        {"expired", m_ca.issue({.notBeforeDays = -10, .notAfterDays = -1}), "127.0.0.1",
         "finish -4 The secure connection to 127.0.0.1 failed: certificate has expired."},
        {"other host's address", m_ca.issue({.subjectAltNames = "DNS:news.example"}), "127.0.0.1",
         "finish -4 The secure connection to 127.0.0.1 failed: IP address mismatch."},
        {"other host's name", m_ca.issue({.subjectAltNames = "DNS:news.example"}), "localhost",
         "finish -4 The secure connection to localhost failed: hostname mismatch."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        TestHttpServer server(answerFeed, row.identity);
        DownloadHarness h;
        h.comp->CAFile(caFile());
        std::string retVal;
        const std::string url = "https://" + std::string(row.host) + ":" + std::to_string(server.port()) + "/feed.xml";
        ASSERT_EQ(h.comp->RequestFile(url, retVal), 0) << retVal;
        ASSERT_TRUE(h.pumpUntilFinished());
        if (row.finish.empty()) {
            EXPECT_EQ(h.events.events, (Events{"connect " + std::string(row.host), "disconnect", "finish 200 OK"}));
            EXPECT_EQ(h.comp->CurSize(), static_cast<std::int32_t>(kFeed.size()));
            ASSERT_EQ(server.requests().size(), 1u);
            EXPECT_EQ(server.requests()[0], "GET /feed.xml HTTP/1.0\r\nUser-Agent: " + pellix::RSSComp::UserAgent() +
                                                "\r\nHost: " + row.host + "\r\n\r\n");
        } else {
            EXPECT_EQ(h.events.events, (Events{"connect " + std::string(row.host), "disconnect", row.finish}));
            EXPECT_EQ(h.comp->CurSize(), 0);
            EXPECT_TRUE(server.requests().empty());
        }
    }
}

TEST_F(SecureDownload, ABareTcpCloseEndsTheBodyAsPlainHttpDoes)
{
    using End = TestHttpServer::TlsEnd;
    const std::string cut = "HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n" + kFeed;
    struct Row {
        const char* label;
        std::string response;
        End end;
        std::string finish;
    };
    const Row rows[] = {
        {"whole Content-Length", answerFeed(""), End::TcpCloseOnly, "finish 200 OK"},
        {"no Content-Length", "HTTP/1.0 200 OK\r\n\r\n" + kFeed, End::TcpCloseOnly, "finish 200 OK"},
        {"cut short", cut, End::TcpCloseOnly, "finish -1 The connection closed after 64 of 100 body bytes."},
        {"cut short, close_notify", cut, End::CloseNotify, "finish -1 The connection closed after 64 of 100 body bytes."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        TestHttpServer server([&](const std::string&) { return row.response; }, m_ca.issue(), row.end);
        DownloadHarness h;
        h.comp->CAFile(caFile());
        std::string retVal;
        ASSERT_EQ(h.comp->RequestFile(server.url("/feed.xml"), retVal), 0) << retVal;
        ASSERT_TRUE(h.pumpUntilFinished());
        EXPECT_EQ(h.events.last(), row.finish);
        EXPECT_EQ(h.comp->CurSize(), static_cast<std::int32_t>(kFeed.size()));
    }
}

TEST_F(SecureDownload, TakesTheExtraCaFromTheEnvironmentWhenNoneIsSet)
{
    TestHttpServer server(answerFeed, m_ca.issue());
    ::setenv("ORLAVO_CA_FILE", caFile().c_str(), 1);
    DownloadHarness h;
    std::string retVal;
    ASSERT_EQ(h.comp->RequestFile(server.url("/feed.xml"), retVal), 0) << retVal;
    ASSERT_TRUE(h.pumpUntilFinished());
    ::unsetenv("ORLAVO_CA_FILE");
    EXPECT_EQ(h.events.last(), "finish 200 OK");
}

TEST_F(SecureDownload, RefusesToStartWhenTheCaFileCannotBeLoaded)
{
    ScriptedServer server;
    DownloadHarness h;
    h.comp->CAFile(m_dir.file("missing.pem").string());
    std::string retVal;
    EXPECT_EQ(h.comp->RequestFile(server.secureUrl("/f"), retVal),
              pellix::toInt(pellix::ResultCode::TlsUnavailable));
    EXPECT_NE(retVal.find("missing.pem could not be loaded"), std::string::npos) << retVal;
    EXPECT_TRUE(h.events.events.empty());
}

TEST_F(SecureDownload, ServerThatIsNoTlsServerFailsTheHandshake)
{
    struct Row {
        const char* label;
        std::function<void(ScriptedServer&)> act;
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
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        ScriptedServer server;
        DownloadHarness h;
        std::string retVal;
        ASSERT_EQ(h.comp->RequestFile(server.secureUrl("/f"), retVal), 0);
        ASSERT_TRUE(server.accept());
        h.pumpOnce();  // the client hello goes out
        (void)server.readAvailable();
        row.act(server);
        ASSERT_TRUE(h.pumpUntilFinished());
        EXPECT_EQ(h.events.events, (Events{"connect 127.0.0.1", "disconnect", row.finish}));
    }
}

TEST_F(SecureDownload, StalledHandshakeTimesOutAfterItsLimit)
{
    ScriptedServer server;
    DownloadHarness h;
    std::string retVal;
    ASSERT_EQ(h.comp->RequestFile(server.secureUrl("/f"), retVal), 0);
    ASSERT_TRUE(server.accept());
    h.pumpOnce();
    h.clock.advance(9'999);
    h.loop.runPending();
    EXPECT_FALSE(h.events.finished());
    h.clock.advance(1);
    h.loop.runPending();
    EXPECT_EQ(h.events.last(), "finish -4 The secure connection to 127.0.0.1 failed: no TLS handshake within 10 s.");
    EXPECT_TRUE(server.clientClosed());
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
        orlavo::testing::FakeResolver resolver;
        resolver.answer = {orlavo::platform::LookupStatus::Found, {*orlavo::platform::parseIpLiteral("127.0.0.1")}, {}};
        DownloadHarness h({}, &resolver);
        h.connectivity.proxy = true;
        h.connectivity.proxyUrl = "http://127.0.0.1:" + std::to_string(proxy.port());
        h.comp->CAFile(caFile());
        std::string retVal;
        ASSERT_EQ(h.comp->RequestFile("https://" + hostPort + "/feed.xml", retVal), 0) << retVal;
        ASSERT_TRUE(h.pumpUntilFinished());
        EXPECT_EQ(h.events.events, (Events{"connect feeds.example", "disconnect", row.finish}));
        EXPECT_EQ(proxy.requests(), std::vector<std::string>{"CONNECT " + hostPort + " HTTP/1.0\r\nHost: " + hostPort +
                                                             "\r\n\r\n"});
    }
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_TRUE(server.requests()[0].starts_with("GET /feed.xml HTTP/1.0\r\n")) << server.requests()[0];
}
