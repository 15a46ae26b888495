#pragma once
// A TCP proxy on the loopback interface that holds every byte back by a fixed delay in each
// direction, so a benchmark can measure over a slow link (another office over a VPN) beside
// the direct connection. It forwards only to 127.0.0.1, accepts a bounded number of
// connections, and stops by itself after its lifetime or when destroyed.
//
// One thread accepts; each connection gets one thread per direction, which reads what
// arrives, stamps it with its arrival time and sends it on once the delay has passed (poll
// waits for whichever comes first: new bytes or the next chunk falling due).

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vt::bench {

class DelayProxy {
public:
    using Clock = std::chrono::steady_clock;

    // Forwards 127.0.0.1:<listenPort()> to 127.0.0.1:targetPort, delaying each direction by
    // oneWay. At most maxConnections are accepted; everything stops after lifetime.
    DelayProxy(uint16_t targetPort, std::chrono::microseconds oneWay, int maxConnections = 16,
               std::chrono::seconds lifetime = std::chrono::seconds(900))
        : m_target(targetPort), m_delay(oneWay), m_maxConnections(maxConnections), m_deadline(Clock::now() + lifetime)
    {
        m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a = loopback(0);
        int on = 1;
        ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (m_listen < 0 || ::bind(m_listen, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            ::listen(m_listen, 8) != 0) {
            closeFd(m_listen);
            return;
        }
        socklen_t len = sizeof a;
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&a), &len);
        m_port = ntohs(a.sin_port);
        m_acceptor = std::thread([this] { acceptLoop(); });
    }

    ~DelayProxy() { stop(); }
    DelayProxy(const DelayProxy&) = delete;
    DelayProxy& operator=(const DelayProxy&) = delete;

    // 0 when the proxy could not listen.
    uint16_t listenPort() const { return m_port; }

    void stop()
    {
        m_stop = true;
        if (m_acceptor.joinable()) m_acceptor.join();
        std::vector<std::thread> pumps;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            pumps.swap(m_pumps);
        }
        for (std::thread& t : pumps)
            if (t.joinable()) t.join();
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto& c : m_connections) {
            closeFd(c->client);
            closeFd(c->server);
        }
        m_connections.clear();
        closeFd(m_listen);
    }

private:
    struct Connection {
        int client = -1;
        int server = -1;
        std::atomic<int> open{2};  // directions still running
    };
    struct Chunk {
        Clock::time_point due;
        std::string bytes;
        size_t sent = 0;
    };

    static sockaddr_in loopback(uint16_t port)
    {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return a;
    }
    static void closeFd(int& fd)
    {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
    bool finished() const { return m_stop || Clock::now() >= m_deadline; }

    void acceptLoop()
    {
        int accepted = 0;
        while (!finished() && accepted < m_maxConnections) {
            pollfd p{m_listen, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            int client = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) continue;
            ++accepted;
            int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in a = loopback(m_target);
            if (server < 0 || ::connect(server, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
                closeFd(server);
                closeFd(client);
                continue;
            }
            int on = 1;
            ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            ::setsockopt(server, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            const int buffer = 4 << 20;
            for (int fd : {client, server}) {
                ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
                ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
            }
            auto c = std::make_shared<Connection>();
            c->client = client;
            c->server = server;
            std::lock_guard<std::mutex> lock(m_mutex);
            m_connections.push_back(c);
            m_pumps.emplace_back([this, c] { pump(c, c->client, c->server); });
            m_pumps.emplace_back([this, c] { pump(c, c->server, c->client); });
        }
    }

    // Moves bytes from one socket to the other, each chunk sent m_delay after it arrived. An
    // end of stream is passed on (after the bytes before it) as a shutdown of the other side.
    void pump(const std::shared_ptr<Connection>& c, int from, int to)
    {
        std::deque<Chunk> queue;
        bool readEnded = false;
        std::vector<char> buffer(65536);
        while (!finished()) {
            const Clock::time_point now = Clock::now();
            bool full = false;
            while (!queue.empty() && queue.front().due <= now) {
                Chunk& front = queue.front();
                // Never blocks: a reader that is slow to take its bytes must not stop this
                // thread from reading (and stamping) what arrives meanwhile.
                ssize_t n = ::send(to, front.bytes.data() + front.sent, front.bytes.size() - front.sent,
                                   MSG_NOSIGNAL | MSG_DONTWAIT);
                if (n < 0 && errno == EINTR) continue;
                if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                    full = true;
                    break;
                }
                if (n <= 0) {
                    readEnded = true;
                    queue.clear();
                    break;
                }
                front.sent += size_t(n);
                if (front.sent == front.bytes.size()) queue.pop_front();
            }
            if (readEnded && queue.empty()) break;
            int waitMs = 50;
            if (!queue.empty()) {
                auto left = std::chrono::duration_cast<std::chrono::microseconds>(queue.front().due - Clock::now());
                waitMs = int(std::max<int64_t>(0, (left.count() + 999) / 1000));
                waitMs = std::min(waitMs, 50);
            }
            if (full) waitMs = 1;
            pollfd p{from, POLLIN, 0};
            const int ready = readEnded ? 0 : ::poll(&p, 1, waitMs);
            if (readEnded) std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
            if (ready > 0) {
                ssize_t n = ::recv(from, buffer.data(), buffer.size(), 0);
                if (n > 0)
                    queue.push_back({Clock::now() + m_delay, std::string(buffer.data(), size_t(n)), 0});
                else if (n == 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK))
                    readEnded = true;
            }
        }
        ::shutdown(to, SHUT_WR);
        ::shutdown(from, SHUT_RD);
        c->open.fetch_sub(1);
    }

    uint16_t m_target;
    std::chrono::microseconds m_delay;
    int m_maxConnections;
    Clock::time_point m_deadline;
    int m_listen = -1;
    uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_acceptor;
    std::mutex m_mutex;
    std::vector<std::thread> m_pumps;
    std::vector<std::shared_ptr<Connection>> m_connections;
};

}  // namespace vt::bench
