#include "service_config.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

using namespace orlavo::tools;
using Args = std::vector<std::string>;

TEST(ServiceConfig, KeysBecomeTheFlagsTheyStandFor)
{
    const struct {
        const char* file;
        Args args;
        const char* error;
    } rows[] = {
        {"", {}, ""},
        {"[Web]\nListen=127.0.0.1:8080\nToken=\n", {"--web", "127.0.0.1:8080"}, ""},
        {"[mqtt]\r\nbroker = \"localhost\"\r\nTls=1\r\nDiscovery=0\r\n[Web]\r\nKey=k.pem\r\n",
         {"--web-key", "k.pem", "--mqtt", "localhost", "--mqtt-tls", "--mqtt-no-discovery"},
         ""},
        {"[Mqtt]\nTls=0\nDiscovery=1\n", {}, ""},
        {"[Mqtt]\nTls=yes\n", {}, "[Mqtt] Tls= must be 0 or 1, not \"yes\""},
    };
    for (const auto& row : rows) {
        const ConfigArgs got = serviceConfigArgs(row.file);
        EXPECT_EQ(got.args, row.args) << row.file;
        EXPECT_EQ(got.error, row.error) << row.file;
    }
}

TEST(ServiceConfig, TheFileComesBeforeTheCommandLineAndOnlyANamedFileMustExist)
{
    orlavo::testing::TempDir dir;
    const auto missing = dir.file("none.conf");
    EXPECT_EQ(withServiceConfig({"--verbose"}, std::nullopt, missing).args, Args{"--verbose"});
    EXPECT_EQ(withServiceConfig({}, missing.string(), missing).error, missing.string() + " does not exist");

    const auto conf = dir.file("orlavod.conf");
    orlavo::testing::writeFileBytes(conf, "[Web]\nListen=127.0.0.1:1\n");
    EXPECT_EQ(withServiceConfig({"--web", "127.0.0.1:2"}, std::nullopt, conf).args,
              (Args{"--web", "127.0.0.1:1", "--web", "127.0.0.1:2"}));
    orlavo::testing::writeFileBytes(conf, "[Mqtt]\nDiscovery=no\n");
    EXPECT_NE(withServiceConfig({}, conf.string(), conf).error.find("orlavod.conf: [Mqtt] Discovery="),
              std::string::npos);
}
