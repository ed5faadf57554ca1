#pragma once
// The routes of the web control, request in, response out. What needs no
// sign (the page's files, the login, refusals) is answered on the server's
// threads; the rest runs on the loop, where the signs live.
#include "web/web_auth.h"
#include "web/web_exchange.h"
#include "sign_board.h"

#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace orlavo::tools {

// Request bodies above this are refused before they are read.
inline constexpr std::size_t kMaxWebBody = 64 * 1024;
// JSON bodies nest a few levels; deeper ones are refused unread.
inline constexpr int kMaxJsonDepth = 16;

class WebApi {
public:
    WebApi(SignBoard& board, const WebAuth& auth) : m_board(board), m_auth(auth) {}

    // Any thread: the answer to a request that needs no sign, or nullopt
    // when it must run on the loop.
    [[nodiscard]] std::optional<WebResponse> answerOffLoop(const WebRequest& request) const;
    // On the loop.
    [[nodiscard]] WebResponse answerOnLoop(const WebRequest& request);
    // Both steps on the calling thread (tests; the loop's own thread).
    [[nodiscard]] WebResponse handle(const WebRequest& request)
    {
        std::optional<WebResponse> early = answerOffLoop(request);
        return early ? std::move(*early) : answerOnLoop(request);
    }

    // The event stream's first events: every sign as it is now.
    [[nodiscard]] std::vector<std::string> signEvents() const;
    // One sign's event data; empty when the sign is gone.
    [[nodiscard]] std::string signEvent(std::string_view name) const;

    [[nodiscard]] static bool isEventStream(const WebRequest& request)
    {
        return request.method == "GET" && request.path == "/api/v1/events";
    }
    [[nodiscard]] static bool isDiscovery(const WebRequest& request)
    {
        return request.method == "POST" && request.path == "/api/v1/discover";
    }

private:
    [[nodiscard]] WebResponse signRoute(const WebRequest& request, std::string_view name, std::string_view part);
    [[nodiscard]] WebResponse announce(const WebRequest& request, const std::string& name);
    [[nodiscard]] WebResponse settings(const WebRequest& request, const std::string& name);

    SignBoard& m_board;
    const WebAuth& m_auth;
};

// The body as a JSON object, or the 400 that says why it is none (not JSON,
// nested too deep, not an object).
[[nodiscard]] std::variant<nlohmann::json, WebResponse> jsonBody(const std::string& body);

}  // namespace orlavo::tools
