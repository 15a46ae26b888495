#pragma once
// The socket layer of the protocol client: one TCP connection, reads that wait for data
// with a timeout, writes, and the connection's last error (code and text). On request the
// connection switches to TLS; reads and writes then go through it with the same timeouts.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct ssl_st;

class TMysqlVio {
public:
    TMysqlVio() = default;
    ~TMysqlVio();
    TMysqlVio(const TMysqlVio&) = delete;
    TMysqlVio& operator=(const TMysqlVio&) = delete;

    // Opens the TCP connection and waits for the server to speak first. 0 on success;
    // negative on failure with ErrorCode/ErrorText set (2003, 2004, 2005); -20 when open.
    int Connect(const std::string& host, uint32_t port, int timeoutSeconds);
    // Takes over an already connected socket (tests and fuzzing use a socket pair).
    void Adopt(int socket, int timeoutSeconds);
    int Close();

    // Switches the open connection to TLS (1.2 or later): runs the handshake within the
    // timeout, verifies the server's certificate against caFile (the system's store when
    // empty) and checks that it names host (a host name, or an IP address as written).
    // 0 on success; -1 with ErrorCode 2026 and a text saying why, the connection closed.
    int StartTls(const std::string& caFile, const std::string& host);
    bool Encrypted() const { return m_ssl != nullptr; }
    // The negotiated protocol ("TLSv1.3") and cipher; empty without TLS.
    std::string TlsVersion() const;
    std::string TlsCipher() const;

    // Waits for data, then receives at most count bytes: the count, 0 when the peer closed,
    // -1 when closed, when the wait ran out or on a socket error.
    long Read(void* buffer, size_t count);
    // Sends at most count bytes: the count accepted, -1 when closed or on a socket error.
    long Write(const void* buffer, size_t count);
    int SetBlocking(bool blocking);
    bool Blocking() const { return !m_nonBlocking; }
    bool WaitReadable(int timeoutSeconds);
    // Without waiting: the socket has something to read although no request is pending — the
    // peer closed it, reset it, or sent bytes nobody asked for. Either way it is not usable.
    // With TLS, records that carry no data (session tickets, key updates) are consumed first.
    bool ReadableWhileIdle();

    // The last socket call failed with a condition worth repeating the call for.
    bool ShouldRetry() const;
    bool WasInterrupted() const;
    bool IsOpen() const { return m_kind != 0; }
    int LastSocketError() const { return m_socketError; }

    int ErrorCode() const { return m_errorCode; }
    const std::string& ErrorText() const { return m_errorText; }
    void SetErrorCode(int code) { m_errorCode = code; }
    void SetErrorText(std::string_view text);  // cut to 200 characters
    void SetError(int code, std::string_view text)
    {
        m_errorCode = code;
        SetErrorText(text);
    }
    void ClearError()
    {
        m_errorCode = 0;
        m_errorText.clear();
    }

    int TimeoutSeconds() const { return m_timeoutSeconds; }
    void SetTimeoutSeconds(int seconds) { m_timeoutSeconds = seconds; }
    int Socket() const { return m_socket; }

private:
    void setClientError(int code, const std::string& host, int err);
    long tlsRead(void* buffer, size_t count);
    long tlsWrite(const void* buffer, size_t count);
    // Waits for what the last TLS call asked for (readable or writable); false on timeout.
    bool tlsWait(int sslError);
    void tlsFail(const std::string& why);

    int m_socket = -1;
    uint8_t m_kind = 0;  // 0 closed, 1 TCP/IP
    bool m_nonBlocking = false;
    std::string m_errorText;
    int m_errorCode = 0;
    int m_timeoutSeconds = 30;
    int m_socketError = 0;  // errno of the last failing socket call, 0 after a success
    ssl_st* m_ssl = nullptr;
    bool m_tlsBroken = false;  // a fatal TLS error: no orderly shutdown is sent
};
