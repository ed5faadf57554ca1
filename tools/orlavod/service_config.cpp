#include "service_config.h"

#include "platform/profile_file.h"
#include "platform/profile_text.h"
#include "platform/whole_file.h"

namespace orlavo::tools {

namespace {

enum class Kind { Value, OnWhenOne, OnWhenZero };

struct ConfigKey {
    const char* section;
    const char* key;
    const char* flag;
    Kind kind;
};

constexpr ConfigKey kKeys[] = {
    {"Web", "Listen", "--web", Kind::Value},
    {"Web", "Token", "--web-token", Kind::Value},
    {"Web", "TokenFile", "--web-token-file", Kind::Value},
    {"Web", "Certificate", "--web-cert", Kind::Value},
    {"Web", "Key", "--web-key", Kind::Value},
    {"Mqtt", "Broker", "--mqtt", Kind::Value},
    {"Mqtt", "User", "--mqtt-user", Kind::Value},
    {"Mqtt", "PasswordFile", "--mqtt-password-file", Kind::Value},
    {"Mqtt", "Tls", "--mqtt-tls", Kind::OnWhenOne},
    {"Mqtt", "CaFile", "--mqtt-cafile", Kind::Value},
    {"Mqtt", "Prefix", "--mqtt-prefix", Kind::Value},
    {"Mqtt", "DiscoveryPrefix", "--mqtt-discovery-prefix", Kind::Value},
    {"Mqtt", "Discovery", "--mqtt-no-discovery", Kind::OnWhenZero},
};

}  // namespace

ConfigArgs serviceConfigArgs(std::string_view fileBytes)
{
    ConfigArgs result;
    for (const ConfigKey& key : kKeys) {
        const std::optional<std::string> value = platform::profile::lookup(fileBytes, key.section, key.key);
        if (!value || value->empty()) {
            continue;
        }
        if (key.kind == Kind::Value) {
            result.args.insert(result.args.end(), {key.flag, *value});
            continue;
        }
        if (*value != "0" && *value != "1") {
            return {{}, std::string("[") + key.section + "] " + key.key + "= must be 0 or 1, not \"" + *value + "\""};
        }
        if ((*value == "1") == (key.kind == Kind::OnWhenOne)) {
            result.args.emplace_back(key.flag);
        }
    }
    return result;
}

ServiceArgs withServiceConfig(const std::vector<std::string>& args, const std::optional<std::string>& configPath,
                              const std::filesystem::path& defaultPath)
{
    const std::filesystem::path path = configPath ? std::filesystem::path(*configPath) : defaultPath;
    const platform::RegularFileRead read = platform::readRegularFile(path, platform::kMaxProfileBytes);
    if (read.error) {
        return {{}, path.string() + " not read: " + read.error->description};
    }
    if (!read.bytes) {
        if (configPath) {
            return {{}, path.string() + " does not exist"};
        }
        return {args, {}};
    }
    ConfigArgs config = serviceConfigArgs(*read.bytes);
    if (!config.error.empty()) {
        return {{}, path.string() + ": " + config.error};
    }
    config.args.insert(config.args.end(), args.begin(), args.end());
    return {std::move(config.args), {}};
}

}  // namespace orlavo::tools
