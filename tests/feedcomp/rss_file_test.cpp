#include "pellix/rss_file.h"

#include <gtest/gtest.h>

#include <climits>
#include <optional>

#include "parse_helpers.h"

namespace pellix {
namespace {

using testing::feedWithItems;
using testing::parse;

TEST(RssFile, ItemNumbersOutsideTheItemsGiveNoValue)
{
    const auto parsed = parse(feedWithItems({"<title>A</title>", "<title>B</title>"}));
    ASSERT_EQ(parsed.itemCount, 2);
    const RSSFile& doc = *parsed.document;
    struct Row {
        const char* label;
        std::int32_t number;
        std::optional<std::string> title;
    };
    const Row rows[] = {
        {"first", 1, "A"},
        {"last", 2, "B"},
        {"record zero is empty text", 0, ""},
        {"one past the count", 3, std::nullopt},
        {"negative", -1, std::nullopt},
        {"smallest", INT32_MIN, std::nullopt},
        {"largest", INT32_MAX, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        EXPECT_EQ(doc.ItemTitle(row.number), row.title);
        EXPECT_EQ(doc.ItemPubDate(row.number).has_value(), row.title.has_value());
    }
}

// 70,000 records fill over 4 MiB: they live in a mapping of their own.
TEST(RssFile, ItemsPastFourMebibytesOfRecordsReadBack)
{
    std::string feed = "<rss><channel><title>T</title>";
    for (int i = 0; i < 70'000; ++i) {
        feed += "<item><title>" + std::to_string(i) + "</title>";
    }
    const auto parsed = parse(feed);
    ASSERT_EQ(parsed.itemCount, 70'000);
    EXPECT_EQ(parsed.document->ItemTitle(1), "0");
    EXPECT_EQ(parsed.document->ItemTitle(70'000), "69999");
}

TEST(RssFile, ImageDataReturnsAnIndependentArrayEachCall)
{
    const auto parsed = parse("<channel><image><url>u</url><title>t</title></image><item>");
    const RSSFile& doc = *parsed.document;
    auto first = doc.ImageData();
    first[0] = "changed";
    first[1].clear();
    const auto second = doc.ImageData();
    EXPECT_EQ(second[0], "yes");
    EXPECT_EQ(second[1], "u");
    EXPECT_EQ(second[4], "");  // no <width>
}

}  // namespace
}  // namespace pellix
