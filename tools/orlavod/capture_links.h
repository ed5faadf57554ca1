#pragma once
// Sign links that go nowhere: every transmission is kept in order, so
// "compose" can print exactly what the real links would have carried.
#include "platform/serial_port.h"
#include "platform/udp_endpoint.h"

#include <string>
#include <vector>

namespace orlavo::tools {

using Transmissions = std::vector<std::string>;

class CaptureUdp final : public platform::UdpEndpoint {
public:
    explicit CaptureUdp(Transmissions& out) : m_out(out) {}
    std::optional<platform::SysError> bind(const std::string&, int) override
    {
        m_open = true;
        return std::nullopt;
    }
    std::optional<platform::SysError> setRemote(const std::string&, int) override { return std::nullopt; }
    std::optional<platform::SysError> send(std::string_view bytes) override
    {
        m_out.emplace_back(bytes);
        return std::nullopt;
    }
    void setReceiveHandler(ReceiveHandler) override {}
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    int localPort() const override { return -1; }

private:
    Transmissions& m_out;
    bool m_open = false;
};

class CaptureSerial final : public platform::SerialPort {
public:
    explicit CaptureSerial(Transmissions& out) : m_out(out) {}
    void setDevice(const std::string& path) override { m_device = path; }
    const std::string& device() const override { return m_device; }
    std::optional<platform::SysError> setLineSettings(std::string_view) override { return std::nullopt; }
    std::optional<platform::SysError> open() override
    {
        m_open = true;
        return std::nullopt;
    }
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    std::optional<platform::SysError> write(std::string_view bytes) override
    {
        m_out.emplace_back(bytes);
        return std::nullopt;
    }

private:
    Transmissions& m_out;
    std::string m_device;
    bool m_open = false;
};

// Printable ASCII as itself (backslash as "\\"), every other byte as "\xhh".
[[nodiscard]] std::string escapeWireBytes(std::string_view bytes);

}  // namespace orlavo::tools
