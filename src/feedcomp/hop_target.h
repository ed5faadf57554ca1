#pragma once
// Where one hop of a download goes, worked out before anything is sent: the
// URL split, the host's port override, and the route through the configured
// HTTP proxy unless the host is local.
#include "feedcomp/url.h"
#include "pellix/connectivity.h"
#include "pellix/result_code.h"

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace pellix::detail {

struct HopTarget {
    std::string host;
    std::uint16_t port = 80;
    std::string path;
    bool secure = false;
    // Through an HTTP proxy: where to connect, and the whole URL as the
    // request line's target instead of the path.
    std::optional<UrlParts> proxy;
    std::string absoluteUrl;
};

// Why no connection is tried: the result code and a detail for its text.
struct HopRefusal {
    ResultCode code = ResultCode::Ok;
    std::string detail;
};

// What RequestFile returns for a refusal: the code's text and, when there is
// one, the detail in brackets, its control bytes escaped.
[[nodiscard]] std::string refusalText(ResultCode code, const std::string& detail);

[[nodiscard]] std::variant<HopTarget, HopRefusal> planHop(const std::string& url, std::optional<std::int32_t> port,
                                                          Connectivity& connectivity);

}  // namespace pellix::detail
