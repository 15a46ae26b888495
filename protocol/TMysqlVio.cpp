#include "protocol/TMysqlVio.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <tuple>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include "protocol/MysqlFunctions.h"
#include "protocol/MysqlPackets.h"

namespace {

// Waits for the socket to become ready for events; true when ready in time.
bool waitFor(int fd, short events, int timeoutSeconds)
{
    pollfd p{fd, events, 0};
    for (;;) {
        int r = ::poll(&p, 1, timeoutSeconds * 1000);
        if (r > 0) return true;
        if (r == 0) {
            errno = ETIMEDOUT;
            return false;
        }
        if (errno != EINTR) return false;
    }
}

// TLS contexts, one per CA file (empty: the system's store), shared by every connection of
// the process: loading a store costs far more than a handshake. A CA file that changed on
// disk (another size or time) gets a new context.
struct ContextKey {
    std::string caFile;
    long long size = 0;
    long long mtime = 0;
    bool operator<(const ContextKey& o) const
    {
        return std::tie(caFile, size, mtime) < std::tie(o.caFile, o.size, o.mtime);
    }
};

struct CtxFree {
    void operator()(SSL_CTX* c) const { SSL_CTX_free(c); }
};

std::string lastOpenSslError()
{
    unsigned long e = ERR_peek_last_error();
    if (e == 0) return {};
    char text[256];
    ERR_error_string_n(e, text, sizeof text);
    // "error:0A000086:SSL routines::certificate verify failed": the reason is the last part.
    const char* reason = std::strrchr(text, ':');
    return reason && reason[1] ? std::string(reason + 1) : std::string(text);
}

// A context for caFile; nullptr with why set when the file cannot be loaded.
SSL_CTX* tlsContext(const std::string& caFile, std::string& why)
{
    // OpenSSL first: its clean-up at exit then runs after these contexts are freed.
    static const bool initialised = OPENSSL_init_ssl(0, nullptr) == 1;
    static std::mutex mutex;
    static std::map<ContextKey, std::unique_ptr<SSL_CTX, CtxFree>> contexts;
    if (!initialised) {
        why = "cannot start OpenSSL";
        return nullptr;
    }
    ContextKey key{caFile};
    if (!caFile.empty()) {
        struct stat st {};
        if (::stat(caFile.c_str(), &st) != 0) {
            why = "cannot read the CA file '" + caFile + "': " + std::strerror(errno);
            return nullptr;
        }
        key.size = st.st_size;
        key.mtime = (long long)st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
    }
    std::lock_guard lock(mutex);
    if (auto it = contexts.find(key); it != contexts.end()) return it->second.get();
    ERR_clear_error();
    std::unique_ptr<SSL_CTX, CtxFree> ctx(SSL_CTX_new(TLS_client_method()));
    if (!ctx) {
        why = "cannot create a TLS context: " + lastOpenSslError();
        return nullptr;
    }
    SSL_CTX_set_min_proto_version(ctx.get(), TLS1_2_VERSION);
    SSL_CTX_set_verify(ctx.get(), SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_mode(ctx.get(), SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    SSL_CTX_set_options(ctx.get(), SSL_OP_NO_COMPRESSION | SSL_OP_NO_RENEGOTIATION);
    const bool loaded = caFile.empty() ? SSL_CTX_set_default_verify_paths(ctx.get()) == 1
                                       : SSL_CTX_load_verify_locations(ctx.get(), caFile.c_str(), nullptr) == 1;
    if (!loaded) {
        why = caFile.empty() ? "cannot load the system's certificate store: " + lastOpenSslError()
                             : "cannot load the CA file '" + caFile + "': " + lastOpenSslError();
        return nullptr;
    }
    SSL_CTX* result = ctx.get();
    contexts.emplace(std::move(key), std::move(ctx));
    return result;
}

// The TLS layer reads and writes the socket through this: send() with MSG_NOSIGNAL, so that a
// server that went away makes a write fail instead of ending the program with SIGPIPE.
struct SocketBio {
    int fd = -1;
    bool eof = false;
};

int bioWrite(BIO* bio, const char* data, size_t length, size_t* written)
{
    auto* s = static_cast<SocketBio*>(BIO_get_data(bio));
    BIO_clear_retry_flags(bio);
    ssize_t n = ::send(s->fd, data, length, MSG_NOSIGNAL);
    if (n >= 0) {
        *written = size_t(n);
        return 1;
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) BIO_set_retry_write(bio);
    return 0;
}

int bioRead(BIO* bio, char* data, size_t length, size_t* got)
{
    auto* s = static_cast<SocketBio*>(BIO_get_data(bio));
    BIO_clear_retry_flags(bio);
    ssize_t n = ::recv(s->fd, data, length, 0);
    if (n > 0) {
        *got = size_t(n);
        return 1;
    }
    if (n == 0)
        s->eof = true;
    else if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
        BIO_set_retry_read(bio);
    return 0;
}

long bioCtrl(BIO* bio, int cmd, long, void*)
{
    auto* s = static_cast<SocketBio*>(BIO_get_data(bio));
    switch (cmd) {
    case BIO_CTRL_FLUSH: return 1;
    case BIO_CTRL_EOF: return s && s->eof ? 1 : 0;
    default: return 0;
    }
}

int bioDestroy(BIO* bio)
{
    delete static_cast<SocketBio*>(BIO_get_data(bio));
    BIO_set_data(bio, nullptr);
    return 1;
}

BIO* newSocketBio(int fd)
{
    static BIO_METHOD* const method = [] {
        BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "veltrana socket");
        if (m) {
            BIO_meth_set_write_ex(m, bioWrite);
            BIO_meth_set_read_ex(m, bioRead);
            BIO_meth_set_ctrl(m, bioCtrl);
            BIO_meth_set_destroy(m, bioDestroy);
        }
        return m;
    }();
    if (!method) return nullptr;
    BIO* bio = BIO_new(method);
    if (!bio) return nullptr;
    BIO_set_data(bio, new SocketBio{fd});
    BIO_set_init(bio, 1);
    return bio;
}

bool isIpAddress(const std::string& host)
{
    in_addr v4{};
    in6_addr v6{};
    return ::inet_pton(AF_INET, host.c_str(), &v4) == 1 || ::inet_pton(AF_INET6, host.c_str(), &v6) == 1;
}

}  // namespace

TMysqlVio::~TMysqlVio()
{
    if (IsOpen()) Close();
}

void TMysqlVio::SetErrorText(std::string_view text) { m_errorText.assign(text.substr(0, 200)); }

void TMysqlVio::setClientError(int code, const std::string& host, int err)
{
    char text[512];
    std::snprintf(text, sizeof text, MysqlClientErrorText(code), host.c_str(), err);
    SetError(code, text);
}

int TMysqlVio::Connect(const std::string& hostArg, uint32_t port, int timeoutSeconds)
{
    if (IsOpen()) return -20;
    m_timeoutSeconds = timeoutSeconds == 0 ? 30 : timeoutSeconds;
    if (port == 0) port = 3306;
    const std::string host = hostArg.empty() ? std::string("localhost") : hostArg;

    // A dotted quad or an IPv6 address is taken as it is; a name is looked up and its first
    // address used (IPv4 first, as names of servers on a network mostly have one).
    sockaddr_storage addr{};
    socklen_t addrLength = 0;
    if (sockaddr_in v4{}; ::inet_pton(AF_INET, host.c_str(), &v4.sin_addr) == 1) {
        v4.sin_family = AF_INET;
        v4.sin_port = htons(uint16_t(port));
        std::memcpy(&addr, &v4, sizeof v4);
        addrLength = sizeof v4;
    } else if (sockaddr_in6 v6{}; ::inet_pton(AF_INET6, host.c_str(), &v6.sin6_addr) == 1) {
        v6.sin6_family = AF_INET6;
        v6.sin6_port = htons(uint16_t(port));
        std::memcpy(&addr, &v6, sizeof v6);
        addrLength = sizeof v6;
    } else {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        int rc = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
        if (rc != 0 || !found) {
            hints.ai_family = AF_INET6;
            rc = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
        }
        if (rc != 0 || !found) {
            int err = rc == EAI_SYSTEM ? errno : rc;
            m_socketError = err;
            setClientError(mysqlpkt::CR_UNKNOWN_HOST, host, err);
            return -7;
        }
        std::memcpy(&addr, found->ai_addr, found->ai_addrlen);
        addrLength = socklen_t(found->ai_addrlen);
        ::freeaddrinfo(found);
        if (addr.ss_family == AF_INET)
            reinterpret_cast<sockaddr_in*>(&addr)->sin_port = htons(uint16_t(port));
        else
            reinterpret_cast<sockaddr_in6*>(&addr)->sin6_port = htons(uint16_t(port));
    }

    int fd = ::socket(addr.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        m_socketError = errno;
        char text[256];
        std::snprintf(text, sizeof text, MysqlClientErrorText(mysqlpkt::CR_IPSOCK_ERROR), m_socketError);
        SetError(mysqlpkt::CR_IPSOCK_ERROR, text);
        return -8;
    }

    m_socket = fd;
    m_kind = 1;
    SetBlocking(false);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), addrLength) != 0 && errno != EINPROGRESS && errno != EINTR) {
        m_socketError = errno;
        Close();
        setClientError(mysqlpkt::CR_CONNECTION_ERROR, host, m_socketError);
        return -6;
    }
    m_socketError = EINPROGRESS;

    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &one, sizeof one);

    // The server speaks first: wait for its greeting. A refused connection also wakes the
    // wait, so the socket's pending error is checked as well.
    bool ready = waitFor(fd, POLLIN, m_timeoutSeconds);
    int err = ready ? 0 : errno;
    if (ready) {
        socklen_t len = sizeof err;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
    }
    if (err != 0) {
        m_socketError = err;
        Close();
        setClientError(mysqlpkt::CR_CONNECTION_ERROR, host, err);
        return -7;
    }
    ClearError();
    return 0;
}

