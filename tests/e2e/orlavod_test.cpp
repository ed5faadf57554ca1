// orlavod end to end. One update of `orlavod --settings DATA_INI --once`: the
// real program downloads from an HTTP server on 127.0.0.1 and sends to the
// signsim program on 127.0.0.2 or on a pseudo-terminal, then writes its
// settings back. It keeps its own pauses (1 s before a download, 1 s after a
// whole frame, 1 s after each full clock packet), so the feeds stay short.
// `orlavod discover` walks against signsim instances on distinct 127.0.0.x
// addresses, with its real 10 ms pacing and 1 s wait for late replies.
#include "child_process.h"
#include "hostile_server.h"
#include "tool_run.h"

#include "platform/manual_clock.h"
#include "platform/poll_event_loop.h"
#include "platform/posix_udp_endpoint.h"
#include "signfeed/sign_protocol.h"
#include "support/python_http_server.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"
#include "support/test_tls.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace orlavo;
using namespace orlavo::testing;  // the tool runs, the servers and their behaviours
namespace fs = std::filesystem;

namespace {

// Every settings file aims the sign here: loopback only, never a broadcast.
constexpr const char* kSignHost = "127.0.0.2";
constexpr int kLineTimeoutMs = 5000;
// Guard for one whole run; the feed control's own limits end a download sooner.
constexpr int kRunTimeoutMs = 30'000;

// Three items, so the colours cycle green, yellow, red; the one without a
// description keeps its trailing blank; "é" is one byte on the wire.
constexpr std::string_view kNewsFeed =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\"><channel><title>Harbour news</title>\n"
    "<item><title>Harbour caf\xC3\xA9 reopens</title><description>Ferries run again</description></item>\n"
    "<item><title>Rain later</title></item>\n"
    "<item><title>Bridge closed</title><description>Works until May</description></item>\n"
    "</channel></rss>\n";
constexpr std::string_view kNewsMessage = "MESSAGE green:Harbour caf\xC3\xA9 reopens - Ferries run again"
                                          " | yellow:Rain later  | red:Bridge closed - Works until May";
// Short enough for three clock packets.
constexpr std::string_view kShortFeed = "<rss><channel><item><title>Caf\xC3\xA9 opens</title></item></channel></rss>";
constexpr std::string_view kEmptyFeed = "<rss version=\"2.0\"><channel><title>Quiet</title></channel></rss>";

struct SignSettings {
    std::string feedUrl;
    std::string host = kSignHost;
    int udpPort = 0;
    bool ethernet = true;
    bool serial = false;
    bool embedded = false;
    std::string commDevice;  // written only when set
    std::string messages;    // written only when set
};

// The sign on UDP only, as most tests have it.
SignSettings udpSign(std::string feedUrl, int port)
{
    SignSettings settings;
    settings.feedUrl = std::move(feedUrl);
    settings.udpPort = port;
    return settings;
}

// The serial link only; UDP stays aimed at port so that a stray copy would show.
SignSettings serialSign(std::string feedUrl, int port, std::string device)
{
    SignSettings settings = udpSign(std::move(feedUrl), port);
    settings.ethernet = false;
    settings.serial = true;
    settings.commDevice = std::move(device);
    return settings;
}

std::string settingsText(const SignSettings& s)
{
    auto flag = [](bool on) { return on ? "1\r\n" : "0\r\n"; };
    std::string text = "[CommMethod]\r\nREMOTEIP=" + s.host + "\r\nREMOTEPORT=" +
                       std::to_string(s.udpPort) + "\r\nETHERNET=" + flag(s.ethernet) + "SERIAL=" + flag(s.serial) +
                       "EMBEDDED=" + flag(s.embedded);
    if (!s.commDevice.empty()) {
        text += "[Communications]\r\nCOMMDEVICE=" + s.commDevice + "\r\n";
    }
    if (!s.messages.empty()) {
        text += "[Parameters]\r\nMESSAGES=" + s.messages + "\r\n";
    }
    return text + "[AccessPoint]\r\nACCESSPOINTIP0=" + s.feedUrl + "\r\n";
}

// A reset frame from the test itself: signsim prints "RESET" for it, so any
// line before that one came from the program under test.
std::string nextLineAfterReset(ChildProcess& signsim, int port)
{
    platform::ManualClock clock;
    platform::PollEventLoop loop(clock);
    platform::PosixUdpEndpoint udp(loop);
    EXPECT_FALSE(udp.bind("127.0.0.1", 0));
    EXPECT_FALSE(udp.setRemote(kSignHost, port));
    EXPECT_FALSE(udp.send(signfeed::toWireBytes(signfeed::kResetFrame)));
    return signsim.readStdoutLine(kLineTimeoutMs).value_or("(no line)");
}

std::string sentLine(std::size_t characters, int items)
{
    return "sent " + std::to_string(characters) + " characters, " + std::to_string(items) + " items";
}

class OrlavodOnce : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(feedDir());
        writeFileBytes(feedDir() / "news.xml", kNewsFeed);
        writeFileBytes(feedDir() / "short.xml", kShortFeed);
        writeFileBytes(feedDir() / "empty.xml", kEmptyFeed);
        m_http = std::make_unique<PythonHttpServer>(feedDir());
        ASSERT_TRUE(m_http->running());
    }

    fs::path feedDir() const { return m_dir.file("feeds"); }
    fs::path settingsPath(std::string_view run = "settings") const { return m_dir.file(run) / "data.ini"; }
    std::string feedUrl(std::string_view name) const { return m_http->url("/" + std::string(name)); }

    // signsim with args (and a pseudo-terminal with --serial-pty), once it listens.
    SignsimAddress startSignsim(std::vector<std::string> args)
    {
        const bool withPty = std::find(args.begin(), args.end(), "--serial-pty") != args.end();
        args.insert(args.begin(), SIGNSIM_PATH);
        m_signsim = std::make_unique<ChildProcess>(args);
        return waitUntilListening(*m_signsim, withPty, kLineTimeoutMs);
    }

    std::unique_ptr<ChildProcess> startOnce(const SignSettings& settings, const fs::path& path,
                                            const std::vector<std::string>& options = {})
    {
        fs::create_directories(path.parent_path());
        writeFileBytes(path, settingsText(settings));
        std::vector<std::string> argv{ORLAVOD_PATH, "--settings", path.string(), "--once"};
        argv.insert(argv.end(), options.begin(), options.end());
        return std::make_unique<ChildProcess>(argv);
    }

    // The wire bytes `orlavod compose` says these settings and this feed give,
    // one string per unit (a whole frame, or each clock packet).
    std::vector<std::string> composedUnits(const SignSettings& settings, std::string_view feed)
    {
        fs::path scratch = m_dir.file("compose.ini");
        writeFileBytes(scratch, settingsText(settings));
        ToolRun run = runTool(
            {ORLAVOD_PATH, "compose", "--settings", scratch.string(), (feedDir() / feed).string()}, kRunTimeoutMs);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        std::vector<std::string> units;
        for (const std::string& line : run.out) {
            units.push_back(unescapeComposeLine(line));
        }
        return units;
    }

    // After any run, the close sequence has written every key a first start
    // writes, the values the test set are still there, and the atomic write left
    // no temporary file beside the settings (the lock file stays on purpose).
    void expectSettingsKeptWhole(const SignSettings& settings, const fs::path& path)
    {
        fs::path reference = m_dir.file("reference") / "data.ini";
        if (!fs::exists(reference)) {
            ASSERT_EQ(runTool({ORLAVOD_PATH, "init", "--settings", reference.string()}, kRunTimeoutMs)
                          .exitCode,
                      0);
        }
        IniEntries after = parseIni(readFileBytes(path));
        for (const auto& [key, value] : parseIni(readFileBytes(reference))) {
            EXPECT_TRUE(after.contains(key)) << "missing after the run: " << key;
        }
        for (const auto& [key, value] : parseIni(settingsText(settings))) {
            EXPECT_EQ(after[key], value) << key;
        }
        for (const auto& entry : fs::directory_iterator(path.parent_path())) {
            std::string name = entry.path().filename().string();
            EXPECT_TRUE(name == "data.ini" || name == "data.ini.lock") << "left beside the settings: " << name;
        }
    }

    // One update that shows the news feed on the signsim started last: one
    // frame and the line that says so, nothing sent after it, the settings
    // whole; its run, for what it said on stderr.
    ToolRun expectNewsShown(const SignSettings& settings, int port)
    {
        const std::vector<std::string> frame = composedUnits(settings, "news.xml");
        EXPECT_EQ(frame.size(), 1u);
        ToolRun run = finishRun(*startOnce(settings, settingsPath()), kRunTimeoutMs);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, std::vector<std::string>{sentLine(frame.at(0).size(), 3)});
        EXPECT_EQ(m_signsim->readStdoutLine(kLineTimeoutMs), kNewsMessage);
        // The download's status texts only with --verbose.
        EXPECT_EQ(run.err.find("Connected"), std::string::npos) << run.err;
        EXPECT_EQ(nextLineAfterReset(*m_signsim, port), "RESET") << "one frame only";
        expectSettingsKeptWhole(settings, settingsPath());
        return run;
    }

    TempDir m_dir;
    std::unique_ptr<PythonHttpServer> m_http;
    std::unique_ptr<ChildProcess> m_signsim;
};

}  // namespace

