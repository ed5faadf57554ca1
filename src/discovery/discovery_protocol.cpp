#include "discovery/discovery_protocol.h"

#include "platform/code_page.h"
#include "platform/port_number.h"
#include "shared/text_numbers.h"

#include <array>
#include <cmath>
#include <cstdio>

namespace orlavo::discovery {

namespace {

constexpr std::size_t kMacColumn = 3;    // 0-based start of the 12 MAC digits
constexpr std::size_t kIpColumn = 16;    // 0-based start of the 15 address characters
constexpr std::size_t kIpLength = 15;
constexpr std::size_t kNameColumn = 32;  // 0-based start of the name
// Where the name starts in a named list line ("IP: " 4 + 15 + tab + 8 + 17 + 11).
constexpr std::size_t kLineNameColumn = 56;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isHexDigit(char c)
{
    return isDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// Control bytes, and the bytes windows-1252 leaves unassigned (they decode
// to C1 controls), must not reach a list, a label or a terminal.
std::string replyText(std::string_view bytes)
{
    std::string cleaned(bytes);
    for (char& c : cleaned) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F || b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) {
            c = ' ';
        }
    }
    return platform::cp1252ToUtf8(cleaned);
}

// A range field must be wholly a number: a leading-number read would take
// "1e2" as 1 or "10x" as 10 and walk addresses the operator never meant.
// Blanks anywhere are ignored and an empty field is 0, as for fieldNumberOf.
std::optional<double> octetNumberOf(std::string_view text)
{
    std::string compact;
    for (char c : text) {
        if (c != ' ' && c != '\t') {
            compact += c;
        }
    }
    return compact.empty() ? std::optional<double>(0.0) : signfeed::decimalNumberOf(compact);
}

}  // namespace

double fieldNumberOf(std::string_view text)
{
    std::string compact;
    for (char c : text) {
        if (c != ' ' && c != '\t') {
            compact += c;
        }
    }
    return signfeed::leadingNumberOf(compact);
}

long long roundHalfEven(double value)
{
    // Fields hold at most five characters, but a line or a test may not.
    if (!std::isfinite(value) || std::fabs(value) > 1e15) {
        return 0;
    }
    return static_cast<long long>(std::nearbyint(value));
}

std::optional<DiscoveryReply> parseReply(std::string_view datagram, bool named)
{
    if (datagram.size() < kMinReplyBytes || !datagram.starts_with("*$")) {
        return std::nullopt;
    }
    std::string_view ip = datagram.substr(kIpColumn, kIpLength);
    if (ip[3] != '.') {
        return std::nullopt;
    }
    for (char c : ip) {
        if (!isDigit(c) && c != '.') {
            return std::nullopt;
        }
    }
    DiscoveryReply reply;
    reply.ip = std::string(ip);
    std::string macBytes;
    for (std::size_t pair = 0; pair < 6; ++pair) {
        macBytes += (pair == 0 ? "" : "-");
        macBytes += datagram.substr(kMacColumn + 2 * pair, 2);
    }
    reply.mac = replyText(macBytes);
    if (named && datagram.size() > kNameColumn) {
        reply.name = replyText(datagram.substr(kNameColumn, kMaxNameBytes));
    }
    return reply;
}

std::string formatListLine(const DiscoveryReply& reply, bool named)
{
    std::string line = "IP: " + reply.ip + "\t   MAC: " + reply.mac;
    if (named) {
        line += "     NAME: " + reply.name;
    }
    return line;
}

std::optional<LineReading> readListLine(std::string_view line, bool named)
{
    if (line.empty()) {
        return std::nullopt;
    }
    LineReading reading;
    for (std::size_t octet = 0; octet < 4; ++octet) {
        const std::size_t at = 4 + 4 * octet;
        const std::string_view digits = at < line.size() ? line.substr(at, 3) : std::string_view();
        reading.address += (octet == 0 ? "" : ".") + std::to_string(roundHalfEven(fieldNumberOf(digits)));
    }
    if (named && line.size() > kLineNameColumn) {
        reading.name = std::string(line.substr(kLineNameColumn));
    }
    return reading;
}

std::optional<std::string> buildReply(std::string_view mac, std::string_view ip, std::string_view name)
{
    if (mac.size() != 12) {
        return std::nullopt;
    }
    for (char c : mac) {
        if (!isHexDigit(c)) {
            return std::nullopt;
        }
    }
    std::array<int, 4> octets{};
    char tail = 0;
    if (std::sscanf(std::string(ip).c_str(), "%3d.%3d.%3d.%3d%c", &octets[0], &octets[1], &octets[2], &octets[3],
                    &tail) != 4) {
        return std::nullopt;
    }
    char padded[16] = {};
    for (int o : octets) {
        if (o < 0 || o > 255) {
            return std::nullopt;
        }
    }
    std::snprintf(padded, sizeof padded, "%03d.%03d.%03d.%03d", octets[0], octets[1], octets[2], octets[3]);
    std::string nameField = platform::utf8ToCp1252(name).substr(0, kMaxNameBytes);
    nameField.resize(kMaxNameBytes, ' ');
    return "*$M" + std::string(mac) + "I" + padded + "N" + nameField;
}

RangeParse parseRange(const RangeTexts& texts)
{
    static constexpr std::array<const char*, 4> kOrdinals{"first", "second", "third", "fourth"};
    DiscoveryRange range;
    for (std::size_t i = 0; i < 8; ++i) {
        const bool isStart = i < 4;
        const std::string& text = isStart ? texts.start[i] : texts.end[i - 4];
        const std::optional<double> value = octetNumberOf(text);
        if (!value || *value < 0 || *value > 255) {
            return RangeParse{std::nullopt, std::string("The ") + kOrdinals[i % 4] + " octet of the " +
                                                (isStart ? "starting" : "ending") + " address, \"" + text +
                                                "\", is not a number from 0 to 255."};
        }
        (isStart ? range.start : range.end)[i % 4] = static_cast<int>(roundHalfEven(*value));
    }
    return RangeParse{range, {}};
}

std::uint64_t walkLength(const DiscoveryRange& range)
{
    std::uint64_t length = 1;
    for (std::size_t i = 0; i < 4; ++i) {
        if (range.start[i] > range.end[i]) {
            return 0;
        }
        length *= static_cast<std::uint64_t>(range.end[i] - range.start[i] + 1);
    }
    return length;
}

std::array<int, 4> walkAddress(const DiscoveryRange& range, std::uint64_t index)
{
    std::array<int, 4> octets{};
    for (std::size_t i = 4; i-- > 0;) {
        const int width = range.end[i] - range.start[i] + 1;
        const auto span = static_cast<std::uint64_t>(width > 0 ? width : 1);
        octets[i] = range.start[i] + static_cast<int>(index % span);
        index /= span;
    }
    return octets;
}

std::string dottedText(const std::array<int, 4>& octets)
{
    return std::to_string(octets[0]) + "." + std::to_string(octets[1]) + "." + std::to_string(octets[2]) + "." +
           std::to_string(octets[3]);
}

std::optional<int> discoveryPortOf(std::string_view portText)
{
    auto n = signfeed::wholeNumberOf(portText);
    if (!n || !platform::isServicePort(*n)) {
        return std::nullopt;
    }
    return static_cast<int>(*n);
}

bool qualifiesForProbe(int a, int b, int c, int d)
{
    const bool all255 = a == 255 && b == 255 && c == 255 && d == 255;
    return (d < 255 && (a < 255 || b < 255 || c < 255)) || all255;
}

}  // namespace orlavo::discovery