void TMysqlVio::Adopt(int socket, int timeoutSeconds)
{
    if (IsOpen()) Close();
    m_socket = socket;
    m_kind = 1;
    m_timeoutSeconds = timeoutSeconds == 0 ? 30 : timeoutSeconds;
    SetBlocking(false);
    ClearError();
}

int TMysqlVio::Close()
{
    int r = 0;
    if (m_ssl) {
        // Tell the server the stream ends here (one attempt, without waiting for its answer).
        if (!m_tlsBroken) SSL_shutdown(m_ssl);
        SSL_free(m_ssl);
        m_ssl = nullptr;
    }
    m_tlsBroken = false;
    if (m_socket >= 0) {
        ::shutdown(m_socket, SHUT_RDWR);
        if (::close(m_socket) != 0) r = -1;
    }
    m_socket = -1;
    m_kind = 0;
    m_nonBlocking = false;
    return r;
}

bool TMysqlVio::WaitReadable(int timeoutSeconds)
{
    if (!IsOpen()) return false;
    if (waitFor(m_socket, POLLIN, timeoutSeconds)) return true;
    m_socketError = errno;
    return false;
}

bool TMysqlVio::ReadableWhileIdle()
{
    if (!IsOpen()) return false;
    if (m_ssl && SSL_pending(m_ssl) > 0) return true;
    pollfd p{m_socket, POLLIN, 0};
    if (::poll(&p, 1, 0) <= 0) return false;
    if (!m_ssl) return true;
    // Records without data (a session ticket after the handshake) keep the connection usable;
    // data, the end of the stream or a broken record do not.
    ERR_clear_error();
    char byte;
    int n = SSL_peek(m_ssl, &byte, 1);
    if (n > 0) return true;
    int e = SSL_get_error(m_ssl, n);
    if (e == SSL_ERROR_WANT_READ) return false;
    if (e != SSL_ERROR_ZERO_RETURN) m_tlsBroken = true;
    return true;
}

