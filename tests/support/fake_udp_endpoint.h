#pragma once
// UdpEndpoint that sends nowhere: records each datagram with the clock's time
// and fails sends on request with a chosen error number.
#include "platform/clock.h"
#include "platform/port_number.h"
#include "platform/udp_endpoint.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orlavo::testing {

class FakeUdpEndpoint final : public platform::UdpEndpoint {
public:
    struct Sent {
        std::string bytes;
        std::int64_t atMs = 0;
        std::string host;
        int port = 0;
    };

    // trace, when given, gets "udp@<ms>" for every send attempt, shared with
    // other fakes to check the order of transmissions across links.
    explicit FakeUdpEndpoint(const platform::Clock& clock, std::vector<std::string>* trace = nullptr)
        : m_clock(clock), m_trace(trace)
    {
    }

    std::optional<platform::SysError> bind(const std::string&, int port) override
    {
        if (!platform::isBindablePort(port)) {
            return platform::SysError{22, "port out of range"};
        }
        ++m_binds;
        m_boundPort = m_elsewherePort != 0 ? m_elsewherePort : port;
        m_open = true;
        return std::nullopt;
    }
    std::optional<platform::SysError> setRemote(const std::string& host, int port) override
    {
        m_host = host;
        m_port = port;
        return std::nullopt;
    }
    std::optional<platform::SysError> send(std::string_view bytes) override
    {
        if (m_trace) {
            m_trace->push_back("udp@" + std::to_string(m_clock.nowMs()));
        }
        if (m_failAlways != 0) {
            return platform::SysError{m_failAlways, "fake send failure " + std::to_string(m_failAlways)};
        }
        m_sent.push_back(Sent{std::string(bytes), m_clock.nowMs(), m_host, m_port});
        return std::nullopt;
    }
    void setReceiveHandler(ReceiveHandler handler) override { m_handler = std::move(handler); }
    void close() override { m_open = false; }
    [[nodiscard]] bool isOpen() const override { return m_open; }
    [[nodiscard]] int localPort() const override { return m_open ? m_boundPort : -1; }

    // Hands a datagram to the receive handler, as the socket's readiness would.
    void deliver(std::string datagram, std::string from = "127.0.0.1", int fromPort = 16001)
    {
        if (m_handler) {
            auto handler = m_handler;
            handler(std::move(datagram), std::move(from), fromPort);
        }
    }
    [[nodiscard]] int binds() const { return m_binds; }
    // Another program holds the port asked for: binds land on port instead.
    void bindElsewhere(int port) { m_elsewherePort = port; }

    // Every send fails with number (0: none).
    void failAlways(int number) { m_failAlways = number; }

    [[nodiscard]] const std::vector<Sent>& sent() const { return m_sent; }
    [[nodiscard]] std::vector<std::string> sentBytes() const
    {
        std::vector<std::string> out;
        for (const auto& s : m_sent) {
            out.push_back(s.bytes);
        }
        return out;
    }
    [[nodiscard]] int boundPort() const { return m_boundPort; }
    [[nodiscard]] const std::string& remoteHost() const { return m_host; }
    [[nodiscard]] int remotePort() const { return m_port; }

private:
    const platform::Clock& m_clock;
    std::vector<std::string>* m_trace;
    std::vector<Sent> m_sent;
    int m_failAlways = 0;
    bool m_open = false;
    int m_boundPort = -1;
    int m_binds = 0;
    int m_elsewherePort = 0;
    std::string m_host;
    int m_port = -1;
    ReceiveHandler m_handler;
};

}  // namespace orlavo::testing
