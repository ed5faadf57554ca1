// "orlavod discover": the discovery window's load and walk on a copy of the
// settings, so the file on disk never changes, with the list on stdout and,
// for a person at a terminal, the progress on stderr.
#include "discover_command.h"

#include "capture_links.h"
#include "stderr_sink.h"

#include "discovery/discovery_window_model.h"
#include "platform/clock.h"
#include "platform/poll_event_loop.h"
#include "platform/posix_udp_endpoint.h"
#include "platform/terminal.h"
#include "platform/whole_file.h"
#include "signfeed/main_window_model.h"

#include <fmt/format.h>

#include <cstdio>
#include <unistd.h>

namespace orlavo::tools {

namespace {

using discovery::DiscoveryField;

// Replies still on their way after the last probe.
constexpr std::int64_t kLateReplyWaitMs = 1000;

// Prints list lines as they are added and, on a terminal, one progress line
// on stderr, overwritten in place.
class DiscoverPrinter final : public discovery::DiscoveryWindowModel::Listener {
public:
    DiscoverPrinter(const discovery::DiscoveryWindowModel& window, bool progress)
        : m_window(window), m_progress(progress)
    {
    }
    ~DiscoverPrinter() { clearProgress(); }

    void fieldChanged(DiscoveryField field) override
    {
        if (field != DiscoveryField::Replies) {
            return;
        }
        const auto& entries = m_window.control(DiscoveryField::Replies).entries;
        if (entries.size() < m_printed) {
            m_printed = 0;  // a new walk emptied the list
        }
        if (m_printed == entries.size()) {
            return;
        }
        clearProgress();
        for (; m_printed < entries.size(); ++m_printed) {
            std::fprintf(stdout, "%s\n", entries[m_printed].c_str());
        }
        std::fflush(stdout);
    }

    void walkProgress(const discovery::WalkProgress& p) override
    {
        if (p.index == 1) {
            firstAddress = p.address;
        }
        lastAddress = p.address;
        walked = p.index;
        if (!m_progress) {
            return;
        }
        const std::int64_t seconds = (p.msLeft + 999) / 1000;
        std::string line = fmt::format("\rSearching: {}  {} of {}  about {}:{:02} left\x1b[K", p.address, p.index,
                                       p.total, seconds / 60, seconds % 60);
        std::fputs(line.c_str(), stderr);
        std::fflush(stderr);
        m_shown = true;
    }

    void clearProgress()
    {
        if (m_shown) {
            std::fputs("\r\x1b[K", stderr);
            std::fflush(stderr);
            m_shown = false;
        }
    }

    [[nodiscard]] std::size_t printed() const { return m_printed; }

    std::string firstAddress;
    std::string lastAddress;
    std::uint64_t walked = 0;

private:
    const discovery::DiscoveryWindowModel& m_window;
    bool m_progress;
    bool m_shown = false;
    std::size_t m_printed = 0;
};

std::string noAnswerText(const DiscoverPrinter& walk, bool ethernetOn, const std::string& port)
{
    if (walk.walked == 0) {
        return "orlavod: no address walked: a start octet of the Discovery range lies above its end\n";
    }
    const std::string range = walk.walked == 1 ? walk.firstAddress
                                               : fmt::format("{} to {} ({} addresses)", walk.firstAddress,
                                                             walk.lastAddress, walk.walked);
    if (!ethernetOn) {
        return "orlavod: no sign answered: nothing was sent to " + range +
               " because \"Ethernet UDP\" is off (CommMethod/Ethernet=0)\n";
    }
    return "orlavod: no sign answered the probes to " + range + " on UDP port " + port + "\n";
}

}  // namespace

int runDiscover(const std::filesystem::path& settingsPath)
{
    // The loads write back what they read; those writes go to this copy.
    platform::MemoryProfileFile settings(platform::readWholeFile(settingsPath));
    platform::MemoryProfileFile noUserStore;  // no window, no position
    platform::SystemClock clock;
    platform::PollEventLoop loop(clock);
    StderrSink sink;
    // The main window only answers "Ethernet UDP"; it sends nothing and binds no port.
    Transmissions unused;
    CaptureUdp signUdp(unused);
    CaptureSerial serial(unused);
    signfeed::MainWindowModel mainWindow(signfeed::MainWindowDeps{clock, loop, settings, signUdp, serial, sink},
                                         signfeed::MainWindowOptions{0, "discover"});
    mainWindow.load();
    platform::PosixUdpEndpoint udp(loop);
    discovery::DiscoveryWindowModel window(
        discovery::DiscoveryWindowDeps{clock, loop, settings, noUserStore, udp, sink, mainWindow});
    DiscoverPrinter printer(window, platform::isTerminal(STDERR_FILENO));
    window.setListener(&printer);
    window.load();
    if (window.locate() == discovery::WalkOutcome::Refused) {
        return 2;
    }
    printer.clearProgress();
    const std::int64_t deadline = clock.nowMs() + kLateReplyWaitMs;
    for (std::int64_t now = clock.nowMs(); now < deadline; now = clock.nowMs()) {
        loop.runOnce(deadline - now);
    }
    window.setListener(nullptr);
    // An empty stdout alone cannot tell a quiet network from a walk that sent nothing.
    if (printer.printed() == 0) {
        std::fputs(noAnswerText(printer, mainWindow.udpLinkOn(),
                                window.control(DiscoveryField::DiscoveryPort).text).c_str(), stderr);
    }
    return 0;
}

}  // namespace orlavo::tools
