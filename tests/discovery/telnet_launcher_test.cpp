#include "discovery/telnet_launcher.h"
#include "platform/process_launcher.h"
#include "support/fake_process_launcher.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <string>
#include <vector>

using namespace orlavo;
using namespace orlavo::discovery;

namespace {

using Argv = std::vector<std::string>;

TEST(TelnetLauncher, AcceptsOnlyHostNamesAndDottedAddresses)
{
    struct Row {
        const char* text;
        bool accepted;
    } rows[] = {
        {"10.1.2.3", true},
        {"sign-7.example", true},
        {"localhost", true},
        {"-oProxyCommand=touch x", false},
        {"-l", false},
        {"10.1.2.3; rm -rf ~", false},
        {"$(reboot)", false},
        {"a..b", false},
        {"host-", false},
        {"10.1.2.3 17000", false},
        {"", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(isHostOrDottedAddress(row.text), row.accepted);
    }
    EXPECT_FALSE(isHostOrDottedAddress(std::string(254, 'a')));
    EXPECT_FALSE(isHostOrDottedAddress(std::string(64, 'a')));
    EXPECT_TRUE(isHostOrDottedAddress(std::string(63, 'a')));
}

TEST(TelnetLauncher, StartsTheTerminalWithTelnetAddressAndPortAsArguments)
{
    struct Row {
        const char* label;
        std::vector<std::string> installed;
        std::string preferred;
        std::string address;
        TelnetOutcome outcome;
        std::vector<Argv> launched;
    } rows[] = {
        {"Debian's terminal alternative", {"telnet", "x-terminal-emulator", "xterm"}, "", "10.1.2.3",
         TelnetOutcome::Started,
         {{"/usr/bin/x-terminal-emulator", "-e", "/usr/bin/telnet", "10.1.2.3", "17000"}}},
        {"gnome-terminal takes the command after --", {"telnet", "gnome-terminal"}, "", "sign1",
         TelnetOutcome::Started, {{"/usr/bin/gnome-terminal", "--", "/usr/bin/telnet", "sign1", "17000"}}},
        {"the user's TERMINAL first", {"telnet", "xterm", "kitty"}, "kitty", "10.1.2.3", TelnetOutcome::Started,
         {{"/usr/bin/kitty", "-e", "/usr/bin/telnet", "10.1.2.3", "17000"}}},
        {"empty address", {"telnet", "xterm"}, "", "", TelnetOutcome::NothingToDo, {}},
        {"hostile address", {"telnet", "xterm"}, "", "-oProxyCommand=sh", TelnetOutcome::Refused, {}},
        {"no telnet client", {"xterm"}, "", "10.1.2.3", TelnetOutcome::Refused, {}},
        {"no terminal", {"telnet"}, "", "10.1.2.3", TelnetOutcome::Refused, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        orlavo::testing::FakeProcessLauncher launcher;
        launcher.installed.insert(row.installed.begin(), row.installed.end());
        TelnetLauncher telnet(launcher, row.preferred);
        TelnetResult result = telnet.open(row.address);
        EXPECT_EQ(result.outcome, row.outcome);
        EXPECT_EQ(result.message.empty(), row.outcome != TelnetOutcome::Refused);
        EXPECT_EQ(launcher.launched, row.launched);
    }
    orlavo::testing::FakeProcessLauncher failing;
    failing.installed = {"telnet", "xterm"};
    failing.failWith = 2;
    EXPECT_EQ(TelnetLauncher(failing).open("10.1.2.3").outcome, TelnetOutcome::Refused);
}

// The real launcher: the intermediate child is reaped before launch()
// returns, so no child of ours is left to wait for.
TEST(PosixProcessLauncher, LeavesNoChildBehindAndReportsMissingPrograms)
{
    platform::PosixProcessLauncher launcher;
    ASSERT_TRUE(launcher.findProgram("true"));
    EXPECT_FALSE(launcher.launch({"true"}));
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    EXPECT_FALSE(launcher.findProgram("no-such-program-orlavo"));
    EXPECT_TRUE(launcher.launch({"no-such-program-orlavo"}));
    EXPECT_TRUE(launcher.launch({"/nonexistent/program"}));
    EXPECT_TRUE(launcher.launch({}));
}

}  // namespace
