#include "db/TNativeConnect.h"

#include <algorithm>

#include "db/DateTimeUtil.h"
#include "db/DbErrors.h"
#include "db/DbInternal.h"
#include "db/TmySQLDatabase.h"
#include "db/TmySQLEngine.h"
#include "protocol/MysqlCharsets.h"
#include "protocol/TMysqlClient.h"

#include <utility>

uint32_t ClientFlagsFromOptions(uint16_t options)
{
    using namespace MysqlFlags;
    static constexpr std::pair<TConnectOption, uint32_t> kFlags[] = {
        {coLongPassword, CLIENT_LONG_PASSWORD},
        {coFoundRows, CLIENT_FOUND_ROWS},
        {coLongFlag, CLIENT_LONG_FLAG},
        {coConnectDatabase, CLIENT_CONNECT_WITH_DB},
        {coNoSchema, CLIENT_NO_SCHEMA},
        {coCompress, CLIENT_COMPRESS},
        {coODBC, CLIENT_ODBC},
        {coLocalFiles, CLIENT_LOCAL_FILES},
        {coIgnoreSpaces, CLIENT_IGNORE_SPACE},
        {coInteractive, CLIENT_INTERACTIVE},
        {coSSL, CLIENT_SSL},
    };
    uint32_t flags = 0;
    for (const auto& [option, flag] : kFlags)
        if (options & connectOption(option)) flags |= flag;
    return flags;
}

TNativeConnect::TNativeConnect(uint16_t options, bool multiThreaded)
    : m_client(std::make_unique<TMysqlClient>()), m_options(options)
{
    m_client->SetThreadSafe(multiThreaded);
}

TNativeConnect::~TNativeConnect()
{
    if (m_open) {
        m_client->Close();
        m_open = false;
        dbTrace(TraceOp::Disconnect, m_host + ":" + std::to_string(m_port) + "/" + m_database);
    }
}

namespace {

constexpr const char* kReadyProbe = "SHOW STATUS LIKE 'wsrep_ready'";
constexpr const char* kClusterProbe = "SHOW VARIABLES LIKE 'wsrep_on'";
constexpr const char* kSyncWait = "SET SESSION wsrep_sync_wait=1";
constexpr const char* kTransactionLost =
    "The connection to the server was lost inside a transaction: nothing of the transaction was stored. "
    "Run the command again.";
constexpr const char* kOutcomeUnknown =
    "The connection to the server was lost after the change was sent: whether it was stored is unknown. "
    "Check the data before you run the command again.";

constexpr int ErLockDeadlock = 1213;
constexpr int ErUnknownCommand = 1047;  // a cluster node without quorum refuses table statements
constexpr uint32_t StatusInTransaction = 1;

bool connectionGone(int code) { return code == 2002 || code == 2003 || code == 2006 || code == 2013 || code == 2055; }

std::string_view trimmedStatement(std::string_view sql)
{
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ';'; };
    while (!sql.empty() && blank(sql.front()))
        sql.remove_prefix(1);
    while (!sql.empty() && blank(sql.back()))
        sql.remove_suffix(1);
    return sql;
}

bool isSessionSetting(const std::string& sql)
{
    size_t i = 0;
    while (i < sql.size() && (sql[i] == ' ' || sql[i] == '\t' || sql[i] == '\r' || sql[i] == '\n'))
        ++i;
    return sql.size() - i > 4 && lowerCase(sql.substr(i, 4)) == "set " && IsRepeatableStatement(sql);
}

}  // namespace

