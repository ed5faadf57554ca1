// A frame built and sent by the program's own sign link over a real UDP
// socket on 127.0.0.2 and a real pseudo-terminal, decoded by the signsim
// program into the same messages and colours.
#include "child_process.h"
#include "tool_run.h"

#include "platform/manual_clock.h"
#include "platform/poll_event_loop.h"
#include "platform/posix_serial_port.h"
#include "platform/posix_udp_endpoint.h"
#include "signfeed/sign_link.h"
#include "signfeed/sign_protocol.h"
#include "support/fake_message_sink.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

using namespace orlavo;
using orlavo::testing::ChildProcess;
using orlavo::testing::SignsimAddress;

namespace {

constexpr int kLineTimeoutMs = 5000;

std::vector<std::string> readLines(ChildProcess& signsim, int count)
{
    std::vector<std::string> lines;
    for (int i = 0; i < count; ++i) {
        auto line = signsim.readStdoutLine(kLineTimeoutMs);
        if (!line) {
            break;
        }
        lines.push_back(*line);
    }
    return lines;
}

std::string threeMessageFrame()
{
    using namespace signfeed;
    std::string list = buildMessageSegment(colourCode(SignColour::Green), "Hello - World") +
                       buildMessageSegment(colourCode(SignColour::Blue), "a~04b#c") +
                       buildMessageSegment(colourCode(SignColour::Red), "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC");
    return buildSignFrame(buildTextBody({"3", "1", true, list}));
}

std::string noiseBytes(std::size_t size, std::uint32_t seed)
{
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 24);
        if (c == '*' || c == '~') {
            c = '.';  // no byte that starts a packet or a frame: one report per run
        }
    }
    return bytes;
}

// signsim on 127.0.0.2 and a pseudo-terminal, and the test's own UDP endpoint
// and serial port aimed at it.
class SignsimRoundTrip : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_signsim.started());
        const SignsimAddress address = orlavo::testing::waitUntilListening(m_signsim, true, kLineTimeoutMs);
        ASSERT_GT(address.port, 0);
        ASSERT_FALSE(address.pty.empty());
        m_serial.setDevice(address.pty);
        ASSERT_FALSE(m_udp.bindSendOnly("127.0.0.1", 0));
        ASSERT_FALSE(m_udp.setRemote("127.0.0.2", address.port));
    }

    ChildProcess m_signsim{{SIGNSIM_PATH, "--bind", "127.0.0.2", "--port", "0", "--serial-pty"}};
    platform::ManualClock m_clock;  // the link's waits take no real time
    platform::PollEventLoop m_loop{m_clock};
    platform::PosixUdpEndpoint m_udp{m_loop};
    platform::PosixSerialPort m_serial;
};

}  // namespace

TEST_F(SignsimRoundTrip, FramesOverUdpAndPseudoTerminalPrintTheSameMessages)
{
    orlavo::testing::FakeMessageSink sink;
    signfeed::SignLink link(m_clock, m_loop, m_udp, m_serial, sink);
    link.setLinkSelection({true, true});
    const std::string expected =
        "MESSAGE green:Hello - World | blue:a~04b#c | red:Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC";
    for (const bool packets : {true, false}) {
        SCOPED_TRACE(packets ? "clock packets" : "whole frames");
        link.openLink();
        link.sendFrame(threeMessageFrame(), packets, 1000);
        link.closeLink();
        EXPECT_EQ(readLines(m_signsim, 2), (std::vector<std::string>{expected, expected}));
    }
    link.resetSign();
    EXPECT_EQ(readLines(m_signsim, 2), (std::vector<std::string>{"RESET", "RESET"}));
    EXPECT_TRUE(sink.messages().empty());
    // A wait after each full packet and after each whole-frame transmission; none for the reset.
    const std::size_t fullPackets = signfeed::toWireBytes(threeMessageFrame()).size() / 30;
    EXPECT_EQ(m_clock.sleeps().size(), fullPackets + 2);
}

