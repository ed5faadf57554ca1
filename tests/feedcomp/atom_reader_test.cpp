// Atom feeds read into channel fields and items; RSS stays as it was.
#include "parse_helpers.h"

#include <gtest/gtest.h>

#include <regex>

using pellix::testing::parse;

namespace {

using pellix::testing::Fields;
using pellix::testing::itemFields;

const std::string kFeed =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<feed xmlns=\"http://www.w3.org/2005/Atom\" xml:lang=\"en\">"
    "<title type=\"text\">Atom News</title><subtitle>All of it</subtitle>"
    "<link rel=\"self\" href=\"https://n.example/atom.xml\"/><link href='https://n.example/'/>"
    "<updated>2026-12-07T10:00:00Z</updated><rights>(c) N</rights><logo>https://n.example/l.png</logo>"
    "<entry><title>First</title><link rel=\"alternate\" href=\"https://n.example/1\"/>"
    "<id>urn:1</id><published>2026-12-07T09:00:00Z</published><updated>2026-12-07T09:30:00Z</updated>"
    "<author><name>Ann</name><email>a@n.example</email></author><category term=\"world\" label=\"World\"/>"
    "<summary>Short</summary><content type=\"html\">&lt;p&gt;Long&lt;/p&gt;</content></entry>"
    "<ENTRY><Link rel=\"enclosure\" href=\"https://n.example/2.mp3\"/><updated>2026-12-06</updated>"
    "<content type=\"xhtml\"><div xmlns=\"http://www.w3.org/1999/xhtml\"><b>Bold</b> text</div></content>"
    "</ENTRY></feed>";

// Every field the document gives, channel, image and items.
std::vector<std::string> everything(const pellix::RSSFile& doc, std::int32_t items)
{
    std::vector<std::string> all{doc.Title(), doc.Link(), doc.Description(), doc.Copyright(), doc.LastBuildDate()};
    for (const std::string& field : doc.ImageData()) {
        all.push_back(field);
    }
    for (std::int32_t n = 1; n <= items; ++n) {
        for (const std::string& field : itemFields(doc, n)) {
            all.push_back(field);
        }
    }
    return all;
}

// text with every Atom element written as prefix:name, and declaration in
// place of the default namespace.
std::string prefixed(const std::string& text, const std::string& prefix, const std::string& declaration)
{
    static const std::regex kAtomTag(
    "<(/?)(feed|title|subtitle|link|updated|rights|logo|entry|id|published|author|name|email|category|summary|"
        "content)([ >/])",
        std::regex::icase);
    std::string out = std::regex_replace(text, kAtomTag, "<$1" + prefix + ":$2$3");
    const std::string plain = "xmlns=\"http://www.w3.org/2005/Atom\"";
    return out.replace(out.find(plain), plain.size(), declaration);
}

}  // namespace

TEST(AtomReader, ReadsTheFeedAndItsEntries)
{
    const std::string& feed = kFeed;
    auto parsed = parse(feed);
    ASSERT_EQ(parsed.itemCount, 2);
    const pellix::RSSFile& doc = *parsed.document;
    EXPECT_EQ(doc.Title(), "Atom News");
    EXPECT_EQ(doc.Link(), "https://n.example/");
    EXPECT_EQ(doc.Description(), "All of it");
    EXPECT_EQ(doc.Copyright(), "(c) N");
    EXPECT_EQ(doc.LastBuildDate(), "2026-12-07T10:00:00Z");
    EXPECT_EQ(doc.ImageData(), (std::array<std::string, 7>{"yes", "https://n.example/l.png", "Atom News",
                                                            "https://n.example/", "", "", ""}));
    EXPECT_EQ(itemFields(doc, 1), (Fields{"First", "https://n.example/1", "Short", "Ann", "world", "urn:1",
                                          "2026-12-07T09:00:00Z"}));
    // No title, no summary: the content (markup kept, as RSS keeps it) and the updated date.
    EXPECT_EQ(itemFields(doc, 2), (Fields{"", "https://n.example/2.mp3",
                                          "<div xmlns=\"http://www.w3.org/1999/xhtml\"><b>Bold</b> text</div>", "", "",
                                          "", "2026-12-06"}));
    EXPECT_EQ(doc.ItemTitle(3), std::nullopt);
}

