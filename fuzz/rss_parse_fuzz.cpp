// Feeds arbitrary bytes through the byte decoder and both parse modes, and
// reads every field of the result, so a sanitizer sees every path.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "feedcomp/rss_document.h"
#include "fuzz_check.h"

namespace {

// Keeps the reads from being optimised away.
volatile std::size_t g_sink = 0;

void readEverything(const pellix::detail::ParsedDocument& parsed)
{
    if (parsed.document == nullptr) {
        return;
    }
    const pellix::RSSFile& doc = *parsed.document;
    std::size_t total = doc.Title().size() + doc.Category().size();
    for (const std::string& field : doc.ImageData()) {
        total += field.size();
    }
    for (std::int32_t i = -1; i <= parsed.itemCount + 1; ++i) {
        total += doc.ItemTitle(i).value_or("").size() + doc.ItemPubDate(i).value_or("").size();
    }
    g_sink = g_sink + total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string text = pellix::detail::decodeFeedBytes(bytes);
    // Raw bytes too: the parser must cope with text that is not valid UTF-8.
    for (std::string_view input : {std::string_view(text), bytes}) {
        readEverything(pellix::detail::parseDocument(input, false));
        readEverything(pellix::detail::parseDocument(input, true, {3}));
    }
    // The download parses in place of its text: it must find the same items.
    for (bool strip : {false, true}) {
        const auto copied = pellix::detail::parseDocument(text, strip);
        const auto inPlace = pellix::detail::parseOwnedDocument(text, strip, [&text] { return text; });
        if (copied.itemCount != inPlace.itemCount ||
            (copied.itemCount > 0 && copied.document->ItemTitle(1) != inPlace.document->ItemTitle(1))) {
            orlavo::fuzz::check(false, "the in-place parse found other items");
        }
    }
    return 0;
}
