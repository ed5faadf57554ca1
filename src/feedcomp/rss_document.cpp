#include "feedcomp/rss_document.h"

#include <new>
#include <utility>

#include "feedcomp/atom_reader.h"
#include "feedcomp/document_content.h"
#include "feedcomp/field_extractor.h"
#include "feedcomp/rss_parser.h"

namespace pellix::detail {

namespace {

ParsedDocument parsePrepared(PreparedText prepared, const ParseLimits& limits)
{
    std::unique_ptr<DocumentContent> content =
        extractFields(std::move(prepared.text), limits.maxItems, prepared.itemTags);
    // No RSS item: an Atom feed's entries stand in for them.
    if (content->itemCount == 0) {
        if (auto atom = readAtom(content->text, limits.maxItems)) {
            content = std::move(atom);
        }
    }
    ParsedDocument parsed;
    parsed.itemCount = content->itemCount;
    parsed.document = DocumentFactory::make(std::move(content));
    return parsed;
}

}  // namespace

ParsedDocument parseDocument(std::string_view text, bool stripTags, const ParseLimits& limits)
{
    try {
        // The caller's text stays untouched; every step works on a copy.
        return parsePrepared(prepareText(text, stripTags), limits);
    } catch (const std::bad_alloc&) {
        return {};
    }
}

ParsedDocument parseOwnedDocument(std::string text, bool stripTags, const std::function<std::string()>& original,
                                  const ParseLimits& limits)
{
    try {
        return parsePrepared(prepareOwnedText(std::move(text), stripTags, original), limits);
    } catch (const std::bad_alloc&) {
        return {};
    }
}

}  // namespace pellix::detail