TEST_F(OrlavodOnce, SendsOverTheSerialLineOnAPseudoTerminal)
{
    const SignsimAddress address = startSignsim({"--bind", kSignHost, "--port", "0", "--serial-pty", "--verbose"});
    ASSERT_GT(address.port, 0);
    ASSERT_FALSE(address.pty.empty());
    expectNewsShown(serialSign(feedUrl("news.xml"), address.port, address.pty), address.port);
    const std::optional<std::string> described = m_signsim->stderrLineWith("text message", kLineTimeoutMs);
    ASSERT_TRUE(described);
    EXPECT_TRUE(described->starts_with("signsim: serial " + address.pty + ":")) << *described;
}

// signsim as a user starts it beside the program (0.0.0.0:16000, the sign
// link's own port) gets the frame: the link never takes datagrams meant for it.
TEST_F(OrlavodOnce, ASignEmulatorOnTheSignPortOfThisMachineGetsTheFrame)
{
    if (startSignsim({}).port != signfeed::kSignUdpPort) {
        GTEST_SKIP() << "UDP port 16000 is held by another program on this machine";
    }
    SignSettings settings = udpSign(feedUrl("news.xml"), signfeed::kSignUdpPort);
    settings.host = "127.0.0.1";
    const std::string err = expectNewsShown(settings, signfeed::kSignUdpPort).err;
    EXPECT_NE(err.find("holds UDP port 16000"), std::string::npos) << err;
}

