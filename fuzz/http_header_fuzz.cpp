// Feeds arbitrary bytes to the response header functions as the download
// engine does, and checks what must hold for any server's reply: the blank
// line found while the bytes arrive in pieces is the one found in the whole
// reply, it lies inside the bytes, and the parsed fields stay in range.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "feedcomp/http_header.h"

#include "fuzz_check.h"

namespace {

using orlavo::fuzz::check;

using namespace pellix::detail;

constexpr std::size_t kNpos = std::string_view::npos;

// The engine's loop: append a read, scan again from two bytes before it.
std::size_t endFoundInPieces(std::string_view reply, std::size_t piece)
{
    for (std::size_t have = 0; have < reply.size();) {
        const std::size_t from = have >= 2 ? have - 2 : 0;
        have = have + piece < reply.size() ? have + piece : reply.size();
        const std::size_t end = findHeaderEnd(reply.substr(0, have), from);
        if (end != kNpos) {
            return end;
        }
    }
    return kNpos;
}

void checkStart(std::string_view reply)
{
    constexpr std::string_view kPrefix = "HTTP/";
    const HeaderStart start = classifyResponseStart(reply);
    const bool prefixSoFar = kPrefix.starts_with(reply.substr(0, kPrefix.size()));
    check((start == HeaderStart::Header) == reply.starts_with(kPrefix), "Header iff the reply starts with HTTP/");
    check((start == HeaderStart::TooShort) == (reply.size() < kPrefix.size() && prefixSoFar),
          "TooShort iff fewer than five bytes, all matching so far");
}

void checkParsed(std::string_view header)
{
    const ResponseHeader parsed = parseHeader(header);
    check(parsed.statusCode >= 0 && parsed.statusCode <= 999, "status code has three digits at most");
    // The reason phrase, plus for a redirect one Location line: each a piece of the header.
    check(parsed.statusText.size() <= 2 * header.size(), "status text longer than the header allows");
    if (parsed.contentLength) {
        check(*parsed.contentLength >= 0 && *parsed.contentLength < 1'000'000'000'000'000'000,
              "content length outside 0 to 18 digits");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view reply(reinterpret_cast<const char*>(data), size);
    checkStart(reply);
    const std::size_t end = findHeaderEnd(reply);
    check(end == kNpos || (end >= 2 && end <= reply.size()), "header end outside the reply");
    if (end != kNpos) {
        const std::string_view header = reply.substr(0, end);
        check(header.ends_with("\n\n") || header.ends_with("\n\r\n"), "header does not end in a blank line");
    }
    // Servers split replies anywhere: one byte, a few, a typical read.
    for (std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{512}}) {
        check(endFoundInPieces(reply, piece) == end, "header end depends on how the reply was split");
    }
    checkParsed(end == kNpos ? reply : reply.substr(0, end));
    return 0;
}
