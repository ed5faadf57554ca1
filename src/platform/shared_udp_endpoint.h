#pragma once
// Several signs driven by one program all send from the sign port: one bound
// socket, and per sign an endpoint that keeps its own remote host and port.
// A second socket could not take the port (the first holds it, and only lets
// later sockets share it so that they receive), so it would send from a free
// port instead, and tell the user that another program holds the sign port.
#include "platform/udp_endpoint.h"

#include <optional>
#include <string>

namespace orlavo::platform {

class SharedUdpEndpoint;

// The socket the endpoints share; it is bound while one of them is open.
class UdpPortShare {
public:
    explicit UdpPortShare(UdpEndpoint& socket) : m_socket(socket) {}
    UdpPortShare(const UdpPortShare&) = delete;
    UdpPortShare& operator=(const UdpPortShare&) = delete;

private:
    friend class SharedUdpEndpoint;
    UdpEndpoint& m_socket;
    int m_openCount = 0;
    // Whose remote the socket holds, so one sign alone never sets it twice.
    const SharedUdpEndpoint* m_remoteOwner = nullptr;
};

// A send-only endpoint on the shared socket: bind opens the socket for the
// first endpoint and joins it for the others; close leaves it, and the last
// to leave closes it.
class SharedUdpEndpoint final : public UdpEndpoint {
public:
    explicit SharedUdpEndpoint(UdpPortShare& share) : m_share(share) {}
    ~SharedUdpEndpoint() override { close(); }
    SharedUdpEndpoint(const SharedUdpEndpoint&) = delete;
    SharedUdpEndpoint& operator=(const SharedUdpEndpoint&) = delete;

    [[nodiscard]] std::optional<SysError> bind(const std::string& localAddress, int localPort) override;
    [[nodiscard]] std::optional<SysError> bindSendOnly(const std::string& localAddress, int localPort) override;
    [[nodiscard]] std::optional<SysError> setRemote(const std::string& host, int port) override;
    [[nodiscard]] std::optional<SysError> send(std::string_view bytes) override;
    // Send-only: datagrams to the shared port are nobody's to read.
    void setReceiveHandler(ReceiveHandler /*handler*/) override {}
    void close() override;
    [[nodiscard]] bool isOpen() const override { return m_open; }
    [[nodiscard]] int localPort() const override { return m_open ? m_share.m_socket.localPort() : -1; }

private:
    [[nodiscard]] std::optional<SysError> join(std::optional<SysError> (UdpEndpoint::*open)(const std::string&, int),
                                               const std::string& localAddress, int localPort);

    UdpPortShare& m_share;
    bool m_open = false;
    std::optional<std::string> m_host;
    int m_port = 0;
};

}  // namespace orlavo::platform