long TMysqlVio::Read(void* buffer, size_t count)
{
    if (!IsOpen()) return -1;
    if (m_ssl) return tlsRead(buffer, count);
    // In non-blocking mode try first: data already queued costs no wait.
    if (m_nonBlocking) {
        ssize_t n = ::recv(m_socket, buffer, count, 0);
        if (n >= 0) {
            m_socketError = 0;
            return long(n);
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            m_socketError = errno;
            return -1;
        }
    }
    if (!WaitReadable(m_timeoutSeconds)) return -1;
    ssize_t n = ::recv(m_socket, buffer, count, 0);
    m_socketError = n < 0 ? errno : 0;
    return long(n);
}

long TMysqlVio::Write(const void* buffer, size_t count)
{
    if (!IsOpen()) return -1;
    if (m_ssl) return tlsWrite(buffer, count);
    ssize_t n = ::send(m_socket, buffer, count, MSG_NOSIGNAL);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        // A full send queue: wait (bounded by the timeout) until the peer takes more.
        if (waitFor(m_socket, POLLOUT, m_timeoutSeconds))
            n = ::send(m_socket, buffer, count, MSG_NOSIGNAL);
        else {
            m_socketError = errno;
            return -1;
        }
    }
    m_socketError = n < 0 ? errno : 0;
    return long(n);
}

