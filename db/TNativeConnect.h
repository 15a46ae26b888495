#pragma once
// One open server connection: owns the protocol client, the values parsed from Params, the
// transaction mark and the statements created on it.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "db/DbErrors.h"
#include "db/ServerList.h"
#include "db/TStringList.h"
#include "db/TmySQLDatabase.h"

class TMysqlClient;
class TMysqlResult;

class TNativeDataSet;

// The protocol client's capability flags (MysqlFlags) for a connect-options word, option by
// option: coInteractive is CLIENT_INTERACTIVE and coSSL is CLIENT_SSL (TLS required), which
// do not sit at their options' ordinal bits.
uint32_t ClientFlagsFromOptions(uint16_t options);

class TNativeConnect {
public:
    TNativeConnect(uint16_t options, bool multiThreaded);
    ~TNativeConnect();  // closes the server connection (traced as disconnect when open)
    TNativeConnect(const TNativeConnect&) = delete;
    TNativeConnect& operator=(const TNativeConnect&) = delete;

    // Reads UID, PWD, DatabaseName, Port, Host, TIMEOUT and TLSCA (the CA file that verifies
    // the server when coSSL asks for TLS; empty: the system's store) and SECUREAUTH ("1":
    // the pre-4.1 scramble is refused) from params
    // (EConvertError for a Port or TIMEOUT that is not an integer), connects, and computes
    // ServerVersionNumber.
    // A refused connect raises EmySQLException with the client's error.
    // Host may be a list of servers ("a:3306, b, [::1]:3307"): they are tried in order with a
    // connect timeout of at most ListConnectTimeout seconds, and the first that answers and is
    // ready (a cluster node that reports wsrep_ready ON, or any server without that status)
    // is used. A bad list raises EDatabaseError naming the entry.
    void Connect(const TStringList& params);
    // "SHOW VARIABLES": the character_set variable's index, 0 when missing or failing.
    uint8_t ProbeCharset();

    // Runs one statement (traced), result stored. Failure raises EmySQLException with the
    // client's error. Returns the result set or none.
    // Outside a transaction a statement that the server rolled back for a conflict (1213) is
    // run again a few times. With a list of servers, a statement that never ran (no
    // connection, a node that is not ready, 1047) or that may safely run twice
    // (IsRepeatableStatement) moves to the next ready server. A change whose answer was lost
    // after sending fails with the message that its outcome is unknown; a connection lost
    // inside a transaction fails with the message that the transaction was lost, except for a
    // COMMIT that was sent, whose outcome is unknown. LastFailureKind (and the exception) says
    // which.
    std::unique_ptr<TMysqlResult> Query(const std::string& sql);
    // The same, but a failure gives none and ok false instead of raising.
    std::unique_ptr<TMysqlResult> TryQuery(const std::string& sql, bool& ok);
    // A metadata probe right after a successful command: as Query / TryQuery, without the
    // leading ping unless PingBeforeProbes is set.
    std::unique_ptr<TMysqlResult> Probe(const std::string& sql);
    std::unique_ptr<TMysqlResult> TryProbe(const std::string& sql, bool& ok);
    // A metadata probe of a table (SHOW INDEX, DESCRIBE) answered once per connection: the
    // stored answer is kept by statement text and database, and dropped when the client
    // connects again. A failed probe is kept as failed when mustSucceed is off; with it on,
    // the failure raises as Probe does and is not kept.
    std::shared_ptr<TMysqlResult> CachedProbe(const std::string& sql, bool mustSucceed, bool& ok);
    // Runs statements pipelined (TMysqlClient::QueryBatch), each traced, their result sets
    // freed, and gives each one's outcome; a statement error does not stop the others. Nothing
    // is run twice: no retry on a conflict and no move to another server once a statement was
    // sent, since the caller decides what a failure in the middle means. With a list of
    // servers, a batch of which nothing was sent (the server was lost before it, outside a
    // transaction) runs whole on the next ready server. A statement whose answer was lost with the
    // connection fails with the message that the transaction was lost (inside one) or that
    // its outcome is unknown; the ones never sent fail with the error that stopped the batch.
    // LastErrorCode/LastErrorText tell the first failure.
    std::vector<TStatementOutcome> RunBatch(const std::vector<std::string>& statements);
    // A transaction statement, traced under its own operation; a failure raises.
    void Transaction(const std::string& sql);

