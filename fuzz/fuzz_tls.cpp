// The client's switch to TLS and everything it reads inside TLS, against arbitrary server bytes.
// A thread plays the server: a greeting offering TLS, then either a real TLS handshake (with a
// certificate made at start-up, which the client trusts) followed by the input as the server's
// packets inside TLS, or the input sent raw where the client expects the TLS handshake.
//
// The first input byte chooses: bit 0 the server offers compression, bit 1 the client expects
// another host name (the certificate must be refused before anything is sent inside TLS),
// bit 2 the raw mode.
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "protocol/MysqlClientImpl.h"

namespace {

struct ServerIdentity {
    SSL_CTX* ctx = nullptr;
    std::string caFile;
};

// A self-signed certificate for "localhost": the client is given it as its CA file.
ServerIdentity makeIdentity()
{
    ServerIdentity id;
    EVP_PKEY* key = EVP_EC_gen("P-256");
    X509* cert = X509_new();
    if (!key || !cert) std::abort();
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert), 3600L * 24 * 365);
    X509_set_pubkey(cert, key);
    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("localhost"), -1, -1,
                               0);
    X509_set_issuer_name(cert, name);
    X509V3_CTX v3;
    X509V3_set_ctx_nodb(&v3);
    X509V3_set_ctx(&v3, cert, cert, nullptr, nullptr, 0);
    for (const char* ext : {"subjectAltName=DNS:localhost", "basicConstraints=critical,CA:TRUE"}) {
        const std::string text(ext);
        const auto eq = text.find('=');
        X509_EXTENSION* e = X509V3_EXT_conf(nullptr, &v3, text.substr(0, eq).c_str(), text.substr(eq + 1).c_str());
        if (!e) std::abort();
        X509_add_ext(cert, e, -1);
        X509_EXTENSION_free(e);
    }
    if (X509_sign(cert, key, EVP_sha256()) == 0) std::abort();

    char path[] = "/tmp/vt-fuzz-tls-ca-XXXXXX";
    const int fd = ::mkstemp(path);
    FILE* f = fd >= 0 ? ::fdopen(fd, "w") : nullptr;
    if (!f || PEM_write_X509(f, cert) != 1) std::abort();
    std::fclose(f);
    id.caFile = path;

    id.ctx = SSL_CTX_new(TLS_server_method());
    if (!id.ctx || SSL_CTX_use_certificate(id.ctx, cert) != 1 || SSL_CTX_use_PrivateKey(id.ctx, key) != 1)
        std::abort();
    X509_free(cert);
    EVP_PKEY_free(key);
    return id;
}

const ServerIdentity& identity()
{
    static const ServerIdentity id = [] {
        ::signal(SIGPIPE, SIG_IGN);  // the playing server writes with plain write()
        return makeIdentity();
    }();
    return id;
}

bool sendAll(int fd, const void* data, size_t size)
{
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::send(fd, p, size, MSG_NOSIGNAL);
        if (n <= 0) return false;
        p += n;
        size -= size_t(n);
    }
    return true;
}

// Reads exactly `size` bytes, giving up after a second without any.
bool readExactly(int fd, char* out, size_t size)
{
    while (size > 0) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 1000) <= 0) return false;
        const ssize_t n = ::recv(fd, out, size, 0);
        if (n <= 0) return false;
        out += n;
        size -= size_t(n);
    }
    return true;
}

void playServer(int fd, uint8_t mode, const uint8_t* data, size_t size)
{
    // Protocol 10, a 20-byte scramble; capabilities: TLS, 4.1 authentication, connect with a
    // database, and compression when chosen.
    uint16_t caps = 0xa88d | ((mode & 1) ? 0x20 : 0);
    std::string greeting = std::string("\x0a" "5.5.5-10.11.6\0", 15);
    greeting += std::string("\x01\x00\x00\x00" "abcdefgh\0", 13);
    greeting.push_back(char(caps & 0xff));
    greeting.push_back(char(caps >> 8));
    greeting += std::string("\x08\x02\x00", 3);
    greeting += std::string(13, '\0');
    greeting += std::string("ijklmnopqrst\0", 13);
    std::string packet(4, '\0');
    packet[0] = char(greeting.size());
    packet += greeting;
    char request[9];
    if (!sendAll(fd, packet.data(), packet.size()) || !readExactly(fd, request, sizeof request)) return;

    if (mode & 4) {
        sendAll(fd, data, size);
        ::shutdown(fd, SHUT_WR);
    } else {
        SSL* ssl = SSL_new(identity().ctx);
        SSL_set_fd(ssl, fd);
        if (SSL_accept(ssl) == 1) {
            if (size > 0) SSL_write(ssl, data, int(size));
            SSL_shutdown(ssl);
        }
        SSL_free(ssl);
        ::shutdown(fd, SHUT_WR);
    }
    // Whatever the client still sends is read and dropped until it closes.
    char sink[4096];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 2000) <= 0 || ::recv(fd, sink, sizeof sink, 0) <= 0) break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > 65536) return 0;
    const ServerIdentity& id = identity();
    const uint8_t mode = data[0];
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return 0;
    std::thread server(playServer, fds[1], mode, data + 1, size - 1);
    {
        TMysqlClient client;
        client.SetAutoReconnect(false);
        auto& impl = TMysqlClientAccess::impl(client);
        impl.clientFlags |= MysqlFlags::CLIENT_SSL;
        impl.tlsCaFile = id.caFile;
        impl.host = (mode & 2) ? "elsewhere.example" : "localhost";
        impl.user = "fuzz";
        impl.password = "secret";
        impl.net.Adopt(fds[0], 1);
        if (impl.handshake()) {
            if (!client.Encrypted()) __builtin_trap();  // a login past the switch is always inside TLS
            for (int i = 0; i < 3 && client.Connected(); ++i) {
                bool ok = false;
                auto r = client.Query("select", i % 2 == 0, ok);
                if (!r) continue;
                for (int step = 0; step < 4 && r; ++step) {
                    r->FetchLengths();
                    for (uint32_t f = 0; f < r->FieldCount(); ++f) {
                        const char* v = r->FieldValue(int(f));
                        if (v && v[r->FieldLength(int(f))] != 0) __builtin_trap();
                    }
                    r->Next();
                }
            }
        }
        client.Close();
    }
    server.join();
    ::close(fds[1]);
    return 0;
}
