#include "control_protocol.h"
#include "control_server.h"
#include "sign_announcements.h"

#include "platform/manual_clock.h"
#include "platform/poll_event_loop.h"
#include "platform/unix_socket.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <future>

namespace orlavo::tools {
namespace {

TEST(ControlProtocol, RequestLinesAreParsedStrictly)
{
    struct Row {
        std::string line;
        std::string error;  // empty: parsed
        ControlRequest::Kind kind;
        std::string sign;
        int minutes;
        std::string text;
    } rows[] = {
        {"announce\tb\t5\tFire\tdrill", "", ControlRequest::Kind::Announce, "b", 5, "Fire\tdrill"},
        {"announce\t\t10\tAll signs\r", "", ControlRequest::Kind::Announce, "", 10, "All signs"},
        {"clear\tb", "", ControlRequest::Kind::Clear, "b", 0, ""},
        {"announce\tb\tten\tx", "not a whole number", {}, "", 0, ""},
        {"announce\tb\t\tx", "not a whole number", {}, "", 0, ""},
        {"announce\tb\t5", "not a request", {}, "", 0, ""},
        {"clear\tb\textra", "not a request", {}, "", 0, ""},
        {"reboot", "not a request", {}, "", 0, ""},
        {"", "not a request", {}, "", 0, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        auto parsed = parseRequest(row.line);
        if (!row.error.empty()) {
            ASSERT_TRUE(std::holds_alternative<std::string>(parsed));
            EXPECT_NE(std::get<std::string>(parsed).find(row.error), std::string::npos);
            continue;
        }
        ASSERT_TRUE(std::holds_alternative<ControlRequest>(parsed));
        const auto& r = std::get<ControlRequest>(parsed);
        EXPECT_EQ(r.kind, row.kind);
        EXPECT_EQ(r.sign, row.sign);
        EXPECT_EQ(r.minutes, row.minutes);
        EXPECT_EQ(r.text, row.text);
    }
    EXPECT_EQ(formatRequest({ControlRequest::Kind::Announce, "b\tc", 5, "two\nlines"}), "announce\tb c\t5\ttwo lines\n");
    EXPECT_EQ(parseReply("error\tno\x1b[2Jsign")->message, "no\\x1b[2Jsign") << "a hostile answer cannot drive the terminal";
    EXPECT_FALSE(parseReply("maybe\tx"));

    EXPECT_EQ(describeSigns({"lobby"}), "lobby");
    EXPECT_EQ(describeSigns(std::vector<std::string>(12, "s")), "12 signs (s, s, s, s, s, s, s, s, s, s, ...)");
}

// The service's control socket in a scratch runtime folder, on a loop whose
// timers run on a manual clock.
struct ControlRig {
    ControlRig()
    {
        EXPECT_EQ(server.listen(path), std::nullopt);
    }
    // One exchange from another thread, while this one runs the loop.
    platform::UnixExchange ask(const std::string& request)
    {
        auto answer = std::async(std::launch::async,
                                 [&] { return platform::exchangeLine(path, request, 5000, kMaxControlReplyBytes); });
        while (answer.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) {
            loop.runOnce(10);
        }
        return answer.get();
    }
    orlavo::testing::TempDir dir;
    std::filesystem::path path = dir.file("orlavo") / "control.sock";
    platform::ManualClock clock;
    platform::PollEventLoop loop{clock};
    ControlServer server{loop, [](std::string_view line) { return formatReply({true, "got " + std::string(line)}); }};
};

TEST(ControlServer, AnswersOneLineAndBoundsWhatItReads)
{
    ControlRig rig;
    EXPECT_EQ(rig.ask("clear\tb\n").reply, "ok\tgot clear b");
    EXPECT_EQ(rig.ask(std::string(kMaxControlRequestBytes + 10, 'x')).reply, "error\tthe request is too long");

    // A client that says nothing is dropped once its time is up.
    const int silent = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, rig.path.c_str());
    ASSERT_EQ(::connect(silent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    rig.loop.runPending();
    rig.clock.advance(ControlServer::kRequestTimeoutMs);
    rig.loop.runPending();
    char byte = 0;
    EXPECT_EQ(::recv(silent, &byte, 1, MSG_DONTWAIT), 0) << "closed by the service";
    ::close(silent);
}

TEST(ControlServer, ALiveSocketIsRefusedAStaleOneReplaced)
{
    auto rig = std::make_unique<ControlRig>();
    ControlServer second(rig->loop, [](std::string_view) { return std::string(); });
    const auto refused = second.listen(rig->path);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->description, "another orlavod service is already listening on " + rig->path.string());

    // A killed service leaves its socket file behind: nobody accepts on it.
    const std::filesystem::path stale = rig->dir.file("orlavo") / "stale.sock";
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, stale.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    const platform::UnixExchange none = platform::exchangeLine(stale, "clear\t\n", 1000, 100);
    EXPECT_TRUE(none.notRunning);
    EXPECT_EQ(second.listen(stale), std::nullopt);

    EXPECT_TRUE(platform::exchangeLine(rig->dir.file("missing.sock"), "x\n", 1000, 100).notRunning);
    std::filesystem::permissions(rig->dir.file("orlavo"), std::filesystem::perms::group_read,
                                 std::filesystem::perm_options::add);
    EXPECT_TRUE(platform::preparePrivateDir(rig->dir.file("orlavo"))) << "a folder others can read is refused";
}

}  // namespace
}  // namespace orlavo::tools
