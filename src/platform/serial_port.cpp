#include "platform/serial_port.h"

#include <charconv>

namespace orlavo::platform {

namespace {

std::optional<int> parseInt(std::string_view text)
{
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<LineSettings> parseLineSettings(std::string_view text)
{
    std::string_view parts[4];
    for (int i = 0; i < 4; ++i) {
        std::size_t comma = text.find(',');
        if ((comma == std::string_view::npos) != (i == 3)) {
            return std::nullopt;
        }
        parts[i] = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    }
    LineSettings s;
    auto baud = parseInt(parts[0]);
    auto data = parseInt(parts[2]);
    auto stop = parseInt(parts[3]);
    if (!baud || !data || !stop || parts[1].size() != 1) {
        return std::nullopt;
    }
    s.baud = *baud;
    s.parity = static_cast<char>(parts[1][0] | 0x20);
    s.dataBits = *data;
    s.stopBits = *stop;
    const bool parityOk = std::string_view("neoms").find(s.parity) != std::string_view::npos;
    if (!parityOk || s.dataBits < 5 || s.dataBits > 8 || (s.stopBits != 1 && s.stopBits != 2) || s.baud <= 0) {
        return std::nullopt;
    }
    return s;
}

std::string serialDeviceForPort(int portNumber)
{
    return "/dev/ttyS" + std::to_string(portNumber - 1);
}

}  // namespace orlavo::platform
