#include "shared/text_numbers.h"

#include "platform/ascii.h"

#include <cctype>
#include <cstdlib>
#include <string>

namespace orlavo::signfeed {

namespace {

std::string_view trimBlanks(std::string_view text)
{
    return platform::trimIf(text, platform::isSpaceOrTab);
}

// Length of the decimal number (sign, digits, optional fraction) at the start.
std::size_t numberPrefixLength(std::string_view text)
{
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    std::size_t digits = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        ++i, ++digits;
    }
    if (i < text.size() && text[i] == '.') {
        std::size_t j = i + 1;
        while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) {
            ++j, ++digits;
        }
        i = j;
    }
    return digits == 0 ? 0 : i;
}

}  // namespace

std::optional<long long> wholeNumberOf(std::string_view text)
{
    text = trimBlanks(text);
    std::size_t i = (!text.empty() && (text[0] == '+' || text[0] == '-')) ? 1 : 0;
    if (i == text.size() || text.size() - i > 18) {
        return std::nullopt;
    }
    for (std::size_t k = i; k < text.size(); ++k) {
        if (!std::isdigit(static_cast<unsigned char>(text[k]))) {
            return std::nullopt;
        }
    }
    return std::stoll(std::string(text));
}

std::optional<bool> booleanOf(std::string_view text)
{
    std::string_view t = trimBlanks(text);
    if (platform::equalsIgnoreCase(t, "true")) {
        return true;
    }
    if (platform::equalsIgnoreCase(t, "false")) {
        return false;
    }
    if (auto n = wholeNumberOf(t)) {
        return *n != 0;
    }
    return std::nullopt;
}

double leadingNumberOf(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    std::size_t len = numberPrefixLength(text);
    return len == 0 ? 0.0 : std::strtod(std::string(text.substr(0, len)).c_str(), nullptr);
}

std::optional<double> decimalNumberOf(std::string_view text)
{
    text = trimBlanks(text);
    std::size_t len = numberPrefixLength(text);
    if (len == 0 || len != text.size()) {
        return std::nullopt;
    }
    return std::strtod(std::string(text).c_str(), nullptr);
}

}  // namespace orlavo::signfeed
