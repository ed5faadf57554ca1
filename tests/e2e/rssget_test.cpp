// rssget end to end: the real program downloads from servers on 127.0.0.1
// (python's http.server, a TLS server of the test's own CA, or a scripted one
// that answers byte for byte or misbehaves on purpose) and the test checks its
// one stdout line, its exit status, stderr and the -o file. Every run must end
// on its own within the limits given, with no sanitizer report and bounded
// memory.
#include "child_process.h"
#include "hostile_server.h"
#include "tool_run.h"

#include "support/python_http_server.h"
#include "support/temp_dir.h"
#include "support/test_tls.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <vector>

using namespace orlavo::testing;  // the behaviours, the servers and the run
using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

// Short limits so the slow behaviours end in a fraction of a second.
const std::vector<std::string> kLimits = {"--idle-timeout", "0.3", "--max-time", "1", "--max-body", "1048576"};
// --max-time plus process start (with the sanitizer runtime) and exit.
constexpr std::int64_t kBoundMs = 3000;
// Peak resident size of any run: about 28 MiB is measured for a full 1 MiB
// body in the sanitizer build; the bound leaves room without hiding a leak.
constexpr long kMaxRssKb = 96 * 1024;

// What one run must come to.
struct Expect {
    std::string line;  // regular expression for the one stdout line
    int exitCode;
    std::string reason;  // part of stderr; empty with exit 0: stderr is empty
};

void check(const ToolRun& run, const Expect& want)
{
    EXPECT_EQ(run.exitCode, want.exitCode) << run.err.substr(0, 300);
    // A sanitizer report also ends the program with status 1: it must not
    // pass for one of the expected failures.
    EXPECT_EQ(run.err.find("Sanitizer"), std::string::npos) << run.err;
    ASSERT_EQ(run.out.size(), 1u) << run.err;
    EXPECT_TRUE(std::regex_match(run.out[0], std::regex(want.line))) << run.out[0];
    if (want.reason.empty() && want.exitCode == 0) {
        EXPECT_EQ(run.err, "");
    } else {
        EXPECT_NE(run.err.find(want.reason), std::string::npos) << run.err.substr(0, 300);
    }
    // Nothing from the peer reaches the terminal raw.
    EXPECT_TRUE(std::none_of(run.err.begin(), run.err.end(), [](char c) {
        return (c >= 0 && c < 0x20 && c != '\n') || c == 0x7f;
    })) << run.err.substr(0, 300);
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    EXPECT_LE(usage.ru_maxrss, kMaxRssKb) << "peak resident KiB";
}

// Runs rssget with args while server does what serve says; elapsedMs is
// the time it took.
ToolRun runRssget(std::vector<std::string> args, ScriptedServer& server, const Behaviour& serve,
                  std::int64_t& elapsedMs)
{
    args.insert(args.begin(), RSSGET_PATH);
    const auto start = std::chrono::steady_clock::now();
    ChildProcess child(args);
    serve(server);
    ToolRun run = finishRun(child, kBoundMs);
    elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
                    .count();
    return run;
}

std::set<std::string> namesIn(const fs::path& dir)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// Every byte value, lines ended by bare LF and by CR LF, a lone CR, and more
// than one receive buffer of it, so line ends straddle the reads.
std::string mixedBody()
{
    std::string block;
    for (int byte = 0; byte < 256; ++byte) {
        block += static_cast<char>(byte);
    }
    block += "<title>Caf\xC3\xA9</title>\r\n<item>\n\n\r<x/>\n";
    std::string body;
    while (body.size() < 200'000) {
        body += block;
    }
    return body;
}

