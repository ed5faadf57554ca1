#pragma once
// One control of a window as plain fields, so window logic runs and is tested
// without any user interface; a window binds to them.
#include <string>
#include <vector>

namespace orlavo::signfeed {

// One control: every property any control of a window uses. A check box
// holds 0, 1 or 2 (greyed) in value; an option holds 0 or 1.
struct Control {
    std::string text;
    int value = 0;
    std::vector<std::string> entries;
    int selectedIndex = -1;
    bool visible = true;
    bool enabled = true;
};

}  // namespace orlavo::signfeed
