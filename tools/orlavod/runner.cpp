#include "runner.h"

#include "announce_command.h"
#include "compose_command.h"
#include "demo_command.h"
#include "discover_command.h"
#include "headless_program.h"
#include "once_command.h"
#include "service_command.h"
#include "sign_roster.h"
#include "system_ports.h"

#include "platform/app_paths.h"
#include "platform/code_page.h"
#include "platform/profile_file.h"
#include "platform/whole_file.h"
#include "shared/settings.h"

#include <cstdio>
#include <filesystem>

namespace orlavo::tools {

namespace {

namespace fs = std::filesystem;

// A missing settings directory is created so a first start can write its file.
bool prepareSettingsDir(const fs::path& path)
{
    if (std::optional<std::string> failure = platform::createParentDir(path)) {
        std::fprintf(stderr, "orlavod: %s\n", failure->c_str());
        return false;
    }
    return true;
}

int runInit(const fs::path& settingsPath, bool existed)
{
    if (!prepareSettingsDir(settingsPath)) {
        return 2;
    }
    SystemPorts system(settingsPath);
    // Port 0: init sends nothing, so it must not take the sign port from a running program.
    FeedProgram program(system.ports(), 0);
    program.load();
    program.close();
    // A failed write has said so already.
    if (!program.window().closeWriteFailed()) {
        std::fprintf(stderr, "orlavod: %s %s\n", settingsPath.c_str(),
                     existed ? "written, its values kept and missing keys added" : "created with every key of a first start");
    }
    return 0;
}

// The signs of --settings and --signs, named and checked; empty after saying why not.
std::vector<SignEntry> signsOf(const CliOptions& options)
{
    std::vector<fs::path> paths(options.settingsPaths.begin(), options.settingsPaths.end());
    if (options.signsDir) {
        Roster folder = signFilesIn(*options.signsDir);
        if (!folder.error.empty()) {
            std::fprintf(stderr, "orlavod: %s\n", folder.error.c_str());
            return {};
        }
        for (const SignEntry& entry : folder.signs) {
            paths.push_back(entry.settingsPath);
        }
    }
    Roster roster = nameSigns(paths);
    if (!roster.error.empty()) {
        std::fprintf(stderr, "orlavod: %s\n", platform::escapeControls(roster.error).c_str());
    }
    return roster.signs;
}

int runSigns(const CliOptions& options, const std::vector<SignEntry>& signs)
{
    if (options.command == Command::Compose) {
        return runCompose(signs, options.positional.at(0));
    }
    for (const SignEntry& sign : signs) {
        if (!prepareSettingsDir(sign.settingsPath)) {
            return 2;
        }
    }
    if (options.command == Command::Once) {
        return runOnce(signs, options.limits, options.verbose);
    }
    return runService(signs,
                      ServiceOptions{options.verbose, options.updateNow, options.limits, options.web, options.mqtt});
}

}  // namespace

namespace {

// The web control's options as they will run: the token file read, and
// refused with a sentence when they cannot start.
bool prepareWeb(CliOptions& options)
{
    if (options.web.listen.empty()) {
        const WebOptions& web = options.web;
        if (!web.token.empty() || !options.webTokenFile.empty() || !web.certFile.empty() || !web.keyFile.empty()) {
            std::fprintf(stderr, "orlavod: the web options need --web ADDR:PORT (or [Web] Listen= in orlavod.conf)\n");
            return false;
        }
        return true;
    }
    if (!options.webTokenFile.empty()) {
        TokenRead read = readTokenFile(options.webTokenFile);
        if (!read.error.empty()) {
            std::fprintf(stderr, "orlavod: %s\n", read.error.c_str());
            return false;
        }
        options.web.token = read.token;
    }
    if (std::optional<std::string> error = checkWebOptions(options.web)) {
        std::fprintf(stderr, "orlavod: %s\n", error->c_str());
        return false;
    }
    return true;
}

}  // namespace

int runCommand(const CliOptions& given)
{
    CliOptions options = given;
    if (!prepareWeb(options)) {
        return 2;
    }
    if (options.command == Command::Demo) {
        return runDemo();
    }
    if (options.command == Command::Announce) {
        return runAnnounce(options);
    }
    if (options.settingsPaths.size() > 1 || options.signsDir) {
        std::vector<SignEntry> signs = signsOf(options);
        return signs.empty() ? 2 : runSigns(options, signs);
    }
    fs::path settingsPath = signfeed::resolveSettingsPath(
        options.settingsPath ? std::optional<fs::path>(*options.settingsPath) : std::nullopt,
        platform::executableDir());
    // Run on defaults, a file that exists but cannot be read would send to the
    // default feeds and broadcast: stop before anything is sent or written.
    const platform::RegularFileRead read = platform::readRegularFile(settingsPath, platform::kMaxProfileBytes);
    if (read.error) {
        std::fprintf(stderr, "orlavod: settings file not read, nothing sent or written: %s\n",
                     read.error->description.c_str());
        return 2;
    }
    // A file named on the command line that is not there is most likely a
    // typo: running on defaults would send to the default feeds and broadcast.
    if (!read.bytes && options.settingsPath && options.command != Command::Init) {
        std::fprintf(stderr,
                     "orlavod: settings file %s does not exist, nothing sent or written; "
                     "create it with `orlavod init --settings %s`\n",
                     settingsPath.c_str(), settingsPath.c_str());
        return 2;
    }
    switch (options.command) {
    case Command::Init:
        return runInit(settingsPath, read.bytes.has_value());
    case Command::Discover:
        return runDiscover(settingsPath);
    case Command::Once:
    case Command::Service:
    case Command::Compose: {
        // One sign: its name shows only to the service's remote controls,
        // which name it as they would among several.
        if (options.command == Command::Service && read.bytes) {
            const Roster roster = nameSigns({settingsPath});
            if (!roster.error.empty()) {
                std::fprintf(stderr, "orlavod: %s\n", platform::escapeControls(roster.error).c_str());
                return 2;
            }
            return runSigns(options, roster.signs);
        }
        const SignEntry sign{settingsPath, settingsPath.stem().string()};
        return runSigns(options, {sign});
    }
    default:
        std::fprintf(stderr, "orlavod: unknown command\n");
        return 2;
    }
}

}  // namespace orlavo::tools
