#pragma once
// UdpEndpoint on a BSD socket. Received datagrams are read only while a
// receive handler is set, so a send-only endpoint never wakes the loop.
#include "platform/event_loop.h"
#include "platform/udp_endpoint.h"

#include <cstdint>
#include <optional>
#include <string>

namespace orlavo::platform {

class PosixUdpEndpoint final : public UdpEndpoint {
public:
    explicit PosixUdpEndpoint(EventLoop& loop);
    ~PosixUdpEndpoint() override;
    PosixUdpEndpoint(const PosixUdpEndpoint&) = delete;
    PosixUdpEndpoint& operator=(const PosixUdpEndpoint&) = delete;

    [[nodiscard]] std::optional<SysError> bind(const std::string& localAddress, int localPort) override;
    [[nodiscard]] std::optional<SysError> bindSendOnly(const std::string& localAddress, int localPort) override;
    [[nodiscard]] std::optional<SysError> setRemote(const std::string& host, int port) override;
    [[nodiscard]] std::optional<SysError> send(std::string_view bytes) override;
    void setReceiveHandler(ReceiveHandler handler) override;
    void close() override;
    [[nodiscard]] bool isOpen() const override { return m_fd >= 0; }
    [[nodiscard]] int localPort() const override;

private:
    enum class Sharing { Shared, SendOnly };
    [[nodiscard]] std::optional<SysError> bindSocket(const std::string& localAddress, int localPort, Sharing sharing);
    [[nodiscard]] std::optional<SysError> resolveRemote();
    [[nodiscard]] std::optional<SysError> waitWritable();
    void updateWatch();
    void readDatagrams();

    EventLoop& m_loop;
    int m_fd = -1;
    std::optional<EventLoop::WatchId> m_watch;
    ReceiveHandler m_handler;
    std::string m_remoteHost;
    int m_remotePort = -1;
    // The resolved remote, cached until setRemote() changes it.
    std::optional<std::uint32_t> m_remoteAddress;  // network byte order
    // Bumped by close(): a handler that closes the endpoint stops the read loop.
    std::uint64_t m_generation = 0;
};

}  // namespace orlavo::platform
