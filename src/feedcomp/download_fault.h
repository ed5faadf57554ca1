#pragma once
#include <cstdint>
#include <string>

namespace pellix::detail {

// Why a download ends early, as OnFinish reports it.
struct DownloadFault {
    std::int32_t code = 0;
    std::string text;
};

}  // namespace pellix::detail
