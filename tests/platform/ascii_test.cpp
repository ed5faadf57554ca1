#include "platform/ascii.h"

#include <gtest/gtest.h>

#include <string>

using namespace orlavo::platform;

// Every byte value, so a shortcut such as "c | 0x20" (which would pair '@'
// with '`' and 0xC4 with 0xE4) or a sign-extension slip shows up.
TEST(Ascii, FoldsOnlyTheTwentySixLetters)
{
    for (int b = 0; b < 256; ++b) {
        const char c = static_cast<char>(b);
        const bool upper = b >= 'A' && b <= 'Z';
        const bool lower = b >= 'a' && b <= 'z';
        SCOPED_TRACE(b);
        EXPECT_EQ(asciiLower(c), upper ? static_cast<char>(b + 32) : c);
        EXPECT_EQ(asciiUpper(c), lower ? static_cast<char>(b - 32) : c);
        for (int other = 0; other < 256; ++other) {
            const bool samePair = b == other || ((upper || lower) && (b ^ other) == 0x20);
            ASSERT_EQ(equalsIgnoreCase(std::string(1, c), std::string(1, static_cast<char>(other))), samePair)
                << "against " << other;
        }
    }
}

TEST(Ascii, TextKeepsItsOtherBytesAndItsLength)
{
    // "Grüße" in UTF-8 and "Ärger" in windows-1252: only the ASCII letters change.
    const std::string text = "Gr\xC3\xBC\xC3\x9F" "e \xC4rger [x]";
    EXPECT_EQ(asciiLower(text), "gr\xC3\xBC\xC3\x9F" "e \xC4rger [x]");
    EXPECT_EQ(asciiUpper(text), "GR\xC3\xBC\xC3\x9F" "E \xC4RGER [X]");
    EXPECT_TRUE(equalsIgnoreCase(text, asciiUpper(text)));
    EXPECT_FALSE(equalsIgnoreCase("\xC4rger", "\xE4rger"));  // Ä and ä in windows-1252
    EXPECT_FALSE(equalsIgnoreCase("Key", "Key "));
    EXPECT_TRUE(equalsIgnoreCase("", ""));
}

TEST(Ascii, TrimStopsAtTheFirstByteThatIsNotBlank)
{
    // 0x85 and 0xA0 are spaces in some locales and code pages, never here.
    EXPECT_EQ(trimIf(" \t\v\f\r\nkey = v \x85\xA0\n", isAsciiSpace), "key = v \x85\xA0");
    EXPECT_EQ(trimIf(" \t\n ", isAsciiSpace), "");
    EXPECT_EQ(trimIf("", isAsciiSpace), "");
    EXPECT_EQ(trimIf("--x-y--", [](char c) { return c == '-'; }), "x-y");
}
