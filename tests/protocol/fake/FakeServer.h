#pragma once
// A scripted fake MySQL server for protocol tests: listens on 127.0.0.1 (port 0) in a
// thread, accepts connections and plays a list of steps — bytes to send, packets to expect
// (recorded for the test to inspect), pauses and closes.

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace fake {

// Wire helpers.
std::string le(uint64_t value, int bytes);
std::string lengthCoded(uint64_t value);
std::string lengthCodedString(std::string_view s);
std::string packet(uint8_t seq, std::string_view payload);
// A compressed packet around body; plainLength 0 marks a stored body.
std::string compressedPacket(uint8_t seq, std::string_view body, uint32_t plainLength);
std::string zlibCompress(std::string_view data);
// Payloads.
struct GreetingOptions {
    uint8_t protocol = 10;
    std::string version = "5.0.99-fake";
    std::string scramble = "abcdefgh"
                           "ijklmnopqrst";  // 8 + 12 characters
    uint16_t capabilities = 0xA0AD;         // long password, long flag, with db, compress, local
                                            // files, transactions, secure connection
    uint16_t status = 2;
    size_t cutAt = 0;  // when nonzero: the payload is cut to this length
};
std::string greeting(const GreetingOptions& o = {});
std::string okPayload(uint64_t affected = 0, uint64_t insertId = 0, uint16_t status = 2);
std::string errorPayload(uint16_t code, std::string_view message);
std::string eofPayload();
std::string columnPayload(std::string_view table, std::string_view name, uint8_t type, uint32_t length = 11,
                          uint16_t flags = 0, uint8_t decimals = 0);

struct Received {
    uint8_t seq = 0;
    std::string payload;  // for compressed packets: the inflated body
};

class FakeServer {
public:
    FakeServer();
    ~FakeServer();
    FakeServer(const FakeServer&) = delete;
    FakeServer& operator=(const FakeServer&) = delete;

    // Script steps, played in order on the accepted connection.
    FakeServer& send(std::string bytes);
    FakeServer& expect();            // one plain packet
    FakeServer& expectCompressed();  // one compressed packet (recorded inflated)
    FakeServer& pause(int ms);
    FakeServer& closeConnection();  // close; unless it is the last step, accept the next
    // Answers the client's TLS handshake with this certificate chain and key (PEM files);
    // later steps of the connection travel inside TLS. A failed handshake fails the script.
    FakeServer& startTls(std::string certFile, std::string keyFile);
    // Common openings.
    FakeServer& handshake(const GreetingOptions& o = {});  // greeting, expect auth, OK

    // Starts the thread; the steps must be complete.
    void start();
    uint16_t port() const { return m_port; }
    // Waits for the script to finish (and the client to close, up to a few seconds).
    void finish();

    std::vector<Received> received();
    std::string trailing();  // bytes the client sent after the last step
    bool failed();           // a step could not be played (timeout, short read)

private:
    struct Step {
        enum Kind { Send, Expect, ExpectCompressed, Pause, Close, StartTls } kind;
        std::string bytes;
        int ms = 0;
        std::string key{};  // StartTls: the key file (bytes holds the certificate file)
    };
    void run();
    bool readExactly(int fd, void* buf, size_t n);
    bool writeAll(int fd, const std::string& bytes);
    long receive(int fd, void* buf, size_t n);
    void endTls();
    int acceptOne();

    std::vector<Step> m_steps;
    int m_listen = -1;
    uint16_t m_port = 0;
    std::thread m_thread;
    std::mutex m_mutex;
    std::vector<Received> m_received;
    std::string m_trailing;
    bool m_failed = false;
    bool m_finished = false;
    void* m_ssl = nullptr;  // the TLS session of the current connection, once started
};

}  // namespace fake
