#pragma once
// How orlavod reaches an MQTT broker: filled from the command line or the
// service's config file ([Mqtt]); the bridge is off while broker is empty.
#include <optional>
#include <string>
#include <string_view>

namespace orlavo::tools {

struct MqttOptions {
    std::string broker;  // "HOST", "HOST:PORT" or "[V6]:PORT"; empty: no MQTT
    std::string user;
    std::string passwordFile;  // its first line is the password
    bool tls = false;          // the system's certificate store, unless caFile names one
    std::string caFile;        // implies tls
    std::string prefix = "orlavo";
    std::string discoveryPrefix = "homeassistant";
    bool discovery = true;

    bool operator==(const MqttOptions&) const = default;
};

struct BrokerAddress {
    std::string host;
    int port = 0;
};

// The broker's host and port (1883, or 8883 with TLS, when none is given);
// empty when the text is no HOST[:PORT].
[[nodiscard]] std::optional<BrokerAddress> parseBroker(std::string_view text, bool tls);

// A topic prefix the bridge can publish under: not empty, no wildcards, no
// control characters, no empty level. Empty when it is one; the reason otherwise.
[[nodiscard]] std::optional<std::string> prefixProblem(std::string_view prefix);

// Everything wrong with options that shows before connecting: the broker's
// address, the prefixes, a password without a user. Empty when they are good.
[[nodiscard]] std::optional<std::string> mqttOptionsProblem(const MqttOptions& options);

struct PasswordRead {
    std::optional<std::string> password;
    std::string error;  // set when password is empty
};

// The first line of path, without its line end; bounded, since a password
// file is a few bytes and anything larger is the wrong file.
[[nodiscard]] PasswordRead readPasswordFile(const std::string& path);

}  // namespace orlavo::tools
