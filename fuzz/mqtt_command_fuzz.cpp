// Feeds arbitrary bytes, as a broker's topic and payload would bring them, to
// the MQTT bridge's readers, and checks what the bridge relies on: a sign
// name's topic level is one valid UTF-8 level without wildcards, ids hold only
// the characters ids take, a command topic names one level, and an announce
// payload is either a command within bounds or a refusal with a reason.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "mqtt/mqtt_payloads.h"
#include "mqtt/mqtt_topics.h"
#include "platform/code_page.h"

namespace {

using namespace orlavo;

void check(bool holds, const char* what)
{
    if (!holds) {
        std::fprintf(stderr, "mqtt_command_fuzz: %s\n", what);
        std::abort();
    }
}

bool plain(std::string_view id)
{
    for (const char c : id) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-')) {
            return false;
        }
    }
    return !id.empty();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string level = tools::topicLevelOf(bytes);
    check(!level.empty() && level.find_first_of("/+#") == std::string::npos, "a level holds '/', '+' or '#'");
    check(platform::decodeUtf8OrCp1252(level) == level, "a level is not valid UTF-8");
    for (const unsigned char c : level) {
        check(c >= 0x20 && c != 0x7f && c != ' ', "a level holds a control character or a blank");
    }
    check(plain(tools::plainIdOf(bytes)), "an id holds other characters");
    const std::string client = tools::clientIdOf(bytes, bytes);
    check(plain(client) && client.size() <= tools::kMaxClientIdBytes, "a client id is too long or not plain");
    if (const auto command = tools::commandTopicOf(bytes, "orlavo")) {
        check(!command->level.empty() && command->level.find('/') == std::string::npos, "a command names no one level");
    }
    const tools::AnnounceParse parse = tools::parseAnnouncePayload(bytes);
    check(parse.command.has_value() == parse.error.empty(), "neither a command nor a reason");
    if (parse.command && !parse.command->clear) {
        check(parse.command->minutes >= 1 && parse.command->minutes <= 1440 && !parse.command->text.empty(),
              "an announcement out of bounds");
    }
    const std::string state = tools::statePayload({{"name", std::string(bytes)}}, "+00:00");
    check(nlohmann::json::accept(state), "a state message is no JSON");
    return 0;
}
