// rssget against servers that misbehave on purpose, all on 127.0.0.1. Every
// behaviour must end the run on its own, within the limits given, with one
// result line, the expected status, no sanitizer report and bounded memory.
#include "child_process.h"
#include "tool_run.h"

#include "hostile_server.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <regex>
#include <string>
#include <vector>

using namespace orlavo::testing;  // the behaviours, the server and the run

using namespace std::string_literals;

namespace {

// Short limits so the slow behaviours end in a fraction of a second.
constexpr std::int64_t kMaxTimeMs = 1000;
const std::vector<std::string> kLimits = {"--idle-timeout", "0.3", "--max-time", "1", "--max-body", "1048576"};
// Process start (with the sanitizer runtime) and exit on top of --max-time.
constexpr std::int64_t kSlackMs = 2000;
// Peak resident size of any run: about 28 MiB is measured for a full 1 MiB
// body in the sanitizer build; the bound leaves room without hiding a leak.
constexpr long kMaxRssKb = 96 * 1024;

const std::string& kOk = kOkHeader;
const std::string kReset = std::to_string(ECONNRESET);

struct Row {
    const char* label;
    Behaviour serve;
    std::string line;    // regular expression for the result line
    std::string reason;  // part of stderr
};

// Rows grouped as the download meets them: silence, the header, the body,
// the connection itself.
std::vector<Row> rows()
{
    std::string lines;
    for (int i = 0; i < 3000; ++i) {
        lines += "X-A: b\r\n";
    }
    const std::string location = "Location: http://127.0.0.1/" + std::string(30'000, 'a');
    const std::string cut = "HTTP/1.0 200 OK\r\nContent-Length: 8388608\r\n\r\n";
    return {
        {"never accepted", [](ScriptedServer&) {}, "result=0 status=-1 bytes=0", "sent nothing for 300 ms"},
        {"accepted, never read",
         [](ScriptedServer& s) {
             if (s.accept()) {
                 (void)s.clientClosed();
             }
         },
         "result=0 status=-1 bytes=0", "sent nothing for 300 ms"},
        {"read, never answered", stall(""), "result=0 status=-1 bytes=0", "sent nothing for 300 ms"},
        {"silent after part of the body", stall(kOk + "abc"), "result=0 status=-1 bytes=3", "sent nothing"},
        {"header a byte every 100 ms", trickle("HTTP/1.0 200", " OK\r\nX-Slow: on\r\n"), "result=0 status=-1 bytes=0",
         "took longer than 1 s"},
        {"body a byte every 100 ms", trickle(kOk, "<rss>"), "result=0 status=-1 bytes=[0-9]+", "took longer than 1 s"},
        {"endless header", flood("HTTP/1.0 200 OK\r\n", "X-Filler: 0123456789\r\n"), "result=0 status=-3 bytes=0",
         "65536 bytes"},
        {"one huge header line", respond("HTTP/1.0 200 OK\r\nX-Big: " + std::string(100'000, 'a') + "\r\n\r\n"),
         "result=0 status=-3 bytes=0", "65536 bytes"},
        {"3000 header lines", respond("HTTP/1.0 200 OK\r\n" + lines + "\r\nbody"), "result=0 status=200 bytes=4", ""},
        {"status line garbage", respond("HTTP/1.0 abc garbage\r\n\r\nbody"), "result=0 status=0 bytes=4",
         "the server sent no HTTP response"},
        {"status line cut to the prefix", respond("HTTP/\r\n\r\nbody"), "result=0 status=0 bytes=4", "the server sent no HTTP response"},
        {"interim 100 before the answer", respond("HTTP/1.0 100 Continue\r\n\r\n" + kOk + "body"),
         "result=0 status=100 bytes=23", "finished with 100"},
        {"CR-only line ends", respond("HTTP/1.0 200 OK\rContent-Length: 3\r\rabc"), "result=0 status=0 bytes=38",
         "the server sent no HTTP response"},
        {"NUL bytes in the header", respond("HTTP/1.0 200 O\0K\r\nX-\0: \0\0\r\n\r\nbody"s),
         "result=0 status=200 bytes=4", ""},
        {"terminal controls in the status and Location",
         respond("HTTP/1.0 302 \x1b]0;owned\x07\x9b" "2J\r\nLocation: /a\rb\r\n\r\n"), "result=0 status=302 bytes=0",
         "302 \\x1b]0;owned\\x07\\x9b2JLocation: /a\\x0db"},
        {"redirect with an enormous Location", respond("HTTP/1.0 301 Moved\r\n" + location + "\r\n\r\n"),
         "result=0 status=301 bytes=0", "Location: http://127.0.0.1/aaaa"},
        {"redirect Location past the header limit",
         respond("HTTP/1.0 301 Moved\r\n" + location + std::string(40'000, 'a') + "\r\n\r\n"),
         "result=0 status=-3 bytes=0", "65536 bytes"},
        {"binary noise instead of a response", respond(noise(100'000)), "result=0 status=0 bytes=100000",
         "the server sent no HTTP response"},
        {"Content-Length past any number", respond("HTTP/1.0 200 OK\r\nContent-Length: 99999999999999999999999\r\n\r\nbody"),
         "result=0 status=-1 bytes=4", "4 of 999999999999999999"},
        {"negative Content-Length", respond("HTTP/1.0 200 OK\r\nContent-Length: -5\r\n\r\nbody"),
         "result=0 status=200 bytes=4", ""},
        {"endless body", flood(kOk, std::string(4096, 'x')), "result=0 status=-2 bytes=[0-9]+", "1048576 bytes"},
        {"body far over the limit, announced", flood(cut, std::string(8 << 20, 'x')),
         "result=0 status=-2 bytes=[0-9]+", "1048576 bytes"},
        {"reset in the header", resetAfter("HTTP/1.0 200 OK\r\nServ"), "result=0 status=-1 bytes=0", kReset},
        {"reset in the body", resetAfter(kOk + "<rss><channel>"), "result=0 status=-1 bytes=[0-9]+", kReset},
        {"half-closed before any answer",
         answering([](ScriptedServer& s) {
             s.shutdownWrite();
             (void)s.clientClosed();
         }),
         "result=0 status=0 bytes=0", "the server sent no HTTP response"},
        {"half-closed after the answer, still reading",
         answering([](ScriptedServer& s) {
             s.send(kOk + "body");
             s.shutdownWrite();
             (void)s.clientClosed();
         }),
         "result=0 status=200 bytes=4", ""},
        {"closed without reading the request",
         [](ScriptedServer& s) {
             if (s.accept()) {
                 s.close();
             }
         },
         "result=0 status=(0|-1) bytes=0", ""},
    };
}

long peakChildRssKb()
{
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_maxrss;
}

// Runs rssget on url with the short limits and extra options while the
// server behaves as the row says, and checks the end it came to.
void checkRow(const Row& row, ScriptedServer& server, const std::string& url, const std::vector<std::string>& extra)
{
    std::vector<std::string> argv{RSSGET_PATH, url};
    argv.insert(argv.end(), kLimits.begin(), kLimits.end());
    argv.insert(argv.end(), extra.begin(), extra.end());
    const auto start = std::chrono::steady_clock::now();
    ChildProcess child(argv);
    row.serve(server);
    const ToolRun run = finishRun(child, kMaxTimeMs + kSlackMs);
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    // Exit 1: every row fails the download; 0 only for the 2xx ones.
    EXPECT_TRUE(run.exitCode == 0 || run.exitCode == 1) << "exit " << run.exitCode << "\n" << run.err;
    EXPECT_EQ(run.exitCode == 0, std::regex_search(row.line, std::regex("status=2")));
    EXPECT_EQ(run.err.find("Sanitizer"), std::string::npos) << run.err;
    ASSERT_EQ(run.out.size(), 1u) << run.err;
    EXPECT_TRUE(std::regex_match(run.out[0], std::regex(row.line))) << run.out[0];
    EXPECT_NE(run.err.find(row.reason), std::string::npos) << run.err.substr(0, 300);
    // Nothing from the peer reaches the terminal raw.
    EXPECT_TRUE(std::none_of(run.err.begin(), run.err.end(), [](char c) {
        return (c >= 0 && c < 0x20 && c != '\n') || c == 0x7f;
    })) << run.err.substr(0, 300);
    EXPECT_LT(elapsed, kMaxTimeMs + kSlackMs);
    EXPECT_LE(peakChildRssKb(), kMaxRssKb);
}

// Takes the client's hello, then does what follows instead of a TLS server's part.
Behaviour afterHello(Behaviour then)
{
    return [then](ScriptedServer& server) {
        if (server.accept()) {
            (void)server.readSome();
            then(server);
        }
    };
}

}  // namespace

TEST(RssgetHostile, EveryMisbehaviourEndsInTimeWithAResultAndBoundedMemory)
{
    for (const Row& row : rows()) {
        SCOPED_TRACE(row.label);
        ScriptedServer server;
        checkRow(row, server, server.url("/feed.xml"), {});
    }
}

// An https:// server that is none: each way ends the handshake with the TLS
// code (-4) and a sentence naming the secure connection, never a plain read.
TEST(RssgetHostile, BrokenTlsHandshakesEndWithTheTlsCode)
{
    // The first bytes of a server hello record: the client waits for the rest.
    const std::string helloStart = "\x16\x03\x03\x00\x7a\x02\x00\x00\x76\x03\x03"s;
    const std::string failed = "The secure connection to 127.0.0.1 failed: ";
    const Row tlsRows[] = {
        {"garbage instead of a handshake", afterHello([](ScriptedServer& s) {
             s.send(noise(4096));
             (void)s.clientClosed();
         }),
         "result=0 status=-4 bytes=0", failed},
        {"reset mid-handshake", afterHello([helloStart](ScriptedServer& s) {
             s.send(helloStart);
             s.reset();
         }),
         "result=0 status=-4 bytes=0", failed + "Connection reset by peer"},
        {"stalled mid-handshake", afterHello([helloStart](ScriptedServer& s) {
             s.send(helloStart);
             (void)s.clientClosed();
         }),
         "result=0 status=-4 bytes=0", failed + "no TLS handshake within 200 ms"},
    };
    for (const Row& row : tlsRows) {
        SCOPED_TRACE(row.label);
        ScriptedServer server;
        // Shorter than the idle limit, so the handshake's own limit is the one met.
        checkRow(row, server, server.secureUrl("/feed.xml"), {"--handshake-timeout", "0.2"});
    }
}
