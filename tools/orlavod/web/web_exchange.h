#pragma once
// One HTTP request and its answer as plain values, so the API runs and is
// tested without sockets; the server copies them from and to the wire.
#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace orlavo::tools {

struct WebRequest {
    std::string method;  // "GET", "POST", ...
    std::string path;    // percent-decoded, without the query
    std::optional<std::string> queryToken;  // ?token=...
    std::string authorization;  // the Authorization header
    std::string cookie;         // the Cookie header
    std::string body;
    std::string host;    // the Host header
    std::string origin;  // the Origin header a browser sends
};

struct WebResponse {
    int status = 200;
    std::string contentType = "application/json";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
};

// Text that is not valid UTF-8 (a sign's file name) is written with U+FFFD,
// never refused: an answer must always go out.
[[nodiscard]] inline std::string jsonText(const nlohmann::json& value)
{
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

[[nodiscard]] inline WebResponse jsonResponse(int status, const nlohmann::json& value)
{
    return WebResponse{status, "application/json", jsonText(value), {}};
}

[[nodiscard]] inline WebResponse errorResponse(int status, const std::string& sentence)
{
    return jsonResponse(status, nlohmann::json{{"error", sentence}});
}

}  // namespace orlavo::tools
