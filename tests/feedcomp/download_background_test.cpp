// ConnectInBackground: the same outcomes as the synchronous connect, the loop
// free for other work while a host does not answer, and a cancel that leaves
// nothing behind.
#include "support/download_harness.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"
#include "support/test_tls.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <new>

using orlavo::testing::DownloadHarness;
using orlavo::testing::FakeResolver;
using orlavo::testing::FullBacklogListener;
using orlavo::testing::requestPath;
using orlavo::testing::TestHttpServer;
using orlavo::platform::LookupStatus;
using pellix::ResultCode;
using Events = std::vector<std::string>;

namespace {

const std::string kFeed = "<rss><channel><item><title>one</title></item></channel></rss>";

struct ExhaustedResolver final : orlavo::platform::Resolver {
    orlavo::platform::LookupResult lookup(const std::string&, std::int64_t) override { throw std::bad_alloc(); }
};

}  // namespace

TEST(BackgroundConnect, EveryConnectOutcomeGivesTheEventsAndCodesOfTheSynchronousPath)
{
    orlavo::testing::TestCa ca;
    orlavo::testing::TempDir dir;
    const std::string caFile = dir.file("ca.pem").string();
    orlavo::testing::writeFileBytes(caFile, ca.certificatePem());
    const std::string closed = "http://127.0.0.1:" + std::to_string(orlavo::testing::unusedLoopbackPort()) + "/feed";
    auto respond = [&](const std::string& request) -> std::string {
        if (requestPath(request) == "/moved") {
            return "HTTP/1.0 302 Found\r\nLocation: " + closed + "\r\n\r\n";
        }
        return "HTTP/1.0 200 OK\r\n\r\n" + kFeed;
    };
    TestHttpServer plain(respond);
    TestHttpServer secure(respond, ca.issue({.subjectAltNames = "IP:127.0.0.1,DNS:feeds.example"}));
    orlavo::testing::TestConnectProxy tunnel;
    const std::string port = std::to_string(plain.port());

    FakeResolver notFound;
    notFound.answer = {LookupStatus::NotFound, {}, "Name or service not known"};
    FakeResolver lookupTimedOut;
    lookupTimedOut.answer = {LookupStatus::TimedOut, {}, {}};
    FakeResolver toLoopback("127.0.0.1");
    FakeResolver blackhole("192.0.2.1");
    orlavo::testing::TimingOutConnector stuck;
    ExhaustedResolver exhausted;
    const std::string connectFailed = pellix::resultText(ResultCode::ConnectFailed);
    struct Row {
        const char* label;
        std::string url;
        std::string finish;  // how the last event starts
        orlavo::platform::Resolver* resolver = nullptr;
        orlavo::platform::TcpConnector* connector = nullptr;
        std::string proxy = {};
    };
    const Row rows[] = {
        {"address", plain.url("/feed"), "finish 200 OK"},
        {"name through the system's lookup", "http://localhost:" + port + "/feed", "finish 200 OK"},
        {"name not found", "http://nowhere.invalid/rss", "finish 112 ", &notFound},
        {"lookup timed out", "http://slow.invalid/rss", "finish 112 ", &lookupTimedOut},
        {"connect timed out", "http://blackhole.invalid/rss",
         "finish 110 " + connectFailed + std::to_string(ETIMEDOUT) + " (connect timed out after 10 s)", &blackhole,
         &stuck},
        {"refused", closed, "finish 110 " + connectFailed + std::to_string(ECONNREFUSED)},
        // Memory running out inside the control comes back as a code, never as an exception.
        {"memory ran out", "http://feeds.invalid/rss", "finish 119 " + pellix::resultText(ResultCode::OutOfMemory),
         &exhausted},
        {"redirect to a refused port", plain.url("/moved"), "finish -5 "},
        {"through an http proxy", "http://feeds.example/feed", "finish 200 OK", nullptr, nullptr,
         "http://127.0.0.1:" + port},
        {"https", secure.url("/feed"), "finish 200 OK"},
        {"https through a tunnel", "https://feeds.example:" + std::to_string(secure.port()) + "/feed", "finish 200 OK",
         &toLoopback, nullptr, "http://127.0.0.1:" + std::to_string(tunnel.port())},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        // The synchronous path gives a failed connect as RequestFile's code and text.
        auto run = [&](bool background) {
            DownloadHarness h({}, row.resolver, row.connector);
            h.connectivity.proxy = !row.proxy.empty();
            h.connectivity.proxyUrl = row.proxy;
            h.comp->CAFile(caFile);
            h.comp->FollowRedirects(true);
            h.comp->ConnectInBackground(background);
            const std::int32_t code = h.request(row.url);
            EXPECT_TRUE(code == 0 || !background) << "background RequestFile gave " << code << " " << h.retVal;
            if (code == 0) {
                EXPECT_TRUE(h.pumpUntilFinished());
            } else {
                EXPECT_TRUE(h.events.events.empty()) << "a refused request raises no event";
                h.events.events.push_back("finish " + std::to_string(code) + " " + h.retVal);
            }
            return h.events.events;
        };
        const Events synchronous = run(false);
        EXPECT_EQ(run(true), synchronous);
        ASSERT_FALSE(synchronous.empty());
        EXPECT_TRUE(synchronous.back().starts_with(row.finish)) << synchronous.back();
    }
}

