#include "signfeed/sign_decoder.h"
#include "signfeed/sign_stream_decoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace orlavo::signfeed;

namespace {

using Strings = std::vector<std::string>;

// Feeds a decoder and collects what a sign emulator would print and complain about.
struct Collector {
    Strings lines;
    Strings errors;
    SignStreamDecoder decoder{[this](const SignCommand& c) { lines.push_back(formatCommandLine(c, false)); },
                              [this](std::string_view why) { errors.emplace_back(why); }};
};

std::string joined(const Strings& parts)
{
    std::string all;
    for (const auto& part : parts) {
        all += part;
    }
    return all;
}

std::string smartFrame(const std::string& list)
{
    return toWireBytes(buildSignFrame(buildTextBody({"3", "1", true, list})));
}

}  // namespace

TEST(SignDecoder, DecodesTheFieldsOfATextBodyAndPrintsItsLine)
{
    const std::string plainList = buildMessageSegment('C', "Hello ") + buildMessageSegment('F', "Bye ");
    const std::string white = buildMessageSegment('k', "x");
    const std::string cyan = buildMessageSegment('g', "a\r\nb");
    struct Row {
        TextBodyFields fields;
        const char* line;
    } rows[] = {
        {{"1", "3", false, plainList}, "MESSAGE green:Hello  | yellow:Bye "},
        {{"5", "", true, white}, "MESSAGE white:x"},
        {{"1", "3", false, cyan}, "MESSAGE cyan:a  b"},  // control characters print as blanks
        {{"1", "3", false, ""}, "MESSAGE"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        auto result = decodeFrameBody(buildTextBody(row.fields));
        ASSERT_TRUE(result.command) << result.error;
        EXPECT_EQ(result.command->speed, row.fields.speed);
        EXPECT_EQ(result.command->intensityCode, row.fields.intensityCode);
        EXPECT_EQ(result.command->smartDisplay, row.fields.smartDisplay);
        EXPECT_EQ(formatCommandLine(*result.command, false), row.line);
    }
    // On a terminal the colour is shown.
    auto cyanLine = decodeFrameBody(buildTextBody({"1", "3", false, cyan}));
    ASSERT_TRUE(cyanLine.command);
    EXPECT_EQ(formatCommandLine(*cyanLine.command, true), "MESSAGE \x1b[36mcyan:a  b\x1b[0m");
}

TEST(SignDecoder, RoundTripsWholeFramesAndClockPacketsAlike)
{
    const std::string list = buildMessageSegment('C', "Hello - World") + buildMessageSegment('a', "a~04b#c| d") +
                             buildMessageSegment('B', "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC");
    const std::string expected =
        "MESSAGE green:Hello - World | blue:a~04b#c| d | red:Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC";
    const std::string frame = buildSignFrame(buildTextBody({"3", "1", true, list}));
    struct Row {
        const char* label;
        std::string bytes;
    };
    const Row rows[] = {
        {"whole frame", toWireBytes(frame)},
        {"clock packets back to back", joined(buildClockPackets(frame))},
        {"reset frame", std::string(kResetFrame)},
        {"reset in clock packets", joined(buildClockPackets(kResetFrame))},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        Collector whole;
        whole.decoder.feed(row.bytes);
        Collector split;
        for (char c : row.bytes) {
            split.decoder.feed(std::string_view(&c, 1));
        }
        const std::string line = row.bytes.find("WN") != std::string::npos ? "RESET" : expected;
        EXPECT_EQ(whole.lines, Strings{line});
        EXPECT_EQ(split.lines, Strings{line});
        EXPECT_TRUE(whole.errors.empty());
        EXPECT_TRUE(split.errors.empty());
    }
}

TEST(SignDecoder, SkipsMalformedInputAndKeepsGoing)
{
    const std::string good = smartFrame(buildMessageSegment('C', "ok"));
    std::string badFill = joined(buildClockPackets(kResetFrame));
    badFill[badFill.size() - 2] = 'x';  // a non-fill byte after the frame's end
    const std::string tooLong = toWireBytes(std::string(kFramePrefix)) +
                                std::string(SignStreamDecoder::kMaxFrameBytes, 'x');
    struct Row {
        const char* label;
        std::string bytes;
        std::size_t errors;
        Strings lines = {"MESSAGE green:ok"};
    };
    const Row rows[] = {
        {"stray bytes", "garbage\r\n" + good, 1},
        {"broken prefix", "~00~00~01" + good, 1},
        {"packet without its #", "*~00" + std::string(30, 'x') + "!" + good, 3},
        {"unknown colour", smartFrame("~FDZoops| ") + good, 1},
        {"unknown command", toWireBytes(buildSignFrame("XY")) + good, 1},
        {"message without end", smartFrame("~FDCno end") + good, 1},
        {"bad intensity code", toWireBytes(buildSignFrame("A0C30ff00002359FFF~FEZ~FDCx| ")) + good, 1},
        {"frame over the limit", tooLong + good, 2},
        {"frame cut in half", good.substr(0, good.size() / 2) + good, 1},
        {"frame cut inside its prefix", good.substr(0, 10) + good, 1},
        {"clock packets that stop halfway", clockPacketsOfWireFrame(good).front() + good, 1},
        {"a clock packet cut short", "*~00abc" + good, 3},
        {"fill that does not follow the end of a frame", badFill + good, 1, {"RESET", "MESSAGE green:ok"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        Collector c;
        c.decoder.feed(row.bytes);
        EXPECT_EQ(c.lines, row.lines);
        EXPECT_EQ(c.errors.size(), row.errors);
    }
}
