#include "feedcomp/feed_decoder.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <new>
#include <optional>

#include "feedcomp/body.h"
#include "feedcomp/rss_document.h"
#include "feedcomp/text_search.h"
#include "platform/charset.h"
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

// Length of the well-formed UTF-8 sequence at bytes[i] (no overlong form,
// surrogate or value past U+10FFFF), or 0.
std::size_t wellFormedLength(std::string_view bytes, std::size_t i) noexcept
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(bytes[i + k]); };
    const auto continues = [&](std::size_t k) { return (byte(k) & 0xC0) == 0x80; };
    const unsigned char lead = byte(0);
    const std::size_t left = bytes.size() - i;
    if (lead >= 0xC2 && lead <= 0xDF) {
        return left >= 2 && continues(1) ? 2 : 0;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        // E0 needs A0-BF next (no overlong form), ED needs 80-9F (no surrogate).
        const unsigned char low = lead == 0xE0 ? 0xA0 : 0x80;
        const unsigned char high = lead == 0xED ? 0x9F : 0xBF;
        return left >= 3 && byte(1) >= low && byte(1) <= high && continues(2) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        // F0 needs 90-BF next (no overlong form), F4 needs 80-8F (not past U+10FFFF).
        const unsigned char low = lead == 0xF0 ? 0x90 : 0x80;
        const unsigned char high = lead == 0xF4 ? 0x8F : 0xBF;
        return left >= 4 && byte(1) >= low && byte(1) <= high && continues(2) && continues(3)
                   ? 4
                   : 0;
    }
    return 0;
}