// Today's feed: moved for good from http:// to https:// on a server whose
// certificate the test's own CA signs, named to the program through
// ORLAVO_CA_FILE. RewriteMovedFeeds is off by default: the slot keeps the old
// address.
TEST_F(OrlavodOnce, ShowsAFeedMovedToHttpsOnTheSign)
{
    const int port = startSignsim({"--bind", kSignHost, "--port", "0"}).port;
    ASSERT_GT(port, 0);
    TestCa ca;
    const fs::path caFile = m_dir.file("test-ca.pem");
    writeFileBytes(caFile, ca.certificatePem());
    TestHttpServer secure([](const std::string&) { return kOkHeader + std::string(kNewsFeed); }, ca.issue());
    const std::string target = secure.url("/news.xml");
    TestHttpServer plain(
        [&target](const std::string&) { return "HTTP/1.0 301 Moved Permanently\r\nLocation: " + target + "\r\n\r\n"; });
    ::setenv("ORLAVO_CA_FILE", caFile.c_str(), 1);
    const std::string err = expectNewsShown(udpSign(plain.url("/old.xml"), port), port).err;
    ::unsetenv("ORLAVO_CA_FILE");
    EXPECT_TRUE(err.ends_with("orlavod: the feed moved for good to " + target +
                              ", the stored address was kept (RewriteMovedFeeds=0)\n"))
        << err;
    ASSERT_EQ(secure.requests().size(), 1u);
    EXPECT_EQ(requestPath(secure.requests()[0]), "/news.xml");
}

