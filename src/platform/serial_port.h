#pragma once
// A serial device driven through termios: opened for writing frames, with DTR
// and RTS raised while open. Nothing is ever read.
#include "platform/sys_error.h"

#include <optional>
#include <string>
#include <string_view>

namespace orlavo::platform {

struct LineSettings {
    int baud = 9600;
    char parity = 'n';  // n, e, o, m, s
    int dataBits = 8;   // 5-8
    int stopBits = 1;   // 1 or 2
};

// "9600,n,8,1" and the like; nullopt for any text it does not understand.
[[nodiscard]] std::optional<LineSettings> parseLineSettings(std::string_view text);

// The device of port number N (1-255): /dev/ttyS(N-1).
[[nodiscard]] std::string serialDeviceForPort(int portNumber);

class SerialPort {
public:
    virtual ~SerialPort() = default;

    // Only while closed; takes effect at the next open().
    virtual void setDevice(const std::string& path) = 0;
    [[nodiscard]] virtual const std::string& device() const = 0;
    // Applied at once when open, otherwise at the next open().
    [[nodiscard]] virtual std::optional<SysError> setLineSettings(std::string_view text) = 0;
    // Fails for a missing device, one another process holds ("busy"), or
    // settings the device refuses.
    [[nodiscard]] virtual std::optional<SysError> open() = 0;
    virtual void close() = 0;
    [[nodiscard]] virtual bool isOpen() const = 0;
    // Every byte, unchanged, continuing partial writes.
    [[nodiscard]] virtual std::optional<SysError> write(std::string_view bytes) = 0;
};

}  // namespace orlavo::platform
