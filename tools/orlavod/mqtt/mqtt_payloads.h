#pragma once
// What the bridge reads from and writes to the broker besides the discovery
// configs: the announce command's payload and the state message.
#include <nlohmann/json.hpp>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace orlavo::tools {

// Anyone who may publish to the broker may send commands: larger payloads
// are dropped unread (a sign takes about a kilobyte of text).
inline constexpr std::size_t kMaxCommandPayloadBytes = 8 * 1024;

struct AnnounceCommand {
    bool clear = false;  // end the announcement; text and minutes unused
    std::string text;
    int minutes = 0;
};

struct AnnounceParse {
    std::optional<AnnounceCommand> command;
    std::string error;  // set when command is empty
};

// An empty payload ends the announcement; one that starts with '{' must be a
// JSON object {"text": "...", "minutes": N} (minutes optional, 1 to 1440;
// an empty text ends it); anything else is the text, shown for the default
// minutes. Malformed JSON is refused rather than put on the sign.
[[nodiscard]] AnnounceParse parseAnnouncePayload(std::string_view payload);

// The state message: the sign's object as the API gives it, and the box's
// UTC offset ("+01:00"), which its local times need to be read elsewhere.
[[nodiscard]] std::string statePayload(nlohmann::json sign, std::string_view utcOffset);

// The UTC offset of the local time now, "+HH:MM" or "-HH:MM".
[[nodiscard]] std::string localUtcOffset();

}  // namespace orlavo::tools
