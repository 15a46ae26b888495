#include "FakeServer.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <openssl/ssl.h>

namespace fake {

namespace {
constexpr int StepTimeoutMs = 5000;

bool waitReadable(int fd, int ms)
{
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, ms) > 0;
}

bool writePlain(int fd, const std::string& bytes)
{
    size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        sent += size_t(n);
    }
    return true;
}
}  // namespace

std::string le(uint64_t value, int bytes)
{
    std::string s;
    for (int i = 0; i < bytes; ++i)
        s.push_back(char(uint8_t(value >> (8 * i))));
    return s;
}

std::string lengthCoded(uint64_t v)
{
    if (v < 251) return std::string(1, char(v));
    if (v < 0x10000) return std::string(1, char(252)) + le(v, 2);
    if (v < 0x1000000) return std::string(1, char(253)) + le(v, 3);
    return std::string(1, char(254)) + le(v, 8);
}

std::string lengthCodedString(std::string_view s) { return lengthCoded(s.size()) + std::string(s); }

std::string packet(uint8_t seq, std::string_view payload)
{
    return le(payload.size(), 3) + char(seq) + std::string(payload);
}

std::string compressedPacket(uint8_t seq, std::string_view body, uint32_t plainLength)
{
    return le(body.size(), 3) + char(seq) + le(plainLength, 3) + std::string(body);
}

std::string zlibCompress(std::string_view data)
{
    uLongf n = compressBound(uLong(data.size()));
    std::string out(n, '\0');
    if (::compress(reinterpret_cast<Bytef*>(out.data()), &n, reinterpret_cast<const Bytef*>(data.data()),
                   uLong(data.size())) != Z_OK)
        throw std::runtime_error("compress failed");
    out.resize(n);
    return out;
}

std::string greeting(const GreetingOptions& o)
{
    std::string s(1, char(o.protocol));
    s += o.version;
    s.push_back('\0');
    s += le(42, 4);  // connection id
    s += o.scramble.substr(0, 8);
    s.push_back('\0');
    s += le(o.capabilities, 2);
    s.push_back(char(8));  // character set
    s += le(o.status, 2);
    s.append(13, '\0');
    s += o.scramble.substr(8);
    s.push_back('\0');
    if (o.cutAt) s.resize(o.cutAt);
    return s;
}

std::string okPayload(uint64_t affected, uint64_t insertId, uint16_t status)
{
    return std::string(1, '\0') + lengthCoded(affected) + lengthCoded(insertId) + le(status, 2);
}

std::string errorPayload(uint16_t code, std::string_view message)
{
    return std::string(1, char(255)) + le(code, 2) + std::string(message);
}

std::string eofPayload() { return std::string(1, char(254)); }

std::string columnPayload(std::string_view table, std::string_view name, uint8_t type, uint32_t length, uint16_t flags,
                          uint8_t decimals)
{
    return lengthCodedString(table) + lengthCodedString(name) + lengthCodedString(le(length, 3)) +
           lengthCodedString(std::string(1, char(type))) + lengthCodedString(le(flags, 2) + char(decimals));
}

FakeServer::FakeServer()
{
    m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (m_listen < 0 || ::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(m_listen, 8) != 0)
        throw std::runtime_error("fake server: cannot listen");
    socklen_t len = sizeof addr;
    ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
    m_port = ntohs(addr.sin_port);
}

FakeServer::~FakeServer()
{
    finish();
    if (m_listen >= 0) ::close(m_listen);
}

FakeServer& FakeServer::send(std::string bytes)
{
    m_steps.push_back({Step::Send, std::move(bytes)});
    return *this;
}

FakeServer& FakeServer::expect()
{
    m_steps.push_back({Step::Expect, {}});
    return *this;
}

FakeServer& FakeServer::expectCompressed()
{
    m_steps.push_back({Step::ExpectCompressed, {}});
    return *this;
}

FakeServer& FakeServer::pause(int ms)
{
    m_steps.push_back({Step::Pause, {}, ms});
    return *this;
}

FakeServer& FakeServer::closeConnection()
{
    m_steps.push_back({Step::Close, {}});
    return *this;
}

FakeServer& FakeServer::startTls(std::string certFile, std::string keyFile)
{
    Step step{Step::StartTls, std::move(certFile)};
    step.key = std::move(keyFile);
    m_steps.push_back(std::move(step));
    return *this;
}

FakeServer& FakeServer::handshake(const GreetingOptions& o)
{
    return send(packet(0, greeting(o))).expect().send(packet(2, okPayload()));
}

void FakeServer::start()
{
    m_thread = std::thread([this] { run(); });
}

void FakeServer::finish()
{
    if (m_thread.joinable()) m_thread.join();
}

std::vector<Received> FakeServer::received()
{
    std::lock_guard lock(m_mutex);
    return m_received;
}

std::string FakeServer::trailing()
{
    std::lock_guard lock(m_mutex);
    return m_trailing;
}

bool FakeServer::failed()
{
    std::lock_guard lock(m_mutex);
    return m_failed;
}