TEST(BackgroundConnect, AHostThatNeverAnswersLeavesTheLoopToTimersUntilTheConnectTimesOut)
{
    FullBacklogListener full;
    ASSERT_NE(full.port(), 0);
    DownloadHarness h;
    h.comp->ConnectInBackground(true);
    ASSERT_EQ(h.request("http://127.0.0.1:" + std::to_string(full.port()) + "/feed"), 0) << h.retVal;
    h.loop.runOnce(0);  // the address is taken
    h.loop.runOnce(0);  // and the connect starts
    int ticks = 0;
    h.loop.startRepeatingTimer(1000, [&] { ++ticks; });
    for (int second = 1; second < 10; ++second) {
        h.clock.advance(1000);
        h.loop.runOnce(0);
    }
    EXPECT_EQ(ticks, 9);
    EXPECT_TRUE(h.events.events.empty());
    h.clock.advance(1000);
    h.loop.runOnce(0);
    EXPECT_EQ(h.events.events, (Events{"finish 110 " + pellix::resultText(ResultCode::ConnectFailed) +
                                       std::to_string(ETIMEDOUT) + " (connect timed out after 10 s)"}));
}

TEST(BackgroundConnect, CancelDuringTheLookupOrTheConnectRaisesNothingAndLeavesTheLoopIdle)
{
    FullBacklogListener full;
    ASSERT_NE(full.port(), 0);
    const std::string hanging = "http://127.0.0.1:" + std::to_string(full.port()) + "/feed";
    // localhost goes to the system's lookup on its helper thread.
    for (const std::string& url : {std::string("http://localhost:1/feed"), hanging}) {
        for (const char* how : {"CloseComm", "destroy", "new request"}) {
            SCOPED_TRACE(url + " " + how);
            DownloadHarness h;
            h.comp->ConnectInBackground(true);
            ASSERT_EQ(h.request(url), 0) << h.retVal;
            if (url == hanging) {
                h.loop.runOnce(0);  // the connect is under way
                h.loop.runOnce(0);
            }
            if (std::string(how) == "CloseComm") {
                h.comp->CloseComm();
            } else if (std::string(how) == "destroy") {
                h.comp.reset();
            } else {
                EXPECT_EQ(h.request("ftp://feeds.example/rss"), pellix::toInt(ResultCode::UnsupportedScheme));
            }
            EXPECT_TRUE(h.loop.idle());
            h.clock.advance(60'000);
            h.loop.runOnce(0);
            EXPECT_TRUE(h.events.events.empty());
        }
    }
    // Closed from OnConnect: its OnDisconnect, and no OnFinish after it.
    orlavo::testing::ScriptedServer server;
    DownloadHarness h;
    h.comp->ConnectInBackground(true);
    h.events.onEvent = [&](const std::string& event) {
        if (event.starts_with("connect ")) {
            h.comp->CloseComm();
        }
    };
    ASSERT_EQ(h.request(server.url("/feed")), 0) << h.retVal;
    EXPECT_TRUE(h.pumpUntil([&] { return h.loop.idle(); }));
    EXPECT_EQ(h.events.events, (Events{"connect 127.0.0.1", "disconnect"}));
}
