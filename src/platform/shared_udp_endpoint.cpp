#include "platform/shared_udp_endpoint.h"

#include <cerrno>

namespace orlavo::platform {

std::optional<SysError> SharedUdpEndpoint::bind(const std::string& localAddress, int localPort)
{
    return join(&UdpEndpoint::bind, localAddress, localPort);
}

std::optional<SysError> SharedUdpEndpoint::bindSendOnly(const std::string& localAddress, int localPort)
{
    return join(&UdpEndpoint::bindSendOnly, localAddress, localPort);
}

std::optional<SysError> SharedUdpEndpoint::join(
    std::optional<SysError> (UdpEndpoint::*open)(const std::string&, int), const std::string& localAddress,
    int localPort)
{
    if (m_open) {
        return std::nullopt;
    }
    // The first endpoint's address and port hold for all: they come from the
    // same program and ask for the same sign port.
    if (m_share.m_openCount == 0) {
        if (auto error = (m_share.m_socket.*open)(localAddress, localPort)) {
            return error;
        }
    }
    ++m_share.m_openCount;
    m_open = true;
    return std::nullopt;
}

std::optional<SysError> SharedUdpEndpoint::setRemote(const std::string& host, int port)
{
    // The socket checks the port; it holds this remote until another endpoint sends.
    if (auto error = m_share.m_socket.setRemote(host, port)) {
        return error;
    }
    m_share.m_remoteOwner = this;
    m_host = host;
    m_port = port;
    return std::nullopt;
}

std::optional<SysError> SharedUdpEndpoint::send(std::string_view bytes)
{
    if (!m_host) {
        return SysError{EDESTADDRREQ, "No remote host is set for the UDP endpoint"};
    }
    if (m_share.m_remoteOwner != this) {
        if (auto error = m_share.m_socket.setRemote(*m_host, m_port)) {
            return error;
        }
        m_share.m_remoteOwner = this;
    }
    return m_share.m_socket.send(bytes);
}

void SharedUdpEndpoint::close()
{
    if (m_share.m_remoteOwner == this) {
        m_share.m_remoteOwner = nullptr;
    }
    if (!m_open) {
        return;
    }
    m_open = false;
    if (--m_share.m_openCount == 0) {
        m_share.m_socket.close();
    }
}

}  // namespace orlavo::platform