TEST(AtomReader, TakesEntriesOnlyWhenTheDocumentHasNoItem)
{
    struct Row {
        const char* label;
        std::string text;
        std::int32_t items;
        std::string firstTitle;
    };
    const Row rows[] = {
        {"RSS with an entry element inside an item", "<rss><item><title>R</title><entry><title>A</title></entry></item>",
         1, "R"},
        {"no item, no entry", "<feed><title>T</title></feed>", 0, ""},
        {"entries escaped as html become real, as RSS items do",
         "<feed>&lt;entry&gt;&lt;title&gt;E&lt;/title&gt;&lt;/entry&gt;</feed>", 1, "E"},
        {"longer tag names are not entries", "<feed><entryx><title>X</title></entryx></feed>", 0, ""},
        {"unclosed title leaves it empty", "<feed><entry><title>never closed", 1, ""},
        {"StripTags applies too", "<feed><entry><title><b>Bold</b></title></entry></feed>", 1, "Bold"},
        {"an entry in a comment is no entry",
         "<feed><!-- 9 additional <entry> elements --><entry><title>1</title></entry></feed>", 1, "1"},
        {"elements in CDATA are text, the markers go",
         "<feed><entry><title><![CDATA[<entry>1]]></title></entry><!-- <entry> --></feed>", 1, "<entry>1"},
        {"a comment without its end stays text", "<feed><!-- <entry><title>1</title></entry></feed>", 1, "1"},
        {"StripTags eating a CDATA end does not join two sections",
         "<feed><entry><title>1</title><summary><![CDATA[<a href='u'>x</a>]]></summary></entry>"
         "<entry><summary><![CDATA[y]]></summary></entry></feed>", 2, "1"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        auto parsed = parse(row.text, std::string_view(row.label).starts_with("StripTags"));
        EXPECT_EQ(parsed.itemCount, row.items);
        if (row.items > 0) {
            EXPECT_EQ(parsed.document->ItemTitle(1), row.firstTitle);
        }
    }
}

TEST(AtomReader, PrefixedElementsReadLikeUnprefixedOnesWhenThePrefixNamesAtom)
{
    auto plain = parse(kFeed);
    ASSERT_EQ(plain.itemCount, 2);
    struct Row {
        const char* label;
        std::string text;
        std::int32_t items;  // 2: reads as the plain feed
    };
    const Row rows[] = {
        {"atom: prefix", prefixed(kFeed, "atom", "xmlns:atom=\"http://www.w3.org/2005/Atom\""), 2},
        {"any prefix, single quotes, blanks", prefixed(kFeed, "a", "xmlns:a = 'http://www.w3.org/2005/Atom'"), 2},
        {"a prefix bound elsewhere is no Atom", prefixed(kFeed, "atom", "xmlns:atom=\"http://example.com/other\""), 0},
        {"a prefix never bound is no Atom", prefixed(kFeed, "atom", ""), 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        auto parsed = parse(row.text);
        ASSERT_EQ(parsed.itemCount, row.items);
        if (row.items > 0) {
            EXPECT_EQ(everything(*parsed.document, 2), everything(*plain.document, 2));
        }
    }
    // An RSS feed that declares the prefix for its atom:link keeps its own items.
    auto rss = parse("<rss xmlns:atom=\"http://www.w3.org/2005/Atom\"><channel><atom:link href=\"x\"/>"
                     "<item><title>R</title></item><atom:entry><atom:title>A</atom:title></atom:entry>"
                     "</channel></rss>");
    ASSERT_EQ(rss.itemCount, 1);
    EXPECT_EQ(rss.document->ItemTitle(1), "R");
}
