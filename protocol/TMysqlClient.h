#pragma once
// Public interface of the MySQL protocol client: one object per server connection.
// No Qt here: text crosses this layer as bytes exactly as the server sent them.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/TMysqlResult.h"

class TMysqlNet;

// The answer to one statement of a pipelined batch (TMysqlClient::QueryBatch).
struct TMysqlBatchAnswer {
    bool sent = false;      // the statement was handed to the server
    bool answered = false;  // its answer was read: success, or the server's error
    int ErrorCode = 0;      // 0 when it succeeded; else the server's or the client's error
    std::string ErrorText;
    uint64_t AffectedRows = 0;
    uint64_t InsertId = 0;
    std::unique_ptr<TMysqlResult> Result;  // a statement that returns rows: all of them

    bool Succeeded() const { return answered && ErrorCode == 0; }
};

// A statement that only reads (SELECT, SHOW, DESCRIBE, EXPLAIN; no SELECT that writes into a
// file or variable or takes locks), so running it twice changes nothing.
bool IsReadOnlyStatement(std::string_view sql);
// A statement whose answer is an OK or error packet, never rows: a change (INSERT, UPDATE,
// DELETE, REPLACE without RETURNING) or a transaction statement.
bool AnswersWithoutRows(std::string_view sql);
// A statement nothing may be sent behind before its answer: LOAD DATA / LOAD XML (the server
// may ask for a local file and read it from the connection), or one whose first word hides in
// a comment that carries statement text.
bool EndsPipelineGroup(std::string_view sql);

// Capability flags (the low 16 bits are sent in the authentication packet).
namespace MysqlFlags {
constexpr uint32_t CLIENT_LONG_PASSWORD = 1;
constexpr uint32_t CLIENT_FOUND_ROWS = 2;
constexpr uint32_t CLIENT_LONG_FLAG = 4;
constexpr uint32_t CLIENT_CONNECT_WITH_DB = 8;
constexpr uint32_t CLIENT_NO_SCHEMA = 16;
constexpr uint32_t CLIENT_COMPRESS = 32;
constexpr uint32_t CLIENT_ODBC = 64;
constexpr uint32_t CLIENT_LOCAL_FILES = 128;
constexpr uint32_t CLIENT_IGNORE_SPACE = 256;
constexpr uint32_t CLIENT_PROTOCOL_41 = 512;
constexpr uint32_t CLIENT_INTERACTIVE = 1024;
constexpr uint32_t CLIENT_SSL = 2048;  // asked for: the connection is encrypted, or refused
constexpr uint32_t CLIENT_TRANSACTIONS = 8192;
constexpr uint32_t CLIENT_SECURE_CONNECTION = 32768;
constexpr uint32_t DefaultClientFlags = 41093;  // added by Connect to whatever it is given
}  // namespace MysqlFlags

class TMysqlClient {
public:
    TMysqlClient();   // Create
    ~TMysqlClient();  // Destroy: Close, free Net and Lock
    TMysqlClient(const TMysqlClient&) = delete;
    TMysqlClient& operator=(const TMysqlClient&) = delete;

    // Handshake and authentication.
    bool Connect(const std::string& host, const std::string& user, const std::string& password,
                 const std::string& database, uint32_t port, uint32_t clientFlags);
    bool Reconnect();
    void SetThreadSafe(bool on);
    bool ThreadSafe() const;