// What the text output holds for body: a CR goes in before each LF that has none.
std::string withCrBeforeBareLf(const std::string& body)
{
    std::string text;
    char previous = '\0';
    for (char c : body) {
        if (c == '\n' && previous != '\r') {
            text += '\r';
        }
        text += c;
        previous = c;
    }
    return text;
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

TEST(Rssget, WholeBodyFromAWebServerIsCountedAndWrittenAsTextOrBinary)
{
    TempDir site;
    TempDir out;
    const std::string body = mixedBody();
    writeFileBytes(site.file("feed.xml"), body);
    PythonHttpServer server(site.path());
    ASSERT_TRUE(server.running()) << "python3 -m http.server did not start";
    // An existing file is replaced, as a download meant to refresh it.
    writeFileBytes(out.file("feed.txt"), "old content");
    struct Row {
        const char* label;
        std::vector<std::string> options;
        std::string file;      // empty: no -o
        std::string expected;  // the file's bytes
    };
    const Row rows[] = {
        {"no file", {}, "", ""},
        {"text", {"-o", out.file("feed.txt").string()}, "feed.txt", withCrBeforeBareLf(body)},
        {"binary", {"--binary", "-o", out.file("feed.bin").string()}, "feed.bin", body},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        std::vector<std::string> argv{RSSGET_PATH, server.url("/feed.xml")};
        argv.insert(argv.end(), row.options.begin(), row.options.end());
        check(runTool(argv, kBoundMs), {"result=0 status=200 bytes=" + std::to_string(body.size()), 0, ""});
        if (!row.file.empty()) {
            EXPECT_TRUE(readFileBytes(out.file(row.file)) == row.expected) << "the file differs from the body";
        }
    }
    EXPECT_EQ(namesIn(out.path()), (std::set<std::string>{"feed.txt", "feed.bin"}));
}

// One download per row from a scripted server (or none), grouped as the
// download meets them: the status and the body, refused requests, silence,
// the header, the body's limits, the connection itself, a TLS handshake.
TEST(Rssget, EachServerAnswerEndsWithItsLineExitStatusReasonAndFile)
{
    const Behaviour none = [](ScriptedServer&) {};
    const std::string closed = "http://127.0.0.1:" + std::to_string(unusedLoopbackPort());
    FullBacklogListener full;
    ASSERT_NE(full.port(), 0);
    const std::string fail = "--fail";
    const std::string& ok = kOkHeader;
    const std::string reset = std::to_string(ECONNRESET);
    std::string lines;
    for (int i = 0; i < 3000; ++i) {
        lines += "X-A: b\r\n";
    }
    const std::string location = "Location: http://127.0.0.1/" + std::string(30'000, 'a');
    // The first bytes of a server hello record: the client waits for the rest.
    const std::string helloStart = "\x16\x03\x03\x00\x7a\x02\x00\x00\x76\x03\x03"s;
    const std::string tlsFailed = "The secure connection to 127.0.0.1 failed: ";
    // Shorter than the idle limit, so the handshake's own limit is the one met.
    std::vector<std::string> tls = kLimits;
    tls.insert(tls.end(), {"--handshake-timeout", "0.2"});
    struct Row {
        const char* label;
        Behaviour serve;
        std::vector<std::string> options;
        Expect want;
        const char* file = nullptr;  // with -o: what it holds afterwards ("": not written); nullptr: no -o
        std::string url = "";        // empty: the scripted server's; "https": the same as https://
        std::int64_t atLeastMs = 0;  // a timeout must not end the run before its limit
    };
    const Row rows[] = {
        {"206 is a success", respond("HTTP/1.0 206 Partial Content\r\n\r\nabc"), {},
         {"result=0 status=206 bytes=3", 0, ""}, "abc"},
        {"299 is a success", respond("HTTP/1.0 299 Fine\r\n\r\nabc"), {fail}, {"result=0 status=299 bytes=3", 0, ""},
         "abc"},
        {"an unknown character set is named",
         respond("HTTP/1.0 200 OK\r\nContent-Type: text/xml; charset=x-foo\r\n\r\nabc"), {},
         {"result=0 status=200 bytes=3", 0,
          "rssget: unknown character set \"x-foo\": read as UTF-8 with windows-1252 fallback\n"},
         "abc"},
        {"300 is not, its body is written", respond("HTTP/1.0 300 Multiple Choices\r\n\r\nabc"), {},
         {"result=0 status=300 bytes=3", 1, "rssget: download finished with 300 Multiple Choices\n"}, "abc"},
        {"300 with --fail writes nothing", respond("HTTP/1.0 300 Multiple Choices\r\n\r\nabc"), {fail},
         {"result=0 status=300 bytes=3", 1, "the file was not written"}, ""},
        {"199 is not", respond("HTTP/1.0 199 Early\r\n\r\nabc"), {}, {"result=0 status=199 bytes=3", 1, "199 Early"},
         "abc"},
        {"redirect is reported, not followed, its body kept",
         respond("HTTP/1.0 301 Moved\r\nLocation: http://127.0.0.1:1/new.xml\r\n\r\nmoved"), {},
         {"result=0 status=301 bytes=5", 1, "Location: http://127.0.0.1:1/new.xml"}, "moved"},
        {"redirect without a body", respond("HTTP/1.0 302 Found\r\nLocation: http://127.0.0.1:1/new.xml\r\n\r\n"), {},
         {"result=0 status=302 bytes=0", 1, "Location: http://127.0.0.1:1/new.xml"}, ""},
        {"no status line: the whole answer is the body", respond("<rss>plain</rss>"), {},
         {"result=0 status=0 bytes=16", 1, "download failed: the server sent no HTTP response"}, "<rss>plain</rss>"},
        {"no status line with --fail", respond("<rss>plain</rss>"), {fail},
         {"result=0 status=0 bytes=16", 1, "the file was not written"}, ""},
        {"body cut short: what came is written", respond("HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\nabc"), {},
         {"result=0 status=-1 bytes=3", 1, "3 of 10"}, "abc"},
        {"2xx without a body leaves nothing to write", respond("HTTP/1.0 204 No Content\r\n\r\n"), {},
         {"result=0 status=204 bytes=0", 1, "no downloaded body"}, ""},
        {"body at the limit", respond(ok + "0123456789\n"), {"--max-body", "11"},
         {"result=0 status=200 bytes=11", 0, ""}, "0123456789\r\n"},
        {"body one past the limit", respond(ok + "0123456789\n"), {"--max-body", "10"},
         {"result=0 status=-2 bytes=0", 1, "size limit"}, ""},
        {"connection refused", none, {},
         {"result=110 status=none bytes=0", 1, "Could not connect to the server. Error 111"}, "", closed + "/feed.xml"},
        {"not http", none, {}, {"result=116 status=none bytes=0", 1, "ftp://"}, "", "ftp://127.0.0.1:1/feed.xml"},
        {"no path", none, {}, {"result=114 status=none bytes=0", 1, "no path"}, "", closed},
        {"port 0", none, {}, {"result=114 status=none bytes=0", 1, "port"}, "", "http://127.0.0.1:0/feed.xml"},
        {"connect timeout", none, {"--connect-timeout", "0.3"},
         {"result=110 status=none bytes=0", 1, "connect timed out after 300 ms"}, "",
         "http://127.0.0.1:" + std::to_string(full.port()) + "/feed.xml", 300},
        // The server's kernel completes the handshake and keeps the request;
        // nobody ever accepts or answers: to the client, as a server that reads and stays silent.
        {"never accepted", none, kLimits, {"result=0 status=-1 bytes=0", 1, "sent nothing for 300 ms"}, "", "", 300},
        {"never accepted, whole download limit", none, {"--max-time", "0.3"},
         {"result=0 status=-1 bytes=0", 1, "took longer than 300 ms"}, "", "", 300},
        {"silent after part of the body", stall(ok + "abc"), kLimits,
         {"result=0 status=-1 bytes=3", 1, "sent nothing"}},
        {"header a byte every 100 ms", trickle("HTTP/1.0 200", " OK\r\nX-Slow: on\r\n"), kLimits,
         {"result=0 status=-1 bytes=0", 1, "took longer than 1 s"}},
        {"endless header", flood("HTTP/1.0 200 OK\r\n", "X-Filler: 0123456789\r\n"), kLimits,
         {"result=0 status=-3 bytes=0", 1, "65536 bytes"}},
        {"3000 header lines", respond("HTTP/1.0 200 OK\r\n" + lines + "\r\nbody"), kLimits,
         {"result=0 status=200 bytes=4", 0, ""}},
        {"status line garbage", respond("HTTP/1.0 abc garbage\r\n\r\nbody"), kLimits,
         {"result=0 status=0 bytes=4", 1, "the server sent no HTTP response"}},
        {"interim 100 before the answer", respond("HTTP/1.0 100 Continue\r\n\r\n" + ok + "body"), kLimits,
         {"result=0 status=100 bytes=23", 1, "finished with 100"}},
        {"CR-only line ends", respond("HTTP/1.0 200 OK\rContent-Length: 3\r\rabc"), kLimits,
         {"result=0 status=0 bytes=38", 1, "the server sent no HTTP response"}},
        {"NUL bytes in the header", respond("HTTP/1.0 200 O\0K\r\nX-\0: \0\0\r\n\r\nbody"s), kLimits,
         {"result=0 status=200 bytes=4", 0, ""}},
        {"terminal controls in the status and Location",
         respond("HTTP/1.0 302 \x1b]0;owned\x07\x9b" "2J\r\nLocation: /a\rb\r\n\r\n"), kLimits,
         {"result=0 status=302 bytes=0", 1, "302 \\x1b]0;owned\\x07\\x9b2JLocation: /a\\x0db"}},
        {"redirect with an enormous Location", respond("HTTP/1.0 301 Moved\r\n" + location + "\r\n\r\n"), kLimits,
         {"result=0 status=301 bytes=0", 1, "Location: http://127.0.0.1/aaaa"}},
        {"Content-Length past any number",
         respond("HTTP/1.0 200 OK\r\nContent-Length: 99999999999999999999999\r\n\r\nbody"), kLimits,
         {"result=0 status=-1 bytes=4", 1, "4 of 999999999999999999"}},
        {"negative Content-Length", respond("HTTP/1.0 200 OK\r\nContent-Length: -5\r\n\r\nbody"), kLimits,
         {"result=0 status=200 bytes=4", 0, ""}},
        {"endless body", flood(ok, std::string(4096, 'x')), kLimits,
         {"result=0 status=-2 bytes=[0-9]+", 1, "1048576 bytes"}},
        {"reset in the header", resetAfter("HTTP/1.0 200 OK\r\nServ"), kLimits,
         {"result=0 status=-1 bytes=0", 1, reset}},
        {"reset in the body", resetAfter(ok + "<rss><channel>"), kLimits,
         {"result=0 status=-1 bytes=[0-9]+", 1, reset}},
        {"half-closed before any answer",
         answering([](ScriptedServer& s) {
             s.shutdownWrite();
             (void)s.clientClosed();
         }),
         kLimits, {"result=0 status=0 bytes=0", 1, "the server sent no HTTP response"}},
        {"half-closed after the answer, still reading",
         answering([ok](ScriptedServer& s) {
             s.send(ok + "body");
             s.shutdownWrite();
             (void)s.clientClosed();
         }),
         kLimits, {"result=0 status=200 bytes=4", 0, ""}},
        {"closed without reading the request",
         [](ScriptedServer& s) {
             if (s.accept()) {
                 s.close();
             }
         },
         kLimits, {"result=0 status=(0|-1) bytes=0", 1, ""}},
        // An https:// server that stalls the handshake: the TLS code, a sentence
        // naming the secure connection, and the handshake limit given.
        {"stalled mid-handshake",
         afterHello([helloStart](ScriptedServer& s) {
             s.send(helloStart);
             (void)s.clientClosed();
         }),
         tls, {"result=0 status=-4 bytes=0", 1, tlsFailed + "no TLS handshake within 200 ms"}, nullptr, "https"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        ScriptedServer server;
        TempDir out;
        std::vector<std::string> args{row.url.empty()      ? server.url("/feed.xml")
                                      : row.url == "https" ? server.secureUrl("/feed.xml")
                                                           : row.url};
        args.insert(args.end(), row.options.begin(), row.options.end());
        if (row.file != nullptr) {
            args.insert(args.end(), {"-o", out.file("feed.xml").string()});
        }
        std::int64_t elapsedMs = 0;
        check(runRssget(args, server, row.serve, elapsedMs), row.want);
        // The limit given, not a default of seconds, ended it.
        EXPECT_GE(elapsedMs, row.atLeastMs);
        EXPECT_LT(elapsedMs, kBoundMs);
        if (row.file != nullptr && *row.file == '\0') {
            EXPECT_TRUE(fs::is_empty(out.path())) << "a file was written";
        } else if (row.file != nullptr) {
            EXPECT_EQ(readFileBytes(out.file("feed.xml")), row.file);
        }
    }
}

TEST(Rssget, FetchesARedirectedHttpsFeedWithTheNamedCa)
{
    const std::string feed = "<rss><item><title>t</title></item></rss>";
    TestCa ca;
    TempDir dir;
    const std::string caFile = dir.file("test-ca.pem").string();
    writeFileBytes(caFile, ca.certificatePem());
    TestHttpServer tls([&](const std::string&) { return kOkHeader + feed; }, ca.issue());
    const std::string target = tls.url("/feed.xml");
    TestHttpServer plain([&](const std::string&) { return "HTTP/1.0 302 Found\r\nLocation: " + target + "\r\n\r\n"; });
    const std::string ok = "result=0 status=200 bytes=" + std::to_string(feed.size());
    struct Row {
        const char* label;
        std::vector<std::string> argv;
        Expect want;
    };
    const Row rows[] = {
        {"https with --cafile", {RSSGET_PATH, target, "--cafile", caFile}, {ok, 0, ""}},
        {"redirect followed to https", {RSSGET_PATH, plain.url("/old"), "-L", "--cafile", caFile},
         {ok, 0, "rssget: redirected to " + target + "\n"}},
        {"untrusted without --cafile", {RSSGET_PATH, target},
         {"result=0 status=-4 bytes=0", 1, "failed: unable to get local issuer certificate"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        check(runTool(row.argv, kBoundMs), row.want);
    }
}

TEST(Rssget, BadArgumentsExitTwoBeforeAnyDownload)
{
    TempDir out;
    const std::string file = out.file("feed.xml").string();
    // Were the arguments wrongly taken, this refused address would give exit 1.
    const std::string url = "http://127.0.0.1:" + std::to_string(unusedLoopbackPort()) + "/feed.xml";
    struct Row {
        std::vector<std::string> args;
        std::string reason;
    };
    const Row rows[] = {
        {{}, "no URL given"},
        {{"-o", file}, "no URL given"},
        {{url, url}, "only one URL"},
        {{url, "--frobnicate", "-o", file}, "unknown option --frobnicate"},
        {{url, "-o"}, "-o needs a value"},
        {{url, "-o", ""}, "-o needs a file name"},
        {{url, "-o", file, "--max-body", "-1"}, "--max-body"},
        {{url, "-o", file, "--max-body", "64k"}, "--max-body"},
        {{url, "-o", file, "--idle-timeout", "0"}, "--idle-timeout"},
        {{url, "-o", file, "--max-time", "soon"}, "--max-time"},
        {{url, "-o", file, "--connect-timeout", "inf"}, "--connect-timeout"},
        {{url, "--handshake-timeout", "-1"}, "--handshake-timeout"},
        {{url, "-o", file, "--connect-timeout"}, "--connect-timeout needs a value"},
    };
    for (const Row& row : rows) {
        std::vector<std::string> argv{RSSGET_PATH};
        argv.insert(argv.end(), row.args.begin(), row.args.end());
        SCOPED_TRACE(row.reason);
        ToolRun run = runTool(argv, kBoundMs);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.out.empty()) << run.out.front();
        EXPECT_TRUE(run.err.starts_with("rssget: ")) << run.err;
        EXPECT_NE(run.err.find(row.reason), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("usage: rssget"), std::string::npos) << run.err;
    }
    EXPECT_TRUE(fs::is_empty(out.path())) << "a file was written";
}

TEST(Rssget, UnwritableOutputExitsTwoAndLeavesNothingBehind)
{
    TempDir out;
    fs::create_directory(out.file("sub"));
    writeFileBytes(out.file("locked.xml"), "locked");
    fs::permissions(out.file("locked.xml"), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const fs::path targets[] = {out.file("sub"), out.file("missing") / "feed.xml", out.file("locked.xml")};
    // An error page that cannot be written is an unwritable file too.
    const std::pair<std::vector<std::string>, std::string> ways[] = {{{}, kOkHeader + "<rss/>\n"},
                                                                     {{"--binary"}, kOkHeader + "<rss/>\n"},
                                                                     {{}, "HTTP/1.0 404 Not Found\r\n\r\ngone"}};
    for (const fs::path& target : targets) {
        for (const auto& [options, response] : ways) {
            SCOPED_TRACE(target.string() + " " + response.substr(0, 12) + (options.empty() ? "" : " --binary"));
            ScriptedServer server;
            std::vector<std::string> args{server.url("/feed.xml"), "-o", target.string()};
            args.insert(args.end(), options.begin(), options.end());
            std::int64_t elapsedMs = 0;
            const ToolRun run = runRssget(args, server, respond(response), elapsedMs);
            // The download itself went fine, and the line says so.
            const bool found = response.ends_with("gone");
            check(run, {found ? "result=0 status=404 bytes=4" : "result=0 status=200 bytes=7", 2,
                        "rssget: " + target.string() + ": "});
            EXPECT_TRUE(found || run.err.starts_with("rssget: " + target.string() + ": ")) << run.err;
        }
    }
    EXPECT_EQ(namesIn(out.path()), (std::set<std::string>{"sub", "locked.xml"}));
    EXPECT_TRUE(fs::is_empty(out.file("sub")));
    EXPECT_EQ(readFileBytes(out.file("locked.xml")), "locked");
}
