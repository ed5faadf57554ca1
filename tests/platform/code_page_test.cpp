#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <string>

using namespace orlavo::platform;

TEST(CodePage, EveryByteSurvivesARoundTrip)
{
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all.push_back(static_cast<char>(b));
    }
    EXPECT_EQ(utf8ToCp1252(cp1252ToUtf8(all)), all);
}

TEST(CodePage, ConvertsKnownCharacters)
{
    struct Row {
        const char* label;
        std::string cp1252;
        std::string utf8;
    } rows[] = {
        {"e acute", "\xE9", "\xC3\xA9"},
        {"euro sign", "\x80", "\xE2\x82\xAC"},
        {"left double quote", "\x93", "\xE2\x80\x9C"},
        {"unassigned 0x81 as C1 control", "\x81", "\xC2\x81"},
        {"ascii", "Hello ~04 #", "Hello ~04 #"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        EXPECT_EQ(cp1252ToUtf8(row.cp1252), row.utf8);
        EXPECT_EQ(utf8ToCp1252(row.utf8), row.cp1252);
    }
}

TEST(CodePage, UnmappableAndInvalidBecomeQuestionMarks)
{
    EXPECT_EQ(utf8ToCp1252("\xE2\x98\x83"), "?");           // snowman
    EXPECT_EQ(utf8ToCp1252("\xF0\x9F\x98\x80!"), "?!");     // emoji, one character
    EXPECT_EQ(utf8ToCp1252("a\xFF" "b"), "a?b");            // stray byte
    EXPECT_EQ(utf8ToCp1252("\xC0\xAF"), "??");              // overlong slash
    EXPECT_EQ(utf8ToCp1252("\xED\xA0\x80"), "???");         // surrogate
}

TEST(CodePage, LenientDecodeKeepsUtf8AndReadsOtherBytesAsCp1252)
{
    EXPECT_EQ(decodeUtf8OrCp1252("caf\xC3\xA9"), "caf\xC3\xA9");
    EXPECT_EQ(decodeUtf8OrCp1252("caf\xE9"), "caf\xC3\xA9");
    EXPECT_EQ(decodeUtf8OrCp1252("\x93quoted\x94"), "\xE2\x80\x9Cquoted\xE2\x80\x9D");
    // A sequence cut at the end of the input is read byte by byte.
    EXPECT_EQ(decodeUtf8OrCp1252("x\xC3"), "x\xC3\x83");
    EXPECT_EQ(utf8Length("caf\xC3\xA9\xF0\x9F\x98\x80"), 5u);
}
