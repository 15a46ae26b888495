#include "db/TNativeConnect.h"

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

    m_client->SetConnectTimeout(m_timeout);
    m_client->SetPingAfterIdle(PingAfterIdleMs);
    m_client->SetTlsCaFile(params.Values("TLSCA"));
    bool ok = m_client->Connect(m_host, m_user, m_password, m_database, static_cast<uint32_t>(m_port),
                                ClientFlagsFromOptions(m_options));
    if (!ok || m_client->ErrorCode() != 0) {
        int code = m_client->ErrorCode();
        throw EmySQLException(code, m_client->ErrorText());
    }
    m_open = true;
    ServerVersionNumber = VersionNumberFromText(m_client->ServerVersion());
    dbTrace(TraceOp::Connect, m_host + ":" + std::to_string(m_port) + "/" + m_database);
}

std::unique_ptr<TMysqlResult> TNativeConnect::TryQuery(const std::string& sql, bool& ok)
{
    dbTrace(TraceOp::Execute, sql);
    bool succeeded = false;
    std::unique_ptr<TMysqlResult> result = m_client->Query(sql, true, succeeded);
    ok = succeeded && m_client->ErrorCode() == 0;
    if (!ok) result.reset();
    return result;
}

std::unique_ptr<TMysqlResult> TNativeConnect::Query(const std::string& sql)
{
    bool ok = false;
    std::unique_ptr<TMysqlResult> result = TryQuery(sql, ok);
    if (!ok) throw EmySQLException(m_client->ErrorCode(), m_client->ErrorText());
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
    bool succeeded = false;
    m_client->Query(sql, false, succeeded);  // a result set is freed
    // A failed COMMIT must never look like a stored transaction.
    if (!succeeded) throw EmySQLException(m_client->ErrorCode(), m_client->ErrorText());
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
