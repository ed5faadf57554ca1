#pragma once
#include <pellix/rss_comp.h>

#include "mqtt/mqtt_options.h"
#include "sign_roster.h"
#include "web/web_options.h"

#include <string>
#include <vector>

namespace orlavo::tools {

struct ServiceOptions {
    bool verbose = false;    // also print the status texts as they change
    bool updateNow = false;  // one update at start, besides the timer's
    pellix::RSSCompLimits limits;
    WebOptions web;  // listen empty: no web control
    MqttOptions mqtt;  // off while its broker is empty
};

// "updates every 15 minutes", "updates every minute", or that they are off.
[[nodiscard]] std::string periodText(const std::string& period);

// The update cycle of every sign on the real clock until SIGINT, SIGTERM or
// SIGHUP, then the close sequence of every sign. Exit 0 after a clean close.
[[nodiscard]] int runService(const std::vector<SignEntry>& signs, const ServiceOptions& options);

}  // namespace orlavo::tools
