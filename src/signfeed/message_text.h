#pragma once
// The text rules of one message: what an item contributes, how it is cleaned
// before it can reach the sign, and the colour and limit rules of a run.
#include <string>
#include <string_view>

namespace orlavo::signfeed {

// Title and description as the preview and the sign show them: "title -
// description", "title " without a description, empty without a title; then
// "<B>", "</B>", "<li>" and "/li>" removed, in that order, case-sensitive.
[[nodiscard]] std::string itemText(std::string_view title, std::string_view description);

// Feed text is untrusted: "~" would let it end the frame and start commands
// of its own, and control characters would break the line. Every "~" becomes
// "-" and every control character (codes below 32, DEL and the C1 controls
// U+0080 to U+009F) a blank, one for one, so the budget counts stay the same.
[[nodiscard]] std::string neutraliseForSign(std::string text);

// The item limit of a "Maximum Number of Messages" text: its leading number
// rounded to the nearest whole number, halves to even; 0 for no number.
[[nodiscard]] long itemLimitOf(std::string_view text);

// The one speed digit a sign takes, from a "Speed 1 - 5" text: its leading
// number rounded as the item limit is, kept within 1 to 5 (1 for no number).
// The text itself never reaches the frame, so it cannot add commands to it.
[[nodiscard]] char speedDigitOf(std::string_view text);

// The next colour code of a run. schemeIndex selects a fixed colour; 0 cycles
// (B, C, F, c, g, k with Smart LED Display, else B, C, F); an index outside
// the current list leaves the code unchanged.
[[nodiscard]] char nextColour(char current, bool smartDisplay, int schemeIndex);

// True when text holds something other than blanks (code 32).
[[nodiscard]] bool hasNonBlank(std::string_view text);

}  // namespace orlavo::signfeed
