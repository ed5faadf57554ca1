#pragma once
// The two settings operations of the program and the table of every key it
// keeps in data.ini, with the defaults its readers pass.
#include "platform/profile_file.h"

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace orlavo::signfeed {

// Values are read into a 750-character buffer, so stored values come back cut
// to 749 characters.
inline constexpr std::size_t kValueBuffer = 750;
inline constexpr std::size_t kLongestValue = kValueBuffer - 1;

// The key is looked up in lower case; the first "~13" of the value turns back
// into a line break (CR LF).
[[nodiscard]] std::string readIni(const platform::ProfileFile& file, std::string_view section, std::string_view key,
                                  std::string_view fallback);

// The key is stored in upper case. The first CR LF of the value is stored as
// "~13"; any other CR or LF becomes a blank, so no value can add lines to the
// file. A value that is only the cut read of a longer stored value leaves
// that value as it is, so writing back what was read never shortens it.
// Returns the failure so the caller can tell the user.
[[nodiscard]] std::optional<platform::SysError> writeIni(platform::ProfileFile& file, std::string_view section,
                                                         std::string_view key, std::string_view value,
                                                         platform::WriteMode mode = platform::WriteMode::Always);

namespace section {
inline constexpr std::string_view kCommMethod = "CommMethod";
inline constexpr std::string_view kParameters = "Parameters";
inline constexpr std::string_view kCommunications = "Communications";
inline constexpr std::string_view kAccessPoint = "AccessPoint";
inline constexpr std::string_view kDiscovery = "Discovery";
}  // namespace section

// The default feeds: two feeds of one news site for the first two slots, and
// one of a second site that the start-up recovery stores in TUrl.
inline constexpr std::string_view kDefaultFeed0 = "http://feeds.bbci.co.uk/news/rss.xml";
inline constexpr std::string_view kDefaultFeed1 = "http://feeds.bbci.co.uk/news/world/rss.xml";
inline constexpr std::string_view kRecoveryFeed = "http://rss.cnn.com/rss/edition.rss";

inline constexpr int kFeedSlots = 26;

struct SettingKey {
    std::string_view section;
    std::string_view key;
    std::string_view fallback;  // what the main window passes when it reads the key
};

// Every key of the main window, in the order it writes them back.
namespace key {
inline constexpr SettingKey kEthernet{section::kCommMethod, "Ethernet", "1"};
inline constexpr SettingKey kSerial{section::kCommMethod, "Serial", "0"};
inline constexpr SettingKey kRemoteIp{section::kCommMethod, "RemoteIP", "255.255.255.255"};
inline constexpr SettingKey kInitialDelay{section::kParameters, "InitialDelay", "9"};
inline constexpr SettingKey kMessages{section::kParameters, "Messages", "10"};
inline constexpr SettingKey kRssListOp0{section::kCommMethod, "RSSListOp0", "1"};
inline constexpr SettingKey kRssListOp1{section::kCommMethod, "RSSListOp1", "0"};
inline constexpr SettingKey kUpdatePeriod{section::kParameters, "UpdatePeriod", "60"};
inline constexpr SettingKey kSpeed{section::kParameters, "Speed", "1"};
inline constexpr SettingKey kBaud{section::kCommunications, "Baud", "9600"};
inline constexpr SettingKey kCommPort{section::kCommunications, "CommPort", "1"};
inline constexpr SettingKey kTypeFontIndex{section::kCommunications, "TypeFontIndex1", "4"};
inline constexpr SettingKey kEmbedded{section::kCommMethod, "Embedded", "1"};
inline constexpr SettingKey kRgbDisplay{section::kCommMethod, "RGBdisplay", "0"};
inline constexpr SettingKey kColorSchemeIndex{section::kCommunications, "ColorSchemeIndex", "0"};
inline constexpr SettingKey kTUrl{section::kParameters, "TUrl", ""};
// Extensions: a serial device path that wins over CommPort, and the sign's UDP
// port (absent: 16000), for USB adapters and for a sign emulator.
inline constexpr SettingKey kCommDevice{section::kCommunications, "CommDevice", ""};
inline constexpr SettingKey kRemotePort{section::kCommMethod, "RemotePort", "16000"};
// Extension, read at each update and never written back: "0" leaves a feed's
// redirect as the download's answer instead of following it to the feed.
inline constexpr SettingKey kFollowRedirects{section::kParameters, "FollowRedirects", "1"};
// Likewise: "0" downloads every feed whole instead of asking whether it changed.
inline constexpr SettingKey kConditionalGet{section::kParameters, "ConditionalGet", "1"};
// Likewise, off unless "1": a feed that moved for good (301, 308 all the way)
// has every stored slot holding its old address rewritten to the new one.
inline constexpr SettingKey kRewriteMovedFeeds{section::kParameters, "RewriteMovedFeeds", "0"};
}  // namespace key

// "AccessPointIP" and the slot number; slots 0 and 1 default to the two feeds.
[[nodiscard]] SettingKey feedSlotKey(int slot);
[[nodiscard]] std::string feedSlotKeyName(int slot);

// The stored feed slot, or nullopt when it is longer than a value can be
// read: its cut read would be another address, so such a slot is never used.
[[nodiscard]] std::optional<std::string> readFeedSlot(const platform::ProfileFile& file, int slot,
                                                      std::string_view fallback);

// Why url cannot be kept as a feed address, or empty: it must be http:// or
// https://, printable ASCII, and read back from the file as written.
[[nodiscard]] std::string feedAddressProblem(std::string_view url);

// Where data.ini lives: the --settings path when given; else data.ini beside
// the executable when it exists there and is writable; else
// $XDG_CONFIG_HOME/orlavo/data.ini (~/.config/orlavo/data.ini).
[[nodiscard]] std::filesystem::path resolveSettingsPath(const std::optional<std::filesystem::path>& explicitPath,
                                                        const std::filesystem::path& executableDir);

}  // namespace orlavo::signfeed
