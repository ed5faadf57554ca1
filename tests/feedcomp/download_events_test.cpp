// RequestFile's synchronous outcomes, the order of events, and handlers that
// re-enter or release the control.
#include "pellix/rss_file.h"
#include "support/download_harness.h"
#include "support/scripted_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <new>

using orlavo::testing::DownloadHarness;
using orlavo::testing::FakeResolver;
using orlavo::testing::ScriptedServer;
using pellix::ResultCode;
using Events = std::vector<std::string>;

namespace {

constexpr std::string_view kFeed =
    "HTTP/1.0 200 OK\r\n\r\n<rss><channel><title>T</title>"
    "<item><title>One <b>bold</b></title></item><item><title>Two</title></item></channel></rss>";

bool startsWith(const std::string& text, const std::string& prefix)
{
    return text.rfind(prefix, 0) == 0;
}

std::size_t finishCount(const DownloadHarness& h)
{
    return static_cast<std::size_t>(std::count_if(h.events.events.begin(), h.events.events.end(),
                                                  [](const std::string& e) { return startsWith(e, "finish"); }));
}

// Answers the request the control just sent and waits for its OnFinish.
void serveAndClose(DownloadHarness& h, ScriptedServer& server, std::string_view response)
{
    const std::size_t before = finishCount(h);
    ASSERT_TRUE(server.accept());
    (void)server.readRequest();
    server.send(response);
    server.close();
    ASSERT_TRUE(h.pumpUntil([&] { return finishCount(h) > before; }));
}

}  // namespace

TEST(DownloadEvents, RefusesBeforeConnectingWithTheCodeAndItsText)
{
    struct Row {
        const char* label;
        std::string url;
        bool online;
        bool proxy;
        ResultCode code;
    };
    const Row rows[] = {
        {"empty URL", "", true, false, ResultCode::BadUrl},
        {"no slash", "feeds.example", true, false, ResultCode::BadUrl},
        {"trailing slash only", "http://feeds.example/", true, false, ResultCode::BadUrl},
        {"unsupported scheme", "ftp://feeds.example/rss", true, false, ResultCode::UnsupportedScheme},
        {"header injection", "http://feeds.example/x\r\nHost: evil", true, false, ResultCode::BadUrl},
        {"bad port in URL", "http://feeds.example:99999/rss", true, false, ResultCode::BadUrl},
        {"offline", "http://feeds.example/rss", false, false, ResultCode::NotOnline},
        {"proxy configured", "http://feeds.example/rss", true, true, ResultCode::ProxyInUse},
        {"empty host", "http:///rss", true, false, ResultCode::EmptyHost},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        FakeResolver resolver;
        DownloadHarness h({}, &resolver);
        h.connectivity.online = row.online;
        h.connectivity.proxy = row.proxy;
        EXPECT_EQ(h.request(row.url), pellix::toInt(row.code));
        EXPECT_TRUE(startsWith(h.retVal, pellix::resultText(row.code))) << h.retVal;
        EXPECT_TRUE(resolver.names.empty());
        EXPECT_TRUE(h.events.events.empty());
    }
}

TEST(DownloadEvents, LoopbackIsReachedOfflineAndBehindAProxy)
{
    for (const char* host : {"127.0.0.1", "localhost"}) {
        SCOPED_TRACE(host);
        DownloadHarness h;
        h.connectivity.online = false;
        h.connectivity.proxy = true;
        ScriptedServer server;
        const std::string url = "http://" + std::string(host) + ":" + std::to_string(server.port()) + "/f";
        EXPECT_EQ(h.request(url), 0) << h.retVal;
        serveAndClose(h, server, "HTTP/1.0 200 OK\r\n\r\nok");
        EXPECT_EQ(h.events.last(), "finish 200 OK");
    }
}

