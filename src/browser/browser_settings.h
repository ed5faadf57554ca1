#pragma once
// The browser window's keys in data.ini: where Home and Search go. Read each
// time a window opens and never written, so the file holds them only when
// the operator adds them.
#include "platform/profile_file.h"
#include "shared/settings.h"

#include <string>
#include <string_view>

namespace orlavo::browser {

inline constexpr std::string_view kBrowserSection = "Browser";

namespace key {
// Empty: Home goes to the address the window was opened on (the sign).
inline constexpr signfeed::SettingKey kHomePage{kBrowserSection, "HomePage", ""};
// Empty: there is no search page and the Search button is disabled.
inline constexpr signfeed::SettingKey kSearchPage{kBrowserSection, "SearchPage", ""};
}  // namespace key

struct BrowserPages {
    std::string home;
    std::string search;
};

[[nodiscard]] BrowserPages readBrowserPages(const platform::ProfileFile& settings);

}  // namespace orlavo::browser
