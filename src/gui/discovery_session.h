#pragma once
// The main window's way into discovery: one call builds the dialog with what
// it owns for its lifetime (its UDP endpoint, the window-position store, a
// Telnet launcher, the browser windows) and runs it modally.
#include "discovery/browser_factory.h"
#include "platform/clock.h"
#include "platform/event_loop.h"
#include "platform/process_launcher.h"
#include "platform/profile_file.h"
#include "platform/udp_endpoint.h"
#include "signfeed/main_window_model.h"
#include "shared/message_sink.h"

class QWidget;

namespace orlavo::gui {

// What the main window lends; all of it outlives the dialog.
struct DiscoveryDialogPorts {
    platform::Clock& clock;
    platform::EventLoop& loop;
    platform::ProfileFile& settings;  // data.ini
    signfeed::MessageSink& messages;
    signfeed::MainWindowModel& mainWindow;
};

// Stand-ins for what the session otherwise makes itself; tests fill them.
struct DiscoverySessionSeams {
    platform::UdpEndpoint* udp = nullptr;
    const platform::ProfileFile* userStore = nullptr;
    platform::ProcessLauncher* launcher = nullptr;
    discovery::BrowserFactory* browsers = nullptr;
};

// Returns when the dialog has closed and its close sequence has run.
void runDiscoveryDialog(QWidget* parent, const DiscoveryDialogPorts& ports, const DiscoverySessionSeams& seams = {});

}  // namespace orlavo::gui
