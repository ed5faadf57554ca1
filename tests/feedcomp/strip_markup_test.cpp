#include "feedcomp/strip_markup.h"

#include <gtest/gtest.h>

#include <string>

namespace pellix::detail {
namespace {

struct StripRow {
    const char* label;
    std::string input;
    std::string expected;
};

void expectRows(const std::vector<StripRow>& rows)
{
    for (const StripRow& row : rows) {
        SCOPED_TRACE(row.label);
        std::string text = row.input;
        stripMarkup(text);
        EXPECT_EQ(text, row.expected);
    }
}

TEST(StripMarkup, RemovesEachKindOfElementWithItsContent)
{
    expectRows({
        {"anchor then comma loses the comma", "see <a href=\"x\">here</a>, now", "see  now"},
        {"anchor with carriage return", "x<a\rhref=y>t</a>Zy", "xy"},
        {"anchor any case", "x<A HREF=y>t</a>!y", "xy"},
        {"level-2 heading keeps the next character", "x<h2>Head</H2>Zy", "xZy"},
        {"bare paragraph", "x<p>para</p>Zy", "xy"},
        {"span-like name", "x<spanner>t</span>Zy", "xy"},
        {"span ends at the first closing span", "<span>a</span>b</span>c", "</span>c"},
        {"long image tag and one character after", "x<img src=a.png>Zy", "xy"},
        {"image tag of eight characters stays", "x<im abc>y", "x<im abc>y"},
        {"image tag of nine characters goes", "x<im abcd>Zy", "xy"},
        {"image tag without closing bracket stays", "x<img src", "x<img src"},
        {"paragraph with attributes stays", "<p class=a>t</p>", "<p class=a>t</p>"},
        {"division stays", "<div>t</div>", "<div>t</div>"},
        {"anchor closing last", "x<a y>z</a>", "x"},
        {"image bracket last", "x<img src=abc>", "x"},
        {"heading closing last", "x<h2>z</h2>", "x"},
        {"NUL and everything after it stay", std::string("one\0two<a x>y</a>,three", 23),
         std::string("one\0twothree", 12)},
        // Characters, not bytes, are dropped and counted.
        {"dropped character after anchor is whole", "<a x>t</a>\xE2\x82\xACrest", "rest"},
        {"dropped character after image tag is whole", "<img src=\xC3\xA9\xC3\xA9\xC3\xA9>\xF0\x9F\x98\x80z", "z"},
        {"seven characters of two bytes each still stay", "<im \xC3\xA9\xC3\xA9\xC3\xA9>q",
         "<im \xC3\xA9\xC3\xA9\xC3\xA9>q"},
    });
}

TEST(StripMarkup, UnclosedElementLosesOnlyItsBracketUnlessAmongTheLastThreeCharacters)
{
    expectRows({
        {"anchor", "x<a href=y>text", "xa href=y>text"},
        {"heading", "<h2>t", "h2>t"},
        {"paragraph", "<p>t", "p>t"},
        {"span", "<span>t", "span>t"},
        {"third from the end", "ab<p>", "ab<p>"},
        {"second from the end", "ab<a", "ab<a"},
        {"last", "ab<", "ab<"},
        {"fourth from the end is examined", "ab<p>x", "abp>x"},
        {"multi-byte characters count once", "ab<a\xC3\xA9", "ab<a\xC3\xA9"},
        {"three characters after the bracket in six bytes", "x<a\xC3\xA9\xC3\xA9", "x<a\xC3\xA9\xC3\xA9"},
    });
}

TEST(StripMarkup, ManyUnclosedAnchorsGiveTheRightText)
{
    // Each "<a " lacks its end tag; a rescan per anchor would be quadratic.
    std::string input;
    std::string expected;
    for (int i = 0; i < 200'000; ++i) {
        input += "<a x";
        expected += "a x";
    }
    input += "<img y";
    expected += "<img y";
    stripMarkup(input);
    EXPECT_EQ(input, expected);
}

TEST(StripMarkup, ManyLongImageTagsWithoutBracketGiveTheRightText)
{
    std::string input(300'000, '<');
    for (std::size_t i = 0; i < input.size(); i += 3) {
        input[i + 1] = 'I';
        input[i + 2] = 'm';
    }
    std::string expected = input;
    stripMarkup(input);
    EXPECT_EQ(input, expected);
}

}  // namespace
}  // namespace pellix::detail
