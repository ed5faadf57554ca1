#include "mqtt/mqtt_discovery.h"
#include "mqtt/mqtt_options.h"
#include "mqtt/mqtt_payloads.h"
#include "mqtt/mqtt_topics.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <set>

namespace orlavo::tools {
namespace {

TEST(MqttTopics, SignNamesBecomeOneSafeLevel)
{
    const struct {
        std::string name;
        std::string level;
    } rows[] = {
        {"lobby", "lobby"},
        {"Front desk", "Front_desk"},
        {"a/b+c#d", "a_b_c_d"},
        {"tab\there", "tab_here"},
        {"caf\xc3\xa9", "caf\xc3\xa9"},          // UTF-8 stays
        {"bad\xff\xc3", "bad__"},                // bytes that are no UTF-8 do not
        {"c1\xc2\x85", "c1__"},                  // a C1 control character (U+0085)
        {"", "_"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(topicLevelOf(row.name), row.level) << row.name;
    }
    const TopicPlan clash = planTopics({"a b", "c", "a/b"});
    EXPECT_TRUE(clash.signs.empty());
    EXPECT_NE(clash.error.find("\"a b\" and \"a/b\" would share the MQTT topic level \"a_b\""), std::string::npos)
        << clash.error;
    EXPECT_EQ(planTopics({"a b", "c"}).signs.size(), 2u);
}

TEST(MqttTopics, CommandTopicsAndIds)
{
    const struct {
        std::string topic;
        std::optional<SignCommand> command;
        std::string level = {};
    } rows[] = {
        {"orlavo/lobby/announce", SignCommand::Announce, "lobby"},
        {"orlavo/lobby/update", SignCommand::Update, "lobby"},
        {"orlavo/lobby/state", std::nullopt},
        {"orlavo/lobby/x/update", std::nullopt},
        {"orlavo//update", std::nullopt},
        {"orlavox/lobby/update", std::nullopt},
        {"other/lobby/update", std::nullopt},
        {"orlavo", std::nullopt},
    };
    for (const auto& row : rows) {
        const std::optional<CommandTopic> found = commandTopicOf(row.topic, "orlavo");
        ASSERT_EQ(found.has_value(), row.command.has_value()) << row.topic;
        if (found) {
            EXPECT_EQ(found->command, *row.command) << row.topic;
            EXPECT_EQ(found->level, row.level) << row.topic;
        }
    }
    EXPECT_EQ(plainIdOf("lobby-2_b"), "lobby-2_b");
    EXPECT_NE(plainIdOf("a.b"), plainIdOf("a_b"));  // mapped ids keep a hash of the original
    EXPECT_EQ(clientIdOf("box", "orlavo"), "orlavod-box-orlavo");
    const std::string longHost(100, 'h');
    const std::string one = clientIdOf(longHost, "site/a");
    EXPECT_LE(one.size(), kMaxClientIdBytes);
    EXPECT_NE(one, clientIdOf(longHost, "site/b"));
}

TEST(MqttOptions, BrokersPrefixesAndPasswordFiles)
{
    const struct {
        std::string text;
        bool tls;
        std::string host;  // empty: refused
        int port = 0;
    } rows[] = {
        {"broker", false, "broker", 1883},     {"broker", true, "broker", 8883},
        {"10.0.0.5:1884", false, "10.0.0.5", 1884}, {"[::1]:1885", false, "::1", 1885},
        {"[::1]", true, "::1", 8883},           {"::1", false, ""},
        {"h:", false, ""},                      {"h:65536", false, ""},
        {":1883", false, ""},                   {"h:18x", false, ""},
        {"a b", false, ""},                     {"[::1]x", false, ""},
    };
    for (const auto& row : rows) {
        const std::optional<BrokerAddress> address = parseBroker(row.text, row.tls);
        EXPECT_EQ(address ? address->host : "", row.host) << row.text;
        if (address) {
            EXPECT_EQ(address->port, row.port) << row.text;
        }
    }
    for (const char* bad : {"", "a/+", "a/#", "/a", "a/", "a//b", "a\x01"}) {
        EXPECT_TRUE(prefixProblem(bad)) << bad;
    }
    EXPECT_FALSE(prefixProblem("site/lobby"));

    testing::TempDir dir;
    const struct {
        std::string bytes;
        std::string password;  // empty: refused with error
        std::string error = {};
    } files[] = {
        {"s3cret\r\nsecond line\n", "s3cret"},
        {"\nlater", "", "starts with an empty line"},
        {std::string(5000, 'x'), "", "cannot be read"},
    };
    for (const auto& file : files) {
        testing::writeFileBytes(dir.file("pw"), file.bytes);
        const PasswordRead read = readPasswordFile(dir.file("pw").string());
        EXPECT_EQ(read.password.value_or(""), file.password);
        EXPECT_NE(read.error.find(file.error), std::string::npos) << read.error;
    }
    EXPECT_NE(readPasswordFile(dir.file("none").string()).error.find("does not exist"), std::string::npos);
}

TEST(MqttPayloads, AnnouncePayloads)
{
    const struct {
        std::string payload;
        std::string text;  // "CLEAR" for an end, "" for a refusal
        int minutes = 0;
    } rows[] = {
        {"Fire drill", "Fire drill", 10},
        {"", "CLEAR"},
        {" \r\n", "CLEAR"},
        {R"({"text": "Lunch", "minutes": 5})", "Lunch", 5},
        {R"( {"text": "Lunch"})", "Lunch", 10},
        {R"({"text": ""})", "CLEAR"},
        {R"({"text": "x", "minutes": 0})", ""},
        {R"({"text": "x", "minutes": 1441})", ""},
        {R"({"text": "x", "minutes": 2.5})", ""},
        {R"({"text": "x", "minutes": "5"})", ""},
        {R"({"text": 5})", ""},
        {R"({"minutes": 5})", ""},
        {R"({"text": "x")", ""},
        {"[1]", "[1]", 10},  // only an object is JSON here
        {std::string(8 * 1024 + 1, 'x'), ""},
    };
    for (const auto& row : rows) {
        const AnnounceParse parse = parseAnnouncePayload(row.payload);
        const std::string got = !parse.command ? "" : parse.command->clear ? "CLEAR" : parse.command->text;
        EXPECT_EQ(got, row.text) << row.payload.substr(0, 40);
        EXPECT_EQ(parse.command.has_value(), parse.error.empty()) << row.payload.substr(0, 40);
        if (parse.command && !parse.command->clear) {
            EXPECT_EQ(parse.command->minutes, row.minutes) << row.payload;
        }
    }
    const auto state = nlohmann::json::parse(statePayload({{"name", "a\xff"}}, "+01:00"));
    EXPECT_EQ(state["utc_offset"], "+01:00");
    EXPECT_EQ(state["name"], "a\xef\xbf\xbd");  // invalid UTF-8 replaced, not thrown
    const std::string offset = localUtcOffset();
    EXPECT_TRUE(offset.size() == 6 && (offset[0] == '+' || offset[0] == '-') && offset[3] == ':') << offset;
}

TEST(MqttDiscovery, OneDevicePerSignWithStableIdsAndBothAvailabilities)
{
    const std::vector<DiscoveryMessage> lobby = discoveryMessages({"orlavo", "homeassistant", "1.0.0"}, {"Lobby", "Lobby"});
    const std::vector<DiscoveryMessage> other = discoveryMessages({"site-b", "homeassistant", "1.0.0"}, {"Lobby", "Lobby"});
    ASSERT_EQ(lobby.size(), 5u);
    std::set<std::string> ids;
    for (std::size_t i = 0; i < lobby.size(); ++i) {
        SCOPED_TRACE(lobby[i].topic);
        const auto config = nlohmann::json::parse(lobby[i].payload);
        EXPECT_EQ(lobby[i].topic.rfind("homeassistant/", 0), 0u);
        EXPECT_EQ(config["device"]["identifiers"], nlohmann::json::parse(lobby[0].payload)["device"]["identifiers"]);
        EXPECT_EQ(config["device"]["name"], "Lobby");
        EXPECT_EQ(config["availability"], nlohmann::json::parse(R"([{"topic": "orlavo/availability"},
                                                                     {"topic": "orlavo/Lobby/availability"}])"));
        EXPECT_EQ(config["availability_mode"], "all");
        ids.insert(config["unique_id"].get<std::string>());
        ids.insert(nlohmann::json::parse(other[i].payload)["unique_id"].get<std::string>());
        EXPECT_NE(lobby[i].topic, other[i].topic);
    }
    EXPECT_EQ(ids.size(), 10u);  // each entity its own id, and the two prefixes never share one
    const auto text = nlohmann::json::parse(lobby[0].payload);
    EXPECT_EQ(lobby[0].topic, "homeassistant/text/" + plainIdOf("orlavo/Lobby") + "/announcement/config");
    EXPECT_EQ(text["command_topic"], "orlavo/Lobby/announce");
    EXPECT_EQ(text["max"], 255);
    EXPECT_EQ(nlohmann::json::parse(lobby[1].payload)["command_topic"], "orlavo/Lobby/update");
}

}  // namespace
}  // namespace orlavo::tools
