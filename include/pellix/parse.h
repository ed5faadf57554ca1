#pragma once
/// @file
/// Parsing a feed without a download control: from bytes in memory or from a
/// file. The result is the same RSSFile that RSSComp::GetRSSFile hands out.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "pellix/export.h"
#include "pellix/result_code.h"
#include "pellix/rss_file.h"

namespace pellix {

/// What a parse produced.
struct ParsedFeed {
    /// The document, or null when the text held no item or the parse failed.
    std::shared_ptr<RSSFile> file;
    /// Items 1 to this number can be read; 0 when the text held no item,
    /// -1 when there was no text at all.
    std::int32_t items = 0;
    /// Ok, FileUnreadable (ParseFeedFile) or OutOfMemory.
    ResultCode result = ResultCode::Ok;
    /// Why the result is not Ok, for people.
    std::string error;
    /// Like RSSComp::CharsetFallback: the character set the text named but
    /// the decoder does not know, so it was read as UTF-8 with windows-1252
    /// fallback; empty otherwise.
    std::string charsetFallback;
};

/// How line ends reach the parser.
enum class LineEnds {
    AsStored,  ///< as in the bytes (what GetLocalRSSFile does)
    Crlf,      ///< every bare LF made CR LF (what GetRSSFile does with a download)
};

/// Decodes feed bytes (the XML declaration's character set, else UTF-8 with
/// windows-1252 fallback) and parses them. StripTags removes line breaks,
/// bold tags, anchors, headings, paragraphs, spans and images from the text
/// first. Never throws.
[[nodiscard]] PELLIX_API ParsedFeed ParseFeed(std::string_view bytes, bool StripTags,
                                              LineEnds lineEnds = LineEnds::AsStored);

/// ParseFeed over a file's bytes. A file that is missing, not a regular file,
/// unreadable or larger than kMaxFeedFileBytes gives FileUnreadable.
[[nodiscard]] PELLIX_API ParsedFeed ParseFeedFile(const std::string& path, bool StripTags);

/// The largest file ParseFeedFile reads (64 MiB, the download's body limit).
inline constexpr std::int64_t kMaxFeedFileBytes = 64LL << 20;

}  // namespace pellix