void TNativeConnect::Connect(const TStringList& params)
{
    m_user = params.Values("UID");
    m_password = params.Values("PWD");
    m_database = params.Values("DatabaseName");
    m_port = StrToInt(params.Values("Port"));
    // 0 asks for the default port; anything outside the TCP range would wrap to another port.
    if (m_port < 0 || m_port > 65535)
        throw EDatabaseError("Invalid port number " + std::to_string(m_port) + ": a port is 1 to 65535");
    m_host = params.Values("Host");
    if (m_host.empty()) m_host = "localhost";
    std::string timeout = params.Values("TIMEOUT");
    m_timeout = timeout.empty() ? 30 : StrToInt(timeout);

    ServerListParse list = ParseServerList(m_host, static_cast<uint32_t>(m_port));
    if (!list.error.empty()) throw EDatabaseError(list.error);
    m_servers = std::move(list.servers);
    m_current = 0;
    m_failovers = 0;
    m_cluster = false;
    m_silent = false;
    m_sessionStatements.clear();
    const bool many = m_servers.size() > 1;
    const int timeoutSeconds = m_timeout > 0 ? m_timeout : 30;
    m_client->SetConnectTimeout(many ? std::min(timeoutSeconds, ListConnectTimeout) : m_timeout);
    m_client->SetReadTimeout(many ? std::min(timeoutSeconds, ListReadTimeout) : 0);
    m_client->SetPingTimeout(many ? std::min(timeoutSeconds, ListPingTimeout) : 0);
    m_client->SetPingAfterIdle(many ? std::min(PingAfterIdleMs, ListPingAfterIdleMs) : PingAfterIdleMs);
    m_client->SetTlsCaFile(params.Values("TLSCA"));
    m_client->SetRefuseOldScramble(params.Values("SECUREAUTH") == "1");

    std::string failures;
    for (size_t i = 0; i < m_servers.size(); ++i) {
        std::string failure;
        if (connectTo(i, failure)) {
            m_current = i;
            m_open = true;
            ServerVersionNumber = VersionNumberFromText(m_client->ServerVersion());
            dbTrace(TraceOp::Connect, m_host + ":" + std::to_string(m_port) + "/" + m_database);
            return;
        }
        if (!many) throw EmySQLException(m_client->ErrorCode(), m_client->ErrorText());
        failures += (failures.empty() ? "" : "; ") + failure;
    }
    throw EmySQLException(2003, "No server of the list answered and was ready: " + failures);
}

bool TNativeConnect::connectTo(size_t index, std::string& failure)
{
    const ServerAddress& server = m_servers[index];
    m_client->Close();
    const bool ok =
        m_client->Connect(server.host, m_user, m_password, m_database, server.port, ClientFlagsFromOptions(m_options));
    if (!ok || m_client->ErrorCode() != 0) {
        failure = server.Text() + ": " + m_client->ErrorText();
        m_client->Close();
        return false;
    }
    m_host = server.host;
    m_port = static_cast<int>(server.port);
    if (m_servers.size() > 1) {
        // A cluster node without quorum still accepts logins and answers SELECT 1, but refuses
        // every table: it counts as ready only when it says so. A server that is no cluster
        // node has no such status.
        dbTrace(TraceOp::Execute, kReadyProbe);
        bool succeeded = false;
        std::unique_ptr<TMysqlResult> result = m_client->Query(kReadyProbe, true, succeeded);
        if (!succeeded || m_client->ErrorCode() != 0) {
            failure = server.Text() + ": " + m_client->ErrorText();
            m_client->Close();
            return false;
        }
        std::string ready;
        if (result && result->RowCount() > 0) {
            result->Seek(0);
            const char* value = result->FieldValue(1);
            ready = value ? value : "NULL";
        }
        // A server built with cluster support but running alone reports wsrep_ready OFF too:
        // only a node with wsrep_on is a cluster node.
        if (!ready.empty() && lowerCase(ready) != "on") {
            dbTrace(TraceOp::Execute, kClusterProbe);
            result = m_client->Query(kClusterProbe, true, succeeded);
            if (!succeeded || m_client->ErrorCode() != 0) {
                failure = server.Text() + ": " + m_client->ErrorText();
                m_client->Close();
                return false;
            }
            const char* on = nullptr;
            if (result && result->RowCount() > 0) {
                result->Seek(0);
                on = result->FieldValue(1);
            }
            if (!on || lowerCase(on) != "on") ready.clear();
        }
        if (!ready.empty()) {
            m_cluster = true;
            if (lowerCase(ready) != "on") {
                failure = server.Text() + ": not ready (wsrep_ready is " + ready + ")";
                m_client->Close();
                return false;
            }
        }
    }
    return true;
}

