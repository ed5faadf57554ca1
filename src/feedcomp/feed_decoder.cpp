#include "feedcomp/feed_decoder.h"

#include <array>
#include <new>

#include "feedcomp/rss_document.h"
#include "feedcomp/text_search.h"
#include "platform/code_page.h"

namespace pellix::detail {

namespace {

// A declaration is short; looking further would only read the document body.
constexpr std::size_t kDeclarationWindow = 1024;

constexpr std::array<std::string_view, 3> kSingleByteNames = {"windows-1252", "iso-8859-1",
                                                              "latin1"};

bool isXmlSpace(char c) noexcept
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::size_t skipSpace(std::string_view text, std::size_t pos) noexcept
{
    while (pos < text.size() && isXmlSpace(text[pos])) {
        ++pos;
    }
    return pos;
}

// The value of the encoding pseudo-attribute inside a declaration, or empty.
std::string_view encodingValue(std::string_view decl) noexcept
{
    std::size_t pos = 0;
    while ((pos = decl.find("encoding", pos)) != std::string_view::npos) {
        pos = skipSpace(decl, pos + 8);
        if (pos >= decl.size() || decl[pos] != '=') {
            continue;
        }
        pos = skipSpace(decl, pos + 1);
        if (pos >= decl.size() || (decl[pos] != '"' && decl[pos] != '\'')) {
            continue;
        }
        const std::size_t close = decl.find(decl[pos], pos + 1);
        if (close == std::string_view::npos) {
            return {};
        }
        return decl.substr(pos + 1, close - pos - 1);
    }
    return {};
}

}  // namespace

bool declaresWindows1252(std::string_view bytes) noexcept
{
    const std::size_t start = skipSpace(bytes, 0);
    if (!startsWithNoCase(bytes, start, "<?xml")) {
        return false;
    }
    const std::string_view window = bytes.substr(start, kDeclarationWindow);
    const std::size_t end = window.find("?>");
    if (end == std::string_view::npos) {
        return false;
    }
    const std::string_view value = encodingValue(window.substr(0, end));
    for (std::string_view name : kSingleByteNames) {
        if (value.size() == name.size() && startsWithNoCase(value, 0, name)) {
            return true;
        }
    }
    return false;
}

std::string decodeFeedBytes(std::string_view bytes)
{
    try {
        if (declaresWindows1252(bytes)) {
            return orlavo::platform::cp1252ToUtf8(bytes);
        }
        return orlavo::platform::decodeUtf8OrCp1252(bytes);
    } catch (const std::bad_alloc&) {
        // No exception leaves the library; an empty text parses as no document.
        return {};
    }
}

}  // namespace pellix::detail
