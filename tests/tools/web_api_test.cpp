#include "web/event_hub.h"
#include "web/web_api.h"

#include "support/fake_program.h"

#include <gtest/gtest.h>

namespace orlavo::tools {
namespace {

using nlohmann::json;

// One sign, "lobby", on fakes, behind the API with a token, as the service has it.
struct ApiRig : testing::FakeProgram {
    ApiRig() : FakeProgram("[CommMethod]\r\nETHERNET=1\r\nREMOTEIP=127.0.0.2\r\n")
    {
        announcements.add("lobby", program.announcement());
    }

    SignAnnouncements announcements{loop, [](const std::string&) {}};
    SignBoard board{loop, {{"lobby", "lobby.ini", program}}, announcements};
    WebAuth auth{"t0ken", false};
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
            rig.api.handle({row.method, row.path, std::nullopt, row.authorization, row.cookie, row.body});
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

TEST(WebApi, TokenInTheAddressOrTheLoginBecomesACookie)
{
    ApiRig rig;
    struct Row {
        WebRequest request;
        int status;
        bool cookie;
    } rows[] = {
        {{"GET", "/", "t0ken", "", "", ""}, 303, true},
        {{"GET", "/", "wrong", "", "", ""}, 303, false},
        {{"POST", "/api/v1/login", std::nullopt, "", "", R"({"token":"t0ken"})"}, 204, true},
    };
    for (const Row& row : rows) {
        WebResponse answer = rig.api.handle(row.request);
        EXPECT_EQ(answer.status, row.status);
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
