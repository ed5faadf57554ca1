#include "web/event_hub.h"
#include "web/web_api.h"
#include "web/web_discovery.h"

#include "discovery/discovery_protocol.h"
#include "support/fake_program.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace orlavo::tools {
namespace {

using nlohmann::json;

// One sign, "lobby", on fakes, behind the API with a token, as the service has it.
struct ApiRig : testing::FakeProgram {
    explicit ApiRig(std::string token = "t0ken", std::filesystem::path file = "lobby.ini")
        : FakeProgram("[CommMethod]\r\nETHERNET=1\r\nREMOTEIP=127.0.0.2\r\n"), path(std::move(file)),
          auth(std::move(token), false)
    {
        announcements.add("lobby", program.announcement());
    }

    std::filesystem::path path;
    SignAnnouncements announcements{loop, [](const std::string&) {}};
    SignBoard board{loop, {{"lobby", path, program}}, announcements};
    WebAuth auth;
    WebApi api{board, auth};
};

constexpr const char* kBearer = "Bearer t0ken";

TEST(WebApi, RoutesAnswerWithTheirStatusAndFields)
{
    const std::string deep = std::string(20, '[') + std::string(20, ']');
    struct Row {
        const char* method;
        const char* path;
        std::string body;
        int status;
        const char* pointer = "";  // a JSON pointer into the answer, "" for none
        json expected = nullptr;   // at the pointer; a string means "contains"
        const char* authorization = kBearer;
        const char* cookie = "";
    } rows[] = {
        {"GET", "/api/v1/signs", "", 401, "/error", "token", ""},
        {"GET", "/api/v1/signs", "", 401, "", nullptr, "Bearer t0ke"},
        {"GET", "/api/v1/signs", "", 401, "", nullptr, "Bearer t0ken2"},
        {"GET", "/api/v1/signs", "", 200, "/0/name", "lobby", ""},  // the cookie below
        {"GET", "/api/v1/signs", "", 200, "/0/link/udp", true},
        {"GET", "/api/v1/signs/lobby", "", 200, "/address", "127.0.0.2"},
        {"GET", "/api/v1/signs/hall", "", 404, "/error", "hall"},
        {"GET", "/api/v1/signs/lobby/x", "", 404},
        {"PUT", "/api/v1/signs", "", 405},
        {"GET", "/api/v1/nothing", "", 404},
        {"POST", "/api/v1/signs/lobby/announce", R"({"text":"Fire drill"})", 200, "/message", "10 minutes"},
        {"POST", "/api/v1/signs/lobby/announce", R"({"text":"Hi","minutes":1440})", 200},
        {"POST", "/api/v1/signs/lobby/announce", R"({"text":"Hi","minutes":0})", 400, "/error", "minutes"},
        {"POST", "/api/v1/signs/lobby/announce", R"({"text":"Hi","minutes":1e300})", 400, "/error", "minutes"},
        {"POST", "/api/v1/signs/lobby/announce", R"({"text":"Hi","minutes":99999999999999999999})", 400},
        {"POST", "/api/v1/signs/lobby/announce", R"({"text":"Hi","minutes":-5})", 400},
        {"POST", "/api/v1/signs/lobby/announce", R"({"text":5})", 400, "/error", "text"},
        {"POST", "/api/v1/signs/lobby/announce", R"({"text":"   "})", 400},
        {"POST", "/api/v1/signs/lobby/announce", "{\"text\":\"\xff\"}", 400, "/error", "JSON"},
        {"POST", "/api/v1/signs/lobby/announce", "not json", 400, "/error", "JSON"},
        {"POST", "/api/v1/signs/lobby/announce", "[\"text\"]", 400, "/error", "object"},
        {"POST", "/api/v1/signs/lobby/announce", deep, 400, "/error", "deeper"},
        {"POST", "/api/v1/signs/hall/announce", R"({"text":"Hi"})", 404},
        {"DELETE", "/api/v1/signs/lobby/announce", "", 200},
        {"POST", "/api/v1/signs/lobby/update", "", 202},
        {"GET", "/api/v1/signs/lobby/update", "", 405},
        {"GET", "/api/v1/signs/lobby/settings", "", 200, "/link/udp", true},
        {"PUT", "/api/v1/signs/lobby/settings", R"({"messages":40,"speed":2})", 200, "/messages", 25},
        {"PUT", "/api/v1/signs/lobby/settings", R"({"feeds":["http://127.0.0.1/a.xml"]})", 200, "/feeds/0",
         "http://127.0.0.1/a.xml"},
        {"PUT", "/api/v1/signs/lobby/settings", R"({"update_period":2.5,"hours":"07:00-19:00"})", 200,
         "/update_period", 2.5},
        {"PUT", "/api/v1/signs/lobby/settings", R"({"feeds":[1]})", 400, "/error", "feeds[0]"},
        {"PUT", "/api/v1/signs/lobby/settings", json{{"feeds", std::vector<std::string>(27)}}.dump(), 400, "/error",
         "at most 26"},
        {"PUT", "/api/v1/signs/lobby/settings", R"({"feeds":[")" + std::string(800, 'a') + "\"]}", 400, "/error",
         "longer"},
        {"PUT", "/api/v1/signs/lobby/settings", R"({"link":{"serial_port":256}})", 400, "/error", "link.serial_port"},
        {"PUT", "/api/v1/signs/lobby/settings", R"({"link":{"udp":"yes"}})", 400, "/error", "link.udp"},
        {"PUT", "/api/v1/signs/lobby/settings", R"({"update_period":0})", 400, "/error", "update_period"},
        {"PUT", "/api/v1/signs/lobby/settings", R"({"hours":"25:00-26:00","speed":3})", 400, "/error", "hours"},
        {"PUT", "/api/v1/signs/lobby/settings", R"({"days":"Someday"})", 400, "/error", "days"},
        {"GET", "/api/v1/signs/lobby/settings", "", 200, "/speed", 2},  // the refused PUTs changed nothing
        {"POST", "/api/v1/login", R"({"token":"nope"})", 401, "", nullptr, ""},
        {"POST", "/api/v1/login", R"({"token":7})", 400, "", nullptr, ""},
        {"GET", "/", "", 200, "", nullptr, ""},
        {"GET", "/no/such/file", "", 404, "", nullptr, ""},
        {"POST", "/", "", 405, "", nullptr, ""},
    };
    ApiRig rig;
    for (Row& row : rows) {
        if (row.status == 200 && row.authorization[0] == '\0') {
            row.cookie = "theme=dark; orlavo_token=t0ken";
        }
        WebResponse answer =
            rig.api.handle({row.method, row.path, std::nullopt, row.authorization, row.cookie, row.body, {}, {}});
        const std::string what = std::string(row.method) + " " + row.path + " " + row.body.substr(0, 60);
        EXPECT_EQ(answer.status, row.status) << what << ": " << answer.body;
        if (row.pointer[0] == '\0') {
            continue;
        }
        const json body = json::parse(answer.body, nullptr, false);
        const json::json_pointer pointer(row.pointer);
        ASSERT_TRUE(body.contains(pointer)) << what << ": " << answer.body;
        if (row.expected.is_string() && body.at(pointer).is_string()) {
            EXPECT_NE(body.at(pointer).get<std::string>().find(row.expected.get<std::string>()), std::string::npos)
                << what << ": " << answer.body;
        } else {
            EXPECT_EQ(body.at(pointer), row.expected) << what << ": " << answer.body;
        }
    }
    EXPECT_NE(rig.settings.bytes()->find("http://127.0.0.1/a.xml"), std::string::npos) << "stored in the file";
    EXPECT_NE(rig.settings.bytes()->find("07:00-19:00"), std::string::npos);
}

