// rssget on https:// and redirects: servers on 127.0.0.1 with a CA the test
// makes and names with --cafile.
#include "tool_run.h"

#include "support/temp_dir.h"
#include "support/test_tls.h"

#include <gtest/gtest.h>

using orlavo::testing::runTool;
using orlavo::testing::TestCa;
using orlavo::testing::TestHttpServer;

TEST(RssgetTls, FetchesARedirectedHttpsFeedWithTheNamedCa)
{
    const std::string feed = "<rss><item><title>t</title></item></rss>";
    TestCa ca;
    orlavo::testing::TempDir dir;
    const std::string caFile = dir.file("test-ca.pem").string();
    orlavo::testing::writeFileBytes(caFile, ca.certificatePem());
    TestHttpServer tls([&](const std::string&) { return "HTTP/1.0 200 OK\r\n\r\n" + feed; }, ca.issue());
    // As many servers do, this one ends its responses with a bare TCP close.
    TestHttpServer bare([&](const std::string&) {
        return "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(feed.size()) + "\r\n\r\n" + feed;
    }, ca.issue(), TestHttpServer::TlsEnd::TcpCloseOnly);
    const std::string target = tls.url("/feed.xml");
    TestHttpServer plain([&](const std::string&) { return "HTTP/1.0 302 Found\r\nLocation: " + target + "\r\n\r\n"; });
    const std::string ok = "result=0 status=200 bytes=" + std::to_string(feed.size());
    struct Row {
        const char* label;
        std::vector<std::string> argv;
        int exitCode;
        std::string line;
        std::string errPart;
    };
    const Row rows[] = {
        {"https with --cafile", {RSSGET_PATH, target, "--cafile", caFile}, 0, ok, ""},
        {"https without close_notify", {RSSGET_PATH, bare.url("/feed.xml"), "--cafile", caFile}, 0, ok, ""},
        {"redirect followed to https", {RSSGET_PATH, plain.url("/old"), "-L", "--cafile", caFile}, 0, ok,
         "rssget: redirected to " + target + "\n"},
        {"redirect not followed without -L", {RSSGET_PATH, plain.url("/old")}, 1, "result=0 status=302 bytes=0",
         "FoundLocation: " + target},
        {"untrusted without --cafile", {RSSGET_PATH, target}, 1, "result=0 status=-4 bytes=0",
         "failed: unable to get local issuer certificate"},
        {"unreadable --cafile", {RSSGET_PATH, target, "--cafile", dir.file("none.pem").string()}, 1,
         "result=117 status=none bytes=0", "none.pem could not be loaded"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        auto run = runTool(row.argv, 10'000);
        EXPECT_EQ(run.exitCode, row.exitCode) << run.err;
        EXPECT_EQ(run.out, std::vector<std::string>{row.line});
        EXPECT_NE(run.err.find(row.errPart), std::string::npos) << run.err;
    }
}
