#include "signfeed/sign_protocol.h"

#include "platform/code_page.h"

#include <array>

namespace orlavo::signfeed {
namespace {

struct ColourEntry {
    SignColour colour;
    char code;
    std::string_view name;
};

constexpr std::array kColours{
    ColourEntry{SignColour::Red, 'B', "red"},       ColourEntry{SignColour::Green, 'C', "green"},
    ColourEntry{SignColour::Yellow, 'F', "yellow"}, ColourEntry{SignColour::Blue, 'a', "blue"},
    ColourEntry{SignColour::Magenta, 'c', "magenta"}, ColourEntry{SignColour::Cyan, 'g', "cyan"},
    ColourEntry{SignColour::White, 'k', "white"},
};

const ColourEntry& entryOf(SignColour colour)
{
    return kColours[static_cast<std::size_t>(colour)];
}

}  // namespace

char colourCode(SignColour colour)
{
    return entryOf(colour).code;
}

std::optional<SignColour> colourFromCode(char code)
{
    for (const auto& entry : kColours) {
        if (entry.code == code) {
            return entry.colour;
        }
    }
    return std::nullopt;
}

std::string_view colourName(SignColour colour)
{
    return entryOf(colour).name;
}

bool colourNeedsSmartDisplay(SignColour colour)
{
    return colour != SignColour::Red && colour != SignColour::Green && colour != SignColour::Yellow;
}

std::string intensityCode(int listIndex)
{
    constexpr std::string_view kDigits = "123456789ABCDEF";
    if (listIndex < 0 || listIndex >= static_cast<int>(kDigits.size())) {
        return {};
    }
    return std::string(1, kDigits[static_cast<std::size_t>(listIndex)]);
}

std::string buildSignFrame(std::string_view body)
{
    std::string frame;
    frame.reserve(kFramePrefix.size() + body.size() + kFrameSuffix.size());
    frame.append(kFramePrefix).append(body).append(kFrameSuffix);
    return frame;
}

std::string buildTextBody(const TextBodyFields& fields)
{
    std::string body;
    body.append(kTextBodyHead).append(fields.speed).append(kTextBodyTiming);
    if (!fields.smartDisplay) {
        body.append(kPlainDisplayFlag);
    }
    body.append(kIntensityMark).append(fields.intensityCode).append(fields.messageList);
    return body;
}

std::string buildMessageSegment(char colourCode, std::string_view text)
{
    std::string segment;
    segment.reserve(kSegmentMark.size() + 1 + text.size() + kSegmentEnd.size());
    segment.append(kSegmentMark).append(1, colourCode).append(text).append(kSegmentEnd);
    return segment;
}

std::string toWireBytes(std::string_view utf8)
{
    return platform::utf8ToCp1252(utf8);
}

std::vector<std::string> buildClockPackets(std::string_view frameUtf8)
{
    return clockPacketsOfWireFrame(toWireBytes(frameUtf8));
}

std::vector<std::string> clockPacketsOfWireFrame(std::string_view wireFrame)
{
    std::vector<std::string> packets;
    packets.reserve(wireFrame.size() / kClockPieceLength + 1);
    for (std::size_t start = 0; start < wireFrame.size(); start += kClockPieceLength) {
        std::string_view piece = wireFrame.substr(start, kClockPieceLength);
        std::string packet;
        packet.reserve(kClockPacketLength);
        packet.append(kClockPacketHead).append(piece);
        packet.append(kClockPieceLength - piece.size(), kClockFill);
        packet.push_back(kClockPacketEnd);
        packets.push_back(std::move(packet));
    }
    return packets;
}

}  // namespace orlavo::signfeed