bool FakeServer::writeAll(int fd, const std::string& bytes)
{
    if (!m_ssl) return writePlain(fd, bytes);
    size_t written = 0;
    return bytes.empty() || (SSL_write_ex(static_cast<SSL*>(m_ssl), bytes.data(), bytes.size(), &written) == 1 &&
                             written == bytes.size());
}

long FakeServer::receive(int fd, void* buf, size_t n)
{
    if (!m_ssl) return long(::recv(fd, buf, n, 0));
    size_t got = 0;
    return SSL_read_ex(static_cast<SSL*>(m_ssl), buf, n, &got) == 1 ? long(got) : 0;
}

bool FakeServer::readExactly(int fd, void* buf, size_t n)
{
    auto* p = static_cast<char*>(buf);
    while (n > 0) {
        if (!(m_ssl && SSL_pending(static_cast<SSL*>(m_ssl)) > 0) && !waitReadable(fd, StepTimeoutMs)) return false;
        long r = receive(fd, p, n);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        p += r;
        n -= size_t(r);
    }
    return true;
}

int FakeServer::acceptOne()
{
    if (!waitReadable(m_listen, StepTimeoutMs)) return -1;
    return ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
}

void FakeServer::endTls()
{
    if (m_ssl) SSL_free(static_cast<SSL*>(m_ssl));
    m_ssl = nullptr;
}

void FakeServer::run()
{
    // A write to a client that hung up must fail, not end the test program with SIGPIPE;
    // blocked in this thread only, so the client's own writes are tested as they are.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    int fd = acceptOne();
    auto fail = [this] {
        std::lock_guard lock(m_mutex);
        m_failed = true;
    };
    if (fd < 0) {
        fail();
        return;
    }
    for (size_t i = 0; i < m_steps.size(); ++i) {
        const Step& step = m_steps[i];
        bool ok = true;
        switch (step.kind) {
        case Step::Send: ok = writeAll(fd, step.bytes); break;
        case Step::Expect: {
            uint8_t h[4];
            ok = readExactly(fd, h, 4);
            if (!ok) break;
            size_t n = size_t(h[0]) | (size_t(h[1]) << 8) | (size_t(h[2]) << 16);
            Received r;
            r.seq = h[3];
            r.payload.resize(n);
            ok = readExactly(fd, r.payload.data(), n);
            std::lock_guard lock(m_mutex);
            m_received.push_back(std::move(r));
            break;
        }
        case Step::ExpectCompressed: {
            uint8_t h[7];
            ok = readExactly(fd, h, 7);
            if (!ok) break;
            size_t n = size_t(h[0]) | (size_t(h[1]) << 8) | (size_t(h[2]) << 16);
            size_t plain = size_t(h[4]) | (size_t(h[5]) << 8) | (size_t(h[6]) << 16);
            std::string body(n, '\0');
            ok = readExactly(fd, body.data(), n);
            if (!ok) break;
            Received r;
            r.seq = h[3];
            if (plain) {
                r.payload.resize(plain);
                uLongf out = plain;
                ok = ::uncompress(reinterpret_cast<Bytef*>(r.payload.data()), &out,
                                  reinterpret_cast<const Bytef*>(body.data()), uLong(n)) == Z_OK &&
                     out == plain;
            } else {
                r.payload = body;
            }
            std::lock_guard lock(m_mutex);
            m_received.push_back(std::move(r));
            break;
        }
        case Step::Pause: std::this_thread::sleep_for(std::chrono::milliseconds(step.ms)); break;
        case Step::StartTls: {
            SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
            ok = ctx && SSL_CTX_use_certificate_chain_file(ctx, step.bytes.c_str()) == 1 &&
                 SSL_CTX_use_PrivateKey_file(ctx, step.key.c_str(), SSL_FILETYPE_PEM) == 1;
            SSL* ssl = ok ? SSL_new(ctx) : nullptr;
            SSL_CTX_free(ctx);  // the session keeps its own reference
            if (ssl) {
                SSL_set_fd(ssl, fd);
                pollfd p{fd, POLLIN, 0};
                ok = ::poll(&p, 1, StepTimeoutMs) > 0 && SSL_accept(ssl) == 1;
                m_ssl = ssl;
            }
            break;
        }
        case Step::Close:
            endTls();
            ::close(fd);
            if (i + 1 == m_steps.size()) return;  // hang up: the script ends here
            fd = acceptOne();
            ok = fd >= 0;
            break;
        }
        if (!ok) {
            fail();
            endTls();
            if (fd >= 0) ::close(fd);
            return;
        }
    }
    // Keep the connection until the client closes it, recording what else it sends.
    char buf[4096];
    while ((m_ssl && SSL_pending(static_cast<SSL*>(m_ssl)) > 0) || waitReadable(fd, StepTimeoutMs)) {
        long r = receive(fd, buf, sizeof buf);
        if (r <= 0) break;
        std::lock_guard lock(m_mutex);
        m_trailing.append(buf, size_t(r));
    }
    endTls();
    ::close(fd);
}

}  // namespace fake
