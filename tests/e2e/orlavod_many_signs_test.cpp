// One orlavod, three signs: each of three signsims on its own loopback
// address gets its own feed's headline as clock packets, the three frames
// paced side by side.
#include "child_process.h"
#include "tool_run.h"

#include "support/python_http_server.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using namespace orlavo::testing;
namespace fs = std::filesystem;

namespace {

constexpr int kLineTimeoutMs = 5000;
constexpr int kRunTimeoutMs = 30'000;

struct Sign {
    const char* name;
    const char* host;
    const char* headline;  // a frame of about 100 characters: 4 clock packets, 3 waits of 1 s
};
constexpr std::array<Sign, 3> kSigns{{
    {"a", "127.0.0.2", "Lobby: the north door opens at eight"},
    {"b", "127.0.0.3", "Canteen: soup of the day is leek"},
    {"c", "127.0.0.4", "Workshop: goggles on past this line"},
}};

std::string settingsText(const std::string& host, int port, const std::string& feedUrl)
{
    return "[CommMethod]\r\nREMOTEIP=" + host + "\r\nREMOTEPORT=" + std::to_string(port) +
           "\r\nETHERNET=1\r\nSERIAL=0\r\nEMBEDDED=1\r\n[AccessPoint]\r\nACCESSPOINTIP0=" + feedUrl + "\r\n";
}

}  // namespace

TEST(OrlavodManySigns, OneRunSendsEachSignItsOwnFeedPacedInParallel)
{
    TempDir dir;
    fs::create_directories(dir.file("feeds"));
    fs::create_directories(dir.file("signs"));
    for (const Sign& sign : kSigns) {
        writeFileBytes(dir.file("feeds") / (std::string(sign.name) + ".xml"),
                       std::string("<rss><channel><item><title>") + sign.headline + "</title></item></channel></rss>");
    }
    PythonHttpServer http(dir.file("feeds"));
    ASSERT_TRUE(http.running());
    std::vector<std::unique_ptr<ChildProcess>> signsims;
    for (const Sign& sign : kSigns) {
        signsims.push_back(std::make_unique<ChildProcess>(
            std::vector<std::string>{SIGNSIM_PATH, "--bind", sign.host, "--port", "0"}));
        const int port = waitUntilListening(*signsims.back(), false, kLineTimeoutMs).port;
        ASSERT_GT(port, 0);
        writeFileBytes(dir.file("signs") / (std::string(sign.name) + ".ini"),
                       settingsText(sign.host, port, http.url("/" + std::string(sign.name) + ".xml")));
    }
    const std::string folder = dir.file("signs").string();
    const std::vector<std::vector<std::string>> commandLines = {
        {"--settings", folder + "/a.ini", "--settings", folder + "/b.ini", "--settings", folder + "/c.ini"},
        {"--signs", folder},
    };
    for (const auto& signArgs : commandLines) {
        SCOPED_TRACE(signArgs.front());
        std::vector<std::string> argv{ORLAVOD_PATH, "--once"};
        argv.insert(argv.end(), signArgs.begin(), signArgs.end());
        const auto start = std::chrono::steady_clock::now();
        ToolRun run = runTool(argv, kRunTimeoutMs);
        const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ASSERT_EQ(run.exitCode, 0) << run.err;
        std::vector<std::string> out = run.out;
        std::sort(out.begin(), out.end());
        ASSERT_EQ(out.size(), 3u);
        for (std::size_t i = 0; i < kSigns.size(); ++i) {
            const std::string headline = kSigns[i].headline;
            EXPECT_TRUE(out[i].starts_with(std::string(kSigns[i].name) + ": sent ")) << out[i];
            EXPECT_EQ(signsims[i]->readStdoutLine(kLineTimeoutMs), "MESSAGE green:" + headline + " ");
        }
        std::istringstream err(run.err);
        for (std::string line; std::getline(err, line);) {
            EXPECT_TRUE(line.starts_with("a: ") || line.starts_with("b: ") || line.starts_with("c: ")) << line;
        }
        // Each sign waits 1 s before its download and 1 s after each of three
        // full packets; one after another the three would take 12 s at least.
        EXPECT_LT(seconds, 8.0) << "the signs were paced one after another";
    }

    // A sign whose feed fails costs the run its exit status, not the others their frames.
    writeFileBytes(dir.file("gone.ini"), settingsText("127.0.0.2", 9, http.url("/gone.xml")));
    ToolRun run = runTool({ORLAVOD_PATH, "--once", "--settings", folder + "/a.ini", "--settings",
                           dir.file("gone.ini").string()},
                          kRunTimeoutMs);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out.size(), 1u);
    EXPECT_NE(run.err.find("gone: orlavod: update " + http.url("/gone.xml") + ": failed, 404"), std::string::npos)
        << run.err;
    EXPECT_EQ(signsims[0]->readStdoutLine(kLineTimeoutMs), std::string("MESSAGE green:") + kSigns[0].headline + " ");

    // A feed host that never answers holds up no other sign: the whole frame
    // of sign a goes out after its 1 s wait and its download, well before the
    // silent host's 6 s connect timeout (the bound leaves room for a loaded machine).
    FullBacklogListener silent;
    ASSERT_NE(silent.port(), 0);
    std::string whole = readFileBytes(fs::path(folder) / "a.ini");
    whole.replace(whole.find("EMBEDDED=1"), 10, "EMBEDDED=0");
    writeFileBytes(dir.file("a.ini"), whole);
    writeFileBytes(dir.file("silent.ini"),
                   settingsText("127.0.0.3", 9, "http://127.0.0.1:" + std::to_string(silent.port()) + "/feed.xml"));
    const auto start = std::chrono::steady_clock::now();
    ChildProcess both({ORLAVOD_PATH, "--once", "--connect-timeout", "6", "--settings", dir.file("a.ini").string(),
                       "--settings", dir.file("silent.ini").string()});
    EXPECT_EQ(signsims[0]->readStdoutLine(kLineTimeoutMs), std::string("MESSAGE green:") + kSigns[0].headline + " ");
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 4.0);
    run = finishRun(both, kRunTimeoutMs);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("silent: orlavod: update"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("connect timed out after 6 s"), std::string::npos) << run.err;
}
