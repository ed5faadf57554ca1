#include "shared/settings.h"

#include "platform/app_paths.h"
#include "platform/ascii.h"
#include "platform/code_page.h"

#include <fmt/format.h>

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

std::string unescapeLineBreak(std::string value)
{
    if (std::size_t p = value.find("~13"); p != std::string::npos) {
        value.replace(p, 3, "\r\n");
    }
    return value;
}

// The stored text whole, past the read buffer.
std::string readWhole(const platform::ProfileFile& file, std::string_view section, std::string_view key,
                      std::string_view fallback)
{
    return file.read(section, platform::asciiLower(key), fallback, platform::kMaxProfileBytes + 1);
}

}  // namespace

std::string readIni(const platform::ProfileFile& file, std::string_view section, std::string_view key,
                    std::string_view fallback)
{
    return unescapeLineBreak(file.read(section, platform::asciiLower(key), fallback, kValueBuffer));
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
    if (platform::utf8Length(stored) == kLongestValue) {
        const std::string whole = readWhole(file, section, key, "");
        if (platform::utf8Length(whole) > kLongestValue && whole.starts_with(stored)) {
            return std::nullopt;
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

std::optional<std::string> readFeedSlot(const platform::ProfileFile& file, int slot, std::string_view fallback)
{
    std::string whole = readWhole(file, section::kAccessPoint, feedSlotKeyName(slot), fallback);
    if (platform::utf8Length(whole) > kLongestValue) {
        return std::nullopt;
    }
    return unescapeLineBreak(std::move(whole));
}

std::string feedAddressProblem(std::string_view url)
{
    const std::string scheme = platform::asciiLower(url.substr(0, 8));
    if (!scheme.starts_with("http://") && !scheme.starts_with("https://")) {
        return "it is not an http:// or https:// address";
    }
    for (char c : url) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F) {
            return "it holds control characters or characters outside ASCII";
        }
    }
    if (url.size() > kLongestValue) {
        return fmt::format("it is longer than the {} characters a stored address can be read back with",
                           kLongestValue);
    }
    if (url.find("~13") != std::string_view::npos) {
        return "it holds \"~13\", which reads back as a line break";
    }
    return {};
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
    return platform::userConfigDir() / "data.ini";
}

}  // namespace orlavo::signfeed
