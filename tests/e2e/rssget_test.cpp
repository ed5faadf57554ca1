// rssget end to end: the real program downloads from servers on 127.0.0.1
// (python's http.server, or a scripted one that answers byte for byte) and
// the test checks its one stdout line, its exit status and the -o file.
#include "child_process.h"
#include "tool_run.h"

#include "support/python_http_server.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

using orlavo::testing::ChildProcess;
using orlavo::testing::finishRun;
using orlavo::testing::FullBacklogListener;
using orlavo::testing::PythonHttpServer;
using orlavo::testing::readFileBytes;
using orlavo::testing::runTool;
using orlavo::testing::ScriptedServer;
using orlavo::testing::TempDir;
using orlavo::testing::ToolRun;
using orlavo::testing::unusedLoopbackPort;
using orlavo::testing::writeFileBytes;
namespace fs = std::filesystem;

namespace {

// Guard for one run; the timeouts under test end their runs far sooner.
constexpr int kRunTimeoutMs = 10'000;

std::vector<std::string> rssgetArgv(const std::string& url, const std::vector<std::string>& options)
{
    std::vector<std::string> argv{RSSGET_PATH, url};
    argv.insert(argv.end(), options.begin(), options.end());
    return argv;
}

// A sanitizer report also ends the program with status 1: it must not pass
// for one of the expected failures.
ToolRun checked(ToolRun run)
{
    EXPECT_EQ(run.err.find("Sanitizer"), std::string::npos) << run.err;
    return run;
}

ToolRun runRssget(const std::vector<std::string>& argv)
{
    return checked(runTool(argv, kRunTimeoutMs));
}

// One download from a server that answers with response, whole, as soon as
// the request is in, and then closes.
ToolRun runAgainst(const std::string& response, const std::vector<std::string>& options)
{
    ScriptedServer server;
    ChildProcess child(rssgetArgv(server.url("/feed.xml"), options));
    if (server.accept()) {
        // Read all of it: closing with request bytes unread would send a reset.
        (void)server.readRequest();
        server.send(response);
        server.close();
    }
    return checked(finishRun(child, kRunTimeoutMs));
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

}  // namespace

TEST(Rssget, WholeBodyFromAWebServerIsCountedAndWrittenAsTextOrBinary)
{
    TempDir site;
    TempDir out;
    const std::string body = mixedBody();
    writeFileBytes(site.file("feed.xml"), body);
    PythonHttpServer server(site.path());
    ASSERT_TRUE(server.running()) << "python3 -m http.server did not start";
    const std::string url = server.url("/feed.xml");
    const std::string line = "result=0 status=200 bytes=" + std::to_string(body.size());
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
        ToolRun run = runRssget(rssgetArgv(url, row.options));
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, std::vector<std::string>{line});
        EXPECT_EQ(run.err, "");
        if (!row.file.empty()) {
            EXPECT_TRUE(readFileBytes(out.file(row.file)) == row.expected) << "the file differs from the body";
        }
    }
    EXPECT_EQ(namesIn(out.path()), (std::set<std::string>{"feed.txt", "feed.bin"}));
}

TEST(Rssget, MissingDocumentExitsOneAndWritesTheErrorPageUnlessFailIsGiven)
{
    TempDir site;
    PythonHttpServer server(site.path());
    ASSERT_TRUE(server.running()) << "python3 -m http.server did not start";
    for (bool fail : {false, true}) {
        TempDir out;
        writeFileBytes(out.file("kept.xml"), "kept");
        for (const char* target : {"new.xml", "kept.xml"}) {
            SCOPED_TRACE(std::string(target) + (fail ? " --fail" : ""));
            std::vector<std::string> options{"-o", out.file(target).string()};
            if (fail) {
                options.emplace_back("--fail");
            }
            ToolRun run = runRssget(rssgetArgv(server.url("/none.xml"), options));
            EXPECT_EQ(run.exitCode, 1);
            ASSERT_EQ(run.out.size(), 1u);
            // The error page is the server's own: its length is python's business.
            EXPECT_TRUE(run.out[0].starts_with("result=0 status=404 bytes=")) << run.out[0];
            EXPECT_NE(run.out[0], "result=0 status=404 bytes=0");
            EXPECT_NE(run.err.find("404"), std::string::npos) << run.err;
            EXPECT_EQ(run.err.find("not written") != std::string::npos, fail) << run.err;
        }
        if (fail) {
            EXPECT_EQ(readFileBytes(out.file("kept.xml")), "kept");
            EXPECT_EQ(namesIn(out.path()), std::set<std::string>{"kept.xml"});
        } else {
            EXPECT_NE(readFileBytes(out.file("kept.xml")).find("404"), std::string::npos);
            EXPECT_EQ(readFileBytes(out.file("new.xml")), readFileBytes(out.file("kept.xml")));
        }
    }
}

