#include "signfeed/sign_protocol.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using namespace orlavo::signfeed;

namespace {

std::string fill(std::size_t count)
{
    return std::string(count, '\x04');
}

}  // namespace

TEST(SignProtocol, ClockPacketsCutInThirtyCharacterPieces)
{
    struct Row {
        const char* label;
        std::size_t frameLength;
        std::vector<std::size_t> fillPerPacket;
    };
    const Row rows[] = {
        {"60 characters: two full packets, no fill", 60, {0, 0}},
        {"37 characters: full packet then 7 + 23 fill", 37, {0, 23}},
        {"30 characters: one full packet", 30, {0}},
        {"1 character: 29 fill", 1, {29}},
        {"empty frame: no packets", 0, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        std::string frame;
        for (std::size_t i = 0; i < row.frameLength; ++i) {
            frame.push_back(static_cast<char>('A' + i % 26));
        }
        auto packets = buildClockPackets(frame);
        ASSERT_EQ(packets.size(), row.fillPerPacket.size());
        std::string reassembled;
        for (std::size_t k = 0; k < packets.size(); ++k) {
            ASSERT_EQ(packets[k].size(), kClockPacketLength);
            EXPECT_EQ(packets[k].substr(0, 4), "*~00");
            EXPECT_EQ(packets[k].back(), '#');
            std::string piece = packets[k].substr(4, 30);
            EXPECT_EQ(piece.substr(30 - row.fillPerPacket[k]), fill(row.fillPerPacket[k]));
            reassembled += piece.substr(0, 30 - row.fillPerPacket[k]);
        }
        EXPECT_EQ(reassembled, frame);
    }
}

TEST(SignProtocol, ClockPacketsCountCharactersNotUtf8Bytes)
{
    // 29 ASCII characters, then "ü" as the 30th: the first piece must end with it.
    std::string frame = std::string(29, 'x') + "\xC3\xBC" + "yz";
    auto packets = buildClockPackets(frame);
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(packets[0], "*~00" + std::string(29, 'x') + "\xFC#");
    EXPECT_EQ(packets[1], "*~00yz" + fill(28) + "#");
}

TEST(SignProtocol, ColourAndIntensityCodes)
{
    struct Row {
        SignColour colour;
        char code;
        const char* name;
        bool smartOnly;
    };
    const Row rows[] = {
        {SignColour::Red, 'B', "red", false},       {SignColour::Green, 'C', "green", false},
        {SignColour::Yellow, 'F', "yellow", false}, {SignColour::Blue, 'a', "blue", true},
        {SignColour::Magenta, 'c', "magenta", true}, {SignColour::Cyan, 'g', "cyan", true},
        {SignColour::White, 'k', "white", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(colourCode(row.colour), row.code);
        EXPECT_EQ(colourFromCode(row.code), row.colour);
        EXPECT_EQ(colourName(row.colour), row.name);
        EXPECT_EQ(colourNeedsSmartDisplay(row.colour), row.smartOnly);
    }
    EXPECT_FALSE(colourFromCode('Z'));
    for (auto [index, code] : {std::pair{0, "1"}, {8, "9"}, {9, "A"}, {14, "F"}, {15, ""}, {-1, ""}}) {
        EXPECT_EQ(intensityCode(index), code) << index;
    }
}