// The packets' bytes are the sign link's tests' and the compose command's; the
// line counts the frame's characters, not the packets'.
TEST_F(OrlavodOnce, SendsClockPacketsWhenEmbeddedInClock)
{
    const int port = startSignsim({"--bind", kSignHost, "--port", "0"}).port;
    ASSERT_GT(port, 0);
    const SignSettings wholeFrame = udpSign(feedUrl("short.xml"), port);
    const std::size_t frameLength = composedUnits(wholeFrame, "short.xml").at(0).size();
    SignSettings settings = wholeFrame;
    settings.embedded = true;
    ASSERT_EQ(composedUnits(settings, "short.xml").size(), 3u);

    ToolRun run = finishRun(*startOnce(settings, settingsPath()), kRunTimeoutMs);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, std::vector<std::string>{sentLine(frameLength, 1)});
    EXPECT_EQ(m_signsim->readStdoutLine(kLineTimeoutMs), "MESSAGE green:Caf\xC3\xA9 opens ");
    expectSettingsKeptWhole(settings, settingsPath());
}

// However an update fails (the feed, the server misbehaving, the message
// limit, the link), it sends the sign nothing, exits 1 with one line that says
// why, ends within the limits given and leaves the settings whole. The rows
// run side by side, as each spends its time in the program's pauses.
TEST_F(OrlavodOnce, FailedUpdatesSendNothingAndSayWhyInTime)
{
    const int port = startSignsim({"--bind", kSignHost, "--port", "0"}).port;
    ASSERT_GT(port, 0);
    const std::vector<std::string> limits = {"--idle-timeout", "0.3", "--max-time", "1", "--max-body", "1048576"};
    // The program's 1 s pause before the download, --max-time, and process start and exit.
    constexpr std::int64_t kBoundMs = 1000 + 1000 + 2000;
    const fs::path missingTty = m_dir.file("no-such-tty");
    const auto limited = [&](std::string limit) {
        SignSettings settings = udpSign(feedUrl("news.xml"), port);
        settings.messages = std::move(limit);
        return settings;
    };
    const SignSettings served = udpSign("", port);  // the row's scripted server
    const std::string noLimit = "news.xml: the message limit is 0: nothing to send";
    struct Row {
        const char* label;
        SignSettings settings;
        Behaviour serve;     // set: the feed is on a scripted server that does this
        std::string reason;  // part of stderr
        bool oneLine = true;  // of stderr, besides a port notice
    };
    const Row rows[] = {
        {"404 with a feed as the body", served,
         respond("HTTP/1.0 404 Not Found\r\nContent-Type: application/rss+xml\r\n\r\n" + std::string(kNewsFeed)),
         "news.xml: failed, 404 Not Found, nothing sent"},
        {"connection refused", udpSign("http://127.0.0.1:" + std::to_string(unusedLoopbackPort()) + "/news.xml", port),
         nullptr, "Could not connect"},
        {"feed without items", udpSign(feedUrl("empty.xml"), port), nullptr, "failed, no items"},
        {"serial device missing", serialSign(feedUrl("news.xml"), port, missingTty.string()), nullptr,
         missingTty.string()},
        {"message limit not a number", limited("abc"), nullptr, noLimit},
        {"message limit 0", limited("0"), nullptr, noLimit},
        {"message limit below 0", limited("-5"), nullptr, noLimit},
        {"read, never answered", served, stall(""),
         "failed, Timed out: the server sent nothing for 300 ms, nothing sent"},
        {"header a byte every 100 ms", served, trickle("HTTP/1.0 200", " OK\r\nX-Slow: on\r\n"),
         "failed, Timed out: the download took longer than 1 s, nothing sent"},
        {"endless body", served, flood(kOkHeader + "<rss><channel>", std::string(4096, 'x')),
         "failed, The response body exceeded the size limit. (1048576 bytes), nothing sent"},
        {"redirect with an enormous Location", served,
         respond("HTTP/1.0 301 Moved\r\nLocation: http://127.0.0.1/" + std::string(30'000, 'a') + "\r\n\r\n"),
         "failed, The redirect to http://127.0.0.1/aaaa", false},
    };
    struct Result {
        SignSettings settings;
        ToolRun run;
        std::int64_t elapsedMs = 0;
    };
    std::vector<Result> results(std::size(rows));
    const auto runRow = [&](std::size_t i) {
        ScriptedServer server;
        results[i].settings = rows[i].settings;
        if (rows[i].serve) {
            results[i].settings.feedUrl = server.url("/news.xml");
        }
        const auto start = std::chrono::steady_clock::now();
        auto child = startOnce(results[i].settings, settingsPath(std::to_string(i)), limits);
        if (rows[i].serve) {
            rows[i].serve(server);
        }
        results[i].run = finishRun(*child, kRunTimeoutMs);
        results[i].elapsedMs =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    };
    // The rows with a server of their own are timed: one after another, so
    // that none waits for the others to start.
    std::vector<std::thread> threads;
    threads.emplace_back([&] {
        for (std::size_t i = 0; i < std::size(rows); ++i) {
            if (rows[i].serve) {
                runRow(i);
            }
        }
    });
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        if (!rows[i].serve) {
            threads.emplace_back(runRow, i);
        }
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(rows[i].label);
        const ToolRun& run = results[i].run;
        EXPECT_EQ(run.exitCode, 1) << run.err;
        EXPECT_EQ(run.out, std::vector<std::string>{});
        EXPECT_NE(run.err.find(rows[i].reason), std::string::npos) << run.err.substr(0, 500);
        // One line per failure: the status texts only with --verbose, a
        // missing serial device reported once though the update meets it twice
        // (a program on this machine that holds port 16000 adds its notice).
        const bool portNotice = run.err.find("UDP port in use") != std::string::npos;
        if (rows[i].oneLine) {
            EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), portNotice ? 2 : 1) << run.err.substr(0, 500);
        }
        // A sanitizer report ends the program with status 1 too; it must not pass for a failure.
        EXPECT_EQ(run.err.find("Sanitizer"), std::string::npos) << run.err;
        EXPECT_TRUE(!rows[i].serve || results[i].elapsedMs < kBoundMs) << results[i].elapsedMs << " ms";
        expectSettingsKeptWhole(results[i].settings, settingsPath(std::to_string(i)));
    }
    EXPECT_EQ(nextLineAfterReset(*m_signsim, port), "RESET") << "a frame went out";
}