TEST(Rssget, ExitStatusFollowsTheStatusTheBodyAndItsLimit)
{
    struct Row {
        const char* label;
        std::string response;
        std::vector<std::string> options;
        std::string line;
        int exitCode;
        std::string file;    // what -o holds afterwards; empty: not written
        std::string reason;  // part of the stderr message; empty: stderr is empty
    };
    const std::string eleven = "0123456789\n";
    const std::string fail = "--fail";
    const Row rows[] = {
        {"206 is a success", "HTTP/1.0 206 Partial Content\r\n\r\nabc", {}, "result=0 status=206 bytes=3", 0, "abc",
         ""},
        {"299 is a success", "HTTP/1.0 299 Fine\r\n\r\nabc", {fail}, "result=0 status=299 bytes=3", 0, "abc", ""},
        {"an unknown character set is named", "HTTP/1.0 200 OK\r\nContent-Type: text/xml; charset=x-foo\r\n\r\nabc", {},
         "result=0 status=200 bytes=3", 0, "abc",
         "rssget: unknown character set \"x-foo\": read as UTF-8 with windows-1252 fallback\n"},
        {"300 is not, its body is written", "HTTP/1.0 300 Multiple Choices\r\n\r\nabc", {},
         "result=0 status=300 bytes=3", 1, "abc", "300 Multiple Choices"},
        {"300 with --fail writes nothing", "HTTP/1.0 300 Multiple Choices\r\n\r\nabc", {fail},
         "result=0 status=300 bytes=3", 1, "", "the file was not written"},
        {"199 is not", "HTTP/1.0 199 Early\r\n\r\nabc", {}, "result=0 status=199 bytes=3", 1, "abc", "199 Early"},
        {"redirect is reported, not followed, its body kept",
         "HTTP/1.0 301 Moved\r\nLocation: http://127.0.0.1:1/new.xml\r\n\r\nmoved", {},
         "result=0 status=301 bytes=5", 1, "moved", "Location: http://127.0.0.1:1/new.xml"},
        {"redirect without a body", "HTTP/1.0 302 Found\r\nLocation: http://127.0.0.1:1/new.xml\r\n\r\n", {},
         "result=0 status=302 bytes=0", 1, "", "Location: http://127.0.0.1:1/new.xml"},
        {"no status line: the whole answer is the body", "<rss>plain</rss>", {}, "result=0 status=0 bytes=16", 1,
         "<rss>plain</rss>", "download failed: the server sent no HTTP response"},
        {"no status line with --fail", "<rss>plain</rss>", {fail}, "result=0 status=0 bytes=16", 1, "",
         "the file was not written"},
        {"body cut short: what came is written", "HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\nabc", {},
         "result=0 status=-1 bytes=3", 1, "abc", "3 of 10"},
        {"2xx without a body leaves nothing to write", "HTTP/1.0 204 No Content\r\n\r\n", {},
         "result=0 status=204 bytes=0", 1, "", "no downloaded body"},
        {"body at the limit", "HTTP/1.0 200 OK\r\n\r\n" + eleven, {"--max-body", "11"},
         "result=0 status=200 bytes=11", 0, "0123456789\r\n", ""},
        {"body one past the limit", "HTTP/1.0 200 OK\r\n\r\n" + eleven, {"--max-body", "10"},
         "result=0 status=-2 bytes=0", 1, "", "size limit"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        TempDir out;
        std::vector<std::string> options = row.options;
        options.insert(options.end(), {"-o", out.file("feed.xml").string()});
        ToolRun run = runAgainst(row.response, options);
        EXPECT_EQ(run.exitCode, row.exitCode) << run.err;
        EXPECT_EQ(run.out, std::vector<std::string>{row.line});
        if (row.file.empty()) {
            EXPECT_TRUE(fs::is_empty(out.path())) << "a file was written";
        } else {
            EXPECT_EQ(readFileBytes(out.file("feed.xml")), row.file);
        }
        if (row.reason.empty()) {
            EXPECT_EQ(run.err, "");
        } else {
            EXPECT_NE(run.err.find(row.reason), std::string::npos) << run.err;
        }
    }
}

TEST(Rssget, RefusedRequestsReportNoStatusAndWriteNoFile)
{
    const std::string closedPort = std::to_string(unusedLoopbackPort());
    struct Row {
        std::string url;
        std::string line;
        std::string reason;  // part of the stderr message
    };
    const Row rows[] = {
        {"http://127.0.0.1:" + closedPort + "/feed.xml", "result=110 status=none bytes=0",
         "Could not connect to the server. Error 111"},
        {"ftp://127.0.0.1:" + closedPort + "/feed.xml", "result=116 status=none bytes=0", "ftp://"},
        {"http://127.0.0.1:" + closedPort, "result=114 status=none bytes=0", "no path"},
        {"http://127.0.0.1:0/feed.xml", "result=114 status=none bytes=0", "port"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.url);
        TempDir out;
        ToolRun run = runRssget(rssgetArgv(row.url, {"-o", out.file("feed.xml").string()}));
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.out, std::vector<std::string>{row.line});
        EXPECT_NE(run.err.find(row.reason), std::string::npos) << run.err;
        EXPECT_TRUE(fs::is_empty(out.path())) << "a file was written";
    }
}

