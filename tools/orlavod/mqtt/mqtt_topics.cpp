#include "mqtt/mqtt_topics.h"

#include <cstdint>
#include <cstdio>
#include <map>

namespace orlavo::tools {

namespace {

// The length of the UTF-8 sequence at text[at], or 0 when it is none (or a
// control character of the C1 range, which topics should not hold).
std::size_t utf8Length(std::string_view text, std::size_t at)
{
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xe ? 3 : (lead >> 3) == 0x1e ? 4 : 0;
    if (length == 0 || at + length > text.size()) {
        return 0;
    }
    std::uint32_t code = length == 1 ? lead : lead & (0x7fu >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xc0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (next & 0x3f);
    }
    constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    const bool valid = code >= kSmallest[length] && code <= 0x10ffff && (code < 0xd800 || code > 0xdfff);
    const bool control = code < 0x20 || (code >= 0x7f && code <= 0x9f);
    return valid && !control ? length : 0;
}

std::uint32_t fnv1a(std::string_view text)
{
    std::uint32_t hash = 2166136261u;
    for (const char c : text) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    }
    return hash;
}

std::string hex8(std::uint32_t value)
{
    char text[9];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

}  // namespace

std::string topicLevelOf(std::string_view name)
{
    std::string level;
    for (std::size_t at = 0; at < name.size();) {
        const std::size_t length = utf8Length(name, at);
        const char c = name[at];
        if (length == 0 || c == '/' || c == '+' || c == '#' || c == ' ') {
            level += '_';
            ++at;
            continue;
        }
        level.append(name, at, length);
        at += length;
    }
    return level.empty() ? std::string("_") : level;
}

std::string plainIdOf(std::string_view text)
{
    std::string id;
    for (const char c : text) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                           c == '-';
        id += plain ? c : '_';
    }
    return id == text && !id.empty() ? id : id + "_" + hex8(fnv1a(text));
}

TopicPlan planTopics(const std::vector<std::string>& names)
{
    TopicPlan plan;
    std::map<std::string, std::string> byLevel;
    for (const std::string& name : names) {
        std::string level = topicLevelOf(name);
        auto [at, added] = byLevel.emplace(level, name);
        if (!added) {
            return {{}, "the signs \"" + at->second + "\" and \"" + name + "\" would share the MQTT topic level \"" +
                            level + "\"; give one a [Sign] Name= of its own"};
        }
        plan.signs.push_back(SignTopic{name, std::move(level)});
    }
    return plan;
}

std::optional<CommandTopic> commandTopicOf(std::string_view topic, std::string_view prefix)
{
    if (topic.size() <= prefix.size() + 1 || topic.substr(0, prefix.size()) != prefix || topic[prefix.size()] != '/') {
        return std::nullopt;
    }
    std::string_view rest = topic.substr(prefix.size() + 1);
    const std::size_t slash = rest.find('/');
    if (slash == 0 || slash == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view command = rest.substr(slash + 1);
    if (command != "announce" && command != "update") {
        return std::nullopt;
    }
    return CommandTopic{std::string(rest.substr(0, slash)),
                        command == "announce" ? SignCommand::Announce : SignCommand::Update};
}

std::string clientIdOf(std::string_view host, std::string_view prefix)
{
    const std::string wanted = "orlavod-" + std::string(host) + "-" + std::string(prefix);
    std::string id = plainIdOf(wanted);
    if (id.size() > kMaxClientIdBytes) {
        // Cut, but keep the whole name's hash so long names stay apart.
        id = id.substr(0, kMaxClientIdBytes - 9) + "_" + hex8(fnv1a(wanted));
    }
    return id;
}

}  // namespace orlavo::tools