bool TNativeConnect::failover(std::string& failures)
{
    const size_t n = m_servers.size();
    for (size_t step = 1; step <= n; ++step) {
        const size_t index = (m_current + step) % n;
        std::string failure;
        if (!connectTo(index, failure)) {
            failures += (failures.empty() ? "" : "; ") + failure;
            continue;
        }
        m_current = index;
        m_silent = false;
        ++m_failovers;
        ServerVersionNumber = VersionNumberFromText(m_client->ServerVersion());
        dbTrace(TraceOp::Connect, m_host + ":" + std::to_string(m_port) + "/" + m_database);
        // A node that was cut off may still answer reads from its old state while it catches
        // up: reads wait until the node has applied what the cluster committed before them.
        // The session's own settings are made again on the new connection.
        std::vector<std::string> again = m_sessionStatements;
        if (m_cluster) again.insert(again.begin(), kSyncWait);
        for (const std::string& sql : again) {
            dbTrace(TraceOp::Execute, sql);
            bool succeeded = false;
            m_client->Query(sql, true, succeeded);
        }
        return true;
    }
    return false;
}

bool TNativeConnect::leaveSilentServer()
{
    if (!m_silent || m_servers.size() < 2 || m_client->Connected() || m_client->TransactionLost()) return true;
    std::string failures;
    if (failover(failures)) return true;
    m_errorCode = 2003;
    m_errorText = "No server of the list answered and was ready: " + failures;
    m_failureKind = FailureKind::Other;
    return false;
}

void TNativeConnect::noteSilence()
{
    if (m_client->TimedOut() && !m_client->Connected()) m_silent = true;
}

std::unique_ptr<TMysqlResult> TNativeConnect::run(const std::string& sql, bool& ok)
{
    m_failureKind = FailureKind::Other;
    const std::string verb = lowerCase(trimmedStatement(sql));
    if (m_client->TransactionLost() && verb == "rollback") {
        // The connection dropped inside the transaction: its work is gone, which is what the
        // rollback asks for. Later statements may connect again.
        m_client->Close();
        m_errorCode = 0;
        m_errorText.clear();
        ok = true;
        return nullptr;
    }
    ok = false;
    if (!leaveSilentServer()) return nullptr;
    int conflicts = 0;
    size_t failovers = 0;
    for (;;) {
        const bool inTransaction = InTransaction || m_client->TransactionLost() ||
                                   (m_client->Connected() && (m_client->ServerStatus() & StatusInTransaction));
        bool succeeded = false;
        std::unique_ptr<TMysqlResult> result = m_client->Query(sql, true, succeeded);
        ok = succeeded && m_client->ErrorCode() == 0;
        if (ok) {
            m_errorCode = 0;
            m_errorText.clear();
            if (isSessionSetting(sql) &&
                std::find(m_sessionStatements.begin(), m_sessionStatements.end(), sql) == m_sessionStatements.end() &&
                m_sessionStatements.size() < 32)
                m_sessionStatements.push_back(sql);
            return result;
        }
        result.reset();
        noteSilence();
        const int code = m_client->ErrorCode();
        m_errorCode = code;
        m_errorText = m_client->ErrorText();
        const bool sent = m_client->StatementSent();
        const bool gone = connectionGone(code) || !m_client->Connected();
        if (inTransaction) {
            // The work of the transaction is gone with its connection: never run it elsewhere.
            // A COMMIT that reached the server may have stored it all, though.
            if (gone && sent && verb == "commit") {
                m_errorCode = 2013;
                m_errorText = kOutcomeUnknown;
                m_failureKind = FailureKind::OutcomeUnknown;
            } else if (m_client->TransactionLost() || gone) {
                m_errorText = kTransactionLost;
                m_failureKind = FailureKind::TransactionLost;
            }
            return nullptr;
        }
        if (code == ErLockDeadlock && conflicts < ConflictRetries) {
            // The server rolled the statement back (a conflict with another node's change).
            ++conflicts;
            continue;
        }
        if (!gone && code != ErUnknownCommand) return nullptr;
        if (gone && sent && code != ErUnknownCommand && !IsRepeatableStatement(sql)) {
            m_errorCode = 2013;
            m_errorText = kOutcomeUnknown;
            m_failureKind = FailureKind::OutcomeUnknown;
            return nullptr;
        }
        // The statement did not run, or running it again changes nothing: the next server.
        if (m_servers.size() < 2 || failovers >= m_servers.size()) return nullptr;
        ++failovers;
        std::string failures;
        if (!failover(failures)) {
            m_errorCode = 2003;
            m_errorText = "No server of the list answered and was ready: " + failures;
            return nullptr;
        }
    }
}

