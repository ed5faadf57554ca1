#pragma once
// The main window's controls as plain fields, so the window logic runs and is
// tested without any user interface; a window binds to them.
#include "shared/control.h"

#include <array>

namespace orlavo::signfeed {

enum class Field {
    AccessPointIP,  // feed URL list; its text is the URL being edited
    Option0,        // "Use only the selected RSS feed"
    Option1,        // "Use all the RSS feeds in the list"
    Label13,        // "Downloading RSS File From Website"
    Label14,        // "Updating Sign"
    Label15,        // "Initializing Sign"
    Label17,        // "Last Update: "
    Label18,        // time of the last update
    Trss,           // preview of the messages sent
    Text3,          // maximum number of messages
    Text5,          // minutes between updates
    Text4,          // speed 1-5
    ColorScheme,
    Label19,        // "Intensity" label
    TypeFont,       // intensity list "1".."15"
    Text1,          // display IP address
    Check1,         // "Ethernet UDP"
    Command3,       // "IP Discovery"
    Check3,         // "Embedded in Clock"
    Check2,         // "Serial Communications"
    Combo1,         // comm port list "Com1".."Com255"
    Combo2,         // baud list
    Check4,         // "Smart LED Display"
    Command2,       // "Reset Sign"
    BRequest,       // "Request and Display RSS"
    Command1,       // "Exit"
    LblVersion,
    // Never shown; the logic keeps state in them.
    Text6,          // initial delay
    TUrl,
    TInfo,          // last status text of a download
    Trss2,          // text of the last document
    TSize,          // size of the last download
    TTime,
    Ck1,            // "StripHTML"
    // Shown only by this program: why updates do not run or did not succeed.
    Status,
    LinkNote,       // how the UDP link sends when it cannot have its own port
    Count
};

inline constexpr std::size_t kFieldCount = static_cast<std::size_t>(Field::Count);

using ControlSet = std::array<Control, kFieldCount>;

}  // namespace orlavo::signfeed
