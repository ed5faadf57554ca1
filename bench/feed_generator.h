#pragma once
// Feed texts for the benchmarks: realistic RSS 2.0 of a given size and the
// hostile shapes the parser must handle in linear time.
#include <cstddef>
#include <string>
#include <string_view>

namespace orlavo::bench {

// An RSS 2.0 feed of about `bytes` bytes: channel, image and items with
// entities, CDATA descriptions with markup, guids and dates.
inline std::string realisticFeed(std::size_t bytes)
{
    std::string feed =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\">\n<channel>\n"
        "<title>Harbour Town Gazette</title>\n<link>http://gazette.example/</link>\n"
        "<description>Local news &amp; weather</description>\n<language>en-gb</language>\n"
        "<image><url>http://gazette.example/logo.png</url><title>Gazette</title>"
        "<link>http://gazette.example/</link><width>88</width><height>31</height></image>\n";
    for (std::size_t n = 1; feed.size() < bytes; ++n) {
        const std::string id = std::to_string(n);
        feed += "<item>\n<title>Council approves harbour wall repairs &amp; new ferry slot " + id +
                "</title>\n<link>http://gazette.example/story/" + id + "</link>\n"
                "<description><![CDATA[<p>The council voted on Tuesday to fund repairs to the "
                "north harbour wall.</p> Work starts in <b>June</b> and should last six weeks; "
                "the <a href=\"http://gazette.example/ferry\">ferry timetable</a>, changes from "
                "Monday. Residents said the plan was &quot;long overdue&quot;.<br />]]>"
                "</description>\n<author>desk@gazette.example (News Desk)</author>\n"
                "<category>Local</category>\n<guid>http://gazette.example/story/" + id +
                "</guid>\n<pubDate>Mon, 06 May 2024 07:45:00 GMT</pubDate>\n</item>\n";
    }
    feed += "</channel>\n</rss>\n";
    return feed;
}

// `count` copies of `unit` inside one item's description.
inline std::string repeatedInItem(std::string_view unit, std::size_t count)
{
    std::string feed = "<rss><channel><title>T</title><item><title>x</title><description>";
    feed.reserve(feed.size() + unit.size() * count + 64);
    for (std::size_t i = 0; i < count; ++i) {
        feed += unit;
    }
    feed += "</description></item></channel></rss>";
    return feed;
}

// `count` bare item tags and nothing else.
inline std::string tinyItems(std::size_t count)
{
    std::string feed = "<rss><channel><title>T</title>";
    for (std::size_t i = 0; i < count; ++i) {
        feed += "<item>";
    }
    return feed;
}

}  // namespace orlavo::bench
