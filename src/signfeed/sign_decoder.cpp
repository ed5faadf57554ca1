#include "signfeed/sign_decoder.h"

#include "platform/code_page.h"

namespace orlavo::signfeed {
namespace {

BodyDecodeResult refuse(std::string why)
{
    return BodyDecodeResult{std::nullopt, std::move(why)};
}

bool isIntensityDigit(char c)
{
    return (c >= '1' && c <= '9') || (c >= 'A' && c <= 'F');
}

// A message ends at the first "| " that is followed by the next segment mark
// or by the end of the list; texts are not escaped, so a "| " inside a text
// is taken as text.
std::optional<std::size_t> segmentTextEnd(std::string_view list, std::size_t from)
{
    for (std::size_t search = from;;) {
        std::size_t end = list.find(kSegmentEnd, search);
        if (end == std::string_view::npos) {
            return std::nullopt;
        }
        std::size_t after = end + kSegmentEnd.size();
        if (after == list.size() || list.substr(after).starts_with(kSegmentMark)) {
            return end;
        }
        search = end + 1;
    }
}

std::string parseSegments(std::string_view list, std::vector<DecodedMessage>& messages)
{
    std::size_t pos = 0;
    while (pos < list.size()) {
        if (!list.substr(pos).starts_with(kSegmentMark) || pos + kSegmentMark.size() >= list.size()) {
            return "message list does not start a segment with ~FD";
        }
        char code = list[pos + kSegmentMark.size()];
        auto colour = colourFromCode(code);
        if (!colour) {
            return std::string("unknown colour code '") + code + "'";
        }
        std::size_t textStart = pos + kSegmentMark.size() + 1;
        auto textEnd = segmentTextEnd(list, textStart);
        if (!textEnd) {
            return "message without its closing \"| \"";
        }
        std::string_view text = list.substr(textStart, *textEnd - textStart);
        messages.push_back(DecodedMessage{*colour, platform::cp1252ToUtf8(text)});
        pos = *textEnd + kSegmentEnd.size();
    }
    return {};
}

BodyDecodeResult decodeTextBody(std::string_view body)
{
    SignCommand command;
    std::size_t timing = body.find(kTextBodyTiming, kTextBodyHead.size());
    if (timing == std::string_view::npos) {
        return refuse("text command without its timing field");
    }
    command.speed = body.substr(kTextBodyHead.size(), timing - kTextBodyHead.size());
    std::string_view rest = body.substr(timing + kTextBodyTiming.size());
    command.smartDisplay = !rest.starts_with(kPlainDisplayFlag);
    if (!command.smartDisplay) {
        rest.remove_prefix(kPlainDisplayFlag.size());
    }
    if (!rest.starts_with(kIntensityMark)) {
        return refuse("text command without the ~FE intensity mark");
    }
    rest.remove_prefix(kIntensityMark.size());
    if (!rest.empty() && !rest.starts_with(kSegmentMark)) {
        if (!isIntensityDigit(rest.front())) {
            return refuse(std::string("bad intensity code '") + rest.front() + "'");
        }
        command.intensityCode.assign(1, rest.front());
        rest.remove_prefix(1);
    }
    if (auto error = parseSegments(rest, command.messages); !error.empty()) {
        return refuse(error);
    }
    return BodyDecodeResult{std::move(command), {}};
}

std::string_view ansiColour(SignColour colour)
{
    switch (colour) {
    case SignColour::Red: return "\x1b[31m";
    case SignColour::Green: return "\x1b[32m";
    case SignColour::Yellow: return "\x1b[33m";
    case SignColour::Blue: return "\x1b[34m";
    case SignColour::Magenta: return "\x1b[35m";
    case SignColour::Cyan: return "\x1b[36m";
    case SignColour::White: return "\x1b[37m";
    }
    return "";
}

std::string printable(std::string_view utf8)
{
    std::string out(utf8);
    for (char& c : out) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            c = ' ';
        }
    }
    return out;
}

}  // namespace

BodyDecodeResult decodeFrameBody(std::string_view wireBody)
{
    if (wireBody == kResetBody) {
        SignCommand reset;
        reset.kind = SignCommand::Kind::Reset;
        return BodyDecodeResult{std::move(reset), {}};
    }
    if (!wireBody.starts_with(kTextBodyHead)) {
        return refuse("unknown command body");
    }
    return decodeTextBody(wireBody);
}

std::string formatCommandLine(const SignCommand& command, bool ansiColours)
{
    if (command.kind == SignCommand::Kind::Reset) {
        return "RESET";
    }
    std::string line = "MESSAGE";
    for (std::size_t i = 0; i < command.messages.size(); ++i) {
        const DecodedMessage& message = command.messages[i];
        line += i == 0 ? " " : " | ";
        if (ansiColours) {
            line += ansiColour(message.colour);
        }
        line.append(colourName(message.colour)).append(":").append(printable(message.text));
        if (ansiColours) {
            line += "\x1b[0m";
        }
    }
    return line;
}

}  // namespace orlavo::signfeed
