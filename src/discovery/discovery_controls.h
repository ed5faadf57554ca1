#pragma once
// The discovery window's controls as plain fields, so its logic runs and is
// tested without a user interface; the dialog binds widgets to them.
#include "signfeed/window_controls.h"

#include <array>
#include <cstddef>
#include <string_view>

namespace orlavo::discovery {

enum class DiscoveryField {
    Label12,   // title line
    Label9,    // "Starting IP Address Range"
    Text3,     // octets 1-4 of the first address
    Text4,
    Text5,
    Text6,
    Label10,   // "Ending IP Address Range"
    Text7,     // octets 1-4 of the last address
    Text8,
    Text9,
    Text10,
    Label3,    // Label3 to Label8: the dots between the octet fields
    Label4,
    Label5,
    Label6,
    Label7,
    Label8,
    Command2,  // "Set all to 255"
    Command5,  // Locate; disabled during a walk
    Label11,   // "Searching:"; visible during a walk
    Label13,   // the address being walked; visible during a walk
    List1,     // one entry per reply, in order of arrival
    Label1,    // instruction under the list
    Hostname,  // name of the chosen sign
    Text1,     // the sign address
    Command1,  // "Browse"
    Command3,  // "Telnet"
    DiscoveryPort,
    Label14,   // "Discovery Port Address"
    Label15,   // what the two port values mean
    Label2,    // help text
    CmdOk,     // "E&xit"
    Count
};

inline constexpr std::size_t kDiscoveryFieldCount = static_cast<std::size_t>(DiscoveryField::Count);
using DiscoveryControls = std::array<signfeed::Control, kDiscoveryFieldCount>;

inline constexpr std::string_view kDiscoveryCaption = "Clock IP Discovery";
// Inner area of the window, in twips.
inline constexpr int kDiscoveryWidthTwips = 9675;
inline constexpr int kDiscoveryHeightTwips = 9015;

// Typing stops at these lengths; texts read from data.ini are taken whole.
inline constexpr std::size_t kOctetMaxChars = 3;
inline constexpr std::size_t kPortMaxChars = 5;

// The controls as the window is designed, before its load runs.
[[nodiscard]] DiscoveryControls designedControls();

}  // namespace orlavo::discovery
