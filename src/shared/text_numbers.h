#pragma once
// The conversions the window applies to the texts it loads and edits.
#include <optional>
#include <string_view>

namespace orlavo::signfeed {

// The whole number a text spells: optional blanks, an optional sign, digits,
// optional blanks. Anything else (letters, empty text, overflow) is nullopt.
[[nodiscard]] std::optional<long long> wholeNumberOf(std::string_view text);

// "True"/"False" in any letter case, or a whole number (0 is false).
[[nodiscard]] std::optional<bool> booleanOf(std::string_view text);

// The number at the start of a text: leading blanks skipped, then an optional
// sign, digits and an optional fraction; a text that starts with no number is
// 0. "30abc" is 30, "abc" is 0, " 2.5" is 2.5.
[[nodiscard]] double leadingNumberOf(std::string_view text);

// A full conversion of a decimal number with optional surrounding blanks
// ("1.5", "-3"); nullopt for empty or non-numeric text.
[[nodiscard]] std::optional<double> decimalNumberOf(std::string_view text);

}  // namespace orlavo::signfeed