// True when the bytes are well-formed UTF-8 throughout: decoding them then
// gives the same bytes, so a copy does. ASCII goes eight bytes at a time.
bool isWellFormedUtf8(std::string_view bytes) noexcept
{
    std::size_t i = 0;
    while (i < bytes.size()) {
        std::uint64_t word = 0;
        if (bytes.size() - i >= sizeof word) {
            std::memcpy(&word, bytes.data() + i, sizeof word);
            if ((word & 0x8080808080808080u) == 0) {
                i += sizeof word;
                continue;
            }
        }
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            ++i;
            continue;
        }
        const std::size_t length = wellFormedLength(bytes, i);
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

bool isNamed(std::string_view value, std::string_view name) noexcept
{
    return value.size() == name.size() && startsWithNoCase(value, 0, name);
}

bool isSingleByteName(std::string_view value) noexcept
{
    for (std::string_view name : kSingleByteNames) {
        if (isNamed(value, name)) {
            return true;
        }
    }
    return false;
}

// A name worth handing to iconv: not UTF-8 (read as today), not a wide form
// (a declaration readable as ASCII cannot be UTF-16 or UTF-32), and only the
// letters a character set's name uses, so no option suffix slips through.
bool needsConversion(std::string_view name) noexcept
{
    if (name.empty() || name.size() > 40 || isNamed(name, "utf-8") || isNamed(name, "utf8") ||
        startsWithNoCase(name, 0, "utf-16") || startsWithNoCase(name, 0, "utf-32") || startsWithNoCase(name, 0, "ucs")) {
        return false;
    }
    for (char c : name) {
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                             c == '_' || c == '.' || c == ':';
        if (!allowed) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string_view declaredEncoding(std::string_view bytes) noexcept
{
    const std::size_t start = skipSpace(bytes, 0);
    if (!startsWithNoCase(bytes, start, "<?xml")) {
        return {};
    }
    const std::string_view window = bytes.substr(start, kDeclarationWindow);
    const std::size_t end = window.find("?>");
    if (end == std::string_view::npos) {
        return {};
    }
    return encodingValue(window.substr(0, end));
}

bool declaresWindows1252(std::string_view bytes) noexcept
{
    return isSingleByteName(declaredEncoding(bytes));
}

std::string decodeFeedBytes(std::string_view bytes)
{
    return decodeFeedBytes(bytes, {});
}

std::string_view wideForm(std::string_view bytes) noexcept
{
    const auto at = [&](std::size_t k) { return k < bytes.size() ? static_cast<unsigned char>(bytes[k]) : 0x100u; };
    // The four-byte marks first: FF FE 00 00 also begins like UTF-16's.
    if (bytes.starts_with(std::string_view("\xFF\xFE\0\0", 4)) || bytes.starts_with(std::string_view("\0\0\xFE\xFF", 4))) {
        return "UTF-32";
    }
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
        return "UTF-16";
    }
    // No mark: a document begins with "<", which shows the width and the order.
    if (at(0) == 0 && at(1) == 0 && at(2) == 0 && at(3) == '<') {
        return "UTF-32BE";
    }
    if (at(0) == '<' && at(1) == 0 && at(2) == 0 && at(3) == 0) {
        return "UTF-32LE";
    }
    if (at(0) == 0 && at(1) == '<' && at(2) == 0 && at(3) != 0 && at(3) != 0x100u) {
        return "UTF-16BE";
    }
    if (at(0) == '<' && at(1) == 0 && at(2) != 0 && at(2) != 0x100u && at(3) == 0) {
        return "UTF-16LE";
    }
    return {};
}

namespace {

// The character set that decides the decoding: the declaration's, else the transport's.
std::string_view charsetOf(std::string_view bytes, std::string_view transportCharset) noexcept
{
    std::string_view declared = declaredEncoding(bytes);
    return declared.empty() ? transportCharset : declared;
}

bool isWideName(std::string_view name) noexcept
{
    return startsWithNoCase(name, 0, "utf-16") || startsWithNoCase(name, 0, "utf-32") ||
           startsWithNoCase(name, 0, "ucs");
}

// How the bytes are read. named is the character set a converter is asked
// for, or the one that the UTF-8 rule stands in for (empty when none does).
struct Choice {
    enum class Reading { Utf8Rule, SingleByte, Convert } reading = Reading::Utf8Rule;
    std::string_view named;
    bool wide = false;  // a byte order mark or the width of the first "<" chose it
};

Choice choose(std::string_view bytes, std::string_view transportCharset) noexcept
{
    if (const std::string_view wide = wideForm(bytes); !wide.empty()) {
        return {Choice::Reading::Convert, wide, true};
    }
    const std::string_view name = charsetOf(bytes, transportCharset);
    if (isSingleByteName(name)) {
        return {Choice::Reading::SingleByte, {}, false};
    }
    if (needsConversion(name)) {
        return {Choice::Reading::Convert, name, false};
    }
    // A wide name on bytes whose declaration reads as ASCII is known, only
    // not what the bytes are; UTF-8 is what the rule reads anyway.
    const bool known = name.empty() || isNamed(name, "utf-8") || isNamed(name, "utf8") || isWideName(name);
    return {Choice::Reading::Utf8Rule, known ? std::string_view() : name, false};
}

// The bytes in the chosen character set, or nullopt when the converter does
// not know it, or when a named set turns bytes that hold markup into a text
// with none (an ASCII file declared as EBCDIC): the name was wrong.
std::optional<std::string> converted(std::string_view bytes, const Choice& choice)
{
    auto text = orlavo::platform::convertToUtf8(bytes, std::string(choice.named));
    if (text && !choice.wide && text->find('<') == std::string::npos && bytes.find('<') != std::string_view::npos) {
        return std::nullopt;
    }
    return text;
}

std::string byUtf8Rule(std::string_view bytes)
{
    if (isWellFormedUtf8(bytes)) {
        return std::string(bytes);
    }
    return orlavo::platform::decodeUtf8OrCp1252(bytes);
}

}  // namespace

std::string decodeFeedBytes(std::string_view bytes, std::string_view transportCharset)
{
    try {
        const Choice choice = choose(bytes, transportCharset);
        if (choice.reading == Choice::Reading::SingleByte) {
            return orlavo::platform::cp1252ToUtf8(bytes);
        }
        if (choice.reading == Choice::Reading::Convert) {
            if (auto text = converted(bytes, choice)) {
                return *text;
            }
        }
        return byUtf8Rule(bytes);
    } catch (const std::bad_alloc&) {
        // No exception leaves the library; an empty text parses as no document.
        return {};
    }
}

std::string unknownCharset(std::string_view bytes, std::string_view transportCharset)
{
    constexpr std::size_t kShown = 40;
    const Choice choice = choose(bytes, transportCharset);
    if (choice.named.empty() || choice.reading == Choice::Reading::SingleByte) {
        return {};
    }
    try {
        if (choice.reading == Choice::Reading::Convert && converted(bytes, choice)) {
            return {};
        }
    } catch (const std::bad_alloc&) {
        return {};
    }
    std::string shown(choice.named.substr(0, kShown));
    for (char& c : shown) {
        if (c <= ' ' || c > '~' || c == '"') {
            c = '?';
        }
    }
    return shown;
}

std::string decodeFeedText(std::string_view bytes)
{
    return decodeFeedText(bytes, {});
}

std::string decodeFeedText(std::string_view bytes, std::string_view transportCharset)
{
    try {
        // The common case, UTF-8 as it came: one copy, made while converting line ends.
        if (choose(bytes, transportCharset).reading == Choice::Reading::Utf8Rule && isWellFormedUtf8(bytes)) {
            return toCrlf(bytes);
        }
        return toCrlf(decodeFeedBytes(bytes, transportCharset));
    } catch (const std::bad_alloc&) {
        return {};
    }
}

}  // namespace pellix::detail
