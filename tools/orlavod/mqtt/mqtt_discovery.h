#pragma once
// The Home Assistant discovery configs of one sign: one device with a text
// entity (the announcement), a button (update now) and three sensors (last
// update, failing since, the headlines), all read from the sign's state
// topic and available while both the bridge and the sign are online.
#include "mqtt/mqtt_topics.h"

#include <string>
#include <vector>

namespace orlavo::tools {

struct DiscoveryMessage {
    std::string topic;    // DISCOVERY_PREFIX/COMPONENT/NODE/OBJECT/config
    std::string payload;  // JSON, published retained
};

struct DiscoverySource {
    std::string prefix;           // the bridge's topic prefix
    std::string discoveryPrefix;  // "homeassistant"
    std::string version;          // the device's software version
};

// Ids depend only on the prefix and the sign's name, so they stay the same
// across restarts and two boxes with their own prefixes never share one.
[[nodiscard]] std::vector<DiscoveryMessage> discoveryMessages(const DiscoverySource& source, const SignTopic& sign);

}  // namespace orlavo::tools
