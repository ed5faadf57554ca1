#pragma once
// Values of the tools' download-limit options, read alike by every tool.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

namespace orlavo::tools {

// A whole number of bytes, 0 or more, with nothing after it.
inline std::optional<std::int64_t> parseBytes(const std::string& text)
{
    std::int64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 0) {
        return std::nullopt;
    }
    return value;
}

// Seconds, fractions allowed, to milliseconds; at least 1 ms.
inline std::optional<std::int64_t> parseSecondsAsMs(const std::string& text)
{
    char* end = nullptr;
    const double seconds = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(seconds) || seconds <= 0 ||
        seconds > 1e7) {
        return std::nullopt;
    }
    return std::max<std::int64_t>(1, static_cast<std::int64_t>(std::llround(seconds * 1000)));
}

}  // namespace orlavo::tools
