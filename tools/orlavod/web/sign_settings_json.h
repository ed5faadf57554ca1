#pragma once
// A sign's settings as the API shows and takes them: the feed slots, the
// update period, the message count and speed, the hours and the link. Edits
// go through the window's own edit handlers, as if typed into it, so its
// checks and clamps hold and each value is stored in the settings file at once.
#include "signfeed/main_window_model.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>

namespace orlavo::tools {

[[nodiscard]] nlohmann::json settingsJson(signfeed::MainWindowModel& window);

// Takes the fields body names (the others stay) once every one of them is
// acceptable; otherwise changes nothing and says which field is wrong and why.
[[nodiscard]] std::optional<std::string> applySettings(signfeed::MainWindowModel& window,
                                                       const nlohmann::json& body);

}  // namespace orlavo::tools
