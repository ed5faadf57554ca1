#pragma once
// The discovery window's controls as plain fields, so its logic runs and is
// tested without a user interface; the dialog binds widgets to them.
#include "shared/control.h"

#include <array>
#include <cstddef>
#include <string_view>

namespace orlavo::discovery {

enum class DiscoveryField {  // the control each value binds to, and what it shows
    Title,              // Label12
    StartRangeCaption,  // Label9: "Starting IP Address Range"
    StartOctet1,        // Text3 to Text6: octets 1-4 of the first address
    StartOctet2,
    StartOctet3,
    StartOctet4,
    EndRangeCaption,    // Label10: "Ending IP Address Range"
    EndOctet1,          // Text7 to Text10: octets 1-4 of the last address
    EndOctet2,
    EndOctet3,
    EndOctet4,
    Dot1,               // Label3 to Label8: the dots between the octet fields
    Dot2,
    Dot3,
    Dot4,
    Dot5,
    Dot6,
    SetAllTo255,        // Command2: "Set all to 255"
    Locate,             // Command5; disabled during a walk
    SearchingCaption,   // Label11: "Searching:"; visible during a walk
    SearchedAddress,    // Label13: the address being walked; visible during a walk
    Replies,            // List1: one entry per reply, in order of arrival
    RepliesHint,        // Label1: instruction under the list
    Hostname,           // name of the chosen sign
    SignAddress,        // Text1
    Browse,             // Command1
    Telnet,             // Command3
    DiscoveryPort,
    PortCaption,        // Label14: "Discovery Port Address"
    PortHint,           // Label15: what the two port values mean
    Help,               // Label2: help text
    Exit,               // CmdOk: "E&xit"
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
