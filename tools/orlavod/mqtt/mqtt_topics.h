#pragma once
// Where each sign lives on the broker: the topic level its name maps to, the
// ids the discovery configs use, and the commands a topic names.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orlavo::tools {

// The sign name as one topic level: '/', '+', '#', blanks, control
// characters and bytes that are no UTF-8 each become '_'.
[[nodiscard]] std::string topicLevelOf(std::string_view name);

// text as an id of letters, digits, '_' and '-' (what discovery ids and
// client ids take): other bytes become '_', and a changed text gets a short
// hash of the original, so two names never share an id.
[[nodiscard]] std::string plainIdOf(std::string_view text);

struct SignTopic {
    std::string sign;   // the sign's name, as the board knows it
    std::string level;  // topicLevelOf(sign)
};

struct TopicPlan {
    std::vector<SignTopic> signs;
    std::string error;  // set when two signs would share a level
};

// One level per sign; two names that map to one level are refused, since a
// command could not tell them apart.
[[nodiscard]] TopicPlan planTopics(const std::vector<std::string>& names);

enum class SignCommand { Announce, Update };

struct CommandTopic {
    std::string level;
    SignCommand command;
};

// "PREFIX/LEVEL/announce" or "PREFIX/LEVEL/update"; empty for any other topic.
[[nodiscard]] std::optional<CommandTopic> commandTopicOf(std::string_view topic, std::string_view prefix);

// "orlavod-HOST-PREFIX" as a plain id of at most kMaxClientIdBytes: the
// broker drops an older connection of the same id, so two boxes (or two
// prefixes on one box) must differ.
inline constexpr std::size_t kMaxClientIdBytes = 64;
[[nodiscard]] std::string clientIdOf(std::string_view host, std::string_view prefix);

}  // namespace orlavo::tools
