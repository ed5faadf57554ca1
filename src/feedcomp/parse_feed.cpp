#include "pellix/parse.h"

#include <new>
#include <utility>

#include "feedcomp/feed_decoder.h"
#include "feedcomp/file_output.h"
#include "feedcomp/rss_document.h"
#include "platform/whole_file.h"

namespace pellix {

// GetLocalRSSFile and ParseFeedFile take the same files.
static_assert(kMaxFeedFileBytes == static_cast<std::int64_t>(detail::kMaxLocalDocumentBytes));

namespace {

ParsedFeed outOfMemory()
{
    ParsedFeed out;
    out.result = ResultCode::OutOfMemory;
    out.error = resultText(ResultCode::OutOfMemory);
    return out;
}

}  // namespace

ParsedFeed ParseFeed(std::string_view bytes, bool StripTags, LineEnds lineEnds)
{
    try {
        ParsedFeed out;
        out.charsetFallback = detail::unknownCharset(bytes, {});
        const std::string text =
            lineEnds == LineEnds::Crlf ? detail::decodeFeedText(bytes) : detail::decodeFeedBytes(bytes);
        detail::ParsedDocument parsed = detail::parseDocument(text, StripTags);
        if (parsed.document == nullptr) {
            return outOfMemory();
        }
        out.items = parsed.itemCount;
        if (parsed.itemCount > 0) {
            out.file = std::move(parsed.document);
        }
        return out;
    } catch (const std::bad_alloc&) {
        return outOfMemory();
    }
}

ParsedFeed ParseFeedFile(const std::string& path, bool StripTags)
{
    try {
        orlavo::platform::RegularFileRead read =
            orlavo::platform::readRegularFile(path, static_cast<std::size_t>(kMaxFeedFileBytes));
        if (!read.bytes) {
            ParsedFeed out;
            out.result = ResultCode::FileUnreadable;
            out.error = read.error ? read.error->description : path + ": no such file";
            return out;
        }
        return ParseFeed(*read.bytes, StripTags);
    } catch (const std::bad_alloc&) {
        return outOfMemory();
    }
}

}  // namespace pellix
