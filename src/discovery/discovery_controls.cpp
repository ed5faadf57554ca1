#include "discovery/discovery_controls.h"

#include "discovery/discovery_settings.h"
#include "platform/app_paths.h"

namespace orlavo::discovery {

DiscoveryControls designedControls()
{
    using F = DiscoveryField;
    DiscoveryControls c;
    auto text = [&c](F f, const char* t) { c[static_cast<std::size_t>(f)].text = t; };
    text(F::Title, "Velmor Digital Clock IP Address Discovery and Control");
    text(F::StartRangeCaption, "Starting IP Address Range");
    text(F::EndRangeCaption, "Ending IP Address Range");
    for (F octet : {F::StartOctet1, F::StartOctet2, F::StartOctet3, F::StartOctet4, F::EndOctet1, F::EndOctet2, F::EndOctet3, F::EndOctet4}) {
        text(octet, "255");
    }
    for (F dot : {F::Dot1, F::Dot2, F::Dot3, F::Dot4, F::Dot5, F::Dot6}) {
        text(dot, ".");
    }
    text(F::SetAllTo255, "Set all to 255");
    text(F::Locate, "Locate All Clocks in the above Address Range");
    text(F::SearchingCaption, "Searching:");
    text(F::SearchedAddress, "Label13");
    text(F::RepliesHint, "Click on  the above items to set the control program to clock's Ethernet address.");
    text(F::SignAddress, "Text1");
    text(F::Browse, "Browse");
    text(F::Telnet, "Telnet");
    text(F::DiscoveryPort, "16000");
    text(F::PortCaption, "Discovery Port Address");
    text(F::PortHint, "16000=old, 16001=Ethernet Firmware Version 5.5 or Later");
    text(F::Help, "To access a clock when the IP address is known, enter the dotted quad IP address and click on "
                    "the Browse button.  If Browse does not work, try clicking on the Telnet button.");
    text(F::Exit, "E&xit");
    return c;
}

std::filesystem::path userStorePath()
{
    return platform::userConfigDir() / "window.ini";
}

}  // namespace orlavo::discovery
