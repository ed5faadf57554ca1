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
        {{"--signs", "d", "--signs", "e"}, "one folder"},
    };
    for (const Row& row : rows) {
        CliParse p = parse(row.args);
        EXPECT_FALSE(p.options) << "accepted: " << ::testing::PrintToString(row.args);
        EXPECT_NE(p.error.find(row.named), std::string::npos) << p.error;
    }
}

}  // namespace
}  // namespace orlavo::tools