std::vector<TStatementOutcome> TNativeConnect::RunBatch(const std::vector<std::string>& statements)
{
    const bool wasInTransaction = InTransaction || m_client->TransactionLost() ||
                                  (m_client->Connected() && (m_client->ServerStatus() & StatusInTransaction));
    for (const std::string& sql : statements)
        dbTrace(TraceOp::Execute, sql);
    if (!statements.empty() && !leaveSilentServer()) {
        // Nothing was sent: each statement fails with the reason.
        std::vector<TStatementOutcome> outcomes(statements.size());
        for (TStatementOutcome& o : outcomes) {
            o.errorCode = m_errorCode;
            o.errorText = m_errorText;
        }
        return outcomes;
    }
    std::vector<TMysqlBatchAnswer> answers;
    bool allOk = m_client->QueryBatch(statements, answers);
    if (!allOk) noteSilence();
    if (!allOk && !answers.empty() && !answers.front().sent && !wasInTransaction && !m_client->TransactionLost() &&
        m_servers.size() > 1 && (connectionGone(answers.front().ErrorCode) || !m_client->Connected())) {
        // The server was lost before anything was handed to it (its ping or connect failed):
        // nothing ran, so the whole batch may run on the next ready server.
        std::string failures;
        if (failover(failures)) {
            allOk = m_client->QueryBatch(statements, answers);
            if (!allOk) noteSilence();
        }
    }
    std::vector<TStatementOutcome> outcomes(answers.size());
    m_errorCode = 0;
    m_errorText.clear();
    m_failureKind = FailureKind::Other;
    for (size_t i = 0; i < answers.size(); ++i) {
        const TMysqlBatchAnswer& a = answers[i];
        TStatementOutcome& o = outcomes[i];
        o.ok = a.Succeeded();
        o.rowsAffected = a.AffectedRows;
        o.insertId = a.InsertId;
        if (o.ok) continue;
        o.errorCode = a.ErrorCode;
        o.errorText = a.ErrorText;
        const bool gone = connectionGone(a.ErrorCode) || !m_client->Connected();
        if (!a.answered && gone) {
            if (m_client->TransactionLost() || wasInTransaction) {
                o.errorText = kTransactionLost;
                o.kind = FailureKind::TransactionLost;
            } else if (a.sent) {
                o.errorCode = 2013;
                o.errorText = kOutcomeUnknown;
                o.kind = FailureKind::OutcomeUnknown;
            }
        }
        if (m_errorCode == 0) {
            m_errorCode = o.errorCode;
            m_errorText = o.errorText;
            m_failureKind = o.kind;
        }
    }
    if (allOk && !statements.empty()) {
        for (const std::string& sql : statements)
            if (isSessionSetting(sql) &&
                std::find(m_sessionStatements.begin(), m_sessionStatements.end(), sql) == m_sessionStatements.end() &&
                m_sessionStatements.size() < 32)
                m_sessionStatements.push_back(sql);
    }
    return outcomes;
}

std::unique_ptr<TMysqlResult> TNativeConnect::TryQuery(const std::string& sql, bool& ok)
{
    dbTrace(TraceOp::Execute, sql);
    return run(sql, ok);
}

std::unique_ptr<TMysqlResult> TNativeConnect::Query(const std::string& sql)
{
    bool ok = false;
    std::unique_ptr<TMysqlResult> result = TryQuery(sql, ok);
    if (!ok) throw EmySQLException(m_errorCode, m_errorText, m_failureKind);
    return result;
}

