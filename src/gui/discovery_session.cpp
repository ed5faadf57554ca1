#include "gui/discovery_session.h"

#include "discovery/discovery_window_model.h"
#include "gui/browser_window_factory.h"
#include "gui/discovery_dialog.h"
#include "platform/posix_udp_endpoint.h"

#include <cstdlib>
#include <optional>

namespace orlavo::gui {

void runDiscoveryDialog(QWidget* parent, const DiscoveryDialogPorts& ports, const DiscoverySessionSeams& seams)
{
    std::optional<platform::PosixUdpEndpoint> ownUdp;
    if (seams.udp == nullptr) {
        ownUdp.emplace(ports.loop);
    }
    std::optional<platform::DiskProfileFile> ownStore;
    if (seams.userStore == nullptr) {
        ownStore.emplace(discovery::userStorePath());
    }
    platform::PosixProcessLauncher ownLauncher;
    const char* terminal = std::getenv("TERMINAL");
    discovery::TelnetLauncher telnet(seams.launcher != nullptr ? *seams.launcher : ownLauncher,
                                     terminal != nullptr ? terminal : "");
    BrowserWindowFactory ownBrowsers(parent, ports.settings, ports.messages);

    discovery::DiscoveryWindowModel model(discovery::DiscoveryWindowDeps{
        ports.clock, ports.loop, ports.settings, seams.userStore != nullptr ? *seams.userStore : *ownStore,
        seams.udp != nullptr ? *seams.udp : *ownUdp, ports.messages, ports.mainWindow,
        seams.browsers != nullptr ? seams.browsers : &ownBrowsers, &telnet});
    DiscoveryDialog dialog(model, parent);
    // Browse's windows are modal over the dialog.
    ownBrowsers.setParent(&dialog);
    model.load();
    dialog.refreshAll();
    dialog.exec();
    // Also when the dialog ended some other way (the program quitting).
    model.close();
}

}  // namespace orlavo::gui
