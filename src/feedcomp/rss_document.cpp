#include "feedcomp/rss_document.h"

#include "feedcomp/document_content.h"

namespace pellix::detail {

std::string decodeFeedBytes(std::string_view bytes)
{
    return std::string(bytes);
}

ParsedDocument parseDocument(std::string_view text, bool, const ParseLimits&)
{
    auto content = std::make_unique<DocumentContent>();
    content->itemCount = text.empty() ? -1 : 0;
    ParsedDocument parsed;
    parsed.itemCount = content->itemCount;
    parsed.document = DocumentFactory::make(std::move(content));
    return parsed;
}

}  // namespace pellix::detail
