// orlavod: the sign feed program without a window.
#include "cli_options.h"
#include "runner.h"
#include "service_config.h"

#include "orlavo_version.h"
#include "platform/app_paths.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    using namespace orlavo::tools;
    std::vector<std::string> args(argv + 1, argv + argc);
    CliParse parsed = parseCommandLine(args);
    if (parsed.options && parsed.options->command == Command::Service) {
        // The remote controls' settings file comes first: what the command line says wins.
        ServiceArgs service =
            withServiceConfig(args, parsed.options->configPath, orlavo::platform::userConfigDir() / kServiceConfigName);
        if (!service.error.empty()) {
            std::fprintf(stderr, "orlavod: %s\n", service.error.c_str());
            return 2;
        }
        parsed = parseCommandLine(service.args);
    }
    if (!parsed.options) {
        std::fprintf(stderr, "orlavod: %s\n%s", parsed.error.c_str(), usageText());
        return 2;
    }
    const CliOptions& options = *parsed.options;
    switch (options.command) {
    case Command::Help:
        std::fputs(usageText(), stdout);
        return 0;
    case Command::Version:
        std::printf("orlavod %s\n", ORLAVO_VERSION);
        return 0;
    default:
        return runCommand(options);
    }
}
