#include "cli_options.h"

#include <gtest/gtest.h>

namespace orlavo::tools {
namespace {

CliParse parse(std::vector<std::string> args)
{
    return parseCommandLine(args);
}

// The commands, their limits and the refusals the end-to-end runs make are
// theirs to check; here the rest.
TEST(CliOptions, ServiceIsTheDefaultAndTakesItsOptions)
{
    CliParse p = parse({"--settings", "x.ini", "--update-now", "-v"});
    ASSERT_TRUE(p.options) << p.error;
    EXPECT_EQ(p.options->command, Command::Service);
    EXPECT_TRUE(p.options->updateNow);
    EXPECT_TRUE(p.options->verbose);
    EXPECT_EQ(p.options->settingsPath, "x.ini");
    EXPECT_EQ(p.options->limits.idleTimeoutMs, pellix::RSSCompLimits{}.idleTimeoutMs);

    p = parse({});
    ASSERT_TRUE(p.options);
    EXPECT_EQ(p.options->command, Command::Service);
    EXPECT_FALSE(p.options->updateNow);
}

TEST(CliOptions, TheRemoteControlsTakeTheirOptionsAndTheWebTokenGivenLastWins)
{
    CliParse mqtt = parse({"--mqtt", "h", "--mqtt-tls", "--mqtt-no-discovery", "--mqtt-prefix", "site/a"});
    ASSERT_TRUE(mqtt.options) << mqtt.error;
    EXPECT_EQ(mqtt.options->mqtt.broker, "h");
    EXPECT_TRUE(mqtt.options->mqtt.tls);
    EXPECT_FALSE(mqtt.options->mqtt.discovery);
    EXPECT_EQ(mqtt.options->mqtt.prefix, "site/a");

    // The config file's keys come first, the command line after them.
    CliParse p = parse({"--web", "127.0.0.1:1", "--web-token", "t", "--web", "[::1]:2", "--web-token-file", "f"});
    ASSERT_TRUE(p.options) << p.error;
    EXPECT_EQ(p.options->web.listen, "[::1]:2");
    EXPECT_EQ(p.options->web.token, "");
    EXPECT_EQ(p.options->webTokenFile, "f");
}

TEST(CliOptions, RefusalsNameTheOffendingArgument)
{
    struct Row {
        std::vector<std::string> args;
        const char* named;
    } rows[] = {
        {{"--once", "--update-now"}, "--update-now"},
        {{"compose", "--settings", "a.ini", "f.xml", "--update-now"}, "--update-now"},
        {{"--demo", "--settings", "a.ini"}, "--settings"},
        {{"--demo", "--once"}, "--once"},
        {{"init"}, "init needs --settings"},
        {{"discover"}, "discover needs --settings"},
        {{"discover", "--settings", "a.ini", "extra"}, "\"extra\""},
        {{"discover", "--settings", "a.ini", "--once"}, "discover"},
        {{"--settings"}, "--settings"},
        {{"--once", "--idle-timeout", "0"}, "--idle-timeout"},
        {{"--once", "--max-time", "abc"}, "--max-time"},
        {{"--once", "--max-body", "-1"}, "--max-body"},
        {{"--once", "--max-time"}, "--max-time"},
        {{"discover", "--settings", "a.ini", "--idle-timeout", "1"}, "--idle-timeout"},
        {{"--demo", "--max-body", "100"}, "--max-body"},
        {{"compose", "--settings", "a.ini", "f.xml", "g.xml"}, "\"g.xml\""},
        {{"announce"}, "announce needs a TEXT"},
        {{"announce", "--clear", "x"}, "takes no TEXT"},
        {{"announce", "--minutes", "1441", "x"}, "--minutes"},
        {{"announce", "--minutes", "0.5", "x"}, "--minutes"},
        {{"announce", "--sign"}, "--sign"},
        {{"announce", "--settings", "a.ini", "x"}, "only --sign"},
        {{"--once", "--sign", "a"}, "--sign belongs to announce"},
        {{"init", "--settings", "a.ini", "--settings", "b.ini"}, "init takes one sign"},
        {{"discover", "--signs", "d", "--settings", "a.ini"}, "not --signs"},
        {{"--demo", "--signs", "d"}, "--signs"},
        {{"--signs"}, "--signs needs a folder"},
        {{"--once", "--config", "o.conf"}, "--config belongs to the update cycle, not to --once"},
        {{"--config"}, "--config needs a path"},
        {{"--signs", "d", "--signs", "e"}, "one folder"},
        {{"--once", "--web", "127.0.0.1:8080"}, "--web belongs to the update cycle"},
        {{"--web"}, "--web needs ADDR:PORT"},
        {{"--once", "--mqtt", "h"}, "--mqtt belongs to the update cycle"},
        {{"--mqtt"}, "--mqtt needs a value"},
        {{"--mqtt", "h:0"}, "\"h:0\" is no HOST"},
        {{"--mqtt", "h", "--mqtt-prefix", "a/#"}, "wildcard"},
        {{"--mqtt", "h", "--mqtt-password-file", "p"}, "needs a user name"},
    };
    for (const Row& row : rows) {
        CliParse p = parse(row.args);
        EXPECT_FALSE(p.options) << "accepted: " << ::testing::PrintToString(row.args);
        EXPECT_NE(p.error.find(row.named), std::string::npos) << p.error;
    }
}

}  // namespace
}  // namespace orlavo::tools
