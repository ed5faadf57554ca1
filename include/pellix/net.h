#pragma once
/// @file
/// What a host implements to change how RSSComp reaches a server: the name
/// lookup (Resolver) and the TCP connect (TcpConnector). Both default to the
/// system's; tests and hosts with their own networking replace them.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pellix/export.h"

namespace pellix {

/// An IPv4 or IPv6 address, free of socket headers.
struct PELLIX_API IpAddress {
    bool v6 = false;  ///< IPv6 rather than IPv4
    std::array<std::uint8_t, 16> bytes{};  ///< IPv4 uses the first four

    /// 127.0.0.0/8 or ::1.
    [[nodiscard]] bool isLoopback() const;
    /// Dotted IPv4 or textual IPv6, without brackets.
    [[nodiscard]] std::string text() const;
    /// Same family and bytes.
    friend bool operator==(const IpAddress&, const IpAddress&) = default;
};

/// Dotted IPv4 or textual IPv6 (brackets allowed); nullopt for anything else.
[[nodiscard]] PELLIX_API std::optional<IpAddress> parseIpLiteral(std::string_view text);

/// How a name lookup ended.
enum class LookupStatus { Found, NotFound, TimedOut };

/// The answer of a Resolver.
struct LookupResult {
    LookupStatus status = LookupStatus::NotFound;  ///< how it ended
    std::vector<IpAddress> addresses;  ///< IPv4 first, in resolver order
    std::string error;                 ///< the resolver's text when not found
};

/// Host name lookup with a deadline; called on the loop's thread.
class PELLIX_API Resolver {
public:
    virtual ~Resolver() = default;
    /// Returns within about timeoutMs, TimedOut when the deadline passed.
    [[nodiscard]] virtual LookupResult lookup(const std::string& host, std::int64_t timeoutMs) = 0;
};

/// Outcome of one send or receive: bytes > 0 moved, 0 the peer closed
/// (receive only), -1 failed with error (an errno value).
struct PELLIX_API IoResult {
    std::int64_t bytes = 0;  ///< bytes moved, 0 closed, -1 failed
    int error = 0;           ///< the errno value when bytes is -1
    /// The call failed with EAGAIN or EWOULDBLOCK: try again when ready.
    [[nodiscard]] bool wouldBlock() const;
};

/// A connected, non-blocking TCP stream, watched through fd() on the loop.
class PELLIX_API TcpConnection {
public:
    virtual ~TcpConnection() = default;
    /// The descriptor the loop watches.
    [[nodiscard]] virtual int fd() const = 0;
    /// Sends what it can now.
    [[nodiscard]] virtual IoResult send(std::string_view bytes) = 0;
    /// Receives what is there now, at most capacity bytes.
    [[nodiscard]] virtual IoResult receive(char* buffer, std::size_t capacity) = 0;
    /// Closes the descriptor; later calls fail.
    virtual void close() = 0;
};

/// The system's resolver: numeric addresses at once, names through
/// getaddrinfo on a helper thread, because getaddrinfo cannot be given a
/// deadline; a lookup past its deadline is left to finish on its own.
class PELLIX_API SystemResolver final : public Resolver {
public:
    [[nodiscard]] LookupResult lookup(const std::string& host, std::int64_t timeoutMs) override;
};

/// How a connect ended.
enum class ConnectStatus { Connected, SocketFailed, Failed, TimedOut };

/// The answer of a TcpConnector.
struct ConnectResult {
    ConnectStatus status = ConnectStatus::Failed;  ///< how it ended
    int error = 0;  ///< errno of the last attempt
    std::unique_ptr<TcpConnection> connection;  ///< set when Connected
};

/// Opens TCP connections; called on the loop's thread.
class PELLIX_API TcpConnector {
public:
    virtual ~TcpConnector() = default;
    /// Tries the addresses in order until one connects; all share one deadline.
    [[nodiscard]] virtual ConnectResult connect(const std::vector<IpAddress>& addresses, std::uint16_t port,
                                                std::int64_t timeoutMs) = 0;
};

/// The system's connector: a non-blocking connect polled up to the deadline.
class PELLIX_API PosixTcpConnector final : public TcpConnector {
public:
    [[nodiscard]] ConnectResult connect(const std::vector<IpAddress>& addresses, std::uint16_t port,
                                        std::int64_t timeoutMs) override;
};

}  // namespace pellix
