// Feeds arbitrary bytes to the byte decoder that every downloaded or local
// feed goes through once, and checks what must hold for any server's bytes:
// the text is valid UTF-8, valid UTF-8 passes unchanged, the fast path agrees
// with the byte-by-byte decoder, and a second decode changes nothing.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "feedcomp/feed_decoder.h"
#include "feedcomp/rss_document.h"
#include "platform/ascii.h"
#include "platform/code_page.h"

#include "fuzz_check.h"

namespace {

using orlavo::fuzz::check;

using pellix::detail::declaresWindows1252;
using pellix::detail::decodeFeedBytes;

// Strict UTF-8 (no overlong form, surrogate or value past U+10FFFF), written
// out from the definition rather than shared with the code under test.
bool isValidUtf8(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        std::size_t length = b < 0x80 ? 1 : b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3
                                          : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
        if (length == 0 || text.size() - i < length) {
            return false;
        }
        std::uint32_t value = length == 1 ? b : b & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto c = static_cast<unsigned char>(text[i + k]);
            if ((c & 0xC0) != 0x80) {
                return false;
            }
            value = (value << 6) | (c & 0x3F);
        }
        constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (value < kSmallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string text = decodeFeedBytes(bytes);
    check(isValidUtf8(text), "decoded text is not valid UTF-8");
    if (declaresWindows1252(bytes)) {
        check(text == orlavo::platform::cp1252ToUtf8(bytes), "declared windows-1252 not decoded byte by byte");
        check(orlavo::platform::utf8Length(text) == size, "a windows-1252 byte lost or split");
        return 0;
    }
    // Other declared character sets (and UTF-16 and UTF-32, by a byte order
    // mark or the width of the first "<") go through the converter: only the
    // checks above hold for them.
    const std::string_view declared = pellix::detail::declaredEncoding(bytes);
    const bool utf8 = declared.empty() || orlavo::platform::equalsIgnoreCase(declared, "utf-8");
    if (!utf8 || !pellix::detail::wideForm(bytes).empty()) {
        return 0;
    }
    // Each byte becomes one character of at most three bytes (the euro sign).
    check(orlavo::platform::utf8Length(text) <= size && text.size() <= 3 * size, "text larger than the bytes allow");
    check(text == orlavo::platform::decodeUtf8OrCp1252(bytes), "fast path disagrees with the byte-wise decoder");
    if (isValidUtf8(bytes)) {
        check(text == bytes, "valid UTF-8 changed");
    }
    check(decodeFeedBytes(text) == text, "decoding the text again changed it");
    return 0;
}
