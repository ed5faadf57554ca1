#include "mqtt/mqtt_payloads.h"

#include "signfeed/announcement.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace orlavo::tools {

namespace {

AnnounceParse refused(std::string why)
{
    return {std::nullopt, std::move(why)};
}

AnnounceParse fromJson(std::string_view payload)
{
    const nlohmann::json json = nlohmann::json::parse(payload, nullptr, false);
    if (json.is_discarded() || !json.is_object()) {
        return refused("the payload starts with '{' but is no JSON object");
    }
    const auto text = json.find("text");
    if (text == json.end() || !text->is_string()) {
        return refused("the JSON payload needs \"text\" as a string");
    }
    AnnounceCommand command{false, text->get<std::string>(), signfeed::kAnnounceMinutesDefault};
    if (const auto minutes = json.find("minutes"); minutes != json.end()) {
        const bool whole = minutes->is_number_integer();
        const std::int64_t value = whole ? minutes->get<std::int64_t>() : 0;
        if (!whole || value < 1 || value > signfeed::kAnnounceMinutesMax) {
            return refused("\"minutes\" must be a whole number from 1 to 1440");
        }
        command.minutes = static_cast<int>(value);
    }
    command.clear = command.text.empty();
    return {command, {}};
}

}  // namespace

AnnounceParse parseAnnouncePayload(std::string_view payload)
{
    if (payload.size() > kMaxCommandPayloadBytes) {
        return refused("the payload is over 8 KiB");
    }
    const std::size_t first = payload.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return {AnnounceCommand{true, {}, 0}, {}};
    }
    if (payload[first] == '{') {
        return fromJson(payload);
    }
    return {AnnounceCommand{false, std::string(payload), signfeed::kAnnounceMinutesDefault}, {}};
}

std::string statePayload(nlohmann::json sign, std::string_view utcOffset)
{
    sign["utc_offset"] = std::string(utcOffset);
    // Invalid UTF-8 in a headline becomes U+FFFD rather than an exception.
    return sign.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string localUtcOffset()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local) == nullptr) {
        return "+00:00";
    }
    // Offsets lie within a day, so the hours take two digits.
    const int minutes = static_cast<int>(std::labs(local.tm_gmtoff / 60) % (24 * 60));
    char text[16];
    std::snprintf(text, sizeof text, "%c%02d:%02d", local.tm_gmtoff < 0 ? '-' : '+', minutes / 60, minutes % 60);
    return text;
}

}  // namespace orlavo::tools