TEST(WebApi, TokenInTheAddressOrTheLoginBecomesACookieAndOtherSitesAreRefused)
{
    ApiRig rig;
    ApiRig open("");
    const std::string announce = R"({"text":"Hi"})";
    const std::string path = "/api/v1/signs/lobby/announce";
    struct Row {
        ApiRig& rig;
        WebRequest request;
        int status;
        bool cookie = false;
    } rows[] = {
        {rig, {"GET", "/", "t0ken", "", "", "", "", ""}, 303, true},
        {rig, {"GET", "/", "wrong", "", "", "", "", ""}, 303},
        {rig, {"POST", "/api/v1/login", std::nullopt, "", "", R"({"token":"t0ken"})", "", ""}, 204, true},
        {rig, {"POST", path, {}, kBearer, "", announce, "127.0.0.1:80", "http://127.0.0.1:80"}, 200},
        {rig, {"POST", path, {}, kBearer, "", announce, "127.0.0.1:80", "http://evil.example"}, 403},
        {rig, {"GET", "/api/v1/signs", {}, kBearer, "", "", "signbox:80", ""}, 200},
        {open, {"GET", "/api/v1/signs", {}, "", "", "", "localhost:80", ""}, 200},
        {open, {"GET", "/api/v1/signs", {}, "", "", "", "[::1]:80", ""}, 200},
        {open, {"GET", "/api/v1/signs", {}, "", "", "", "evil.example:80", ""}, 403},
    };
    for (const Row& row : rows) {
        WebResponse answer = row.rig.api.handle(row.request);
        EXPECT_EQ(answer.status, row.status) << row.request.path << " " << row.request.host << ": " << answer.body;
        std::string cookie;
        for (const auto& [name, value] : answer.headers) {
            cookie += name == "Set-Cookie" ? value : "";
        }
        EXPECT_EQ(cookie.empty(), !row.cookie);
        if (row.cookie) {
            EXPECT_EQ(cookie, "orlavo_token=t0ken; Path=/; HttpOnly; SameSite=Strict");
        }
    }
}