// A test that aborts never runs its destructors: the servers and tools it
// started must still end with it instead of living on as orphans.
TEST(TestChildren, EndWhenTheTestProcessDiesWithoutCleanUp)
{
    TempDir dir;
    int report[2];
    ASSERT_EQ(::pipe(report), 0);
    const pid_t test = ::fork();
    ASSERT_GE(test, 0);
    if (test == 0) {
        PythonHttpServer web(dir.path());
        ChildProcess tool({"/bin/sleep", "60"});
        const int started[2] = {web.port(), tool.pid()};
        (void)!::write(report[1], started, sizeof started);
        ::_exit(1);
    }
    ::close(report[1]);
    int started[2] = {0, 0};
    ASSERT_EQ(::read(report[0], started, sizeof started), static_cast<ssize_t>(sizeof started));
    ::close(report[0]);
    ASSERT_GT(started[0], 0);
    ASSERT_GT(started[1], 0);
    ::waitpid(test, nullptr, 0);

    const auto toolGone = [pid = started[1]] {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string pidField, name, state;
        return !(stat >> pidField >> name >> state) || state == "Z";
    };
    const auto webGone = [port = started[0]] {
        const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool accepted = ::connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        ::close(probe);
        return !accepted;
    };
    for (int i = 0; i < 250 && !(toolGone() && webGone()); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(toolGone());
    EXPECT_TRUE(webGone());
}

namespace {

struct Sim {
    std::string address;
    std::vector<std::string> options;
};

// Starts each signsim and waits until it answers probes.
std::vector<std::unique_ptr<ChildProcess>> startSigns(const std::vector<Sim>& sims, const std::string& framePort)
{
    std::vector<std::unique_ptr<ChildProcess>> running;
    for (const Sim& sim : sims) {
        std::vector<std::string> argv{SIGNSIM_PATH, "--bind", sim.address, "--port", framePort};
        argv.insert(argv.end(), sim.options.begin(), sim.options.end());
        running.push_back(std::make_unique<ChildProcess>(argv));
        EXPECT_TRUE(running.back()->stderrLineWith("answering discovery probes on UDP", kLineTimeoutMs))
            << "signsim on " << sim.address << " did not come up";
    }
    return running;
}

// A UDP port nothing on this machine holds right now.
std::string unusedUdpPort()
{
    platform::ManualClock clock;
    platform::PollEventLoop loop(clock);
    platform::PosixUdpEndpoint probe(loop);
    return probe.bind("127.0.0.1", 0) ? "-1" : std::to_string(probe.localPort());
}

std::string discoverySettings(const std::string& port, const std::string& ethernet, const char* end4 = "20")
{
    return "[CommMethod]\r\nEthernet=" + ethernet + "\r\nSerial=0\r\n[Discovery]\r\nstart1=127\r\nstart2=0\r\n"
           "start3=0\r\nstart4=1\r\nend1=127\r\nend2=0\r\nend3=0\r\nend4=" + end4 + "\r\nPort=" + port + "\r\n";
}

}  // namespace

TEST(OrlavodDiscover, ListsTheSignsThatAnswerOrSaysWhyNone)
{
    const std::string port = unusedUdpPort();
    const std::vector<std::string> onPort{"--discovery-port", port};
    struct Row {
        const char* label;
        std::vector<Sim> sims;
        std::string framePort;
        std::string ini;
        int exitCode;
        std::vector<std::string> lines;  // on port 16001 others' emulators may add theirs
        std::string says;                // part of stderr
    };
    const Row rows[] = {
        {"the signs in arrival order",
         {{"127.0.0.2", {"--name", "Hall", "--mac", "0050C2A1B2C3"}}, {"127.0.0.3", {"--name", "Lobby clock"}},
          {"127.0.0.17", {}}},
         "0", discoverySettings("16001", "1"), 0,
         {"IP: 127.000.000.002\t   MAC: 00-50-C2-A1-B2-C3     NAME: Hall                ",
          "IP: 127.000.000.003\t   MAC: 00-50-C2-00-00-03     NAME: Lobby clock         ",
          "IP: 127.000.000.017\t   MAC: 00-50-C2-00-00-11     NAME: signsim             "},
         ""},
        {"other ports list no names", {{"127.0.0.4", onPort}}, "0", discoverySettings(port, "1"), 0,
         {"IP: 127.000.000.004\t   MAC: 00-50-C2-00-00-04"}, ""},
        // Old firmware: probes and frames on 16000, which the sign link uses too.
        {"old firmware answers on the frame port", {{"127.0.0.6", {"--discovery-port", "16000"}}}, "16000",
         discoverySettings("16000", "1", "8"), 0, {"IP: 127.000.000.006\t   MAC: 00-50-C2-00-00-06"}, ""},
        // A walk nobody answers says so on stderr; stdout keeps only list lines.
        {"ethernet off", {{"127.0.0.2", onPort}}, "0", discoverySettings(port, "0", "3"), 0, {},
         "no sign answered: nothing was sent to 127.0.0.1 to 127.0.0.3 (3 addresses)"},
        {"nobody on the port", {}, "0", discoverySettings(unusedUdpPort(), "1", "3"), 0, {},
         "no sign answered the probes to 127.0.0.1 to 127.0.0.3 (3 addresses)"},
        {"port above 65535", {}, "0", discoverySettings("70000", "1"), 2, {}, "65535"},
        {"octet with an exponent", {}, "0", discoverySettings("16001", "1", "1e2"), 2, {},
         "\"1e2\", is not a number from 0 to 255"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        const auto signs = startSigns(row.sims, row.framePort);
        TempDir dir;
        const fs::path path = dir.file("data.ini");
        writeFileBytes(path, row.ini);
        const ToolRun run = runTool({ORLAVOD_PATH, "discover", "--settings", path.string()}, kRunTimeoutMs);
        EXPECT_EQ(run.exitCode, row.exitCode) << run.err;
        std::vector<std::string> listed = run.out;
        if (!row.lines.empty() && row.ini.find("Port=16001\r") != std::string::npos) {
            std::erase_if(listed, [&](const std::string& line) {
                return std::find(row.lines.begin(), row.lines.end(), line) == row.lines.end();
            });
        }
        EXPECT_EQ(listed, row.lines);
        EXPECT_NE(run.err.find(row.says), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("Searching"), std::string::npos);  // no progress on a pipe
        EXPECT_EQ(readFileBytes(path), row.ini) << "discover must not write the settings file";
    }
}