TEST(DownloadEvents, LookupFailureAndTimeoutsAreReportedSynchronously)
{
    FakeResolver resolver;
    DownloadHarness h({}, &resolver);
    resolver.answer = {orlavo::platform::LookupStatus::NotFound, {}, "Name or service not known"};
    EXPECT_EQ(h.request("http://nowhere.invalid:8080/rss"), 112);
    EXPECT_NE(h.retVal.find("Name or service not known"), std::string::npos);
    // The connectivity is asked about the request's host, so that no proxy applies.
    EXPECT_EQ(h.connectivity.proxyQueries, std::vector<std::string>{"nowhere.invalid"});
    EXPECT_EQ(resolver.names, std::vector<std::string>{"nowhere.invalid"});

    resolver.answer = {orlavo::platform::LookupStatus::TimedOut, {}, {}};
    EXPECT_EQ(h.request("http://slow.invalid/rss"), 112);
    EXPECT_NE(h.retVal.find("timed out after 10 s"), std::string::npos) << h.retVal;

    orlavo::testing::TimingOutConnector stuck;
    FakeResolver blackhole("192.0.2.1");
    DownloadHarness h2({}, &blackhole, &stuck);
    EXPECT_EQ(h2.request("http://blackhole.invalid/rss"), 110);
    EXPECT_EQ(h2.retVal, pellix::resultText(ResultCode::ConnectFailed) + std::to_string(ETIMEDOUT) +
                             " (connect timed out after 10 s)");
    EXPECT_TRUE(h.events.events.empty());
    EXPECT_TRUE(h2.events.events.empty());

    // Memory running out inside the control comes back as a code, never as an exception.
    struct ExhaustedResolver final : orlavo::platform::Resolver {
        orlavo::platform::LookupResult lookup(const std::string&, std::int64_t) override { throw std::bad_alloc(); }
    } exhausted;
    DownloadHarness h3({}, &exhausted);
    EXPECT_EQ(h3.request("http://feeds.invalid/rss"), 119);
    EXPECT_EQ(h3.retVal, pellix::resultText(ResultCode::OutOfMemory));
}

TEST(DownloadEvents, RefusedConnectionGives110WithTheErrorNumber)
{
    DownloadHarness h;
    const std::uint16_t port = orlavo::testing::unusedLoopbackPort();
    EXPECT_EQ(h.request("http://127.0.0.1:" + std::to_string(port) + "/feed.xml"), 110);
    EXPECT_EQ(h.retVal, pellix::resultText(ResultCode::ConnectFailed) + std::to_string(ECONNREFUSED));
    EXPECT_TRUE(h.events.events.empty());
}

TEST(DownloadEvents, PortPropertyWinsOverTheUrlAndIsChecked)
{
    DownloadHarness h;
    ScriptedServer server;
    h.comp->Port(server.port());
    const std::uint16_t closed = orlavo::testing::unusedLoopbackPort();
    ASSERT_EQ(h.request("http://127.0.0.1:" + std::to_string(closed) + "/f"), 0) << h.retVal;
    serveAndClose(h, server, "HTTP/1.0 200 OK\r\n\r\nx");
    for (std::int32_t bad : {0, -1, 65536}) {
        SCOPED_TRACE(bad);
        h.comp->Port(bad);
        EXPECT_EQ(h.request(server.url("/f")), 114);
    }
}

TEST(DownloadEvents, SecondRequestClosesTheFirstConnectionFirst)
{
    DownloadHarness h;
    ScriptedServer first;
    ScriptedServer second;
    ASSERT_EQ(h.request(first.url("/a")), 0);
    ASSERT_TRUE(first.accept());
    (void)first.readRequest();
    first.send("HTTP/1.0 200 OK\r\n\r\nOLD-DATA");
    h.pumpOnce();
    ASSERT_EQ(h.request(second.url("/b")), 0);
    EXPECT_TRUE(first.clientClosed());
    first.send("MORE-OLD");
    serveAndClose(h, second, "HTTP/1.0 200 OK\r\n\r\nnew");
    EXPECT_EQ(h.events.events,
              (Events{"connect 127.0.0.1", "disconnect", "connect 127.0.0.1", "disconnect", "finish 200 OK"}));
    EXPECT_EQ(h.comp->CurFileString(), "new");
}

TEST(DownloadEvents, HandlerMayStartTheNextRequestFromOnFinish)
{
    DownloadHarness h;
    ScriptedServer server;
    int started = 0;
    h.events.onEvent = [&](const std::string& event) {
        if (startsWith(event, "finish") && started++ == 0) {
            std::string inner;
            EXPECT_EQ(h.comp->RequestFile(server.url("/second"), inner), 0) << inner;
        }
    };
    ASSERT_EQ(h.request(server.url("/first")), 0);
    serveAndClose(h, server, "HTTP/1.0 200 OK\r\n\r\none");
    ASSERT_TRUE(server.accept());
    EXPECT_TRUE(startsWith(server.readRequest(), "GET /second "));
    server.send("HTTP/1.0 200 OK\r\n\r\ntwo");
    server.close();
    ASSERT_TRUE(h.pumpUntil([&] { return h.events.events.size() == 6; }));
    EXPECT_EQ(h.comp->CurFileString(), "two");
}

