#pragma once
// SerialPort without a device: records opens, closes and every write with the
// clock's time; opens and writes fail on request with a chosen error number.
#include "platform/clock.h"
#include "platform/serial_port.h"

#include <cerrno>
#include <cstdint>
#include <string>
#include <vector>

namespace orlavo::testing {

class FakeSerialPort final : public platform::SerialPort {
public:
    struct Written {
        std::string bytes;
        std::int64_t atMs = 0;
    };

    // trace, when given, gets "serial@<ms>" for every write attempt.
    explicit FakeSerialPort(const platform::Clock& clock, std::vector<std::string>* trace = nullptr)
        : m_clock(clock), m_trace(trace)
    {
    }

    void setDevice(const std::string& path) override { m_device = path; }
    [[nodiscard]] const std::string& device() const override { return m_device; }
    std::optional<platform::SysError> setLineSettings(std::string_view text) override
    {
        if (!platform::parseLineSettings(text)) {
            return platform::SysError{EINVAL, "bad settings"};
        }
        m_lineSettings = std::string(text);
        return std::nullopt;
    }
    std::optional<platform::SysError> open() override
    {
        ++m_opens;
        if (m_openFailure != 0) {
            return platform::SysError{m_openFailure, "fake open failure " + std::to_string(m_openFailure)};
        }
        m_open = true;
        return std::nullopt;
    }
    void close() override
    {
        ++m_closes;
        m_open = false;
    }
    [[nodiscard]] bool isOpen() const override { return m_open; }
    std::optional<platform::SysError> write(std::string_view bytes) override
    {
        if (m_trace) {
            m_trace->push_back("serial@" + std::to_string(m_clock.nowMs()));
        }
        if (!m_open) {
            return platform::SysError{EBADF, "The serial port is not open"};
        }
        if (m_failAlways != 0) {
            return platform::SysError{m_failAlways, "fake write failure " + std::to_string(m_failAlways)};
        }
        m_written.push_back(Written{std::string(bytes), m_clock.nowMs()});
        return std::nullopt;
    }

    void failOpen(int number) { m_openFailure = number; }
    void failAlways(int number) { m_failAlways = number; }
    // Opened behind the link's back, e.g. left open by an earlier step.
    void forceOpen() { m_open = true; }

    [[nodiscard]] const std::vector<Written>& written() const { return m_written; }
    [[nodiscard]] std::vector<std::string> writtenBytes() const
    {
        std::vector<std::string> out;
        for (const auto& w : m_written) {
            out.push_back(w.bytes);
        }
        return out;
    }
    [[nodiscard]] int opens() const { return m_opens; }
    [[nodiscard]] int closes() const { return m_closes; }
    [[nodiscard]] const std::string& lineSettings() const { return m_lineSettings; }

private:
    const platform::Clock& m_clock;
    std::vector<std::string>* m_trace;
    std::string m_device;
    std::string m_lineSettings = "9600,n,8,1";
    std::vector<Written> m_written;
    int m_failAlways = 0;
    int m_openFailure = 0;
    int m_opens = 0;
    int m_closes = 0;
    bool m_open = false;
};

}  // namespace orlavo::testing
