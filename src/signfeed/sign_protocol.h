#pragma once
// The sign's command language: frames, the text-message body, message
// segments and the clock packets a sign built into a clock takes. Pure
// functions on UTF-8 text; the conversion to one windows-1252 byte per
// character happens in toWireBytes(), where text meets the wire.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orlavo::signfeed {

// Control values are written in tilde notation ("~02"): three characters,
// never turned into single bytes.
inline constexpr std::string_view kFramePrefix = "~00~00~00~00~00~01FF00~02";
inline constexpr std::string_view kFrameSuffix = "~03FFFF~04";
inline constexpr std::string_view kResetBody = "WN";
inline constexpr std::string_view kResetFrame = "~00~00~00~00~00~01FF00~02WN~03FFFF~04";

// Text-message body pieces; fixed texts the sign expects unchanged.
inline constexpr std::string_view kTextBodyHead = "A0C";
inline constexpr std::string_view kTextBodyTiming = "0ff00002359FFF";
inline constexpr std::string_view kPlainDisplayFlag = "F";  // only without Smart LED Display
inline constexpr std::string_view kIntensityMark = "~FE";
inline constexpr std::string_view kSegmentMark = "~FD";
inline constexpr std::string_view kSegmentEnd = "| ";
// The intensity code a sign without Smart LED Display always gets.
inline constexpr std::string_view kPlainIntensityCode = "3";

// Clock packets: "*~" "00", 30 frame characters, "#". A short last piece is
// filled with single characters of code 4 (not the text "~04").
inline constexpr std::string_view kClockPacketHead = "*~00";
inline constexpr char kClockPacketEnd = '#';
inline constexpr std::size_t kClockPieceLength = 30;
inline constexpr std::size_t kClockPacketLength = 35;
inline constexpr char kClockFill = '\x04';

// The UDP port signs listen on for frames.
inline constexpr int kSignUdpPort = 16000;

// Message colours and their one-character codes.
enum class SignColour { Red, Green, Yellow, Blue, Magenta, Cyan, White };

[[nodiscard]] char colourCode(SignColour colour);
[[nodiscard]] std::optional<SignColour> colourFromCode(char code);
// "red", "green", ... as the colour-scheme list names them.
[[nodiscard]] std::string_view colourName(SignColour colour);
// Red, green and yellow work on every sign; the rest need Smart LED Display.
[[nodiscard]] bool colourNeedsSmartDisplay(SignColour colour);

// The intensity code of the Intensity list's entry at listIndex (0 -> "1",
// 14 -> "F"); empty for any other index, which sends no code at all.
[[nodiscard]] std::string intensityCode(int listIndex);

[[nodiscard]] std::string buildSignFrame(std::string_view body);

struct TextBodyFields {
    std::string_view speed;          // one digit, "1" to "5"
    std::string_view intensityCode;  // one digit, or empty
    bool smartDisplay = false;
    std::string_view messageList;    // segments, back to back
};
[[nodiscard]] std::string buildTextBody(const TextBodyFields& fields);

// "~FD", the colour code, the text unchanged (no escaping: tildes, bars, hash
// signs and line breaks go out as they are), "| ".
[[nodiscard]] std::string buildMessageSegment(char colourCode, std::string_view text);

// What goes on the wire for a frame or text: one windows-1252 byte per
// character, "?" for characters that code page lacks.
[[nodiscard]] std::string toWireBytes(std::string_view utf8);

// The clock packets of a frame, as wire bytes. The cut is made on the wire
// bytes, so a piece is exactly 30 characters however many UTF-8 bytes the
// characters took.
[[nodiscard]] std::vector<std::string> buildClockPackets(std::string_view frameUtf8);
[[nodiscard]] std::vector<std::string> clockPacketsOfWireFrame(std::string_view wireFrame);

}  // namespace orlavo::signfeed
