// The engine against a scripted server: exact bytes, splits, resets, limits;
// RequestFile's synchronous outcomes, the order of events, and handlers that
// re-enter or release the control.
#include "pellix/finish_text.h"
#include "pellix/rss_file.h"
#include "support/download_harness.h"
#include "support/scripted_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <iterator>
#include <optional>

using orlavo::testing::DownloadHarness;
using orlavo::testing::FakeResolver;
using orlavo::testing::ScriptedServer;
using pellix::ResultCode;
using Events = std::vector<std::string>;

namespace {

// One control and one scripted server.
class ScriptedDownload : public ::testing::Test {
protected:
    DownloadHarness h;
    ScriptedServer server;
};

// Sends the request and lets the server take it; returns what the server read.
std::string begin(DownloadHarness& h, ScriptedServer& server, const std::string& url)
{
    EXPECT_EQ(h.request(url), 0) << h.retVal;
    EXPECT_TRUE(server.accept());
    return server.readRequest();
}

// Sends each piece and lets the control read it before the next one goes out.
void sendInReads(DownloadHarness& h, ScriptedServer& server, const std::vector<std::string>& pieces)
{
    for (const auto& piece : pieces) {
        server.send(piece);
        h.pumpOnce();
    }
}

constexpr std::string_view kFeed =
    "HTTP/1.0 200 OK\r\n\r\n<rss><channel><title>T</title>"
    "<item><title>One <b>bold</b></title></item><item><title>Two</title></item></channel></rss>";

std::size_t finishCount(const DownloadHarness& h)
{
    return static_cast<std::size_t>(std::count_if(h.events.events.begin(), h.events.events.end(),
                                                  [](const std::string& e) { return e.starts_with("finish"); }));
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

TEST(DownloadProtocol, SendsExactlyTheFourRequestLinesEvenWhenTheSocketTakesThemInPieces)
{
    orlavo::testing::ChoppyConnector choppy(3);
    for (orlavo::platform::TcpConnector* connector : {static_cast<orlavo::platform::TcpConnector*>(nullptr),
                                                      static_cast<orlavo::platform::TcpConnector*>(&choppy)}) {
        SCOPED_TRACE(connector == nullptr ? "whole" : "in pieces");
        DownloadHarness h({}, nullptr, connector);
        ScriptedServer server;
        ASSERT_EQ(h.request(server.url("/a/long/path/feed.xml")), 0) << h.retVal;
        ASSERT_TRUE(server.accept());
        std::string request;
        EXPECT_TRUE(h.pumpUntil([&] {
            request += server.readAvailable();
            return request.find("\r\n\r\n") != std::string::npos;
        }));
        EXPECT_EQ(request, "GET /a/long/path/feed.xml HTTP/1.0\r\nUser-Agent: " + pellix::RSSComp::UserAgent() +
                               "\r\nHost: 127.0.0.1\r\n\r\n");
        EXPECT_EQ(h.events.events, Events{"connect 127.0.0.1"});
    }
    EXPECT_NE(pellix::RSSComp::UserAgent().find("pellix"), std::string::npos);
    EXPECT_NE(pellix::RSSComp::UserAgent().find("1.05"), std::string::npos);
}

// A redirect not followed and the controls in a status text are rssget's rows.
TEST(DownloadProtocol, FindsTheHeaderHoweverTheResponseIsSplitAndEndsAtEachLimit)
{
    enum class End { Close, Reset };
    struct Row {
        const char* label;
        std::vector<std::string> pieces;
        std::string finish;
        std::optional<std::string> body;  // unset: not checked
        pellix::RSSCompLimits limits = {};
        End end = End::Close;
    };
    const std::string bodyTooLarge = "finish -2 " + pellix::resultText(pellix::ResultCode::BodyTooLarge);
    const std::string headerTooLarge = "finish -3 " + pellix::resultText(pellix::ResultCode::HeaderTooLarge);
    const std::string x99(99, 'x');
    const std::string hundred = "HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n";
    const std::string hundredOne = "HTTP/1.0 200 OK\r\nContent-Length: 101\r\n\r\n";
    // Headers of 64 and 65 bytes, the first read ending inside them.
    const std::string header64 = "HTTP/1.0 200 OK\r\nX: " + std::string(40, 'h') + "\r\n\r\n";
    const std::string header65 = "HTTP/1.0 200 OK\r\nX: " + std::string(41, 'h') + "\r\n\r\n";
    const Row rows[] = {
        {"body over several reads", {"HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\n\r\n<rss>", "<channel>", "</rss>"},
         "finish 200 OK", "<rss><channel></rss>"},
        {"header split across reads", {"HTTP/1.0 2", "00 OK\r\nServer: x\r", "\n\r", "\nbody"}, "finish 200 OK",
         "body"},
        {"first read under 50 bytes", {"HTTP/1.0 200 OK\r\n\r\nshort"}, "finish 200 OK", "short"},
        {"LF-only header", {"HTTP/1.0 200 OK\nServer: sloppy\n\nline1\nline2"}, "finish 200 OK",
         "line1\r\nline2"},
        {"no header, blank line later", {"<rss>\r\n\r\n</rss>"}, "finish 0 ", "<rss>\r\n\r\n</rss>"},
        {"no header, tiny first read", {"<r", "ss/>"}, "finish 0 ", "<rss/>"},
        {"404 page", {"HTTP/1.0 404 Not Found\r\n\r\nmissing"}, "finish 404 Not Found", "missing"},
        {"304 without Location", {"HTTP/1.0 304 Not Modified\r\n\r\n"}, "finish 304 Not Modified", ""},
        {"body of the announced length", {"HTTP/1.0 200 OK\r\nContent-Length: 11\r\n\r\n<rs", "s></r", "ss>"},
         "finish 200 OK", "<rss></rss>"},
        {"body past the announced length", {"HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nab", "cdefgh", "ij"},
         "finish 200 OK", "abcdefghij"},
        {"UTF-8 character split across reads", {"HTTP/1.0 200 OK\r\n\r\ncaf\xC3", "\xA9"}, "finish 200 OK",
         "caf\xC3\xA9"},
        {"reset during the body", {"HTTP/1.0 200 OK\r\n\r\n<rss><channel>"}, "finish -1 " + std::to_string(ECONNRESET),
         std::nullopt, {}, End::Reset},
        {"body shorter than Content-Length", {"HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n<rss><item>"},
         "finish -1 The connection closed after 11 of 100 body bytes.", std::nullopt},
        // With a Content-Length the body is received into room reserved up to the limit.
        {"body at the limit", {"HTTP/1.0 200 OK\r\n\r\n" + x99, "y"}, "finish 200 OK", x99 + "y",
         {.maxBodyBytes = 100}},
        {"body past the limit", {"HTTP/1.0 200 OK\r\n\r\nx" + x99, "y"}, bodyTooLarge + " (100 bytes)", std::nullopt,
         {.maxBodyBytes = 100}},
        {"announced body at the limit", {hundred + x99, "y"}, "finish 200 OK", x99 + "y", {.maxBodyBytes = 100}},
        {"announced body past the limit", {hundredOne + "x" + x99, "y"}, bodyTooLarge + " (100 bytes)", std::nullopt,
         {.maxBodyBytes = 100}},
        {"announced body that cannot be allocated",
         {"HTTP/1.0 200 OK\r\nContent-Length: 999999999999999999\r\n\r\n<rss>"},
         "finish -2 The response body does not fit in memory: 1000000000000008191 bytes could not be reserved.",
         std::nullopt, {.maxBodyBytes = std::int64_t{1} << 62}},  // past any address space
        {"header at the limit", {header64.substr(0, 30), header64.substr(30) + "body"}, "finish 200 OK", "body",
         {.maxHeaderBytes = 64}},
        {"header past the limit", {header65.substr(0, 30), header65.substr(30) + "body"},
         headerTooLarge + " (64 bytes)", std::nullopt, {.maxHeaderBytes = 64}},
        {"header that never ends", {"HTTP/1.0 200 OK\r\n", std::string(600, 'a'), std::string(600, 'b')},
         headerTooLarge + " (1000 bytes)", std::nullopt, {.maxHeaderBytes = 1000}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        DownloadHarness h(row.limits);
        ScriptedServer server;
        begin(h, server, server.url("/feed.xml"));
        sendInReads(h, server, row.pieces);
        row.end == End::Reset ? server.reset() : server.close();
        ASSERT_TRUE(h.pumpUntilFinished());
        EXPECT_EQ(h.events.events, (Events{"connect 127.0.0.1", "disconnect", row.finish}));
        if (row.body) {
            EXPECT_EQ(h.comp->CurFileString(), *row.body);
        }
        if (row.finish.starts_with("finish -")) {
            std::int32_t items = 0;
            EXPECT_EQ(h.comp->GetRSSFile(false, items), nullptr);
            EXPECT_EQ(items, -1);
        }
    }
}

TEST_F(ScriptedDownload, SilentServerTimesOutAfterTheIdleLimit)
{
    begin(h, server, server.url("/feed.xml"));
    h.clock.advance(29'999);
    h.loop.runPending();
    EXPECT_FALSE(h.events.finished());
    h.clock.advance(1);
    h.loop.runPending();
    EXPECT_EQ(h.events.events,
              (Events{"connect 127.0.0.1", "disconnect", "finish -1 Timed out: the server sent nothing for 30 s."}));
    EXPECT_TRUE(server.clientClosed());
}

TEST_F(ScriptedDownload, TricklingServerTimesOutAfterTheTotalLimit)
{
    begin(h, server, server.url("/feed.xml"));
    server.send("HTTP/1.0 200 OK\r\n\r\n");
    // A byte every 20 s never trips the idle limit, but the whole download is bounded.
    for (int second = 0; second < 300 && !h.events.finished(); second += 20) {
        h.clock.advance(20'000);
        server.send("x");
        h.pumpOnce();
    }
    EXPECT_EQ(h.events.last(), "finish -1 Timed out: the download took longer than 300 s.");
    std::int32_t items = 0;
    EXPECT_EQ(h.comp->GetRSSFile(false, items), nullptr);
    EXPECT_EQ(items, -1);
}

TEST(DescribeFinish, SocketNumbersAndMissingResponsesReadAsWords)
{
    struct Row {
        std::int32_t status;
        const char* text;
        const char* words;
    } rows[] = {
        {-1, "104", "connection reset by the server (104)"},
        {-1, "111", "connection refused by the server (111)"},
        {-1, "5", "input/output error (5)"},
        {0, "", "the server sent no HTTP response"},
        {-1, "Timed out: the server sent nothing for 30 s.", "Timed out: the server sent nothing for 30 s"},
        {-1, "", "the download failed"},
        {404, "Not Found", "404 Not Found"},
        {302, "Location: http://127.0.0.1/x", "302 Location: http://127.0.0.1/x"},
        {502, "Bad\x1b]0;x\x07 Gateway\r\x7f", "502 Bad\\x1b]0;x\\x07 Gateway\\x0d\\x7f"},
        {200, "Ok caf\xc3\xa9 \xe9 \xc2\x9b \\x41", "200 Ok caf\xc3\xa9 \\xe9 \\xc2\\x9b \\x41"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(pellix::DescribeFinish(row.status, row.text), row.words);
    }
    EXPECT_EQ(pellix::DescribeCharsetFallback("x-\x1b[31m"),
              "unknown character set \"x-\\x1b[31m\": read as UTF-8 with windows-1252 fallback");
}

TEST(DownloadProtocol, ThousandDownloadsEndingEveryWayLeaveNoDescriptorOpen)
{
    auto openDescriptors = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                             std::filesystem::directory_iterator{});
    };
    pellix::RSSCompLimits limits;
    limits.maxHeaderBytes = 64;
    DownloadHarness h(limits);
    ScriptedServer server;
    const auto before = openDescriptors();
    for (int i = 0; i < 1000; ++i) {
        h.events.events.clear();
        begin(h, server, server.url("/feed.xml"));
        switch (i % 4) {
        case 0:
            server.send("HTTP/1.0 200 OK\r\n\r\n<rss/>");
            server.close();
            break;
        case 1:
            server.send("HTTP/1.0 200 OK\r\n\r\n<rss>");
            server.reset();
            break;
        case 2:
            server.send("HTTP/1.0 200 OK\r\nX-Filler: " + std::string(100, 'x'));
            break;
        case 3:
            h.comp->CloseComm();
            continue;
        }
        ASSERT_TRUE(h.pumpUntilFinished()) << "download " << i;
    }
    server.close();
    EXPECT_EQ(openDescriptors(), before);
}

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
        {"unsupported scheme", "ftp://feeds.example/rss", true, false, ResultCode::UnsupportedScheme},
        {"header injection", "http://feeds.example/x\r\nHost: evil", true, false, ResultCode::BadUrl},
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
        EXPECT_TRUE(h.retVal.starts_with(pellix::resultText(row.code))) << h.retVal;
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

TEST(DownloadEvents, LookupFailuresAreReportedSynchronouslyForTheRequestsHost)
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
}

TEST_F(ScriptedDownload, PortPropertyWinsOverTheUrlAndIsChecked)
{
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

TEST_F(ScriptedDownload, SecondRequestClosesTheFirstConnectionFirst)
{
    ScriptedServer& first = server;
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

TEST_F(ScriptedDownload, HandlerMayStartTheNextRequestFromOnFinish)
{
    int started = 0;
    h.events.onEvent = [&](const std::string& event) {
        if (event.starts_with("finish") && started++ == 0) {
            std::string inner;
            EXPECT_EQ(h.comp->RequestFile(server.url("/second"), inner), 0) << inner;
        }
    };
    ASSERT_EQ(h.request(server.url("/first")), 0);
    serveAndClose(h, server, "HTTP/1.0 200 OK\r\n\r\none");
    ASSERT_TRUE(server.accept());
    EXPECT_TRUE(server.readRequest().starts_with("GET /second "));
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
            if (event.starts_with(when)) {
                h.comp.reset();
            }
        };
        const std::int32_t result = h.request(server.url("/f"));
        if (std::string_view(when) == "connect") {
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

TEST_F(ScriptedDownload, DestructorAndCloseCommEndADownloadQuietly)
{
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

TEST_F(ScriptedDownload, OpenCommIsOptionalAndRepeatable)
{
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

TEST_F(ScriptedDownload, GetRSSFileNeedsACleanBodyWithItemsAndGivesIndependentDocuments)
{
    std::int32_t items = 7;
    EXPECT_EQ(h.comp->GetRSSFile(false, items), nullptr);
    EXPECT_EQ(items, 0);
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
