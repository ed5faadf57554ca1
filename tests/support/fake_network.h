#pragma once
// Test doubles for the download control's view of the network.
#include "platform/connectivity.h"
#include "platform/ip_address.h"
#include "platform/resolver.h"
#include "platform/tcp_connection.h"

#include <string>
#include <vector>

namespace orlavo::testing {

// Connectivity with answers set by the test; records the hosts asked about.
class FakeConnectivity final : public platform::Connectivity {
public:
    bool online = true;
    bool proxy = false;
    std::string proxyUrl;  // what proxyFor names while proxy is set
    mutable std::vector<std::string> proxyQueries;

    [[nodiscard]] bool isOnline() const override { return online; }
    [[nodiscard]] bool isConnectionProxy() const override { return proxy; }
    [[nodiscard]] bool isConnectionProxy(std::string_view host) const override
    {
        proxyQueries.emplace_back(host);
        return proxy;
    }
    [[nodiscard]] std::string proxyFor(std::string_view, bool) const override { return proxy ? proxyUrl : std::string(); }
};

// A resolver that answers every name with one fixed result, without the network.
class FakeResolver final : public platform::Resolver {
public:
    FakeResolver() = default;
    // Every name found at address (a literal).
    explicit FakeResolver(const std::string& address)
        : answer{platform::LookupStatus::Found, {*platform::parseIpLiteral(address)}, {}}
    {
    }
    platform::LookupResult answer;
    std::vector<std::string> names;

    [[nodiscard]] platform::LookupResult lookup(const std::string& host, std::int64_t) override
    {
        names.push_back(host);
        return answer;
    }
};

// A connector whose connect never completes: reports the timeout at once.
class TimingOutConnector final : public platform::TcpConnector {
public:
    [[nodiscard]] platform::ConnectResult connect(const std::vector<platform::IpAddress>&, std::uint16_t,
                                                  std::int64_t) override;
};

// Real loopback connections that accept at most maxBytesPerSend per send and
// report "would block" on every other call, as a full socket buffer would.
class ChoppyConnector final : public platform::TcpConnector {
public:
    explicit ChoppyConnector(std::size_t maxBytesPerSend) : m_max(maxBytesPerSend) {}
    [[nodiscard]] platform::ConnectResult connect(const std::vector<platform::IpAddress>& addresses,
                                                  std::uint16_t port, std::int64_t timeoutMs) override;

private:
    std::size_t m_max;
    platform::PosixTcpConnector m_real;
};

// Real loopback connections; on the first `broken` of them every send fails
// with `error`, as on a connection the peer has already reset. The connection
// itself stays up, so its close still reaches the control.
class SendFailingConnector final : public platform::TcpConnector {
public:
    SendFailingConnector(int error, int broken) : m_error(error), m_broken(broken) {}
    [[nodiscard]] platform::ConnectResult connect(const std::vector<platform::IpAddress>& addresses,
                                                  std::uint16_t port, std::int64_t timeoutMs) override;

private:
    int m_error;
    int m_broken;
    platform::PosixTcpConnector m_real;
};

}  // namespace orlavo::testing
