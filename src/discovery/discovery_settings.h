#pragma once
// The discovery window's keys in data.ini, and the per-user store it reads
// its position from.
#include "shared/settings.h"

#include <array>
#include <filesystem>

namespace orlavo::discovery {

namespace key {
// Read with an empty default: an empty address becomes 255.255.255.255 and is written.
inline constexpr signfeed::SettingKey kRemoteIp{signfeed::section::kCommMethod, "RemoteIP", ""};
inline constexpr std::array<signfeed::SettingKey, 4> kStart{{{signfeed::section::kDiscovery, "start1", "255"},
                                                             {signfeed::section::kDiscovery, "start2", "255"},
                                                             {signfeed::section::kDiscovery, "start3", "255"},
                                                             {signfeed::section::kDiscovery, "start4", "255"}}};
inline constexpr std::array<signfeed::SettingKey, 4> kEnd{{{signfeed::section::kDiscovery, "end1", "255"},
                                                           {signfeed::section::kDiscovery, "end2", "255"},
                                                           {signfeed::section::kDiscovery, "end3", "255"},
                                                           {signfeed::section::kDiscovery, "end4", "255"}}};
inline constexpr signfeed::SettingKey kPort{signfeed::section::kDiscovery, "Port", "16001"};
}  // namespace key

// The per-user store: read only, never written by the program.
inline constexpr std::string_view kUserStoreSection = "Settings";
inline constexpr std::string_view kUserStoreLeft = "MainLeft";
inline constexpr std::string_view kUserStoreTop = "MainTop";
inline constexpr int kDefaultWindowEdgeTwips = 1000;

// $XDG_CONFIG_HOME/orlavo/window.ini (~/.config/orlavo/window.ini).
[[nodiscard]] std::filesystem::path userStorePath();

}  // namespace orlavo::discovery
