#pragma once
// A UDP socket that may broadcast: bound to a local address and port, sends
// one datagram per call to its remote host and port, and (only when a receive
// handler is set) delivers each received datagram whole on the event loop.
#include "platform/sys_error.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace orlavo::platform {

class UdpEndpoint {
public:
    using ReceiveHandler = std::function<void(std::string datagram, std::string fromAddress, int fromPort)>;

    virtual ~UdpEndpoint() = default;

    // Opens the socket (SO_BROADCAST, SO_REUSEADDR) on localAddress:localPort;
    // an empty address means any. Ports outside 0-65535 fail, never truncate.
    [[nodiscard]] virtual std::optional<SysError> bind(const std::string& localAddress, int localPort) = 0;
    // For an endpoint that only sends (the sign link): it takes the port only
    // when no other socket holds it, so it can never be the socket that
    // unicast meant for another program on this machine is delivered to. When
    // the port is taken it binds a free port instead (compare localPort() with
    // the port asked for). Once bound it lets later endpoints share the port.
    [[nodiscard]] virtual std::optional<SysError> bindSendOnly(const std::string& localAddress, int localPort)
    {
        return bind(localAddress, localPort);
    }
    // Where send() goes: a dotted address or a host name, 255.255.255.255 allowed.
    // The name is resolved at send time.
    [[nodiscard]] virtual std::optional<SysError> setRemote(const std::string& host, int port) = 0;
    // One datagram holding exactly these bytes. Binds to an ephemeral port first
    // when bind() was never called.
    [[nodiscard]] virtual std::optional<SysError> send(std::string_view bytes) = 0;
    // nullptr stops watching the socket: an endpoint that only sends is never
    // watched, so unread datagrams cannot make the loop spin.
    virtual void setReceiveHandler(ReceiveHandler handler) = 0;
    virtual void close() = 0;
    [[nodiscard]] virtual bool isOpen() const = 0;
    // The bound local port (useful after binding port 0), or -1.
    [[nodiscard]] virtual int localPort() const = 0;
};

// Send failures that mean "try later" rather than "broken": the sign link skips
// them silently (see udp_endpoint.cpp for the list).
[[nodiscard]] bool isTransientSendError(int number);

}  // namespace orlavo::platform
