#include "feedcomp/http_header.h"

#include <gtest/gtest.h>

using namespace pellix::detail;

TEST(HttpHeader, OnlyHttpSlashStartsAHeader)
{
    struct Row {
        const char* label;
        std::string_view received;
        HeaderStart start;
    };
    const Row rows[] = {
        {"status line", "HTTP/1.0 200 OK\r\n", HeaderStart::Header},
        {"prefix only", "HTTP/", HeaderStart::Header},
        {"first bytes", "HT", HeaderStart::TooShort},
        {"nothing yet", "", HeaderStart::TooShort},
        {"feed without header", "<?xml version=\"1.0\"?>\r\n\r\n<rss>", HeaderStart::NotHeader},
        {"lower case", "http/1.0 200 OK\r\n\r\n", HeaderStart::NotHeader},
        {"blank first", " HTTP/1.0", HeaderStart::NotHeader},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        EXPECT_EQ(classifyResponseStart(row.received), row.start);
    }
}

TEST(HttpHeader, FindsTheBlankLineWhateverTheLineEnds)
{
    struct Row {
        const char* label;
        std::string_view received;
        std::size_t from;
        std::size_t end;
    };
    constexpr auto npos = std::string_view::npos;
    const Row rows[] = {
        {"CR LF CR LF", "HTTP/1.0 200 OK\r\nA: b\r\n\r\nbody", 0, 25},
        {"LF LF", "HTTP/1.0 200 OK\nA: b\n\nbody", 0, 22},
        {"LF CR LF", "HTTP/1.0 200 OK\n\r\nbody", 0, 18},
        {"not yet", "HTTP/1.0 200 OK\r\nA: b\r\n", 0, npos},
        {"half a blank line", "HTTP/1.0 200 OK\r\n\r", 0, npos},
        {"scan resumes before the split", "HTTP/1.0 200 OK\r\n\r\n", 15, 19},
        {"first blank line wins", "HTTP/1.0 200 OK\r\n\r\nx\n\n", 15, 19},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        EXPECT_EQ(findHeaderEnd(row.received, row.from), row.end);
    }
}

TEST(HttpHeader, ReadsStatusReasonAndRedirectTarget)
{
    struct Row {
        const char* label;
        std::string_view header;
        std::int32_t code;
        std::string text;
    };
    const Row rows[] = {
        {"200", "HTTP/1.0 200 OK\r\nServer: x\r\n\r\n", 200, "OK"},
        {"404", "HTTP/1.1 404 Not Found\r\n\r\n", 404, "Not Found"},
        {"LF only", "HTTP/1.0 200 OK\nServer: x\n\n", 200, "OK"},
        {"no reason", "HTTP/1.0 204\r\n\r\n", 204, ""},
        {"301 with Location", "HTTP/1.0 301 Moved Permanently\r\nLocation: http://a/b\r\n\r\n", 301,
         "Moved PermanentlyLocation: http://a/b"},
        {"302 any-case Location", "HTTP/1.0 302 Found\r\nLOCATION: /x\r\n\r\n", 302, "FoundLOCATION: /x"},
        {"303 LF only", "HTTP/1.0 303 See Other\nlocation: /y\n\n", 303, "See Otherlocation: /y"},
        {"300 keeps its reason only", "HTTP/1.0 300 Multiple Choices\r\nLocation: /z\r\n\r\n", 300,
         "Multiple Choices"},
        {"304 keeps its reason only", "HTTP/1.0 304 Not Modified\r\nLocation: /z\r\n\r\n", 304, "Not Modified"},
        {"301 without Location", "HTTP/1.0 301 Moved\r\n\r\n", 301, "Moved"},
        {"code not numeric", "HTTP/1.0 2x0 Odd\r\n\r\n", 0, "Odd"},
        {"no blank in status line", "HTTP/1.0\r\n\r\n", 0, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        ResponseHeader header = parseHeader(row.header);
        EXPECT_EQ(header.statusCode, row.code);
        EXPECT_EQ(header.statusText, row.text);
    }
}

TEST(HttpHeader, ReadsTheLocationValueCharsetAndContentLengthOfAnyResponse)
{
    struct Row {
        const char* label;
        std::string header;
        std::string location;
        std::string charset;
        std::optional<std::int64_t> contentLength = std::nullopt;
    };
    const Row rows[] = {
        {"307 Location trimmed", "HTTP/1.0 307 T\r\nLocation:  /next \r\n\r\n", "/next", ""},
        {"status line is no header line", "HTTP/1.0 200 Location: /x\r\n\r\n", "", ""},
        {"charset among parameters", "HTTP/1.0 200 OK\r\nContent-Type: text/xml; charset=KOI8-R; q=1\r\n\r\n", "",
         "KOI8-R"},
        {"quoted charset, any case", "HTTP/1.0 200 OK\nCONTENT-TYPE: text/xml;CHARSET=\"Shift_JIS\"\n\n", "",
         "Shift_JIS"},
        {"no charset", "HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\n\r\n", "", ""},
        {"Content-Length", "HTTP/1.0 200 OK\r\nContent-Length: 1234\r\n\r\n", "", "", 1234},
        {"content-length any case, no blank", "HTTP/1.0 200 OK\ncontent-length:7\n\n", "", "", 7},
        {"Content-Length not a number", "HTTP/1.0 200 OK\r\nContent-Length: x\r\n\r\n", "", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        const auto header = pellix::detail::parseHeader(row.header);
        EXPECT_EQ(header.location, row.location);
        EXPECT_EQ(header.charset, row.charset);
        EXPECT_EQ(header.contentLength, row.contentLength);
    }
}
