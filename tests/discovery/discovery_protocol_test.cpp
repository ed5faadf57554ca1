#include "discovery/discovery_protocol.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include <string>
#include <vector>

using namespace orlavo::discovery;

namespace {

// "*$", one byte, 12 MAC digits, one byte, the address, one byte, a 20-byte name.
const std::string kExampleReply = std::string("*$:0050C2A1B2C3:192.168.001.050:") + "Lobby clock 3       ";

TEST(DiscoveryProtocol, FieldNumbersIgnoreBlanksAndStopAtTheFirstNonDigit)
{
    struct Row {
        const char* text;
        double value;
    } rows[] = {{"255", 255}, {"", 0}, {"abc", 0}, {" 1 2", 12}, {"10x", 10}, {"2.5", 2.5}, {"-1", -1}, {"007", 7}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_DOUBLE_EQ(fieldNumberOf(row.text), row.value);
    }
    EXPECT_EQ(roundHalfEven(2.5), 2);
    EXPECT_EQ(roundHalfEven(3.5), 4);
    EXPECT_EQ(roundHalfEven(1e300), 0);
}

TEST(DiscoveryProtocol, ExampleReplyInNamedAndUnnamedMode)
{
    auto named = parseReply(kExampleReply, true);
    ASSERT_TRUE(named);
    EXPECT_EQ(formatListLine(*named, true),
              "IP: 192.168.001.050\t   MAC: 00-50-C2-A1-B2-C3     NAME: Lobby clock 3       ");
    auto unnamed = parseReply(kExampleReply, false);
    ASSERT_TRUE(unnamed);
    EXPECT_EQ(formatListLine(*unnamed, false), "IP: 192.168.001.050\t   MAC: 00-50-C2-A1-B2-C3");

    auto reading = readListLine(formatListLine(*named, true), true);
    ASSERT_TRUE(reading);
    EXPECT_EQ(reading->address, "192.168.1.50");
    EXPECT_EQ(reading->name, "Lobby clock 3       ");
    EXPECT_EQ(readListLine(formatListLine(*named, true), false)->name, "");
}

TEST(DiscoveryProtocol, RejectsWhatIsNotAReply)
{
    auto with = [](std::size_t column, char c) {
        std::string s = kExampleReply;
        s[column - 1] = c;
        return s;
    };
    struct Row {
        const char* label;
        std::string datagram;
    } rows[] = {
        {"column 17 is x", with(17, 'x')},
        {"column 20 is not a dot", with(20, '1')},
        {"no *$ marker", with(2, '!')},
        {"address holds a letter", with(25, 'a')},
        {"address holds a blank", with(31, ' ')},
        {"the probe itself", std::string(kDiscoveryProbe)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        EXPECT_FALSE(parseReply(row.datagram, true));
    }
}

// Every length a datagram may have up to 2000 bytes, as a reply followed by
// more bytes and as noise: the columns are read from the reply alone, and
// nothing past column 52 is ever looked at.
TEST(DiscoveryProtocol, EveryLengthUpTo2000BytesIsReadWithinItsColumns)
{
    std::string longReply = kExampleReply + std::string(2000 - kExampleReply.size(), '\xff');
    std::string noise(2000, '\0');
    std::uint32_t state = 7;
    for (char& c : noise) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 24);
    }
    noise.replace(0, 2, "*$");  // past the marker, so the address field is tested too
    for (std::size_t n = 0; n <= 2000; ++n) {
        SCOPED_TRACE(n);
        auto reply = parseReply(std::string_view(longReply).substr(0, n), true);
        ASSERT_EQ(reply.has_value(), n >= kMinReplyBytes);
        if (reply) {
            EXPECT_EQ(reply->ip, "192.168.001.050");
            EXPECT_EQ(reply->mac, "00-50-C2-A1-B2-C3");
            EXPECT_EQ(reply->name, kExampleReply.substr(32, n > 32 ? std::min<std::size_t>(n - 32, 20) : 0));
        }
        if (auto odd = parseReply(std::string_view(noise).substr(0, n), true)) {
            EXPECT_EQ(odd->ip.size(), 15u);
            EXPECT_LE(odd->name.size(), 3 * kMaxNameBytes);  // at most 3 UTF-8 bytes a character
        }
    }
}

