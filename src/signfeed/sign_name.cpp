#include "signfeed/sign_name.h"

#include "platform/ascii.h"

namespace orlavo::signfeed {

std::string signNameOf(const std::filesystem::path& settingsPath, const platform::ProfileFile& settings)
{
    const std::string stored = readIni(settings, kSignNameKey.section, kSignNameKey.key, kSignNameKey.fallback);
    const std::string_view name = platform::trimIf(stored, platform::isSpaceOrTab);
    return name.empty() ? settingsPath.stem().string() : std::string(name);
}

}  // namespace orlavo::signfeed
