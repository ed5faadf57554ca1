#pragma once
// The real ports of the program: the system clock, a poll loop, the settings
// file on disk, sockets, the serial device and messages on stderr.
#include "headless_program.h"
#include "stderr_sink.h"

#include "platform/clock.h"
#include "platform/connectivity.h"
#include "platform/poll_event_loop.h"
#include "platform/posix_serial_port.h"
#include "platform/posix_udp_endpoint.h"
#include "platform/profile_file.h"

#include <filesystem>

namespace orlavo::tools {

struct SystemPorts {
    explicit SystemPorts(const std::filesystem::path& settingsPath) : settings(settingsPath) {}

    [[nodiscard]] ProgramPorts ports() { return ProgramPorts{clock, loop, settings, udp, serial, connectivity, sink}; }

    platform::SystemClock clock;
    platform::PollEventLoop loop{clock};
    platform::DiskProfileFile settings;
    platform::PosixUdpEndpoint udp{loop};
    platform::PosixSerialPort serial;
    platform::SystemConnectivity connectivity;
    StderrSink sink;
};

}  // namespace orlavo::tools
