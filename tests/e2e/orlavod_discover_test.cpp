// `orlavod discover` against signsim instances on distinct 127.0.0.x
// addresses: the real walk with its 10 ms pacing and the 1 s wait for late
// replies, on loopback only.
#include "child_process.h"
#include "tool_run.h"

#include "platform/manual_clock.h"
#include "platform/poll_event_loop.h"
#include "platform/posix_udp_endpoint.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

using namespace orlavo;
using orlavo::testing::ChildProcess;
using orlavo::testing::readFileBytes;
using orlavo::testing::runTool;
using orlavo::testing::TempDir;
using orlavo::testing::ToolRun;
using orlavo::testing::writeFileBytes;

namespace {

constexpr int kLineTimeoutMs = 5000;
constexpr int kRunTimeoutMs = 30'000;

struct Sim {
    std::string address;
    std::vector<std::string> options;
};

// Starts each signsim and waits until it answers probes.
std::vector<std::unique_ptr<ChildProcess>> startSigns(const std::vector<Sim>& sims, const char* framePort = "0")
{
    std::vector<std::unique_ptr<ChildProcess>> running;
    for (const Sim& sim : sims) {
        std::vector<std::string> argv{SIGNSIM_PATH, "--bind", sim.address, "--port", framePort};
        argv.insert(argv.end(), sim.options.begin(), sim.options.end());
        auto child = std::make_unique<ChildProcess>(argv);
        bool ready = false;
        while (!ready) {
            auto line = child->readStderrLine(kLineTimeoutMs);
            if (!line) {
                break;
            }
            ready = line->find("answering discovery probes on UDP") != std::string::npos;
        }
        EXPECT_TRUE(ready) << "signsim on " << sim.address << " did not come up";
        running.push_back(std::move(child));
    }
    return running;
}

// A UDP port nothing on this machine holds right now.
int unusedUdpPort()
{
    platform::ManualClock clock;
    platform::PollEventLoop loop(clock);
    platform::PosixUdpEndpoint probe(loop);
    if (probe.bind("127.0.0.1", 0)) {
        return -1;
    }
    return probe.localPort();
}

std::string settingsFor(const std::string& port, const std::string& ethernet, const char* end4 = "20")
{
    return "[CommMethod]\r\nEthernet=" + ethernet + "\r\nSerial=0\r\n[Discovery]\r\nstart1=127\r\nstart2=0\r\n"
           "start3=0\r\nstart4=1\r\nend1=127\r\nend2=0\r\nend3=0\r\nend4=" + end4 + "\r\nPort=" + port + "\r\n";
}

ToolRun discover(const TempDir& dir, const std::string& ini)
{
    const auto path = dir.path() / "data.ini";
    writeFileBytes(path, ini);
    ToolRun run = runTool({ORLAVOD_PATH, "discover", "--settings", path.string()}, kRunTimeoutMs);
    EXPECT_EQ(readFileBytes(path), ini) << "discover must not write the settings file";
    return run;
}

TEST(OrlavodDiscover, ListsTheSignsOnLoopbackInArrivalOrder)
{
    auto signs = startSigns({{"127.0.0.2", {"--name", "Hall", "--mac", "0050C2A1B2C3"}},
                             {"127.0.0.3", {"--name", "Lobby clock"}},
                             {"127.0.0.17", {}}});
    TempDir dir;
    ToolRun run = discover(dir, settingsFor("16001", "1"));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::vector<std::string> ours{
        "IP: 127.000.000.002\t   MAC: 00-50-C2-A1-B2-C3     NAME: Hall                ",
        "IP: 127.000.000.003\t   MAC: 00-50-C2-00-00-03     NAME: Lobby clock         ",
        "IP: 127.000.000.017\t   MAC: 00-50-C2-00-00-11     NAME: signsim             ",
    };
    // Emulators other programs run on this machine may answer too; ours must
    // all be there, in the order the walk reached them.
    std::vector<std::string> found;
    for (const std::string& line : run.out) {
        if (std::find(ours.begin(), ours.end(), line) != ours.end()) {
            found.push_back(line);
        }
    }
    EXPECT_EQ(found, ours);
    EXPECT_EQ(run.err.find("Searching"), std::string::npos);  // no progress on a pipe
}

TEST(OrlavodDiscover, OtherPortsListNoNames)
{
    const int port = unusedUdpPort();
    ASSERT_GT(port, 0);
    auto signs = startSigns({{"127.0.0.4", {"--discovery-port", std::to_string(port)}}});
    TempDir dir;
    ToolRun run = discover(dir, settingsFor(std::to_string(port), "1"));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, (std::vector<std::string>{"IP: 127.000.000.004\t   MAC: 00-50-C2-00-00-04"}));
}

// Old firmware: probes and frames on 16000, which the sign link uses too.
TEST(OrlavodDiscover, OldFirmwareAnswersOnTheFramePort)
{
    auto signs = startSigns({{"127.0.0.6", {"--discovery-port", "16000"}}}, "16000");
    TempDir dir;
    ToolRun run = discover(dir, settingsFor("16000", "1", "8"));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, (std::vector<std::string>{"IP: 127.000.000.006\t   MAC: 00-50-C2-00-00-06"}));
}

// A walk nobody answers says so on stderr; stdout keeps only list lines.
TEST(OrlavodDiscover, AWalkWithoutAnswersSaysWhy)
{
    const int port = unusedUdpPort();
    ASSERT_GT(port, 0);
    auto signs = startSigns({{"127.0.0.2", {"--discovery-port", std::to_string(port)}}});
    struct Row {
        const char* ethernet;
        std::string port;
        const char* says;
    } rows[] = {
        {"0", std::to_string(port), "no sign answered: nothing was sent to 127.0.0.1 to 127.0.0.3 (3 addresses)"},
        {"1", std::to_string(unusedUdpPort()), "no sign answered the probes to 127.0.0.1 to 127.0.0.3 (3 addresses)"},
    };
    for (const Row& row : rows) {
        TempDir dir;
        ToolRun run = discover(dir, settingsFor(row.port, row.ethernet, "3"));
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_TRUE(run.out.empty());
        EXPECT_NE(run.err.find(row.says), std::string::npos) << run.err;
    }
}

TEST(OrlavodDiscover, BadPortOrRangeExitsWithStatus2)
{
    struct Row {
        const char* label;
        std::string ini;
        const char* says;
    } rows[] = {
        {"port above 65535", settingsFor("70000", "1"), "65535"},
        {"port not a number", settingsFor("abc", "1"), "65535"},
        {"octet above 255", settingsFor("16001", "1", "300"), "0 to 255"},
        {"octet with an exponent", settingsFor("16001", "1", "1e2"), "\"1e2\", is not a number from 0 to 255"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        TempDir dir;
        ToolRun run = discover(dir, row.ini);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.out.empty());
        EXPECT_NE(run.err.find(row.says), std::string::npos) << run.err;
    }
}

}  // namespace