namespace {
// Switches the client's ping-before-query off for one probe.
class NoPing {
public:
    explicit NoPing(TMysqlClient& client) : m_client(client), m_was(client.AutoReconnect())
    {
        if (!PingBeforeProbes) m_client.SetAutoReconnect(false);
    }
    ~NoPing() { m_client.SetAutoReconnect(m_was); }

private:
    TMysqlClient& m_client;
    bool m_was;
};
}  // namespace

std::unique_ptr<TMysqlResult> TNativeConnect::TryProbe(const std::string& sql, bool& ok)
{
    NoPing noPing(*m_client);
    return TryQuery(sql, ok);
}

std::unique_ptr<TMysqlResult> TNativeConnect::Probe(const std::string& sql)
{
    NoPing noPing(*m_client);
    return Query(sql);
}

std::shared_ptr<TMysqlResult> TNativeConnect::CachedProbe(const std::string& sql, bool mustSucceed, bool& ok)
{
    if (m_probeCacheConnection != m_client->ConnectionCount()) {
        // A new connection may see another schema: ask again.
        m_probeCache.clear();
        m_probeCacheConnection = m_client->ConnectionCount();
    }
    const std::string key = m_client->Database() + '\0' + sql;
    auto it = m_probeCache.find(key);
    if (it != m_probeCache.end()) {
        ok = it->second.ok;
        return it->second.result;
    }
    std::shared_ptr<TMysqlResult> result = mustSucceed ? Probe(sql) : TryProbe(sql, ok);
    if (mustSucceed) ok = true;
    // The probe itself may have reconnected: the answer belongs to the connection it came from.
    if (m_probeCacheConnection != m_client->ConnectionCount()) {
        m_probeCache.clear();
        m_probeCacheConnection = m_client->ConnectionCount();
    }
    m_probeCache[key] = {result, ok};
    return result;
}

void TNativeConnect::Transaction(const std::string& sql)
{
    TraceOp op = sql == "BEGIN" ? TraceOp::Begin : sql == "COMMIT" ? TraceOp::Commit : TraceOp::Rollback;
    dbTrace(op, sql);
    if (sql == "ROLLBACK" && m_client->TransactionLost()) {
        // The connection dropped inside the transaction: its work is gone, which is what a
        // rollback asks for. Later statements may connect again.
        m_client->Close();
        return;
    }
    if (sql == "BEGIN" && !leaveSilentServer()) throw EmySQLException(m_errorCode, m_errorText);
    bool succeeded = false;
    m_client->Query(sql, false, succeeded);  // a result set is freed
    if (!succeeded) noteSilence();
    std::string failures;
    if (!succeeded && sql == "BEGIN" && !m_client->StatementSent() && m_servers.size() > 1 && failover(failures))
        m_client->Query(sql, false, succeeded);  // nothing had started: begin on the next server
    if (succeeded) return;
    // A failed COMMIT must never look like a stored transaction.
    std::string text = m_client->ErrorText();
    FailureKind kind = FailureKind::Other;
    if (sql == "COMMIT" && m_client->StatementSent() && m_client->ErrorCode() == 2013) {
        text = kOutcomeUnknown;
        kind = FailureKind::OutcomeUnknown;
    } else if (sql != "BEGIN" && (m_client->TransactionLost() || connectionGone(m_client->ErrorCode()))) {
        text = kTransactionLost;
        kind = FailureKind::TransactionLost;
    }
    throw EmySQLException(m_client->ErrorCode(), text, kind);
}

uint8_t TNativeConnect::ProbeCharset()
{
    bool ok = false;
    std::unique_ptr<TMysqlResult> result = TryProbe("SHOW VARIABLES", ok);
    if (!ok || !result) return 0;
    for (int64_t i = 0; i < result->RowCount(); ++i) {
        result->Seek(i);
        const char* name = result->FieldValue(0);
        if (name && lowerCase(name) == "character_set") {
            const char* value = result->FieldValue(1);
            return CharsetIndexFromName(value ? value : "");
        }
    }
    return 0;
}
