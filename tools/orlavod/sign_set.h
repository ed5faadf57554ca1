#pragma once
// The signs one orlavod drives, by name: each its own feed program (settings
// file, feeds, link, state) on the one clock and loop of the process, all
// sending from the one sign port.
#include "headless_program.h"
#include "sign_roster.h"
#include "stderr_sink.h"

#include "platform/clock.h"
#include "platform/connectivity.h"
#include "platform/poll_event_loop.h"
#include "platform/posix_serial_port.h"
#include "platform/posix_udp_endpoint.h"
#include "platform/profile_file.h"
#include "platform/shared_udp_endpoint.h"

#include <pellix/rss_comp.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orlavo::tools {

class SignSet {
public:
    struct Sign {
        Sign(const SignEntry& entry, bool named, SignSet& set, const pellix::RSSCompLimits& limits);

        const std::string name;
        const std::filesystem::path settingsPath;
        // Starts every line printed for the sign: "lobby: " when there are
        // several, so one sign's output reads as it always has.
        const std::string linePrefix;
        platform::DiskProfileFile settings;
        platform::SharedUdpEndpoint udp;
        platform::PosixSerialPort serial;
        StderrSink sink;
        FeedProgram program;
    };

    SignSet(const std::vector<SignEntry>& entries, const pellix::RSSCompLimits& limits);
    SignSet(const SignSet&) = delete;
    SignSet& operator=(const SignSet&) = delete;

    [[nodiscard]] const std::vector<std::unique_ptr<Sign>>& signs() const { return m_signs; }
    // nullptr when no sign has the name.
    [[nodiscard]] Sign* find(std::string_view name) const;
    // Runs the loop until done() holds, checking after each turn.
    template <typename Done>
    void runUntil(Done done)
    {
        while (!done()) {
            loop.runOnce(1000);
        }
    }

    platform::SystemClock clock;
    platform::PollEventLoop loop{clock};
    platform::SystemConnectivity connectivity;

private:
    platform::PosixUdpEndpoint m_socket{loop};
    platform::UdpPortShare m_share{m_socket};
    std::vector<std::unique_ptr<Sign>> m_signs;
};

}  // namespace orlavo::tools
