#pragma once
// A UDP endpoint that refuses every remote outside loopback. The demo sends
// through it, so no setting, default or later change can make it broadcast
// or reach another machine.
#include "platform/ip_address.h"
#include "platform/udp_endpoint.h"

#include <cerrno>

namespace orlavo::tools {

class LoopbackOnlyUdp final : public platform::UdpEndpoint {
public:
    explicit LoopbackOnlyUdp(platform::UdpEndpoint& inner) : m_inner(inner) {}

    [[nodiscard]] std::optional<platform::SysError> bind(const std::string& localAddress, int localPort) override
    {
        // Bound to loopback, the socket cannot send anywhere else either.
        return m_inner.bind(localAddress.empty() ? "127.0.0.1" : localAddress, localPort);
    }
    [[nodiscard]] std::optional<platform::SysError> bindSendOnly(const std::string& localAddress,
                                                                int localPort) override
    {
        return m_inner.bindSendOnly(localAddress.empty() ? "127.0.0.1" : localAddress, localPort);
    }
    [[nodiscard]] std::optional<platform::SysError> setRemote(const std::string& host, int port) override
    {
        std::optional<platform::IpAddress> address = platform::parseIpLiteral(host);
        if (!address || !address->isLoopback()) {
            m_refused = true;
            return platform::SysError{EACCES, "the demo sends only to loopback addresses, not to " + host};
        }
        m_refused = false;
        return m_inner.setRemote(host, port);
    }
    [[nodiscard]] std::optional<platform::SysError> send(std::string_view bytes) override
    {
        if (m_refused) {
            return platform::SysError{EACCES, "the demo sends only to loopback addresses"};
        }
        if (!m_inner.isOpen()) {
            if (auto error = bind("127.0.0.1", 0)) {
                return error;
            }
        }
        return m_inner.send(bytes);
    }
    void setReceiveHandler(ReceiveHandler handler) override { m_inner.setReceiveHandler(std::move(handler)); }
    void close() override { m_inner.close(); }
    [[nodiscard]] bool isOpen() const override { return m_inner.isOpen(); }
    [[nodiscard]] int localPort() const override { return m_inner.localPort(); }

private:
    platform::UdpEndpoint& m_inner;
    // Until a loopback remote is set, nothing goes out.
    bool m_refused = true;
};

}  // namespace orlavo::tools
