#include "support/test_tls.h"

#include "support/scripted_server.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <stdexcept>

namespace orlavo::testing {

namespace {

using KeyPtr = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using CertPtr = std::unique_ptr<X509, decltype(&X509_free)>;

std::string toPem(const std::function<int(BIO*)>& write)
{
    BIO* bio = BIO_new(BIO_s_mem());
    write(bio);
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio, &data);
    std::string pem(data, static_cast<std::size_t>(length));
    BIO_free(bio);
    return pem;
}

template <typename T, typename Read>
T* fromPem(const std::string& pem, Read read)
{
    BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
    T* object = read(bio, nullptr, nullptr, nullptr);
    BIO_free(bio);
    return object;
}

void addExtension(X509* cert, X509* issuer, int nid, const std::string& value)
{
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
    X509_add_ext(cert, ext, -1);
    X509_EXTENSION_free(ext);
}

// A P-256 key and a certificate for it, signed by issuerKey (itself when null).
TestIdentity makeCertificate(const std::string& commonName, const IssueOptions& options, bool isCa,
                             X509* issuer, EVP_PKEY* issuerKey)
{
    KeyPtr key(EVP_EC_gen("P-256"), EVP_PKEY_free);
    CertPtr cert(X509_new(), X509_free);
    static long serial = 1;
    X509_set_version(cert.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), ++serial);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), options.notBeforeDays * 86400);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), options.notAfterDays * 86400);
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1, 0);
    X509_set_issuer_name(cert.get(), issuer != nullptr ? X509_get_subject_name(issuer) : name);
    X509_set_pubkey(cert.get(), key.get());
    X509* signer = issuer != nullptr ? issuer : cert.get();
    addExtension(cert.get(), signer, NID_basic_constraints, isCa ? "critical,CA:TRUE" : "CA:FALSE");
    addExtension(cert.get(), signer, NID_subject_key_identifier, "hash");
    if (isCa) {
        addExtension(cert.get(), signer, NID_key_usage, "critical,keyCertSign,cRLSign");
    } else {
        addExtension(cert.get(), signer, NID_authority_key_identifier, "keyid");
        addExtension(cert.get(), signer, NID_subject_alt_name, options.subjectAltNames);
    }
    X509_sign(cert.get(), issuerKey != nullptr ? issuerKey : key.get(), EVP_sha256());
    return {toPem([&](BIO* b) { return PEM_write_bio_X509(b, cert.get()); }),
            toPem([&](BIO* b) { return PEM_write_bio_PrivateKey(b, key.get(), nullptr, nullptr, 0, nullptr, nullptr); })};
}

// The server's TLS context for identity; null for none (plain HTTP).
std::shared_ptr<void> serverContext(const TestIdentity& identity)
{
    if (identity.certificatePem.empty()) {
        return nullptr;
    }
    std::shared_ptr<void> ctx(SSL_CTX_new(TLS_server_method()), [](void* c) { SSL_CTX_free(static_cast<SSL_CTX*>(c)); });
    CertPtr cert(fromPem<X509>(identity.certificatePem, PEM_read_bio_X509), X509_free);
    KeyPtr key(fromPem<EVP_PKEY>(identity.keyPem, PEM_read_bio_PrivateKey), EVP_PKEY_free);
    auto* raw = static_cast<SSL_CTX*>(ctx.get());
    if (SSL_CTX_use_certificate(raw, cert.get()) != 1 || SSL_CTX_use_PrivateKey(raw, key.get()) != 1) {
        throw std::runtime_error("bad test identity");
    }
    return ctx;
}

// Copies what one side sent to the other; false once it closed or failed.
bool relay(int from, int to)
{
    char buffer[16384];
    const ssize_t n = ::recv(from, buffer, sizeof buffer, 0);
    return n > 0 && ::send(to, buffer, static_cast<std::size_t>(n), MSG_NOSIGNAL) == n;
}

}  // namespace

TestCa::TestCa(std::string commonName)
{
    IssueOptions options;
    options.notAfterDays = 365;
    m_identity = makeCertificate(commonName, options, true, nullptr, nullptr);
}

TestCa::~TestCa() = default;

TestIdentity TestCa::issue(const IssueOptions& options) const
{
    CertPtr ca(fromPem<X509>(m_identity.certificatePem, PEM_read_bio_X509), X509_free);
    KeyPtr key(fromPem<EVP_PKEY>(m_identity.keyPem, PEM_read_bio_PrivateKey), EVP_PKEY_free);
    return makeCertificate("feed server", options, false, ca.get(), key.get());
}