    TMysqlClient& Client() { return *m_client; }
    uint16_t Options() const { return m_options; }
    bool IsOpen() const { return m_open; }
    bool InTransaction = false;
    int Isolation = 0;

    const std::string& User() const { return m_user; }
    const std::string& Password() const { return m_password; }
    const std::string& Database() const { return m_database; }
    const std::string& Host() const { return m_host; }
    int PortNumber() const { return m_port; }
    int Timeout() const { return m_timeout; }

    const std::vector<ServerAddress>& Servers() const { return m_servers; }
    size_t CurrentServer() const { return m_current; }
    // Times the connection moved to another server since Connect.
    int Failovers() const { return m_failovers; }
    // The error of the last failed statement: the client's, or the layer's own message for a
    // lost transaction or an unknown outcome.
    int LastErrorCode() const { return m_errorCode; }
    const std::string& LastErrorText() const { return m_errorText; }
    // Whether that failure left the statement's effect unknown or lost a transaction.
    FailureKind LastFailureKind() const { return m_failureKind; }

    std::vector<TNativeDataSet*> Statements;

    // Seconds allowed for each server of a list to answer a connect; a read waits
    // ListReadTimeout seconds, which outlasts a cluster's pause when a node is lost. The ping
    // before a statement waits ListPingTimeout seconds: a node answers a ping even while the
    // cluster holds statements back, so one that does not is frozen or cut off, and the
    // statement, not yet sent, moves to the next ready server.
    static constexpr int ListConnectTimeout = 4;
    static constexpr int ListReadTimeout = 20;
    static constexpr int ListPingTimeout = 2;
    // With a list, a statement goes without that ping only this soon (milliseconds) after the
    // server's last answer, at most: the statements of one command follow each other closely,
    // and the first of the next command is pinged, so a frozen server costs it the ping's wait
    // rather than the read timeout.
    static constexpr int ListPingAfterIdleMs = 1000;
    static constexpr int ConflictRetries = 3;

private:
    // Connects to server index and checks that it is ready; on failure the reason.
    bool connectTo(size_t index, std::string& failure);
    // Closes the current connection and connects to the next ready server (the others first,
    // the current one last). False when none is; failures then names why each was not used.
    bool failover(std::string& failures);
    // Before a command: when the current server of a list let a wait run out and its
    // connection is closed, the command goes to the next ready server instead of waiting on a
    // connect to the silent one. False (error set) when no server is ready.
    bool leaveSilentServer();
    // Notes after a failed command whether the current server was silent (TimedOut).
    void noteSilence();
    std::unique_ptr<TMysqlResult> run(const std::string& sql, bool& ok);

    std::unique_ptr<TMysqlClient> m_client;
    uint16_t m_options;
    bool m_open = false;
    std::string m_user, m_password, m_database, m_host;
    int m_port = 0;
    int m_timeout = 30;
    std::vector<ServerAddress> m_servers;
    size_t m_current = 0;
    bool m_cluster = false;  // the servers report wsrep_ready
    int m_failovers = 0;
    bool m_silent = false;  // the current server let a wait run out; its connection is closed
    // Session settings that succeeded, run again on a new server after a failover.
    std::vector<std::string> m_sessionStatements;
    int m_errorCode = 0;
    std::string m_errorText;
    FailureKind m_failureKind = FailureKind::Other;
    struct CachedAnswer {
        std::shared_ptr<TMysqlResult> result;
        bool ok = false;
    };
    std::map<std::string, CachedAnswer> m_probeCache;
    uint64_t m_probeCacheConnection = 0;  // the client's connection count the cache belongs to
};
