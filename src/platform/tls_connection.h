#pragma once
// TLS on top of a connected TcpConnection, for https:// feeds. The handshake
// is stepped by the caller whenever the socket is ready, so the thread never
// blocks; the session then reads and writes like any TcpConnection. Peers are
// checked against the system's CA store plus an optional extra CA file, for
// the host name the caller asked for, with TLS 1.2 as the oldest version.
#include "platform/tcp_connection.h"

#include <memory>
#include <string>
#include <string_view>

namespace orlavo::platform {

enum class HandshakeStatus { Done, WantRead, WantWrite, Failed };

struct HandshakeStep {
    HandshakeStatus status = HandshakeStatus::Failed;
    std::string error;  // for Failed: why, e.g. "certificate has expired"
};

class TlsSession : public TcpConnection {
public:
    // Advances the handshake as far as the socket allows.
    [[nodiscard]] virtual HandshakeStep handshake() = 0;
    // Decrypted bytes held inside the session that no readiness of the socket
    // will announce; the reader must receive again before waiting.
    [[nodiscard]] virtual bool hasBufferedData() const = 0;
};

// The trust settings shared by every session it starts. Owned by its user;
// sessions must not outlive it.
class TlsClientContext {
public:
    // Null with error set when the extra CA file (empty: none) cannot be loaded.
    [[nodiscard]] static std::unique_ptr<TlsClientContext> create(const std::string& extraCaFile,
                                                                  std::string& error);
    ~TlsClientContext();
    TlsClientContext(const TlsClientContext&) = delete;
    TlsClientContext& operator=(const TlsClientContext&) = delete;

    // Takes over tcp. host (a name or an IP literal) is sent as SNI when it is
    // a name and must match the certificate. Null with error set on failure.
    [[nodiscard]] std::unique_ptr<TlsSession> startSession(std::unique_ptr<TcpConnection> tcp,
                                                           std::string_view host, std::string& error);

private:
    struct Impl;
    explicit TlsClientContext(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

}  // namespace orlavo::platform