TEST(WebDiscovery, WalksTheSignsRangeOneWalkAtATime)
{
    testing::TempDir dir;
    testing::writeFileBytes(dir.file("lobby.ini"), "[CommMethod]\r\nEthernet=1\r\n[Discovery]\r\nstart1=127\r\n"
                                                   "start2=0\r\nstart3=0\r\nstart4=1\r\nend1=127\r\nend2=0\r\n"
                                                   "end3=0\r\nend4=3\r\nPort=16001\r\n");
    ApiRig rig("t0ken", dir.file("lobby.ini"));
    testing::FakeUdpEndpoint udp{rig.clock};
    auto discovery = std::make_shared<WebDiscovery>(rig.board, rig.clock, udp);
    std::optional<WebResponse> answer;
    struct Row {
        const char* body;
        int status;  // 0: the walk starts
    } rows[] = {{"[1]", 400}, {R"({"sign":"hall"})", 404}, {R"({"sign":5})", 400}, {"", 0}, {"{}", 409}};
    for (const Row& row : rows) {
        std::optional<WebResponse> now =
            discovery->start({"POST", "/api/v1/discover", {}, "", "", row.body, "", ""},
                             [&](WebResponse done) { answer = std::move(done); });
        EXPECT_EQ(now ? now->status : 0, row.status) << row.body;
    }
    rig.loop.runPending();  // the walk: three probes, paced by the fake clock
    EXPECT_EQ(udp.sent().size(), 3U);
    udp.deliver(*discovery::buildReply("0050C2000002", "127.0.0.2", "lobby"), "127.0.0.2");
    EXPECT_FALSE(answer) << "the late replies have their second";
    rig.clock.advance(kLateReplyMs);
    rig.loop.runPending();
    ASSERT_TRUE(answer);
    const json found = json::parse(answer->body);
    EXPECT_EQ(found["signs"][0]["address"], "127.0.0.2") << answer->body;
    EXPECT_EQ(found["walked"], 3);
    EXPECT_FALSE(discovery->walking()) << "the next walk may start";
}

TEST(EventHub, KeepsTheNewestStateOfEachSignForEachClient)
{
    EventHub hub(2);
    std::optional<EventHub::ClientId> a = hub.join();
    std::optional<EventHub::ClientId> b = hub.join();
    ASSERT_TRUE(a && b);
    EXPECT_EQ(hub.join(), std::nullopt) << "full";
    hub.publish("lobby", "1");
    hub.publish("hall", "2");
    hub.publish("lobby", "3");
    EXPECT_EQ(hub.next(*a, std::chrono::milliseconds(0)).data, (std::vector<std::string>{"3", "2"}));
    EXPECT_TRUE(hub.next(*a, std::chrono::milliseconds(0)).data.empty()) << "sent once";
    hub.leave(*a);
    EXPECT_TRUE(hub.join()) << "a place came free";
    hub.close();
    EXPECT_TRUE(hub.next(*b, std::chrono::milliseconds(0)).closed);
    EXPECT_EQ(hub.join(), std::nullopt);
}

}  // namespace
}  // namespace orlavo::tools
