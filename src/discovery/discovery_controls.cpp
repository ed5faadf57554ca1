#include "discovery/discovery_controls.h"

#include "discovery/discovery_settings.h"
#include "platform/app_paths.h"

namespace orlavo::discovery {

DiscoveryControls designedControls()
{
    using F = DiscoveryField;
    DiscoveryControls c;
    auto text = [&c](F f, const char* t) { c[static_cast<std::size_t>(f)].text = t; };
    text(F::Label12, "Velmor Digital Clock IP Address Discovery and Control");
    text(F::Label9, "Starting IP Address Range");
    text(F::Label10, "Ending IP Address Range");
    for (F octet : {F::Text3, F::Text4, F::Text5, F::Text6, F::Text7, F::Text8, F::Text9, F::Text10}) {
        text(octet, "255");
    }
    for (F dot : {F::Label3, F::Label4, F::Label5, F::Label6, F::Label7, F::Label8}) {
        text(dot, ".");
    }
    text(F::Command2, "Set all to 255");
    text(F::Command5, "Locate All Clocks in the above Address Range");
    text(F::Label11, "Searching:");
    text(F::Label13, "Label13");
    text(F::Label1, "Click on  the above items to set the control program to clock's Ethernet address.");
    text(F::Text1, "Text1");
    text(F::Command1, "Browse");
    text(F::Command3, "Telnet");
    text(F::DiscoveryPort, "16000");
    text(F::Label14, "Discovery Port Address");
    text(F::Label15, "16000=old, 16001=Ethernet Firmware Version 5.5 or Later");
    text(F::Label2, "To access a clock when the IP address is known, enter the dotted quad IP address and click on "
                    "the Browse button.  If Browse does not work, try clicking on the Telnet button.");
    text(F::CmdOk, "E&xit");
    return c;
}

std::filesystem::path userStorePath()
{
    return platform::userConfigDir() / "window.ini";
}

}  // namespace orlavo::discovery
