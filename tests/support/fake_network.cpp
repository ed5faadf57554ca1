#include "support/fake_network.h"

#include <cerrno>

namespace orlavo::testing {

namespace {

class ChoppyConnection final : public platform::TcpConnection {
public:
    ChoppyConnection(std::unique_ptr<platform::TcpConnection> real, std::size_t max)
        : m_real(std::move(real)), m_max(max)
    {
    }
    [[nodiscard]] int fd() const override { return m_real->fd(); }
    [[nodiscard]] platform::IoResult send(std::string_view bytes) override
    {
        m_blockNext = !m_blockNext;
        if (!m_blockNext) {
            return platform::IoResult{-1, EAGAIN};
        }
        return m_real->send(bytes.substr(0, m_max));
    }
    [[nodiscard]] platform::IoResult receive(char* buffer, std::size_t capacity) override
    {
        return m_real->receive(buffer, capacity);
    }
    void close() override { m_real->close(); }

private:
    std::unique_ptr<platform::TcpConnection> m_real;
    std::size_t m_max;
    bool m_blockNext = false;
};

class SendFailingConnection final : public platform::TcpConnection {
public:
    SendFailingConnection(std::unique_ptr<platform::TcpConnection> real, int error)
        : m_real(std::move(real)), m_error(error)
    {
    }
    [[nodiscard]] int fd() const override { return m_real->fd(); }
    [[nodiscard]] platform::IoResult send(std::string_view) override { return platform::IoResult{-1, m_error}; }
    [[nodiscard]] platform::IoResult receive(char* buffer, std::size_t capacity) override
    {
        return m_real->receive(buffer, capacity);
    }
    void close() override { m_real->close(); }

private:
    std::unique_ptr<platform::TcpConnection> m_real;
    int m_error;
};

}  // namespace

platform::ConnectResult TimingOutConnector::connect(const std::vector<platform::IpAddress>&, std::uint16_t,
                                                    std::int64_t)
{
    return platform::ConnectResult{platform::ConnectStatus::TimedOut, ETIMEDOUT, nullptr};
}

platform::ConnectResult ChoppyConnector::connect(const std::vector<platform::IpAddress>& addresses,
                                                 std::uint16_t port, std::int64_t timeoutMs)
{
    auto result = m_real.connect(addresses, port, timeoutMs);
    if (result.connection) {
        result.connection = std::make_unique<ChoppyConnection>(std::move(result.connection), m_max);
    }
    return result;
}

platform::ConnectResult SendFailingConnector::connect(const std::vector<platform::IpAddress>& addresses,
                                                      std::uint16_t port, std::int64_t timeoutMs)
{
    auto result = m_real.connect(addresses, port, timeoutMs);
    if (result.connection && m_broken > 0) {
        --m_broken;
        result.connection = std::make_unique<SendFailingConnection>(std::move(result.connection), m_error);
    }
    return result;
}

}  // namespace orlavo::testing
