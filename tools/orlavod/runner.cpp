#include "runner.h"

#include "compose_command.h"
#include "once_command.h"
#include "stderr_sink.h"

#include "orlavo_version.h"
#include "platform/clock.h"
#include "platform/poll_event_loop.h"
#include "platform/posix_serial_port.h"
#include "platform/posix_udp_endpoint.h"
#include "platform/profile_file.h"
#include "signfeed/main_window_model.h"
#include "signfeed/settings.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace orlavo::tools {

namespace {

namespace fs = std::filesystem;

fs::path executableDir()
{
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::current_path(ec) : exe.parent_path();
}

// A missing settings directory is created so a first start can write its file.
bool prepareSettingsDir(const fs::path& path)
{
    std::error_code ec;
    fs::path dir = path.parent_path();
    if (!dir.empty() && !fs::exists(dir, ec)) {
        fs::create_directories(dir, ec);
        if (ec) {
            std::fprintf(stderr, "orlavod: cannot create %s: %s\n", dir.c_str(), ec.message().c_str());
            return false;
        }
    }
    return true;
}

int runInit(const fs::path& settingsPath)
{
    if (!prepareSettingsDir(settingsPath)) {
        return 2;
    }
    platform::SystemClock clock;
    platform::PollEventLoop loop(clock);
    platform::DiskProfileFile settings(settingsPath);
    platform::PosixUdpEndpoint udp(loop);
    platform::PosixSerialPort serial;
    StderrSink sink;
    signfeed::MainWindowModel window(signfeed::MainWindowDeps{clock, loop, settings, udp, serial, sink},
                                     signfeed::MainWindowOptions{signfeed::kSignPort, ORLAVO_VERSION});
    window.load();
    window.close();
    return 0;
}

}  // namespace

int runCommand(const CliOptions& options)
{
    fs::path settingsPath = signfeed::resolveSettingsPath(
        options.settingsPath ? std::optional<fs::path>(*options.settingsPath) : std::nullopt, executableDir());
    switch (options.command) {
    case Command::Init:
        return runInit(settingsPath);
    case Command::Once:
        return runOnce(settingsPath);
    case Command::Compose:
        return runCompose(settingsPath, options.positional.at(0));
    default:
        std::fprintf(stderr, "orlavod: this command is not available yet\n");
        return 2;
    }
}

}  // namespace orlavo::tools
