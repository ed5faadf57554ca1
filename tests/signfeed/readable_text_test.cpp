#include "signfeed/readable_text.h"

#include <gtest/gtest.h>

using namespace orlavo::signfeed;

TEST(ReadableText, DecodesCharacterReferencesLeftInItemTexts)
{
    struct Row {
        const char* in;
        const char* out;
    };
    const Row rows[] = {
        {"It&#8217;s &#x2019;here&#X2019;", "It\xE2\x80\x99s \xE2\x80\x99here\xE2\x80\x99"},
        {"Caf&#233; &eacute;t&eacute; &mdash; wait&hellip;&nbsp;!", "Caf\xC3\xA9 \xC3\xA9t\xC3\xA9 \xE2\x80\x94 wait\xE2\x80\xA6\xC2\xA0!"},
        {"&#128512;", "\xF0\x9F\x98\x80"},
        {"kept: &#0; &#xD800; &#x110000; &#; &#12a; &unknown; &eacute & alone &#99999999999;",
         "kept: &#0; &#xD800; &#x110000; &#; &#12a; &unknown; &eacute & alone &#99999999999;"},
        {"&&#233;", "&\xC3\xA9"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.in);
        EXPECT_EQ(decodeCharacterReferences(row.in), row.out);
    }
}

TEST(ReadableText, GivesPlainFormsOnlyForWhatWindows1252Lacks)
{
    struct Row {
        const char* label;
        const char* in;
        const char* out;
    };
    const Row rows[] = {
        {"marks outside the code page", "\xC5\x81\xC3\xB3" "d\xC5\xBA \xC4\x8D" "e\xC5\xA1tina \xC4\x90ur\xC4\x91" "a",
         "L\xC3\xB3" "dz ce\xC5\xA1tina Durda"},
        {"what the code page holds stays", "\xC5\xA0\xC5\xBD\xC5\x92\xC5\xB8 \xE2\x80\x9C\xE2\x80\x94\xE2\x80\xA6",
         "\xC5\xA0\xC5\xBD\xC5\x92\xC5\xB8 \xE2\x80\x9C\xE2\x80\x94\xE2\x80\xA6"},
        {"dashes, primes, spaces", "a\xE2\x80\x90" "b \xE2\x80\xB2\xE2\x80\xB3 x\xE2\x80\x89y", "a-b '\" x y"},
        {"no plain form, or not UTF-8", "\xF0\x9F\x98\x80 \xE4\xB8\xAD \x80\xC4", "\xF0\x9F\x98\x80 \xE4\xB8\xAD \x80\xC4"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        EXPECT_EQ(transliterateForSign(row.in), row.out);
    }
}
