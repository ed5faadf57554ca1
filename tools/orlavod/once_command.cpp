#include "once_command.h"

#include "stderr_sink.h"

#include "orlavo_version.h"
#include "platform/clock.h"
#include "platform/connectivity.h"
#include "platform/poll_event_loop.h"
#include "platform/posix_serial_port.h"
#include "platform/posix_udp_endpoint.h"
#include "platform/profile_file.h"
#include "signfeed/composer.h"
#include "signfeed/main_window_model.h"
#include "signfeed/sign_protocol.h"
#include "signfeed/update_cycle.h"

#include "pellix/rss_comp.h"

#include <algorithm>
#include <cstdio>

namespace orlavo::tools {

namespace {

// Prints the status texts as the window would show them change.
class StatusPrinter final : public signfeed::MainWindowModel::Listener {
public:
    explicit StatusPrinter(const signfeed::MainWindowModel& window) : m_window(window) {}
    void fieldChanged(signfeed::Field field) override
    {
        if (field == signfeed::Field::TInfo || field == signfeed::Field::Status) {
            const std::string& text = m_window.control(field).text;
            if (!text.empty()) {
                std::fprintf(stderr, "orlavod: %s\n", text.c_str());
            }
        }
    }

private:
    const signfeed::MainWindowModel& m_window;
};

}  // namespace

int runOnce(const std::filesystem::path& settingsPath)
{
    platform::SystemClock clock;
    platform::PollEventLoop loop(clock);
    platform::DiskProfileFile settings(settingsPath);
    platform::PosixUdpEndpoint udp(loop);
    platform::PosixSerialPort serial;
    platform::SystemConnectivity connectivity;
    StderrSink sink;
    signfeed::MainWindowModel window(signfeed::MainWindowDeps{clock, loop, settings, udp, serial, sink},
                                     signfeed::MainWindowOptions{signfeed::kSignPort, ORLAVO_VERSION});
    StatusPrinter printer(window);
    window.setListener(&printer);
    window.load();
    signfeed::SignLink link(clock, loop, udp, serial, sink);
    link.setLinkSelectionSource([&window] {
        return signfeed::LinkSelection{window.checked(signfeed::Field::Check1),
                                       window.checked(signfeed::Field::Check2)};
    });
    window.setDeferral([&link](std::function<void()> action) { link.whenIdle(std::move(action)); });
    pellix::RSSComp feed(loop, clock, connectivity);
    signfeed::Composer composer(window, link, clock);
    signfeed::UpdateCycle cycle(window, feed, composer, clock, loop);
    bool sent = false;
    struct Outcome final : signfeed::UpdateCycleObserver {
        bool* sent;
        const signfeed::SignLink* link;
        void updateFinished(const signfeed::DownloadOutcome&, const signfeed::ComposeResult& r) override
        {
            // A frame that a link failed to take (no such device, send refused) never reached the sign.
            *sent = r.sent && link->lastFrameReport().failures == 0;
            if (*sent) {
                // Characters as the wire carries them (one byte each), and the items the
                // feed really had within the limit: the limit alone counts missing items too.
                long items = std::min<long>(r.itemsUsed, r.itemCount);
                std::printf("sent %zu characters, %ld items\n", signfeed::toWireBytes(r.frame).size(), items);
            }
        }
        void updateAbandoned(const std::string&) override {}
    } observer;
    observer.sent = &sent;
    observer.link = &link;
    cycle.setObserver(&observer);
    cycle.requestUpdate();
    // The feed control bounds every download, so this ends.
    while (cycle.busy()) {
        loop.runOnce(1000);
    }
    window.setListener(nullptr);
    window.close();
    return sent ? 0 : 1;
}

}  // namespace orlavo::tools
