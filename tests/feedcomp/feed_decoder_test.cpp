#include "feedcomp/feed_decoder.h"

#include <gtest/gtest.h>

#include <string>

namespace pellix::detail {
namespace {

// Latin-1 text written out in a wide form, without a byte order mark.
std::string widened(std::string_view text, std::size_t width, bool bigEndian)
{
    std::string out;
    for (char c : text) {
        std::string unit(width, '\0');
        unit[bigEndian ? width - 1 : 0] = c;
        out += unit;
    }
    return out;
}

TEST(FeedDecoder, ChoosesTheCharacterSetFromTheDeclarationAndNamesAnUnknownOne)
{
    struct Row {
        const char* label;
        std::string bytes;
        std::string transport;  // the Content-Type charset
        std::string text;
        std::string unknown;  // what unknownCharset reports
    };
    const std::string koi8 = "<?xml version=\"1.0\" encoding=\"KOI8-R\"?>";
    const std::string sjis = "<?xml encoding='Shift_JIS'?>";
    const std::string longName(60, 'x');
    const Row rows[] = {
        {"windows-1252 declared", "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\xFC\x80", "",
         "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\xC3\xBC\xE2\x82\xAC", ""},
        {"latin1 in single quotes, any case", "<?xml encoding='LATIN1' ?>\xE9", "",
         "<?xml encoding='LATIN1' ?>\xC3\xA9", ""},
        {"iso-8859-1 after leading blank line", "\n<?xml encoding = \"ISO-8859-1\"?>\xE9", "",
         "\n<?xml encoding = \"ISO-8859-1\"?>\xC3\xA9", ""},
        {"utf-8 declared keeps valid sequences", "<?xml encoding=\"utf-8\"?>\xC3\xA9", "",
         "<?xml encoding=\"utf-8\"?>\xC3\xA9", ""},
        {"utf-8 with a stray byte", "caf\xE9 \xC3\xA9", "", "caf\xC3\xA9 \xC3\xA9", ""},
        {"no declaration, valid utf-8", "\xE2\x82\xAC", "", "\xE2\x82\xAC", ""},
        {"declaration later in the text does not count", "x<?xml encoding=\"latin1\"?>\xC3\xA9", "",
         "x<?xml encoding=\"latin1\"?>\xC3\xA9", ""},
        {"unterminated declaration", "<?xml encoding=\"latin1\"\xC3\xA9", "", "<?xml encoding=\"latin1\"\xC3\xA9", ""},
        {"NUL passes through", std::string("a\0b", 3), "", std::string("a\0b", 3), ""},
        {"KOI8-R", koi8 + "\xEE\xCF\xD7\xCF\xD3\xD4\xC9", "", koi8 + "\xD0\x9D\xD0\xBE\xD0\xB2\xD0\xBE\xD1\x81\xD1\x82\xD0\xB8", ""},
        {"Shift_JIS", sjis + "\x93\xFA\x96\x7B", "", sjis + "\xE6\x97\xA5\xE6\x9C\xAC", ""},
        {"GB18030 from the Content-Type", "<rss>\xD6\xD0", "gb18030", "<rss>\xE4\xB8\xAD", ""},
        {"declaration wins over the Content-Type", sjis + "\x93\xFA", "koi8-r", sjis + "\xE6\x97\xA5", ""},
        {"UTF-16 with its byte order mark", std::string("\xFF\xFE<\0r\0\xE9\0", 8), "x-foo", "<r\xC3\xA9", ""},
        {"unpaired UTF-16 surrogates keep the rest in step", std::string("\xFF\xFE<\0\0\xD8r\0\0\xDC>\0", 12), "",
         "<\xEF\xBF\xBDr\xEF\xBF\xBD>", ""},
        {"UTF-32LE with its byte order mark", std::string("\xFF\xFE\0\0<\0\0\0\xE9\0\0\0", 12), "", "<\xC3\xA9", ""},
        {"UTF-16BE declared, no mark", widened("<?xml encoding=\"UTF-16BE\"?><r>\xE9", 2, true), "",
         "<?xml encoding=\"UTF-16BE\"?><r>\xC3\xA9", ""},
        {"UTF-32LE without a mark", widened("<r>\xE9", 4, false), "", "<r>\xC3\xA9", ""},
        {"ASCII declared as EBCDIC is read by the UTF-8 rule", "<?xml encoding=\"IBM037\"?><r>\xC3\xA9", "",
         "<?xml encoding=\"IBM037\"?><r>\xC3\xA9", "IBM037"},
        {"EBCDIC from the Content-Type", "\x4C\x99\x6E", "IBM037", "<r>", ""},
        {"invalid byte becomes U+FFFD", sjis + "\x93\xFA\xFF", "", sjis + "\xE6\x97\xA5\xEF\xBF\xBD", ""},
        {"unknown name falls back to UTF-8", "<?xml encoding=\"x-no-such\"?>caf\xE9", "",
         "<?xml encoding=\"x-no-such\"?>caf\xC3\xA9", "x-no-such"},
        {"unknown Content-Type charset", "caf\xC3\xA9", "x-foo", "caf\xC3\xA9", "x-foo"},
        {"UTF-16 named in ASCII is not UTF-16", "<?xml encoding=\"UTF-16\"?>\xC3\xA9", "",
         "<?xml encoding=\"UTF-16\"?>\xC3\xA9", ""},
        {"option suffix refused", "<?xml encoding=\"KOI8-R//IGNORE\"?>\xC3\xA9", "",
         "<?xml encoding=\"KOI8-R//IGNORE\"?>\xC3\xA9", "KOI8-R//IGNORE"},
        {"a hostile name is shown printable and short", "<?xml encoding='\"\x01" + longName + "'?>", "",
         "<?xml encoding='\"\x01" + longName + "'?>", "??" + longName.substr(0, 38)},
        {"UTF-8 and the windows-1252 names are known", "<?xml encoding=\"latin1\"?>", "utf-8",
         "<?xml encoding=\"latin1\"?>", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        EXPECT_EQ(decodeFeedBytes(row.bytes, row.transport), row.text);
        EXPECT_EQ(pellix::detail::unknownCharset(row.bytes, row.transport), row.unknown);
    }
}

}  // namespace
}  // namespace pellix::detail
