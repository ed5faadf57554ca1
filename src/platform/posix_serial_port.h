#pragma once
// SerialPort on a termios device. The device is opened non-blocking and
// without becoming the controlling terminal, taken exclusively (TIOCEXCL and
// an advisory lock, so a second opener gets "busy" even with privileges), set
// to raw 8-bit output with modem control ignored, and DTR and RTS are raised.
#include "platform/serial_port.h"

namespace orlavo::platform {

class PosixSerialPort final : public SerialPort {
public:
    PosixSerialPort() = default;
    ~PosixSerialPort() override;
    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;

    void setDevice(const std::string& path) override;
    [[nodiscard]] const std::string& device() const override { return m_device; }
    [[nodiscard]] std::optional<SysError> setLineSettings(std::string_view text) override;
    [[nodiscard]] std::optional<SysError> open() override;
    void close() override;
    [[nodiscard]] bool isOpen() const override { return m_fd >= 0; }
    [[nodiscard]] std::optional<SysError> write(std::string_view bytes) override;

    // How long a write may wait for the device to take more bytes before it
    // fails; a line with nothing draining it must not hang the program.
    void setWriteStallTimeoutMs(int ms) { m_stallMs = ms; }

private:
    [[nodiscard]] std::optional<SysError> applySettings();
    [[nodiscard]] std::optional<SysError> raiseModemLines();
    [[nodiscard]] std::optional<SysError> waitWritable();

    std::string m_device;
    LineSettings m_settings;
    int m_fd = -1;
    int m_stallMs = 5000;
};

}  // namespace orlavo::platform
