// Drives the web control's routes with arbitrary requests, as a hostile
// client would send them, on one sign on fakes: the first byte picks the
// method and whether the token comes along, the bytes up to the first newline
// are the path, the rest is the body. Checks that every answer is one the
// API documents, that JSON answers are JSON, and that no request gets past
// the window's clamps or past the token.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "support/fake_program.h"
#include "web/web_api.h"

namespace {

using namespace orlavo;
using nlohmann::json;

void check(bool holds, const char* what)
{
    if (!holds) {
        std::fprintf(stderr, "web_api_fuzz: %s\n", what);
        std::abort();
    }
}

struct Rig : testing::FakeProgram {
    Rig() : FakeProgram("[CommMethod]\r\nETHERNET=1\r\nREMOTEIP=127.0.0.2\r\n")
    {
        announcements.add("lobby", program.announcement());
    }
    tools::SignAnnouncements announcements{loop, [](const std::string&) {}};
    tools::SignBoard board{loop, {{"lobby", "lobby.ini", program}}, announcements};
    tools::WebAuth auth{"t0ken", false};
    tools::WebApi api{board, auth};
};

bool documented(int status)
{
    switch (status) {
    case 200: case 202: case 204: case 303: case 400: case 401: case 403: case 404: case 405: case 409:
        return true;
    default:
        return false;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0 || size > tools::kMaxWebBody) {
        return 0;
    }
    static const char* const kMethods[] = {"GET", "POST", "PUT", "DELETE"};
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::size_t newline = bytes.find('\n');
    tools::WebRequest request;
    request.method = kMethods[data[0] % 4];
    request.path = std::string(bytes.substr(0, newline));
    request.body = newline == std::string_view::npos ? std::string() : std::string(bytes.substr(newline + 1));
    const bool withToken = (data[0] & 4) != 0;
    if (withToken) {
        request.authorization = "Bearer t0ken";
    }
    // A fresh sign each time: one input's settings must not shape the next.
    auto rig = std::make_unique<Rig>();
    const tools::WebResponse answer = rig->api.handle(request);
    check(documented(answer.status), "an answer with a status the API does not document");
    if (answer.contentType == "application/json") {
        check(!json::parse(answer.body, nullptr, false).is_discarded(), "a JSON answer that is not JSON");
    }
    const bool api = request.path.rfind("/api/v1/", 0) == 0 && request.path != "/api/v1/login";
    check(withToken || !api || answer.status == 401, "the API answered without the token");
    const tools::WebResponse settings =
        rig->api.handle({"GET", "/api/v1/signs/lobby/settings", std::nullopt, "Bearer t0ken", {}, {}, {}, {}});
    const json now = json::parse(settings.body, nullptr, false);
    check(settings.status == 200 && now.is_object(), "the settings cannot be read after a request");
    check(now["messages"].is_number() && now["messages"].get<double>() <= 25, "a message count above the clamp");
    check(now["speed"].is_number() && now["speed"].get<double>() <= 5, "a speed above the clamp");
    check(now["feeds"].size() == 26, "the feed slots are not 26");
    return 0;
}
