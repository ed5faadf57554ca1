#include "signfeed/sign_name.h"

#include "shared/settings.h"

namespace orlavo::signfeed {

std::string signNameOf(const std::filesystem::path& settingsPath, const platform::ProfileFile& settings)
{
    std::string name = readIni(settings, "Sign", "Name", "");
    const auto first = name.find_first_not_of(' ');
    if (first == std::string::npos) {
        return settingsPath.stem().string();
    }
    return name.substr(first, name.find_last_not_of(' ') - first + 1);
}

}  // namespace orlavo::signfeed