    // Commands on an open connection.
    bool Ping();
    // Runs one statement. store: buffered result, else unbuffered. Returns no result for a
    // statement without a result set or on failure; succeeded tells which (see ErrorCode).
    std::unique_ptr<TMysqlResult> Query(std::string_view sql, bool store, bool& succeeded);
    // The last Query's statement was handed to the server (its answer may still have been
    // lost). False when it failed before: a failed ping, no connection, a refused reconnect.
    bool StatementSent() const;
    // The last failure was a wait that ran out: the server accepted the connection or the
    // command and then said nothing within the connect, read or ping timeout. The connection
    // is closed then, and a command whose wait ran out never connects to the same server
    // again by itself (no reconnect, no second run of a read): the caller picks the server.
    bool TimedOut() const;
    // Runs statements pipelined: they are sent back to back, each as a command of its own, and
    // their answers are read in order afterwards, so a group costs one round trip. Behind a
    // statement that may answer with rows, a group takes at most PipelineLimit bytes more
    // (then a new group starts), so that rows the server writes never wait on a client still
    // writing; behind changes it takes any length. The answers come in answers, one per
    // statement. A server error of one
    // statement does not stop the others: every answer is read so the connection stays in
    // step. A statement whose answer is lost with the connection has an unknown outcome and
    // is never sent again; the ones after it are not sent (2013). True when every statement
    // succeeded; else ErrorCode/ErrorText tell the first failure. Rows of a result are read
    // whole.
    bool QueryBatch(const std::vector<std::string>& statements, std::vector<TMysqlBatchAnswer>& answers);
    size_t PipelineLimit() const;
    void SetPipelineLimit(size_t bytes);
    bool SelectDatabase(const std::string& name);
    // The connection dropped while a transaction was open. Every command then fails (2006)
    // instead of reconnecting, until Connect, Reconnect or Close.
    bool TransactionLost() const;
    // How many times a connection was established (explicitly or by reconnecting): a change
    // tells the caller that anything it learned of the previous connection is stale.
    uint64_t ConnectionCount() const;
    void Close();
    bool Connected() const;

    // Last error of the connection: client codes 2000..2020 or the server's number and text.
    int ErrorCode() const;
    std::string ErrorText() const;

    const std::string& ServerVersion() const;
    uint32_t ServerCapabilities() const;
    uint32_t ServerStatus() const;
    uint64_t AffectedRows() const;
    uint64_t InsertId() const;
    const std::string& Host() const;
    const std::string& Database() const;
    uint32_t Port() const;
    uint32_t ClientFlags() const;

    int ConnectTimeout() const;
    void SetConnectTimeout(int seconds);
    // How long a read waits for the server once connected (seconds); 0: the connect timeout.
    // A short connect timeout finds a dead server quickly, a longer read timeout lets a busy
    // one finish.
    int ReadTimeout() const;
    void SetReadTimeout(int seconds);
    // How long a ping (also the one before a statement) waits for its answer (seconds); 0:
    // as long as any read. Only a shorter wait is used. A server stopped without closing its
    // connections (a frozen process, a machine switched off, a cut cable) is found this
    // quickly, while a statement may still take the full read timeout.
    int PingTimeout() const;
    void SetPingTimeout(int seconds);
    // With AutoReconnect on, a statement is preceded by a ping only when the server has not
    // answered for this long (milliseconds; 0 pings before every statement). A statement whose
    // answer is lost is run once more on a new connection only when it is a read outside a
    // transaction; a connection found closed before sending is replaced first.
    bool AutoReconnect() const;
    void SetAutoReconnect(bool on);
    int PingAfterIdle() const;
    void SetPingAfterIdle(int milliseconds);
    bool PreferCompression() const;
    void SetPreferCompression(bool on);
    // LOAD DATA LOCAL: a server may ask for any local file. Off by default: such a request is
    // answered with the empty packet and the query fails.
    bool AllowLocalFiles() const;
    void SetAllowLocalFiles(bool on);

    // TLS. A connect whose flags carry CLIENT_SSL switches to TLS after the greeting and
    // fails when the server does not offer it, when its certificate does not verify against
    // the CA file (the system's store when empty) or does not name the host connected to.
    // There is no fallback to clear text.
    const std::string& TlsCaFile() const;
    void SetTlsCaFile(const std::string& path);
    bool Encrypted() const;
    // Refuses the pre-4.1 scramble: a server without the 4.1 authentication, or one asking
    // for the old scramble after the login packet, fails the connect (2049). Off by default.
    bool RefuseOldScramble() const;
    void SetRefuseOldScramble(bool on);
    std::string TlsVersion() const;  // "TLSv1.3"; empty without TLS
    std::string TlsCipher() const;

    // Round trips (packets flushed to the server) since creation; for benchmarks and tests.
    uint64_t RoundTrips() const;

private:
    friend class TMysqlResult;
    friend struct TMysqlClientAccess;  // the protocol library's internals (fuzzing)
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
