#include "protocol/TMysqlVio.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

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

bool TMysqlVio::ReadableWhileIdle() const
{
    if (!IsOpen()) return false;
    pollfd p{m_socket, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0;
}

long TMysqlVio::Read(void* buffer, size_t count)
{
    if (!IsOpen()) return -1;
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