TEST(Signsim, CommandLineIsCheckedAndDescribed)
{
    // A port another program holds alone: signsim must say which and why.
    const int holder = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(0x7F000002);  // 127.0.0.2
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::getsockname(holder, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const std::string held = std::to_string(ntohs(address.sin_port));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{holder};
    struct Row {
        const char* label;
        std::vector<std::string> args;
        int exitCode;
        std::string firstLineStart;
        bool onStdout;
    };
    const Row rows[] = {
        {"help", {"--help"}, 0, "Usage: signsim", true},
        {"port out of range", {"--port", "65536"}, 2, "signsim: --port needs a port number", false},
        {"unknown option", {"--frobnicate"}, 2, "signsim: unknown option", false},
        {"missing value", {"--bind"}, 2, "signsim: --bind needs a value", false},
        {"bad MAC", {"--bind", "127.0.0.2", "--mac", "0050C2"}, 2, "signsim: --mac needs 12 hex digits, not", false},
        {"bad bind address", {"--bind", "127.0.0", "--port", "0"}, 2, "signsim: --bind needs a dotted IPv4", false},
        {"both serial kinds", {"--serial", "/dev/null", "--serial-pty"}, 2, "signsim: --serial and", false},
        {"missing serial device", {"--bind", "127.0.0.2", "--port", "0", "--serial", "/dev/orlavo-none"}, 1,
         "signsim: listening", false},
        {"port held alone by another program", {"--bind", "127.0.0.2", "--port", held}, 1,
         "signsim: cannot listen for frames on UDP 127.0.0.2:" + held + ": Address already in use", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        std::vector<std::string> argv{SIGNSIM_PATH};
        argv.insert(argv.end(), row.args.begin(), row.args.end());
        ChildProcess signsim(argv);
        ASSERT_TRUE(signsim.started());
        auto line = row.onStdout ? signsim.readStdoutLine(kLineTimeoutMs) : signsim.readStderrLine(kLineTimeoutMs);
        ASSERT_TRUE(line);
        EXPECT_TRUE(line->starts_with(row.firstLineStart)) << *line;
        EXPECT_EQ(signsim.waitForExit(kLineTimeoutMs), row.exitCode);
    }
}

// Garbage of every kind over UDP and over the pseudo-terminal: each is
// reported and skipped, a good frame right after it is shown, and memory stays
// bounded however much arrives.
TEST_F(SignsimRoundTrip, MalformedInputIsReportedAndTheNextGoodFrameStillShows)
{
    ASSERT_FALSE(m_serial.open());
    using namespace signfeed;
    const std::string good = toWireBytes(
        buildSignFrame(buildTextBody({"3", "1", true, buildMessageSegment(colourCode(SignColour::Green), "Calm")})));
    const std::string shown = "MESSAGE green:Calm";
    const std::string prefix(kFramePrefix);
    struct Row {
        const char* label;
        std::vector<std::string> garbage;  // one datagram each on UDP, back to back on the line
        std::string report;                // part of a status line
    };
    const Row rows[] = {
        {"binary noise", {noiseBytes(1000, 1)}, "stray bytes outside a frame skipped"},
        {"a frame cut in half", {good.substr(0, good.size() / 2)}, "frame cut short"},
        {"a frame prefix cut short", {prefix.substr(0, 12) + "x"}, "does not start with the command prefix"},
        {"a body no sign knows", {prefix + "ZZ" + std::string(kFrameSuffix)}, "unknown command body"},
        {"a text command cut inside", {prefix + "A0C" + std::string(kFrameSuffix)}, "text command without"},
        {"a frame that never ends, in one 60000-byte datagram", {prefix + std::string(60'000, 'x')},
         "frame longer than 16384 bytes"},
        {"a clock packet without its end mark", {"*~00" + std::string(31, 'x')}, "malformed clock packet"},
        {"a flood of 3000 noise datagrams", std::vector<std::string>(3000, noiseBytes(1000, 2)), "stray bytes"},
    };
    for (const bool onUdp : {true, false}) {
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(onUdp ? "udp: " : "pty: ") + row.label);
            for (const std::string& bytes : row.garbage) {
                (void)(onUdp ? m_udp.send(bytes) : m_serial.write(bytes));  // a flood may meet a full queue
            }
            // A flood may have filled the socket queue past what the kernel keeps: resend until shown.
            std::optional<std::string> line;
            for (int attempt = 0; attempt < 5 && !line; ++attempt) {
                EXPECT_FALSE(onUdp ? m_udp.send(good) : m_serial.write(good));
                line = m_signsim.readStdoutLine(attempt == 4 ? kLineTimeoutMs : 500);
            }
            EXPECT_EQ(line.value_or("(nothing shown)"), shown);
            // A cut frame is known for one only when the next begins.
            EXPECT_TRUE(m_signsim.stderrLineWith(row.report, kLineTimeoutMs));
        }
    }
    // The decoder holds at most one frame per sender: about 28 MiB is measured
    // in the sanitizer build, most of it the runtime's own.
    m_signsim.terminate();
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    EXPECT_LT(usage.ru_maxrss, 64 * 1024) << "peak resident KiB";
}
