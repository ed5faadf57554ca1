#pragma once
// The probe that signs answer, the acceptance and parsing of their replies,
// the list line that stands for one found sign, and the reading of such a
// line back into a sign address. Pure functions over bytes and text.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orlavo::discovery {

// Sent unchanged, as these 35 ASCII bytes, to every address that qualifies.
inline constexpr std::string_view kDiscoveryProbe = "*!xx90xxxxxxxxxxxxxxxxxxxxxTxxxxxx#";
static_assert(kDiscoveryProbe.size() == 35);

inline constexpr int kDefaultDiscoveryPort = 16001;
// Firmware that listens here sends names; the old port 16000 does not.
inline constexpr std::string_view kNamedReplyPortText = "16001";
// The sign's terminal service, reached by the Telnet button.
inline constexpr int kTelnetPort = 17000;
// Columns 1-31 carry the marker, the MAC and the address; shorter replies are dropped.
inline constexpr std::size_t kMinReplyBytes = 31;
inline constexpr std::size_t kMaxNameBytes = 20;

// Named-reply mode is a text comparison: "016001" or "16001 " do not count.
[[nodiscard]] inline bool namedReplyMode(std::string_view portText) { return portText == kNamedReplyPortText; }

// The number an octet or port field spells: blanks anywhere are ignored, then
// the decimal number at the start is read ("1 2x" is 12); no number gives 0.
[[nodiscard]] double fieldNumberOf(std::string_view text);

// Nearest whole number, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
[[nodiscard]] long long roundHalfEven(double value);

// One parsed reply. Texts are UTF-8: each reply byte became one windows-1252
// character, and control characters became blanks.
struct DiscoveryReply {
    std::string ip;    // columns 17-31 as received, e.g. "192.168.001.050"
    std::string mac;   // "00-50-C2-A1-B2-C3", letters as received
    std::string name;  // columns 33-52 in named-reply mode, else empty
};

// nullopt for anything that is not a reply: too short, no "*$", or an address
// field that is not digits and dots with a dot in column 20.
[[nodiscard]] std::optional<DiscoveryReply> parseReply(std::string_view datagram, bool named);

// "IP: <ip>\t   MAC: <mac>", plus "     NAME: <name>" when named.
[[nodiscard]] std::string formatListLine(const DiscoveryReply& reply, bool named);

// What a selected line stands for: the address with leading zeros removed
// and, in named-reply mode, the name (columns 57-76).
struct LineReading {
    std::string address;
    std::string name;
};
[[nodiscard]] std::optional<LineReading> readListLine(std::string_view line, bool named);

// The reply a sign sends: mac is 12 hex digits, ip a dotted IPv4 address,
// name up to 20 characters (padded with blanks). Used by the sign emulator.
[[nodiscard]] std::optional<std::string> buildReply(std::string_view mac, std::string_view ip,
                                                    std::string_view name);

// The eight octet fields of a walk, as the window holds them.
struct RangeTexts {
    std::array<std::string, 4> start{"255", "255", "255", "255"};
    std::array<std::string, 4> end{"255", "255", "255", "255"};
};

// The first and the last address of a walk, octet by octet.
struct DiscoveryRange {
    std::array<int, 4> start{};
    std::array<int, 4> end{};
};

// Each field read as fieldNumberOf does, except that text beyond the number
// ("1e2", "10x", "ab") and a value outside 0-255 are refused with a sentence
// naming the field, so a walk is always bounded and never leaves the range
// the operator typed.
struct RangeParse {
    std::optional<DiscoveryRange> range;
    std::string error;
};
[[nodiscard]] RangeParse parseRange(const RangeTexts& texts);

// Addresses walked: the product of the four octet spans, 0 when any start
// lies above its end.
[[nodiscard]] std::uint64_t walkLength(const DiscoveryRange& range);
// The address at position index (0-based) of the walk; the last octet varies fastest.
[[nodiscard]] std::array<int, 4> walkAddress(const DiscoveryRange& range, std::uint64_t index);
[[nodiscard]] std::string dottedText(const std::array<int, 4>& octets);

// The discovery port a field holds, when it is a whole number from 1 to 65535.
[[nodiscard]] std::optional<int> discoveryPortOf(std::string_view portText);

// The limited broadcast address gets a probe; other addresses ending in 255
// and 255.255.255.d do not.
[[nodiscard]] bool qualifiesForProbe(int a, int b, int c, int d);

}  // namespace orlavo::discovery
