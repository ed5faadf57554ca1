#include "mqtt/mqtt_discovery.h"

#include <nlohmann/json.hpp>

namespace orlavo::tools {

namespace {

// Home Assistant keeps at most 255 characters of a state or a text.
constexpr int kMaxHaState = 255;

struct Entity {
    const char* component;
    const char* object;
    const char* name;
    nlohmann::json fields;
};

// The sign's local times carry no zone; the state's utc_offset gives one.
std::string timeTemplate(const char* key)
{
    return std::string("{{ value_json.") + key + " ~ value_json.utc_offset if value_json." + key + " else None }}";
}

std::vector<Entity> entitiesOf(const std::string& base, const std::string& state)
{
    return {
        {"text", "announcement", "Announcement",
         {{"command_topic", base + "/announce"},
          {"state_topic", state},
          // An announcement may be longer than Home Assistant keeps: cut, not refused.
          {"value_template", "{{ (value_json.announcement.text if value_json.announcement else '')[:" +
                                 std::to_string(kMaxHaState) + "] }}"},
          {"min", 0},
          {"max", kMaxHaState},
          {"icon", "mdi:bullhorn"}}},
        {"button", "update", "Update now",
         {{"command_topic", base + "/update"}, {"payload_press", "update"}, {"icon", "mdi:refresh"}}},
        {"sensor", "last_update", "Last update",
         {{"state_topic", state}, {"device_class", "timestamp"}, {"value_template", timeTemplate("last_update")}}},
        {"sensor", "failing_since", "Failing since",
         {{"state_topic", state}, {"device_class", "timestamp"}, {"value_template", timeTemplate("failing_since")}}},
        {"sensor", "headlines", "Headlines",
         {{"state_topic", state},
          {"value_template",
           "{{ (value_json.headlines | map(attribute='text') | join(' | '))[:" + std::to_string(kMaxHaState) + "] }}"},
          {"json_attributes_topic", state},
          {"json_attributes_template", "{{ {'headlines': value_json.headlines} | tojson }}"},
          {"icon", "mdi:newspaper"}}},
    };
}

}  // namespace

std::vector<DiscoveryMessage> discoveryMessages(const DiscoverySource& source, const SignTopic& sign)
{
    const std::string base = source.prefix + "/" + sign.level;
    // The prefix is part of the id: two boxes with signs of one name stay apart.
    const std::string node = plainIdOf(source.prefix + "/" + sign.level);
    const nlohmann::json device = {{"identifiers", {node}},
                                   {"name", sign.sign},
                                   {"manufacturer", "Orlavo"},
                                   {"model", "LED sign feed"},
                                   {"sw_version", source.version}};
    const nlohmann::json availability = {{{"topic", source.prefix + "/availability"}},
                                         {{"topic", base + "/availability"}}};
    std::vector<DiscoveryMessage> messages;
    for (Entity& entity : entitiesOf(base, base + "/state")) {
        nlohmann::json config = std::move(entity.fields);
        config["name"] = entity.name;
        config["unique_id"] = node + "_" + entity.object;
        config["has_entity_name"] = true;
        config["device"] = device;
        config["availability"] = availability;
        config["availability_mode"] = "all";
        messages.push_back({source.discoveryPrefix + "/" + entity.component + "/" + node + "/" + entity.object +
                                "/config",
                            config.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)});
    }
    return messages;
}

}  // namespace orlavo::tools
