#include "platform/serial_port.h"

#include "platform/ascii.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <vector>

namespace orlavo::platform {
namespace {

// The rates termios can set. Rates outside this list are refused rather than
// rounded, so a typing mistake never opens the line at a wrong speed.
constexpr std::array kBaudRates{50,    75,    110,   134,    150,    200,    300,    600,
                                1200,  1800,  2400,  4800,   9600,   19200,  38400,  57600,
                                115200, 230400, 460800, 500000, 576000, 921600, 1000000};

std::string_view trimBlanks(std::string_view text)
{
    return trimIf(text, [](char c) { return c == ' '; });
}

std::vector<std::string_view> splitFields(std::string_view text)
{
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        std::size_t comma = text.find(',', start);
        fields.push_back(trimBlanks(text.substr(start, comma - start)));
        if (comma == std::string_view::npos) {
            return fields;
        }
        start = comma + 1;
    }
}

std::optional<int> parseWhole(std::string_view text)
{
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<LineSettings> parseLineSettings(std::string_view text)
{
    auto fields = splitFields(text);
    if (fields.size() != 4 || fields[1].size() != 1) {
        return std::nullopt;
    }
    auto baud = parseWhole(fields[0]);
    auto dataBits = parseWhole(fields[2]);
    auto stopBits = parseWhole(fields[3]);
    char parity = asciiLower(fields[1][0]);
    if (!baud || std::find(kBaudRates.begin(), kBaudRates.end(), *baud) == kBaudRates.end()) {
        return std::nullopt;
    }
    if (std::string_view("neoms").find(parity) == std::string_view::npos) {
        return std::nullopt;
    }
    if (!dataBits || *dataBits < 5 || *dataBits > 8 || !stopBits || (*stopBits != 1 && *stopBits != 2)) {
        return std::nullopt;
    }
    return LineSettings{*baud, parity, *dataBits, *stopBits};
}

// Com1 is the first on-board port, /dev/ttyS0. USB adapters and
// pseudo-terminals are named by path instead (the CommDevice setting).
std::string serialDeviceForPort(int portNumber)
{
    return "/dev/ttyS" + std::to_string(portNumber - 1);
}

}  // namespace orlavo::platform
