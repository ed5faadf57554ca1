#pragma once
// The demo's sign: a UDP endpoint on a loopback address that decodes frames
// and clock packets as a sign would and keeps the lines it would show.
#include "platform/event_loop.h"
#include "platform/posix_udp_endpoint.h"
#include "signfeed/sign_stream_decoder.h"

#include <optional>
#include <string>
#include <vector>

namespace orlavo::tools {

class DemoSign {
public:
    explicit DemoSign(platform::EventLoop& loop);

    // Listens on address at an ephemeral port.
    [[nodiscard]] std::optional<platform::SysError> listen(const std::string& address);
    [[nodiscard]] const std::string& address() const { return m_address; }
    [[nodiscard]] int port() const { return m_endpoint.localPort(); }
    // One "MESSAGE …" line per message set shown, in order.
    [[nodiscard]] const std::vector<std::string>& shown() const { return m_shown; }
    [[nodiscard]] const std::vector<std::string>& errors() const { return m_errors; }

private:
    platform::PosixUdpEndpoint m_endpoint;
    signfeed::SignStreamDecoder m_decoder;
    std::string m_address;
    std::vector<std::string> m_shown;
    std::vector<std::string> m_errors;
};

}  // namespace orlavo::tools
