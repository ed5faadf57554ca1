#include "mqtt/mqtt_options.h"

#include "platform/whole_file.h"

#include <charconv>

namespace orlavo::tools {

namespace {

// A password file holds one line; a larger file is the wrong one.
constexpr std::size_t kMaxPasswordFileBytes = 4096;

bool controlCharacter(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7f;
}

std::optional<int> portOf(std::string_view text)
{
    int port = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || port < 1 || port > 65535) {
        return std::nullopt;
    }
    return port;
}

// Host names are at most 253 characters; the resolver judges the rest.
bool hostLooksValid(std::string_view host)
{
    if (host.empty() || host.size() > 253) {
        return false;
    }
    for (const char c : host) {
        if (controlCharacter(c) || c == ' ' || c == '/' || c == '[' || c == ']') {
            return false;
        }
    }
    return true;
}

}  // namespace

std::optional<BrokerAddress> parseBroker(std::string_view text, bool tls)
{
    BrokerAddress address{std::string(), tls ? 8883 : 1883};
    std::string_view host = text;
    std::string_view port;
    if (!text.empty() && text.front() == '[') {  // [::1]:1883
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        host = text.substr(1, close - 1);
        std::string_view rest = text.substr(close + 1);
        if (!rest.empty() && (rest.front() != ':' || (port = rest.substr(1)).empty())) {
            return std::nullopt;
        }
    } else if (const std::size_t colon = text.rfind(':'); colon != std::string_view::npos) {
        if (text.find(':') != colon) {
            return std::nullopt;  // a bare IPv6 address needs its brackets
        }
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
        if (port.empty()) {
            return std::nullopt;
        }
    }
    if (!hostLooksValid(host)) {
        return std::nullopt;
    }
    if (!port.empty()) {
        const std::optional<int> number = portOf(port);
        if (!number) {
            return std::nullopt;
        }
        address.port = *number;
    }
    address.host = std::string(host);
    return address;
}

std::optional<std::string> prefixProblem(std::string_view prefix)
{
    if (prefix.empty()) {
        return std::string("is empty");
    }
    if (prefix.size() > 200) {
        return std::string("is over 200 characters long");
    }
    for (const char c : prefix) {
        if (c == '+' || c == '#') {
            return std::string("holds the wildcard '") + c + "'";
        }
        if (controlCharacter(c)) {
            return std::string("holds a control character");
        }
    }
    if (prefix.front() == '/' || prefix.back() == '/' || prefix.find("//") != std::string_view::npos) {
        return std::string("has an empty level (a '/' at its start or end, or two in a row)");
    }
    return std::nullopt;
}

std::optional<std::string> mqttOptionsProblem(const MqttOptions& options)
{
    if (!parseBroker(options.broker, options.tls || !options.caFile.empty())) {
        return "the broker \"" + options.broker + "\" is no HOST or HOST:PORT (port 1 to 65535; [ADDRESS]:PORT for IPv6)";
    }
    if (auto problem = prefixProblem(options.prefix)) {
        return "the topic prefix \"" + options.prefix + "\" " + *problem;
    }
    if (auto problem = prefixProblem(options.discoveryPrefix); problem && options.discovery) {
        return "the discovery prefix \"" + options.discoveryPrefix + "\" " + *problem;
    }
    if (!options.passwordFile.empty() && options.user.empty()) {
        return std::string("a password file needs a user name as well");
    }
    return std::nullopt;
}

PasswordRead readPasswordFile(const std::string& path)
{
    platform::RegularFileRead read = platform::readRegularFile(path, kMaxPasswordFileBytes);
    if (read.error) {
        return {std::nullopt, "the password file cannot be read: " + read.error->description};
    }
    if (!read.bytes) {
        return {std::nullopt, "the password file " + path + " does not exist"};
    }
    std::string line = read.bytes->substr(0, read.bytes->find('\n'));
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    if (line.empty()) {
        return {std::nullopt, "the password file " + path + " starts with an empty line"};
    }
    return {line, {}};
}

}  // namespace orlavo::tools