TEST(DiscoveryProtocol, ControlCharactersBecomeBlanksAndBytesStayCharacters)
{
    std::string reply = kExampleReply;
    reply[4] = '\t';
    reply.replace(32, 4, std::string("\x1b[2J", 4));
    reply[36] = '\xe9';  // windows-1252 e acute: one byte, one character
    auto parsed = parseReply(reply, true);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->mac, "0 -50-C2-A1-B2-C3");
    EXPECT_EQ(parsed->name.substr(0, 6), " [2J\xc3\xa9");
    EXPECT_EQ(parsed->name.find('\x1b'), std::string::npos);
}

TEST(DiscoveryProtocol, ReverseReadingDropsLeadingZeros)
{
    struct Row {
        const char* line;
        const char* address;
    } rows[] = {
        {"IP: 010.001.002.003\t   MAC: 00-50-C2-A1-B2-C3", "10.1.2.3"},
        {"IP: 000.000.000.000\t", "0.0.0.0"},
        {"IP: 255.255.255.255", "255.255.255.255"},
        {"IP: 12", "12.0.0.0"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        auto reading = readListLine(row.line, false);
        ASSERT_TRUE(reading);
        EXPECT_EQ(reading->address, row.address);
    }
    EXPECT_FALSE(readListLine("", true));
}

TEST(DiscoveryProtocol, BuiltRepliesParseBack)
{
    auto reply = buildReply("0050c2000102", "127.0.0.2", "Sim");
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->size(), 52u);
    auto parsed = parseReply(*reply, true);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->ip, "127.000.000.002");
    EXPECT_EQ(parsed->mac, "00-50-c2-00-01-02");
    EXPECT_EQ(parsed->name, "Sim                 ");
    EXPECT_FALSE(buildReply("0050C2", "127.0.0.2", ""));
    EXPECT_FALSE(buildReply("0050C200010G", "127.0.0.2", ""));
    EXPECT_FALSE(buildReply("0050C2000102", "127.0.0.256", ""));
    EXPECT_FALSE(buildReply("0050C2000102", "127.0.0.2x", ""));
}

TEST(DiscoveryProtocol, RangesAreBoundedToOctets)
{
    RangeTexts texts;
    texts.start = {"10", "0", "0", "0"};
    texts.end = {"10", "0", "1", "255"};
    auto parsed = parseRange(texts);
    ASSERT_TRUE(parsed.range);
    EXPECT_EQ(walkLength(*parsed.range), 512u);
    EXPECT_EQ(dottedText(walkAddress(*parsed.range, 0)), "10.0.0.0");
    EXPECT_EQ(dottedText(walkAddress(*parsed.range, 256)), "10.0.1.0");
    EXPECT_EQ(dottedText(walkAddress(*parsed.range, 511)), "10.0.1.255");

    struct Row {
        const char* label;
        std::size_t field;
        const char* text;
        bool accepted;
    } rows[] = {
        {"255 is the largest octet", 3, "255", true},
        {"256 is refused", 3, "256", false},
        {"negative is refused", 0, "-1", false},
        {"999 in an ending field", 7, "999", false},
        {"letters are refused", 5, "ab", false},
        {"an exponent is refused, not read as 1", 2, "1e2", false},
        {"text after the number is refused", 1, "10x", false},
        {"blanks are ignored", 1, " 1 0", true},
        {"empty reads as 0", 6, "", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        RangeTexts t;
        (row.field < 4 ? t.start[row.field] : t.end[row.field - 4]) = row.text;
        RangeParse p = parseRange(t);
        EXPECT_EQ(p.range.has_value(), row.accepted);
        EXPECT_EQ(p.error.empty(), row.accepted);
    }
    RangeTexts above;
    above.start[2] = "5";
    above.end[2] = "4";
    EXPECT_EQ(walkLength(*parseRange(above).range), 0u);
}

TEST(DiscoveryProtocol, PortMustBeAWholeNumberInRange)
{
    EXPECT_EQ(discoveryPortOf("16001"), 16001);
    EXPECT_EQ(discoveryPortOf(" 16000 "), 16000);
    for (const char* bad : {"", "0", "65536", "99999", "abc", "16001x", "1.5"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(discoveryPortOf(bad));
    }
    EXPECT_TRUE(namedReplyMode("16001"));
    EXPECT_FALSE(namedReplyMode("016001"));
    EXPECT_FALSE(namedReplyMode("16001 "));
}

}  // namespace
