#include "signfeed/settings.h"

#include "platform/ascii.h"

#include <cstdlib>
#include <system_error>

namespace orlavo::signfeed {

namespace {

// Slot names live as long as the program: the table hands out views of them.
const std::array<std::string, kFeedSlots>& slotNames()
{
    static const std::array<std::string, kFeedSlots> names = [] {
        std::array<std::string, kFeedSlots> all;
        for (int slot = 0; slot < kFeedSlots; ++slot) {
            all[static_cast<std::size_t>(slot)] = "AccessPointIP" + std::to_string(slot);
        }
        return all;
    }();
    return names;
}

}  // namespace

std::string readIni(const platform::ProfileFile& file, std::string_view section, std::string_view key,
                    std::string_view fallback)
{
    std::string value = file.read(section, platform::asciiLower(key), fallback, kValueBuffer);
    if (std::size_t p = value.find("~13"); p != std::string::npos) {
        value.replace(p, 3, "\r\n");
    }
    return value;
}

std::optional<platform::SysError> writeIni(platform::ProfileFile& file, std::string_view section,
                                           std::string_view key, std::string_view value, platform::WriteMode mode)
{
    std::string stored(value);
    if (std::size_t p = stored.find("\r\n"); p != std::string::npos) {
        stored.replace(p, 2, "~13");
    }
    for (char& c : stored) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return file.write(section, platform::asciiUpper(key), stored, mode);
}

SettingKey feedSlotKey(int slot)
{
    std::string_view fallback = slot == 0 ? kDefaultFeed0 : slot == 1 ? kDefaultFeed1 : std::string_view();
    return SettingKey{section::kAccessPoint, slotNames().at(static_cast<std::size_t>(slot)), fallback};
}

std::string feedSlotKeyName(int slot)
{
    return "AccessPointIP" + std::to_string(slot);
}

std::filesystem::path resolveSettingsPath(const std::optional<std::filesystem::path>& explicitPath,
                                          const std::filesystem::path& executableDir)
{
    if (explicitPath) {
        return *explicitPath;
    }
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path portable = executableDir / "data.ini";
    if (fs::is_regular_file(portable, ec)) {
        auto perms = fs::status(portable, ec).permissions();
        if (!ec && (perms & fs::perms::owner_write) != fs::perms::none) {
            return portable;
        }
    }
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && *xdg == '/') {
        return fs::path(xdg) / "orlavo" / "data.ini";
    }
    const char* home = std::getenv("HOME");
    return fs::path(home != nullptr ? home : ".") / ".config" / "orlavo" / "data.ini";
}

}  // namespace orlavo::signfeed
