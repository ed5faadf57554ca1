#pragma once
// The demo feed, built into the program from data/demo_feed.xml so the demo
// runs from an installed copy too.
#include <string_view>

namespace orlavo::tools {

[[nodiscard]] std::string_view demoFeedBytes();

}  // namespace orlavo::tools
