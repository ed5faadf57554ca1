#pragma once
// The service's own settings file, orlavod.conf: the remote controls (the web
// page and MQTT), which belong to the box rather than to one sign. Its keys
// stand for command-line flags and are read as those flags, so both take the
// same checks; flags given on the command line come after them and win.
//
//     [Web]  Listen= Token= TokenFile= Certificate= Key=
//     [Mqtt] Broker= User= PasswordFile= Tls= CaFile= Prefix= DiscoveryPrefix=
//     Discovery=
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orlavo::tools {

inline constexpr const char* kServiceConfigName = "orlavod.conf";

struct ConfigArgs {
    std::vector<std::string> args;  // the flags the file's keys stand for
    std::string error;  // a key whose value cannot be a flag's; args is empty then
};

// The flags of the file's keys, in the order of the table above; keys that are missing or empty give none.
[[nodiscard]] ConfigArgs serviceConfigArgs(std::string_view fileBytes);

// The file's flags placed before args, for the service; args unchanged for
// any other command or when the file is missing (and named nowhere). A file
// named by --config that cannot be read, or a wrong key: error set, the message naming the file.
struct ServiceArgs {
    std::vector<std::string> args;
    std::string error;
};
[[nodiscard]] ServiceArgs withServiceConfig(const std::vector<std::string>& args,
                                            const std::optional<std::string>& configPath,
                                            const std::filesystem::path& defaultPath);

}  // namespace orlavo::tools
