#include "feedcomp/rss_document.h"

#include <new>
#include <utility>

#include "feedcomp/atom_reader.h"
#include "feedcomp/document_content.h"
#include "feedcomp/field_extractor.h"
#include "feedcomp/rss_parser.h"
#include "feedcomp/text_search.h"

namespace pellix::detail {

namespace {

// prepareAtom gives the text prepared again with its CDATA markers kept:
// Atom reads a section as text, where RSS has already lost its bounds.
ParsedDocument parsePrepared(PreparedText prepared, const ParseLimits& limits,
                             const std::function<PreparedText()>& prepareAtom)
{
    std::unique_ptr<DocumentContent> content =
        extractFields(std::move(prepared.text), limits.maxItems, prepared.itemTags);
    // No RSS item: an Atom feed's entries stand in for them. Preparing again
    // costs a pass, so only a text that could hold an entry pays it.
    const auto mayHoldEntries = [&] {
        return findNoCase(content->text, "<entry", 0) != kNotFound ||
               findNoCase(content->text, ":entry", 0) != kNotFound;
    };
    if (content->itemCount == 0 && mayHoldEntries()) {
        if (auto atom = readAtom(prepareAtom().text, limits.maxItems)) {
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
        return parsePrepared(prepareText(text, stripTags), limits,
                             [&] { return prepareText(text, stripTags, true); });
    } catch (const std::bad_alloc&) {
        return {};
    }
}

ParsedDocument parseOwnedDocument(std::string text, bool stripTags, const std::function<std::string()>& original,
                                  const ParseLimits& limits)
{
    try {
        return parsePrepared(prepareOwnedText(std::move(text), stripTags, original), limits,
                             [&] { return prepareText(original(), stripTags, true); });
    } catch (const std::bad_alloc&) {
        return {};
    }
}

}  // namespace pellix::detail