TEST(DownloadEvents, HandlerMayReleaseTheControlInsideAnyEvent)
{
    for (const char* when : {"connect", "disconnect", "finish"}) {
        SCOPED_TRACE(when);
        DownloadHarness h;
        ScriptedServer server;
        h.events.onEvent = [&](const std::string& event) {
            if (startsWith(event, when)) {
                h.comp.reset();
            }
        };
        const std::int32_t result = h.request(server.url("/f"));
        if (std::string(when) == "connect") {
            EXPECT_EQ(result, 99);
            EXPECT_EQ(h.events.events, Events{"connect 127.0.0.1"});
            continue;
        }
        ASSERT_TRUE(server.accept());
        (void)server.readRequest();
        server.send("HTTP/1.0 200 OK\r\n\r\nbody");
        server.close();
        EXPECT_TRUE(h.pumpUntil([&] { return h.comp == nullptr; }));
        EXPECT_EQ(h.events.last().rfind(when, 0), 0u);
    }
}

TEST(DownloadEvents, DestructorAndCloseCommEndADownloadQuietly)
{
    DownloadHarness h;
    ScriptedServer server;
    ASSERT_EQ(h.request(server.url("/f")), 0);
    ASSERT_TRUE(server.accept());
    h.comp->CloseComm();
    EXPECT_EQ(h.events.events, (Events{"connect 127.0.0.1", "disconnect"}));
    EXPECT_TRUE(server.clientClosed());

    ASSERT_EQ(h.request(server.url("/f")), 0);
    ASSERT_TRUE(server.accept());
    h.comp.reset();
    EXPECT_EQ(h.events.events.size(), 3u);
    EXPECT_TRUE(server.clientClosed());
    h.loop.runPending();
}

TEST(DownloadEvents, OpenCommIsOptionalAndRepeatable)
{
    DownloadHarness h;
    std::string err;
    EXPECT_EQ(h.comp->OpenComm(err), 0);
    EXPECT_EQ(h.comp->OpenComm(err), 0);
    EXPECT_TRUE(h.comp->GoOnline());
    h.connectivity.online = false;
    EXPECT_FALSE(h.comp->IsOnline());
    EXPECT_FALSE(h.comp->GoOnline());
    h.connectivity.proxy = true;
    EXPECT_TRUE(h.comp->IsConnectionProxy());
}

TEST(DownloadEvents, GetRSSFileNeedsACleanBodyWithItemsAndGivesIndependentDocuments)
{
    DownloadHarness h;
    std::int32_t items = 7;
    EXPECT_EQ(h.comp->GetRSSFile(false, items), nullptr);
    EXPECT_EQ(items, 0);
    ScriptedServer server;
    for (std::string_view response : {"HTTP/1.0 200 OK\r\n\r\n<rss><channel><title>No items</title></channel></rss>",
                                      "HTTP/1.0 200 OK\r\n\r\n"}) {
        ASSERT_EQ(h.request(server.url("/f")), 0);
        serveAndClose(h, server, response);
        items = 7;
        EXPECT_EQ(h.comp->GetRSSFile(false, items), nullptr);
        EXPECT_EQ(items, 0);
    }
    ASSERT_EQ(h.request(server.url("/f")), 0);
    serveAndClose(h, server, kFeed);
    std::int32_t strippedCount = 0;
    auto plain = h.comp->GetRSSFile(false, items);
    auto stripped = h.comp->GetRSSFile(true, strippedCount);
    ASSERT_NE(plain, nullptr);
    ASSERT_NE(stripped, nullptr);
    EXPECT_NE(plain, stripped);
    EXPECT_EQ(items, 2);
    EXPECT_EQ(strippedCount, 2);
    EXPECT_EQ(plain->ItemTitle(1), "One <b>bold</b>");
    EXPECT_EQ(stripped->ItemTitle(1), "One bold");
}
