#include "feedcomp/rss_document.h"

#include <new>
#include <utility>

#include "feedcomp/atom_reader.h"
#include "feedcomp/document_content.h"
#include "feedcomp/field_extractor.h"
#include "feedcomp/rss_parser.h"

namespace pellix::detail {

ParsedDocument parseDocument(std::string_view text, bool stripTags, const ParseLimits& limits)
{
    try {
        // The caller's text stays untouched; every step works on a copy.
        PreparedText prepared = prepareText(text, stripTags);
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
    } catch (const std::bad_alloc&) {
        return {};
    }
}

}  // namespace pellix::detail
