#pragma once
// How a timeout reads in the engine's messages: whole seconds as "30 s",
// anything finer as "1500 ms".
#include <cstdint>
#include <string>

namespace pellix::detail {

[[nodiscard]] inline std::string durationText(std::int64_t ms)
{
    return ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms";
}

}  // namespace pellix::detail