int TMysqlVio::SetBlocking(bool blocking)
{
    if (!IsOpen()) return -1;
    if (blocking == !m_nonBlocking) return 0;
    int flags = ::fcntl(m_socket, F_GETFL, 0);
    if (flags < 0) return -1;
    flags = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
    if (::fcntl(m_socket, F_SETFL, flags) != 0) {
        m_socketError = errno;
        return -1;
    }
    m_nonBlocking = !blocking;
    return 0;
}

bool TMysqlVio::ShouldRetry() const
{
    return IsOpen() && (m_socketError == EINTR || m_socketError == EAGAIN || m_socketError == EWOULDBLOCK ||
                        m_socketError == EINPROGRESS);
}

bool TMysqlVio::WasInterrupted() const { return m_socketError == EINTR; }

// ---------------------------------------------------------------------------------------
// TLS

void TMysqlVio::tlsFail(const std::string& why)
{
    m_tlsBroken = true;
    Close();
    SetError(mysqlpkt::CR_SSL_CONNECTION_ERROR, "SSL connection error: " + why);
}

bool TMysqlVio::tlsWait(int sslError)
{
    const short events = sslError == SSL_ERROR_WANT_WRITE ? POLLOUT : POLLIN;
    if (waitFor(m_socket, events, m_timeoutSeconds)) return true;
    m_socketError = errno;
    return false;
}

