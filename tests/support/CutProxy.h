#pragma once
// A TCP proxy on the loopback interface that cuts one connection at a chosen statement, so a
// test can lose a statement on its way to the server, or lose the server's answer to it after
// the server has run it, at exactly that point. Everything else passes unchanged; connections
// made after the cut (the client connecting again) are forwarded as usual.
//
// One thread accepts; each connection gets one thread that moves bytes both ways with poll.
// Statements are found by a marker in the bytes the client sends, as they are or inside a
// compressed packet (the client writes each command in one piece), so the connection must not
// be encrypted.
//
// Frozen (Freeze), the proxy stands for a server that stopped without closing anything (a
// stopped process, a machine switched off, a cut cable): connections stay open but nothing
// moves either way, and new ones are left waiting in the listen queue without a greeting.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

namespace vt::test {

class CutProxy {
public:
    enum class Cut {
        BeforeServer,  // the statement never reaches the server: the connection ends at once
        AfterAnswer,   // the server runs it; its answer is dropped and the connection ends
    };

    explicit CutProxy(uint16_t targetPort) : m_target(targetPort)
    {
        m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a = loopback(0);
        if (m_listen < 0 || ::bind(m_listen, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            ::listen(m_listen, 16) != 0)
            return;
        socklen_t len = sizeof a;
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&a), &len);
        m_port = ntohs(a.sin_port);
        m_acceptor = std::thread([this] { acceptLoop(); });
    }
    ~CutProxy()
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
        if (m_listen >= 0) ::close(m_listen);
    }
    CutProxy(const CutProxy&) = delete;
    CutProxy& operator=(const CutProxy&) = delete;

    uint16_t port() const { return m_port; }  // 0 when the proxy could not listen

    // The next statement whose bytes contain marker is cut as told; atCut runs just before the
    // client's connection ends (with AfterAnswer: once the server's answer is in), for
    // example to stop the server for good. One cut per Arm.
    void Arm(const std::string& marker, Cut cut, std::function<void()> atCut = {})
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_marker = marker;
        m_cut = cut;
        m_atCut = std::move(atCut);
        m_armed = true;
    }
    // How many connections were cut.
    int Cuts() const { return m_cuts; }
    // Stops (true) or resumes moving bytes and accepting connections; nothing is closed.
    void Freeze(bool frozen) { m_frozen = frozen; }

private:
    static sockaddr_in loopback(uint16_t port)
    {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return a;
    }

    void acceptLoop()
    {
        while (!m_stop) {
            if (m_frozen) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                continue;
            }
            pollfd p{m_listen, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0 || m_frozen) continue;
            const int client = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) continue;
            const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in a = loopback(m_target);
            if (server < 0 || ::connect(server, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
                // The server is gone: the client sees its connection end, as with a dead server.
                if (server >= 0) ::close(server);
                ::close(client);
                continue;
            }
            std::lock_guard<std::mutex> lock(m_mutex);
            m_pumps.emplace_back([this, client, server] { pump(client, server); });
        }
    }

    // The bytes of a chunk from the client, and after them its compressed packets inflated one
    // after another (a 7-byte header each: compressed length, sequence number, length before
    // compression, 0 for a payload sent as it is). A pipelined batch sends several packets in
    // one piece. A chunk that does not read as compressed packets is searched as it is.
    static std::string readable(const std::string& bytes)
    {
        auto length = [&](size_t at) {
            return size_t(uint8_t(bytes[at])) | size_t(uint8_t(bytes[at + 1])) << 8 |
                   size_t(uint8_t(bytes[at + 2])) << 16;
        };
        std::string inflated;
        size_t at = 0;
        while (at + 7 <= bytes.size()) {
            const size_t compressed = length(at), original = length(at + 4);
            if (at + 7 + compressed > bytes.size()) return bytes;
            if (original == 0) {
                inflated.append(bytes, at + 7, compressed);
            } else {
                std::string out(original, '\0');
                uLongf size = original;
                if (::uncompress(reinterpret_cast<Bytef*>(out.data()), &size,
                                 reinterpret_cast<const Bytef*>(bytes.data() + at + 7), compressed) != Z_OK)
                    return bytes;
                inflated += out;
            }
            at += 7 + compressed;
        }
        return at == bytes.size() ? bytes + inflated : bytes;
    }

    // Whether bytes from the client start the armed cut; takes the cut's action when so.
    bool takeCut(const std::string& bytes, Cut& cut, std::function<void()>& atCut)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_armed || readable(bytes).find(m_marker) == std::string::npos) return false;
        m_armed = false;
        cut = m_cut;
        atCut = std::move(m_atCut);
        return true;
    }

    void pump(int client, int server)
    {
        bool cutting = false;  // AfterAnswer: the statement went on, its answer is dropped
        std::function<void()> atCut;
        std::vector<char> buffer(65536);
        auto sendAll = [](int fd, const char* data, size_t size) {
            while (size > 0) {
                const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
                if (n <= 0) return false;
                data += n;
                size -= size_t(n);
            }
            return true;
        };
        while (!m_stop) {
            if (m_frozen) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                continue;
            }
            pollfd p[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
            // Frozen while waiting: what woke the wait stays where it is.
            if (::poll(p, 2, 50) <= 0 || m_frozen) continue;
            if (p[0].revents) {
                const ssize_t n = ::recv(client, buffer.data(), buffer.size(), 0);
                if (n <= 0) break;
                Cut cut{};
                if (!cutting && takeCut(std::string(buffer.data(), size_t(n)), cut, atCut)) {
                    if (cut == Cut::BeforeServer) {
                        if (atCut) atCut();
                        ++m_cuts;
                        break;
                    }
                    cutting = true;
                }
                if (!sendAll(server, buffer.data(), size_t(n))) break;
            }
            if (p[1].revents) {
                const ssize_t n = ::recv(server, buffer.data(), buffer.size(), 0);
                if (cutting) {
                    // The server has answered (or closed): the answer never reaches the client.
                    if (atCut) atCut();
                    ++m_cuts;
                    break;
                }
                if (n <= 0 || !sendAll(client, buffer.data(), size_t(n))) break;
            }
        }
        ::close(client);
        ::close(server);
    }

    uint16_t m_target;
    uint16_t m_port = 0;
    int m_listen = -1;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_frozen{false};
    std::atomic<int> m_cuts{0};
    std::mutex m_mutex;
    std::thread m_acceptor;
    std::vector<std::thread> m_pumps;
    bool m_armed = false;
    std::string m_marker;
    Cut m_cut = Cut::BeforeServer;
    std::function<void()> m_atCut;
};

}  // namespace vt::test
