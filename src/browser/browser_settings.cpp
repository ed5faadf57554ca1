#include "browser/browser_settings.h"

namespace orlavo::browser {

BrowserPages readBrowserPages(const platform::ProfileFile& settings)
{
    auto read = [&](const signfeed::SettingKey& k) {
        return signfeed::readIni(settings, k.section, k.key, k.fallback);
    };
    return BrowserPages{read(key::kHomePage), read(key::kSearchPage)};
}

}  // namespace orlavo::browser
