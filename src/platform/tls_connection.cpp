#include "platform/tls_connection.h"

#include "platform/ip_address.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>


#include <cerrno>
#include <climits>
#include <algorithm>
#include <cstring>

namespace orlavo::platform {

namespace {

// The session's bytes travel through the TcpConnection rather than the raw
// descriptor, so its MSG_NOSIGNAL sends (no SIGPIPE) and its fakes still apply.
// The link also remembers how reading ended: the TLS layer asks the BIO
// whether a zero read was the peer's close, and a failed call's errno may be
// overwritten before the session looks at it.
struct BioLink {
    TcpConnection* tcp = nullptr;
    bool peerClosed = false;
    int lastError = 0;
};

int bioWrite(BIO* bio, const char* data, int length)
{
    auto* link = static_cast<BioLink*>(BIO_get_data(bio));
    BIO_clear_retry_flags(bio);
    IoResult sent = link->tcp->send(std::string_view(data, static_cast<std::size_t>(length)));
    if (sent.wouldBlock()) {
        BIO_set_retry_write(bio);
    } else if (sent.bytes < 0) {
        link->lastError = errno = sent.error;
    }
    return static_cast<int>(sent.bytes);
}

int bioRead(BIO* bio, char* data, int length)
{
    auto* link = static_cast<BioLink*>(BIO_get_data(bio));
    BIO_clear_retry_flags(bio);
    IoResult received = link->tcp->receive(data, static_cast<std::size_t>(length));
    if (received.wouldBlock()) {
        BIO_set_retry_read(bio);
    } else if (received.bytes < 0) {
        link->lastError = errno = received.error;
    } else if (received.bytes == 0) {
        link->peerClosed = true;
    }
    return static_cast<int>(received.bytes);
}

// BIO_CTRL_EOF is how the TLS layer tells a peer's close from a failed read;
// without it, SSL_OP_IGNORE_UNEXPECTED_EOF never applies.
long bioControl(BIO* bio, int command, long, void*)
{
    switch (command) {
    case BIO_CTRL_FLUSH: return 1;
    case BIO_CTRL_EOF: return static_cast<BioLink*>(BIO_get_data(bio))->peerClosed ? 1 : 0;
    default: return 0;
    }
}

BIO_METHOD* connectionMethod()
{
    static BIO_METHOD* method = [] {
        BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "orlavo-tcp");
        BIO_meth_set_write(m, bioWrite);
        BIO_meth_set_read(m, bioRead);
        BIO_meth_set_ctrl(m, bioControl);
        BIO_meth_set_create(m, [](BIO* b) {
            BIO_set_init(b, 1);
            return 1;
        });
        return m;
    }();
    return method;
}

// The first queued OpenSSL error as a short phrase, then the queue is cleared.
std::string openSslError(const char* fallback)
{
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code == 0) {
        return fallback;
    }
    const char* reason = ERR_reason_error_string(code);
    return reason != nullptr ? reason : fallback;
}

class OpenSslSession final : public TlsSession {
public:
    OpenSslSession(SSL* ssl, std::unique_ptr<BioLink> link, std::unique_ptr<TcpConnection> tcp)
        : m_ssl(ssl), m_link(std::move(link)), m_tcp(std::move(tcp))
    {
    }
    ~OpenSslSession() override { close(); }
    OpenSslSession(const OpenSslSession&) = delete;
    OpenSslSession& operator=(const OpenSslSession&) = delete;

    [[nodiscard]] int fd() const override { return m_tcp->fd(); }

    [[nodiscard]] HandshakeStep handshake() override
    {
        ERR_clear_error();
        const int result = SSL_connect(m_ssl);
        if (result == 1) {
            return {HandshakeStatus::Done, {}};
        }
        switch (SSL_get_error(m_ssl, result)) {
        case SSL_ERROR_WANT_READ: return {HandshakeStatus::WantRead, {}};
        case SSL_ERROR_WANT_WRITE: return {HandshakeStatus::WantWrite, {}};
        default: return {HandshakeStatus::Failed, failureText(result)};
        }
    }

    [[nodiscard]] bool hasBufferedData() const override { return SSL_pending(m_ssl) > 0; }

    [[nodiscard]] IoResult send(std::string_view bytes) override
    {
        ERR_clear_error();
        const int length = static_cast<int>(std::min<std::size_t>(bytes.size(), INT_MAX));
        const int result = SSL_write(m_ssl, bytes.data(), length);
        return result > 0 ? IoResult{result, 0} : failedIo(result);
    }

    [[nodiscard]] IoResult receive(char* buffer, std::size_t capacity) override
    {
        ERR_clear_error();
        const int length = static_cast<int>(std::min<std::size_t>(capacity, INT_MAX));
        const int result = SSL_read(m_ssl, buffer, length);
        return result > 0 ? IoResult{result, 0} : failedIo(result);
    }

