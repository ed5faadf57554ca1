#include "signfeed/message_text.h"

#include "shared/text_numbers.h"

#include <algorithm>
#include <cmath>

namespace orlavo::signfeed {

namespace {

void removeAll(std::string& text, std::string_view what)
{
    std::string out;
    out.reserve(text.size());
    std::size_t from = 0;
    for (std::size_t p; (p = text.find(what, from)) != std::string::npos; from = p + what.size()) {
        out.append(text, from, p - from);
    }
    out.append(text, from, std::string::npos);
    text = std::move(out);
}

}  // namespace

std::string itemText(std::string_view title, std::string_view description)
{
    std::string text;
    if (!title.empty()) {
        text = description.empty() ? std::string(title) + " " : std::string(title) + " - " + std::string(description);
    }
    for (std::string_view tag : {"<B>", "</B>", "<li>", "/li>"}) {
        removeAll(text, tag);
    }
    return text;
}

std::string neutraliseForSign(std::string text)
{
    std::size_t w = 0;
    for (std::size_t r = 0; r < text.size(); ++r, ++w) {
        const auto byte = static_cast<unsigned char>(text[r]);
        if (byte == '~') {
            text[w] = '-';
        } else if (byte < 32 || byte == 127) {
            text[w] = ' ';
        } else if (byte == 0xC2 && r + 1 < text.size() && static_cast<unsigned char>(text[r + 1]) < 0xA0 &&
                   static_cast<unsigned char>(text[r + 1]) >= 0x80) {
            // A C1 control (U+0080 to U+009F): the code page would send
            // some of them as raw bytes the sign reads as commands.
            text[w] = ' ';
            ++r;
        } else {
            text[w] = text[r];
        }
    }
    text.resize(w);
    return text;
}

long itemLimitOf(std::string_view text)
{
    double value = leadingNumberOf(text);
    if (!std::isfinite(value) || value > 1e9) {
        return 1'000'000'000;
    }
    if (value < -1e9) {
        return -1'000'000'000;
    }
    return static_cast<long>(std::nearbyint(value));  // default rounding: halves to even
}

char speedDigitOf(std::string_view text)
{
    return static_cast<char>('0' + std::clamp(itemLimitOf(text), 1L, 5L));
}

char nextColour(char current, bool smartDisplay, int schemeIndex)
{
    static constexpr std::string_view kSmartCycle = "BCFcgk";
    static constexpr std::string_view kPlainCycle = "BCF";
    static constexpr std::string_view kSmartFixed = "BaCFcgk";  // indexes 1-7
    static constexpr std::string_view kPlainFixed = "BCF";      // indexes 1-3
    const std::string_view cycle = smartDisplay ? kSmartCycle : kPlainCycle;
    const std::string_view fixed = smartDisplay ? kSmartFixed : kPlainFixed;
    if (schemeIndex == 0) {
        std::size_t at = cycle.find(current);
        return at == std::string_view::npos ? 'B' : cycle[(at + 1) % cycle.size()];
    }
    if (schemeIndex >= 1 && static_cast<std::size_t>(schemeIndex) <= fixed.size()) {
        return fixed[static_cast<std::size_t>(schemeIndex) - 1];
    }
    return current;
}

bool hasNonBlank(std::string_view text)
{
    return text.find_first_not_of(' ') != std::string_view::npos;
}

}  // namespace orlavo::signfeed
