#pragma once
// Reading an HTTP/1.0 response header. Pure functions over the bytes received
// so far; the engine decides when to call them and what the limits are.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pellix::detail {

enum class HeaderStart {
    Header,      // begins with "HTTP/"
    NotHeader,   // stored whole as body, status 0
    TooShort,    // fewer than five bytes, all matching "HTTP/" so far
};

struct ResponseHeader {
    std::int32_t statusCode = 0;  // 0 when the status line has no 3-digit code
    std::string statusText;       // reason phrase; for 301-303 followed by the Location line
    std::optional<std::int64_t> contentLength;
    std::string location;  // the Location value, blanks trimmed; empty when none
    std::string charset;   // the charset parameter of Content-Type; empty when none
    std::string lastModified;  // Last-Modified and ETag values, for a later conditional GET
    std::string etag;
};

[[nodiscard]] HeaderStart classifyResponseStart(std::string_view received);

// Length of the header including its blank line (CR LF CR LF, LF LF or
// LF CR LF), or npos while no blank line has arrived. Scanning starts at
// from, so a caller appending reads does not rescan old bytes; pass the
// previous length minus two to catch a blank line split across reads.
[[nodiscard]] std::size_t findHeaderEnd(std::string_view received, std::size_t from = 0);

// Status code, reason phrase and, for 301, 302 and 303, the whole
// "Location:" line appended to the reason as hosts expect it. header is
// everything up to and including the blank line.
[[nodiscard]] ResponseHeader parseHeader(std::string_view header);

}  // namespace pellix::detail