LoopbackAcceptor::LoopbackAcceptor(std::function<void(int fd)> handle) : m_handle(std::move(handle))
{
    m_listenFd = listenOnLoopback(m_port);
    m_thread = std::thread([this] {
        while (!m_stop) {
            const int fd = waitReadable(m_listenFd, 50) ? ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC) : -1;
            if (fd >= 0) {
                m_handle(fd);
                ::close(fd);
            }
        }
    });
}

LoopbackAcceptor::~LoopbackAcceptor()
{
    m_stop = true;
    m_thread.join();
    ::close(m_listenFd);
}

void LoopbackAcceptor::record(std::string request)
{
    std::lock_guard lock(m_mutex);
    m_requests.push_back(std::move(request));
}

std::vector<std::string> LoopbackAcceptor::requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

TestHttpServer::TestHttpServer(Responder respond, const TestIdentity& identity, TlsEnd end)
    : m_respond(std::move(respond)), m_end(end), m_ctx(serverContext(identity))
{
}

std::string TestHttpServer::url(std::string_view path) const
{
    return std::string(m_ctx ? "https" : "http") + "://127.0.0.1:" + std::to_string(port()) + std::string(path);
}

// One request, one response, then the close that ends an HTTP/1.0 body.
void TestHttpServer::answer(int fd)
{
    // A client that gives up mid-handshake must not hold the thread.
    timeval guard{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &guard, sizeof guard);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &guard, sizeof guard);
    SSL* ssl = nullptr;
    if (m_ctx) {
        ssl = SSL_new(static_cast<SSL_CTX*>(m_ctx.get()));
        SSL_set_fd(ssl, fd);
        if (SSL_accept(ssl) != 1) {
            SSL_free(ssl);
            ERR_clear_error();
            return;
        }
    }
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
        const int n = ssl != nullptr ? SSL_read(ssl, buffer, sizeof buffer)
                                     : static_cast<int>(::recv(fd, buffer, sizeof buffer, 0));
        if (n <= 0) {
            break;
        }
        request.append(buffer, static_cast<std::size_t>(n));
    }
    m_acceptor.record(request);
    const std::string response = m_respond(request);
    if (ssl != nullptr) {
        SSL_write(ssl, response.data(), static_cast<int>(response.size()));
        if (m_end == TlsEnd::CloseNotify) {
            SSL_shutdown(ssl);
        }
        SSL_free(ssl);
        ERR_clear_error();
    } else {
        (void)::send(fd, response.data(), response.size(), MSG_NOSIGNAL);
    }
}

void TestConnectProxy::tunnel(int client)
{
    std::string request;
    char byte = 0;
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 4096 && waitReadable(client, 5000) &&
           ::recv(client, &byte, 1, 0) == 1) {
        request += byte;
    }
    m_acceptor.record(request);
    const std::size_t colon = request.find(':');
    const std::size_t blank = colon == std::string::npos ? colon : request.find(' ', colon);
    if (!m_refusal.empty() || !request.starts_with("CONNECT ") || blank == std::string::npos) {
        const std::string answer = m_refusal.empty() ? "HTTP/1.0 400 Bad Request\r\n\r\n" : m_refusal;
        (void)::send(client, answer.data(), answer.size(), MSG_NOSIGNAL);
        return;
    }
    const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(std::stoi(request.substr(colon + 1, blank - colon - 1))));
    if (::connect(server, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        const std::string_view ok = "HTTP/1.0 200 Connection established\r\n\r\n";
        (void)::send(client, ok.data(), ok.size(), MSG_NOSIGNAL);
        for (bool open = true; open && !m_acceptor.stopping();) {
            pollfd fds[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
            if (::poll(fds, 2, 5000) <= 0) {
                break;
            }
            open = (!fds[0].revents || relay(client, server)) && (!fds[1].revents || relay(server, client));
        }
    }
    ::close(server);
}

std::string requestPath(const std::string& request)
{
    const std::size_t start = request.find(' ');
    const std::size_t end = start == std::string::npos ? start : request.find(' ', start + 1);
    return end == std::string::npos ? std::string() : request.substr(start + 1, end - start - 1);
}

}  // namespace orlavo::testing
