#pragma once
// The connection component: keeps the connection parameters (Params is the source of truth,
// the named properties write into it), opens one server connection through the protocol
// client, and turns every failure below into EmySQLDatabaseError.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "db/DbErrors.h"
#include "db/TStringList.h"

class TmySQLEngine;
class TNativeConnect;
class TmySQLDataSet;

// Starting value of the login capability flags: member of ordinal n is bit n of the word; the
// connection turns each member into its protocol flag (coSSL: TLS required).
enum TConnectOption : uint8_t {
    coLongPassword,
    coFoundRows,
    coLongFlag,
    coConnectDatabase,
    coNoSchema,
    coCompress,
    coODBC,
    coLocalFiles,
    coIgnoreSpaces,
    coInteractive,
    coSSL
};
using TConnectOptions = uint16_t;
constexpr TConnectOptions connectOption(TConnectOption o) { return TConnectOptions(1u << o); }

// The outcome of one statement of a batch (TmySQLDatabase::ExecuteBatch).
struct TStatementOutcome {
    bool ok = false;
    uint64_t rowsAffected = 0;
    uint64_t insertId = 0;
    int errorCode = 0;  // the server's or the client's error number; 0 when ok
    std::string errorText;
    FailureKind kind = FailureKind::Other;  // a lost answer or a lost transaction
};

enum TTransIsolation : uint8_t { tiDirtyRead, tiReadCommitted, tiRepeatableRead };

class TmySQLDatabase {
public:
    explicit TmySQLDatabase(std::string name = {});
    ~TmySQLDatabase();  // disconnects, detaches every query (their Database becomes none)
    TmySQLDatabase(const TmySQLDatabase&) = delete;
    TmySQLDatabase& operator=(const TmySQLDatabase&) = delete;

    const std::string& Name() const { return m_name; }
    void SetName(std::string name) { m_name = std::move(name); }

    bool Connected() const;
    void SetConnected(bool on);
    void Open() { SetConnected(true); }
    void Close() { SetConnected(false); }

    // Connection properties. The same value again: nothing. Another value while connected:
    // EDatabaseError "Cannot perform this operation on an open database". Else stored and
    // mirrored into Params under "DatabaseName", "Host", "Port", "UID", "PWD", "TIMEOUT".
    const std::string& DatabaseName() const { return m_databaseName; }
    void SetDatabaseName(const std::string& value);
    const std::string& Host() const { return m_host; }
    void SetHost(const std::string& value);
    uint32_t Port() const { return m_port; }
    void SetPort(uint32_t value);
    const std::string& UserName() const { return m_userName; }
    void SetUserName(const std::string& value);
    const std::string& UserPassword() const { return m_userPassword; }
    void SetUserPassword(const std::string& value);
    uint32_t ConnectionTimeout() const { return m_connectionTimeout; }
    void SetConnectionTimeout(uint32_t value);
    TConnectOptions ConnectOptions() const { return m_connectOptions; }
    void SetConnectOptions(TConnectOptions value);

    // The values read at connect. Editing the list while connected is refused.
    TStringList& Params() { return m_params; }
    const TStringList& Params() const { return m_params; }
    void SetParams(const TStringList& params);

    bool KeepConnection() const { return m_keepConnection; }
    void SetKeepConnection(bool on);
    bool LoginPrompt() const { return m_loginPrompt; }
    void SetLoginPrompt(bool on) { m_loginPrompt = on; }
    bool MultiThreaded() const { return m_multiThreaded; }
    void SetMultiThreaded(bool on) { m_multiThreaded = on; }
    TTransIsolation TransIsolation() const { return m_transIsolation; }
    void SetTransIsolation(TTransIsolation t) { m_transIsolation = t; }
    bool Exclusive() const { return m_exclusive; }
    void SetExclusive(bool on);
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool on);
    bool HandleShared() const { return m_handleShared; }
    void SetHandleShared(bool on) { m_handleShared = on; }

    // Supplies UID and PWD (as lines of the list) when LoginPrompt is on.
    std::function<void(TmySQLDatabase&, TStringList&)> OnLogin;
    std::function<void(TmySQLDatabase&)> BeforeConnect, AfterConnect, BeforeDisconnect, AfterDisconnect;

    // Login dialog used when LoginPrompt is on and OnLogin is not set: gets the database name,
    // fills user and password, returns false for cancel. The layer has no dialog of its own;
    // the application installs one. Without one, the prompt counts as cancelled.
    using LoginDialog = std::function<bool(const std::string& databaseName, std::string& user, std::string& password)>;
    static void SetLoginDialog(LoginDialog dialog);

    // Transactions: "BEGIN", "COMMIT", "ROLLBACK" without checking their outcome.
    void BeginTransaction();
    void CommitTransaction();
    void RollbackTransaction();
    bool IsInTransaction() const;

    // Connects if needed, runs the statement with the result stored, returns affected rows.
    uint64_t ExecuteDirect(const std::string& sql);
    // Connects if needed and runs the statements pipelined: they travel together and cost
    // one round trip (a very long one travels on its own). One outcome per statement, in
    // order; a failing statement does not stop the ones after it, so the caller checks every
    // outcome (inside a transaction: commit only when all succeeded). Nothing is run twice.
    // Raises only when no connection can be made.
    std::vector<TStatementOutcome> ExecuteBatch(const std::vector<std::string>& statements);
    // Raises a failed outcome as the failing statement alone would have (EmySQLDatabaseError
    // with the composed message and the server's error number).
    void RaiseFailure(const TStatementOutcome& outcome);

    // Query objects: registered while they use the connection (auto-connect, usage count).
    void RegisterClient(TmySQLDataSet* dataSet);
    void UnregisterClient(TmySQLDataSet* dataSet);
    int UsageCount() const { return m_usageCount; }
    // Attached query objects (their Database is this component).
    void AttachDataSet(TmySQLDataSet* dataSet);
    void DetachDataSet(TmySQLDataSet* dataSet);
    const std::vector<TmySQLDataSet*>& DataSets() const { return m_dataSets; }

    // Inner objects, for the query layer.
    TmySQLEngine& Engine();
    TNativeConnect* NativeConnection() const { return m_native.get(); }

    // The server's version text of the open connection, "" when closed.
    std::string ServerVersion() const;
    // The open connection is encrypted (TLS), with this protocol version and cipher; false and
    // empty texts when it is not, or when closed. coSSL asks for TLS, "TLSCA" in Params names
    // the CA file that verifies the server.
    bool Encrypted() const;
    std::string TlsVersion() const;
    std::string TlsCipher() const;
    // Packets flushed to the server by the open connection (0 when closed); for benchmarks.
    uint64_t RoundTrips() const;

private:
    void connect();
    void disconnect();
    void checkInactive() const;
    void setProperty(std::string& field, const std::string& value, const char* key);
    void paramsChanging();

    std::string m_name;
    std::string m_databaseName, m_host, m_userName, m_userPassword;
    uint32_t m_port = 3306;
    uint32_t m_connectionTimeout = 30;
    TConnectOptions m_connectOptions = 0;
    TStringList m_params;
    bool m_keepConnection = true;
    bool m_loginPrompt = false;
    bool m_multiThreaded = false;
    TTransIsolation m_transIsolation = tiReadCommitted;
    bool m_exclusive = false, m_readOnly = false, m_handleShared = false;

    std::unique_ptr<TmySQLEngine> m_engine;
    std::unique_ptr<TNativeConnect> m_native;
    int m_usageCount = 0;
    std::vector<TmySQLDataSet*> m_clients;
    std::vector<TmySQLDataSet*> m_dataSets;
    bool m_inMirror = false;
};
