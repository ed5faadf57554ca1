#pragma once
// Command line of orlavod: one command and its options.
#include "web/web_options.h"
#include "mqtt/mqtt_options.h"

#include <pellix/rss_comp.h>

#include <optional>
#include <string>
#include <vector>

namespace orlavo::tools {

enum class Command { Help, Version, Init, Compose, Once, Service, Demo, Discover, Announce };

struct CliOptions {
    Command command = Command::Service;
    std::optional<std::string> settingsPath;  // the first --settings
    // Every --settings in order, then the folder of --signs: one sign each.
    std::vector<std::string> settingsPaths;
    std::optional<std::string> signsDir;
    std::vector<std::string> positional;  // compose: the feed file
    bool verbose = false;
    bool updateNow = false;  // service: one update at start
    // --once and the service: the bounds on each download, as rssget takes them.
    pellix::RSSCompLimits limits;
    bool limitsGiven = false;
    // announce: the sign (empty: every sign), the minutes, or --clear.
    std::string sign;
    int minutes = 10;
    bool clear = false;
    // The service: the remote controls' settings file (see service_config.h).
    std::optional<std::string> configPath;
    // The update cycle: the web control (--web and its options). The token
    // given last wins, so a flag overrides the config file's key.
    WebOptions web;
    std::string webTokenFile;
    // The update cycle: the broker to publish to (off while its broker is empty).
    MqttOptions mqtt;
};

struct CliParse {
    std::optional<CliOptions> options;
    std::string error;  // set when options is empty
};

[[nodiscard]] CliParse parseCommandLine(const std::vector<std::string>& args);
[[nodiscard]] const char* usageText();

}  // namespace orlavo::tools