TEST(Rssget, TimeoutOptionsEndAStuckDownloadEarly)
{
    // The silent server's kernel completes the handshake and keeps the
    // request; nobody ever accepts or answers.
    ScriptedServer silent;
    FullBacklogListener full;
    ASSERT_NE(full.port(), 0);
    const std::string fullUrl = "http://127.0.0.1:" + std::to_string(full.port()) + "/feed.xml";
    struct Row {
        const char* label;
        std::string url;
        std::vector<std::string> options;
        std::string line;
        std::string reason;
    };
    const Row rows[] = {
        {"idle", silent.url("/feed.xml"), {"--idle-timeout", "0.3"}, "result=0 status=-1 bytes=0",
         "sent nothing for 300 ms"},
        {"whole download", silent.url("/feed.xml"), {"--max-time", "0.3"}, "result=0 status=-1 bytes=0",
         "took longer than 300 ms"},
        {"connect", fullUrl, {"--connect-timeout", "0.3"}, "result=110 status=none bytes=0",
         "connect timed out after 300 ms"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        TempDir out;
        std::vector<std::string> options = row.options;
        options.insert(options.end(), {"-o", out.file("feed.xml").string()});
        const auto start = std::chrono::steady_clock::now();
        ToolRun run = runRssget(rssgetArgv(row.url, options));
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.out, std::vector<std::string>{row.line});
        EXPECT_NE(run.err.find(row.reason), std::string::npos) << run.err;
        EXPECT_TRUE(fs::is_empty(out.path())) << "a file was written";
        // The limit given, not a default of seconds, ended it.
        EXPECT_GE(elapsed, 300);
        EXPECT_LT(elapsed, 3000);
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
        ToolRun run = runRssget(argv);
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
    for (const fs::path& target : targets) {
        SCOPED_TRACE(target.string());
        for (bool binary : {false, true}) {
            std::vector<std::string> options{"-o", target.string()};
            if (binary) {
                options.push_back("--binary");
            }
            ToolRun run = runAgainst("HTTP/1.0 200 OK\r\n\r\n<rss/>\n", options);
            EXPECT_EQ(run.exitCode, 2);
            // The download itself went fine, and the line says so.
            EXPECT_EQ(run.out, std::vector<std::string>{"result=0 status=200 bytes=7"});
            EXPECT_TRUE(run.err.starts_with("rssget: " + target.string() + ": ")) << run.err;
        }
        // An error page that cannot be written is an unwritable file too.
        ToolRun run = runAgainst("HTTP/1.0 404 Not Found\r\n\r\ngone", {"-o", target.string()});
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.out, std::vector<std::string>{"result=0 status=404 bytes=4"});
        EXPECT_NE(run.err.find("rssget: " + target.string() + ": "), std::string::npos) << run.err;
    }
    EXPECT_EQ(namesIn(out.path()), (std::set<std::string>{"sub", "locked.xml"}));
    EXPECT_TRUE(fs::is_empty(out.file("sub")));
    EXPECT_EQ(readFileBytes(out.file("locked.xml")), "locked");
}
