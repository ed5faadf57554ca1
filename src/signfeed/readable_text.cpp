#include "signfeed/readable_text.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>

namespace orlavo::signfeed {

namespace {

struct NamedEntity {
    std::string_view name;
    char32_t code;
};

// The named entities news feeds leave behind; the XML five are handled by the parse.
constexpr std::array<NamedEntity, 40> kNamed = {{
    {"nbsp", 0xA0},    {"iexcl", 0xA1},   {"cent", 0xA2},    {"pound", 0xA3},   {"euro", 0x20AC},
    {"yen", 0xA5},     {"copy", 0xA9},    {"reg", 0xAE},     {"trade", 0x2122}, {"deg", 0xB0},
    {"laquo", 0xAB},   {"raquo", 0xBB},   {"middot", 0xB7},  {"iquest", 0xBF},  {"times", 0xD7},
    {"ndash", 0x2013}, {"mdash", 0x2014}, {"lsquo", 0x2018}, {"rsquo", 0x2019}, {"sbquo", 0x201A},
    {"ldquo", 0x201C}, {"rdquo", 0x201D}, {"bdquo", 0x201E}, {"hellip", 0x2026}, {"bull", 0x2022},
    {"agrave", 0xE0},  {"aacute", 0xE1},  {"auml", 0xE4},    {"ccedil", 0xE7},  {"egrave", 0xE8},
    {"eacute", 0xE9},  {"ecirc", 0xEA},   {"iacute", 0xED},  {"ntilde", 0xF1},  {"oacute", 0xF3},
    {"ouml", 0xF6},    {"uuml", 0xFC},    {"szlig", 0xDF},   {"Auml", 0xC4},    {"Eacute", 0xC9},
}};

// Longest reference body worth looking at: "#x10FFFF" and the names above fit.
constexpr std::size_t kMaxReference = 10;

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::optional<char32_t> numericReference(std::string_view body)
{
    const bool hex = body.size() > 1 && (body[1] == 'x' || body[1] == 'X');
    std::string_view digits = body.substr(hex ? 2 : 1);
    if (digits.empty()) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (char c : digits) {
        int digit = -1;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (hex && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (hex && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        }
        if (digit < 0 || value > 0x10FFFF) {
            return std::nullopt;
        }
        value = value * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit);
    }
    if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return std::nullopt;
    }
    return static_cast<char32_t>(value);
}

std::optional<char32_t> reference(std::string_view body)
{
    if (!body.empty() && body[0] == '#') {
        return numericReference(body);
    }
    for (const NamedEntity& entity : kNamed) {
        if (entity.name == body) {
            return entity.code;
        }
    }
    return std::nullopt;
}

// Base letters of U+0100..U+017F, two per letter pair as Unicode orders them.
constexpr std::string_view kLatinExtendedA =
    "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIiJjJjKkkLlLlLlLlLlNnNnNnnNnOoOoOoOoRrRrRrSsSsSsSsTtTtTt"
    "UuUuUuUuUuUuWwYyYZzZzZzs";

// One code point of valid UTF-8 at text[i]; its length in n.
char32_t decodeAt(std::string_view text, std::size_t i, std::size_t& n)
{
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
    const unsigned char lead = b(0);
    n = 1;
    if (lead < 0x80) {
        return lead;
    }
    if (lead < 0xC0 || i + 1 >= text.size()) {
        return 0xFFFD;  // not the start of a character: copied as it is
    }
    if (lead < 0xE0) {
        n = 2;
        return static_cast<char32_t>(((lead & 0x1F) << 6) | (b(1) & 0x3F));
    }
    if (lead < 0xF0 && i + 2 < text.size()) {
        n = 3;
        return static_cast<char32_t>(((lead & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F));
    }
    // Four-byte characters have no plain form here: copied whole.
    n = std::min<std::size_t>(4, text.size() - i);
    return 0xFFFD;
}

// The plain form of c, or empty when c stays as it is.
std::string_view plainForm(char32_t c)
{
    // windows-1252 holds Š š Œ œ Ž ž Ÿ ƒ itself.
    if (c >= 0x100 && c <= 0x17F && c != 0x152 && c != 0x153 && c != 0x160 && c != 0x161 && c != 0x178 &&
        c != 0x17D && c != 0x17E) {
        const std::size_t at = c - 0x100;
        return at < kLatinExtendedA.size() ? kLatinExtendedA.substr(at, 1) : std::string_view();
    }
    switch (c) {
    case 0x2010: case 0x2011: case 0x2012: case 0x2015: case 0x2212: return "-";
    case 0x2032: return "'";
    case 0x2033: return "\"";
    case 0x2002: case 0x2003: case 0x2009: case 0x200A: case 0x202F: return " ";
    default: return {};
    }
}

}  // namespace

std::string decodeCharacterReferences(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const std::size_t amp = utf8.find('&', i);
        out.append(utf8.substr(i, amp == std::string_view::npos ? std::string_view::npos : amp - i));
        if (amp == std::string_view::npos) {
            break;
        }
        const std::size_t semi = utf8.substr(amp + 1, kMaxReference + 1).find(';');
        const auto code = semi == std::string_view::npos ? std::nullopt : reference(utf8.substr(amp + 1, semi));
        if (code) {
            appendUtf8(out, *code);
            i = amp + semi + 2;
        } else {
            out += '&';
            i = amp + 1;
        }
    }
    return out;
}

std::string transliterateForSign(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0, n = 1; i < utf8.size(); i += n) {
        const char32_t c = decodeAt(utf8, i, n);
        const std::string_view plain = c < 0x80 ? std::string_view() : plainForm(c);
        out.append(plain.empty() ? utf8.substr(i, n) : plain);
    }
    return out;
}

}  // namespace orlavo::signfeed