int TMysqlVio::StartTls(const std::string& caFile, const std::string& host)
{
    if (!IsOpen()) return -1;
    if (m_ssl) return 0;
    std::string why;
    SSL_CTX* ctx = tlsContext(caFile, why);
    if (!ctx) {
        tlsFail(why);
        return -1;
    }
    m_ssl = SSL_new(ctx);
    BIO* bio = m_ssl ? newSocketBio(m_socket) : nullptr;
    if (!bio) {
        tlsFail("cannot start TLS: " + lastOpenSslError());
        return -1;
    }
    SSL_set_bio(m_ssl, bio, bio);  // the session owns the BIO from here
    // The certificate must name the host as the settings give it: a name is matched against
    // the certificate's DNS names, an address against its IP addresses.
    const bool ip = isIpAddress(host);
    if (ip) {
        if (X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(m_ssl), host.c_str()) != 1) {
            tlsFail("cannot check the address " + host);
            return -1;
        }
    } else {
        SSL_set_hostflags(m_ssl, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        if (SSL_set1_host(m_ssl, host.c_str()) != 1 || SSL_set_tlsext_host_name(m_ssl, host.c_str()) != 1) {
            tlsFail("cannot check the host name " + host);
            return -1;
        }
    }
    SetBlocking(false);
    // The whole handshake gets the timeout once, however the server paces its records.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(m_timeoutSeconds);
    for (;;) {
        ERR_clear_error();
        errno = 0;
        int r = SSL_connect(m_ssl);
        if (r == 1) break;
        int e = SSL_get_error(m_ssl, r);
        if (e == SSL_ERROR_WANT_READ || e == SSL_ERROR_WANT_WRITE) {
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            pollfd p{m_socket, short(e == SSL_ERROR_WANT_WRITE ? POLLOUT : POLLIN), 0};
            int ready = left.count() > 0 ? ::poll(&p, 1, int(left.count())) : 0;
            if (ready > 0 || (ready < 0 && errno == EINTR)) continue;
            tlsFail("the TLS handshake with " + host + " timed out");
            return -1;
        }
        const long verify = SSL_get_verify_result(m_ssl);
        if (verify == X509_V_ERR_HOSTNAME_MISMATCH || verify == X509_V_ERR_IP_ADDRESS_MISMATCH) {
            tlsFail("the server's certificate is not issued for " + std::string(ip ? "the address " : "the host ") +
                    host);
        } else if (verify != X509_V_OK) {
            tlsFail(std::string("the server's certificate is not trusted: ") + X509_verify_cert_error_string(verify));
        } else if (e == SSL_ERROR_SYSCALL || e == SSL_ERROR_ZERO_RETURN ||
                   ERR_GET_REASON(ERR_peek_last_error()) == SSL_R_UNEXPECTED_EOF_WHILE_READING) {
            tlsFail("the server ended the connection during the TLS handshake");
        } else {
            const std::string detail = lastOpenSslError();
            tlsFail("the TLS handshake failed: " + (detail.empty() ? std::string("unknown reason") : detail));
        }
        return -1;
    }
    m_socketError = 0;
    return 0;
}

long TMysqlVio::tlsRead(void* buffer, size_t count)
{
    for (;;) {
        ERR_clear_error();
        errno = 0;
        size_t got = 0;
        if (SSL_read_ex(m_ssl, buffer, count, &got) == 1) {
            m_socketError = 0;
            return long(got);
        }
        int e = SSL_get_error(m_ssl, 0);
        if (e == SSL_ERROR_WANT_READ || e == SSL_ERROR_WANT_WRITE) {
            if (tlsWait(e)) continue;
            return -1;
        }
        if (e == SSL_ERROR_ZERO_RETURN) {  // the server closed the stream in order
            m_socketError = 0;
            return 0;
        }
        // A broken record or a reset connection: nothing more can be read or sent.
        m_tlsBroken = true;
        m_socketError = errno != 0 && errno != EINTR && errno != EAGAIN ? errno : EPROTO;
        return -1;
    }
}

long TMysqlVio::tlsWrite(const void* buffer, size_t count)
{
    for (;;) {
        ERR_clear_error();
        errno = 0;
        size_t sent = 0;
        if (SSL_write_ex(m_ssl, buffer, count, &sent) == 1) {
            m_socketError = 0;
            return long(sent);
        }
        int e = SSL_get_error(m_ssl, 0);
        if (e == SSL_ERROR_WANT_READ || e == SSL_ERROR_WANT_WRITE) {
            if (tlsWait(e)) continue;
            return -1;
        }
        m_tlsBroken = true;
        m_socketError = errno != 0 && errno != EINTR && errno != EAGAIN ? errno : EPROTO;
        return -1;
    }
}

std::string TMysqlVio::TlsVersion() const { return m_ssl ? SSL_get_version(m_ssl) : std::string(); }

std::string TMysqlVio::TlsCipher() const
{
    if (!m_ssl) return {};
    const char* name = SSL_get_cipher_name(m_ssl);
    return name ? name : std::string();
}