    void close() override
    {
        if (m_ssl != nullptr) {
            SSL_free(m_ssl);  // frees the BIO as well; no close_notify: HTTP/1.0 ends at the close
            m_ssl = nullptr;
        }
        m_tcp->close();
    }

private:
    IoResult failedIo(int result)
    {
        switch (SSL_get_error(m_ssl, result)) {
        case SSL_ERROR_WANT_READ:
        case SSL_ERROR_WANT_WRITE: return {-1, EAGAIN};
        case SSL_ERROR_ZERO_RETURN: return {0, 0};  // close_notify, or a plain close of the connection
        case SSL_ERROR_SYSCALL:
            ERR_clear_error();
            return {-1, m_link->lastError != 0 ? m_link->lastError : EPROTO};
        default: ERR_clear_error(); return {-1, EPROTO};
        }
    }

    std::string failureText(int result)
    {
        const long verified = SSL_get_verify_result(m_ssl);
        if (verified != X509_V_OK) {
            ERR_clear_error();
            return X509_verify_cert_error_string(verified);
        }
        if (const int kind = SSL_get_error(m_ssl, result); kind == SSL_ERROR_SYSCALL || kind == SSL_ERROR_ZERO_RETURN) {
            ERR_clear_error();
            return m_link->lastError != 0 ? std::string(std::strerror(m_link->lastError))
                                          : "the server closed the connection during the handshake";
        }
        return openSslError("the handshake failed");
    }

    SSL* m_ssl;
    std::unique_ptr<BioLink> m_link;  // the BIO's data; outlives m_ssl
    std::unique_ptr<TcpConnection> m_tcp;
};

}  // namespace

struct TlsClientContext::Impl {
    SSL_CTX* ctx = nullptr;
    ~Impl()
    {
        if (ctx != nullptr) {
            SSL_CTX_free(ctx);
        }
    }
};

TlsClientContext::TlsClientContext(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
TlsClientContext::~TlsClientContext() = default;

std::unique_ptr<TlsClientContext> TlsClientContext::create(const std::string& extraCaFile, std::string& error)
{
    auto impl = std::make_unique<Impl>();
    impl->ctx = SSL_CTX_new(TLS_client_method());
    if (impl->ctx == nullptr) {
        error = openSslError("TLS could not be set up");
        return nullptr;
    }
    SSL_CTX_set_min_proto_version(impl->ctx, TLS1_2_VERSION);
    SSL_CTX_set_verify(impl->ctx, SSL_VERIFY_PEER, nullptr);
    // Servers often close HTTP/1.0 responses without close_notify: a clean
    // TCP close then ends the body as it does over plain HTTP, and the
    // body's Content-Length check, where given, still catches a cut.
    SSL_CTX_set_options(impl->ctx, SSL_OP_IGNORE_UNEXPECTED_EOF);
    SSL_CTX_set_mode(impl->ctx, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    // A missing system store is not fatal: the extra file may be all there is.
    (void)SSL_CTX_set_default_verify_paths(impl->ctx);
    if (!extraCaFile.empty() && SSL_CTX_load_verify_locations(impl->ctx, extraCaFile.c_str(), nullptr) != 1) {
        error = "the CA file " + extraCaFile + " could not be loaded: " + openSslError("unreadable");
        return nullptr;
    }
    ERR_clear_error();
    return std::unique_ptr<TlsClientContext>(new TlsClientContext(std::move(impl)));
}

std::unique_ptr<TlsSession> TlsClientContext::startSession(std::unique_ptr<TcpConnection> tcp, std::string_view host,
                                                           std::string& error)
{
    SSL* ssl = SSL_new(m_impl->ctx);
    BIO* bio = ssl != nullptr ? BIO_new(connectionMethod()) : nullptr;
    if (bio == nullptr) {
        SSL_free(ssl);
        error = openSslError("TLS could not be set up");
        return nullptr;
    }
    auto link = std::make_unique<BioLink>();
    link->tcp = tcp.get();
    BIO_set_data(bio, link.get());
    SSL_set_bio(ssl, bio, bio);
    const std::string name(host);
    const bool literal = parseIpLiteral(name).has_value();
    X509_VERIFY_PARAM* param = SSL_get0_param(ssl);
    const int checked = literal ? X509_VERIFY_PARAM_set1_ip_asc(param, name.c_str()) : SSL_set1_host(ssl, name.c_str());
    if (checked != 1 || (!literal && SSL_set_tlsext_host_name(ssl, name.c_str()) != 1)) {
        SSL_free(ssl);
        error = "the host name " + name + " cannot be checked against a certificate";
        return nullptr;
    }
    return std::make_unique<OpenSslSession>(ssl, std::move(link), std::move(tcp));
}

}  // namespace orlavo::platform
