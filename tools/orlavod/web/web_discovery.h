#pragma once
// Discovery from the web: the walk of "orlavod discover" over a sign's
// configured range, on a copy of its settings, one walk at a time. The walk
// runs on the loop (which keeps serving between its probes); its answer
// comes back through a callback once the late replies had their second.
#include "web/web_exchange.h"
#include "sign_board.h"

#include "platform/clock.h"
#include "platform/event_loop.h"
#include "platform/udp_endpoint.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace orlavo::tools {

// A walk longer than this is cut short (its answer says so): 6000 addresses.
inline constexpr std::int64_t kMaxWalkMs = 60'000;
inline constexpr std::int64_t kLateReplyMs = 1000;

class WebDiscovery : public std::enable_shared_from_this<WebDiscovery> {
public:
    using Done = std::function<void(WebResponse)>;

    // udp is the discovery endpoint; the walk binds it and lets it go.
    WebDiscovery(SignBoard& board, platform::Clock& clock, platform::UdpEndpoint& udp);
    ~WebDiscovery();

    // On the loop: the answer now when no walk can start (a bad body, an
    // unknown sign, a walk under way), else nullopt and done gets the answer.
    [[nodiscard]] std::optional<WebResponse> start(const WebRequest& request, Done done);
    [[nodiscard]] bool walking() const { return m_walk != nullptr; }

private:
    struct Walk;
    void run(const std::string& sign);
    void finish();

    SignBoard& m_board;
    platform::Clock& m_clock;
    platform::EventLoop& m_loop;
    platform::UdpEndpoint& m_udp;
    std::unique_ptr<Walk> m_walk;
};

}  // namespace orlavo::tools
