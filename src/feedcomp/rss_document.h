#pragma once
// The library's own way to make an RSSFile: decode feed bytes once, then parse
// the whole text. The download control and the tools build documents here.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "pellix/export.h"
#include "pellix/rss_file.h"

namespace pellix::detail {

// Bounds on what one parse keeps, so hostile input cannot exhaust memory.
struct ParseLimits {
    // Items past this number are not recorded: the count reported is capped at
    // it and the accessors answer items past it with no value, as they do for
    // any number past the count. Values below 0 count as 0.
    std::int32_t maxItems = 1'000'000;
};

// Raw feed bytes to UTF-8: XML declaration naming windows-1252/iso-8859-1/latin1 -> windows-1252;
// UTF-16 or UTF-32 (by byte order mark, or by the width of the first "<"), or another
// character set the declaration names -> converted;
// else UTF-8 with each byte that begins no valid sequence read as its windows-1252 character.
[[nodiscard]] PELLIX_API std::string decodeFeedBytes(std::string_view bytes);
// The text a finished download hands the parser: decodeFeedBytes with every
// bare LF made CR LF, built with one copy of a UTF-8 body rather than two.
[[nodiscard]] PELLIX_API std::string decodeFeedText(std::string_view bytes);

struct ParsedDocument {
    std::shared_ptr<RSSFile> document;
    std::int32_t itemCount = 0;
};

// Parses UTF-8 text (whole document); itemCount -1 for empty text, 0 for no "<item".
// document is non-null whenever text was parsed; it is null, with itemCount 0, only when
// memory ran out.
[[nodiscard]] PELLIX_API ParsedDocument parseDocument(std::string_view text, bool stripTags,
                                                      const ParseLimits& limits = {});
// The same over a text the parse may take apart: the document is made in
// place of it. original() gives the text again (see prepareOwnedText).
[[nodiscard]] PELLIX_API ParsedDocument parseOwnedDocument(std::string text, bool stripTags,
                                                           const std::function<std::string()>& original,
                                                           const ParseLimits& limits = {});

}  // namespace pellix::detail
