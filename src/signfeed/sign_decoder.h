#pragma once
// The sign's side of the command language: turns the body of a received
// frame back into what the sign would show, and writes that as the one-line
// form the sign emulator prints. Pure functions, used by signsim and tests.
#include "signfeed/sign_protocol.h"

#include <string>
#include <string_view>
#include <vector>

namespace orlavo::signfeed {

struct DecodedMessage {
    SignColour colour = SignColour::Red;
    std::string text;  // UTF-8
};

struct SignCommand {
    enum class Kind { TextMessage, Reset };
    Kind kind = Kind::TextMessage;
    std::string speed;
    std::string intensityCode;  // empty when none was sent
    bool smartDisplay = false;
    std::vector<DecodedMessage> messages;
};

struct BodyDecodeResult {
    std::optional<SignCommand> command;
    std::string error;  // why the body was refused, when command is empty
};

// wireBody: the bytes between the frame's prefix and suffix.
[[nodiscard]] BodyDecodeResult decodeFrameBody(std::string_view wireBody);

// "MESSAGE green:Hello | red:Bye" or "RESET", without a line end. Control
// characters in texts print as blanks so a message set stays on one line;
// ansiColours wraps each message in its terminal colour.
[[nodiscard]] std::string formatCommandLine(const SignCommand& command, bool ansiColours);

}  // namespace orlavo::signfeed
