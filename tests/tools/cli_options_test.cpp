#include "cli_options.h"

#include <gtest/gtest.h>

namespace orlavo::tools {
namespace {

CliParse parse(std::vector<std::string> args)
{
    return parseCommandLine(args);
}

TEST(CliOptions, ServiceIsTheDefaultAndTakesItsOptions)
{
    CliParse p = parse({"--settings", "x.ini", "--update-now", "-v"});
    ASSERT_TRUE(p.options) << p.error;
    EXPECT_EQ(p.options->command, Command::Service);
    EXPECT_TRUE(p.options->updateNow);
    EXPECT_TRUE(p.options->verbose);
    EXPECT_EQ(p.options->settingsPath, "x.ini");

    p = parse({});
    ASSERT_TRUE(p.options);
    EXPECT_EQ(p.options->command, Command::Service);
    EXPECT_FALSE(p.options->updateNow);
}

TEST(CliOptions, CommandsAndTheirRequirements)
{
    CliParse once = parse({"--once", "--settings", "a.ini"});
    ASSERT_TRUE(once.options);
    EXPECT_EQ(once.options->command, Command::Once);

    CliParse limited = parse({"--once", "--idle-timeout", "0.3", "--max-time", "1", "--max-body", "1048576",
                              "--connect-timeout", "2"});
    ASSERT_TRUE(limited.options) << limited.error;
    EXPECT_EQ(limited.options->limits.idleTimeoutMs, 300);
    EXPECT_EQ(limited.options->limits.totalTimeoutMs, 1000);
    EXPECT_EQ(limited.options->limits.maxBodyBytes, 1048576);
    EXPECT_EQ(limited.options->limits.connectTimeoutMs, 2000);
    EXPECT_EQ(once.options->limits.idleTimeoutMs, pellix::RSSCompLimits{}.idleTimeoutMs);

    CliParse demo = parse({"--demo"});
    ASSERT_TRUE(demo.options);
    EXPECT_EQ(demo.options->command, Command::Demo);

    CliParse compose = parse({"compose", "--settings", "a.ini", "feed.xml"});
    ASSERT_TRUE(compose.options);
    EXPECT_EQ(compose.options->command, Command::Compose);
    EXPECT_EQ(compose.options->positional, std::vector<std::string>{"feed.xml"});

    CliParse discover = parse({"discover", "--settings", "a.ini"});
    ASSERT_TRUE(discover.options);
    EXPECT_EQ(discover.options->command, Command::Discover);
}

TEST(CliOptions, RefusesCombinationsThatMeanNothing)
{
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--once", "--update-now"},
             {"compose", "--settings", "a.ini", "f.xml", "--update-now"},
             {"--demo", "--settings", "a.ini"},
             {"--demo", "--once"},
             {"init"},
             {"compose", "--settings", "a.ini"},
             {"discover"},
             {"discover", "--settings", "a.ini", "extra"},
             {"discover", "--settings", "a.ini", "--once"},
             {"--settings"},
             {"--once", "--idle-timeout", "0"},
             {"--once", "--max-time", "abc"},
             {"--once", "--max-body", "-1"},
             {"--once", "--max-time"},
             {"discover", "--settings", "a.ini", "--idle-timeout", "1"},
             {"--demo", "--max-body", "100"},
             {"--bogus"},
             {"stray"},
         }) {
        CliParse p = parse(args);
        EXPECT_FALSE(p.options) << "accepted: " << ::testing::PrintToString(args);
        EXPECT_FALSE(p.error.empty());
    }
}

}  // namespace
}  // namespace orlavo::tools
