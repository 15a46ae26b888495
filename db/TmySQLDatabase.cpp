#include "db/TmySQLDatabase.h"

#include <algorithm>
#include <new>

#include "db/DbInternal.h"
#include "db/TNativeConnect.h"
#include "db/TmySQLDataSet.h"
#include "db/TmySQLEngine.h"
#include "protocol/TMysqlClient.h"

namespace {
TmySQLDatabase::LoginDialog& loginDialog()
{
    static TmySQLDatabase::LoginDialog dialog;
    return dialog;
}
}  // namespace

void TmySQLDatabase::SetLoginDialog(LoginDialog dialog) { loginDialog() = std::move(dialog); }

TmySQLDatabase::TmySQLDatabase(std::string name) : m_name(std::move(name))
{
    m_params.Assign({"Port=3306", "TIMEOUT=30"});
    m_params.OnChanging = [this] { paramsChanging(); };
}

TmySQLDatabase::~TmySQLDatabase()
{
    try {
        disconnect();
    } catch (...) {
        // Destruction must go on; the server connection is closed by freeing the client.
        m_native.reset();
    }
    for (TmySQLDataSet* ds : std::vector<TmySQLDataSet*>(m_dataSets))
        ds->databaseDestroyed();
    m_dataSets.clear();
    m_engine.reset();
}

[[noreturn]] static void raiseFor(const std::string& name, const std::string& message)
{
    throw EDatabaseError(name.empty() ? message : name + ": " + message);
}

void TmySQLDatabase::paramsChanging()
{
    if (!m_inMirror && Connected()) raiseFor(m_name, "Cannot perform this operation on an open database");
}

void TmySQLDatabase::checkInactive() const
{
    if (Connected()) raiseFor(m_name, "Cannot perform this operation on an open database");
}

bool TmySQLDatabase::Connected() const { return m_native != nullptr; }

void TmySQLDatabase::SetConnected(bool on)
{
    if (on == Connected()) return;
    if (on)
        connect();
    else
        disconnect();
}

void TmySQLDatabase::setProperty(std::string& field, const std::string& value, const char* key)
{
    if (field == value) return;
    checkInactive();
    field = value;
    m_params.SetValue(key, value);
}

void TmySQLDatabase::SetDatabaseName(const std::string& value) { setProperty(m_databaseName, value, "DatabaseName"); }
void TmySQLDatabase::SetHost(const std::string& value) { setProperty(m_host, value, "Host"); }
void TmySQLDatabase::SetUserName(const std::string& value) { setProperty(m_userName, value, "UID"); }
void TmySQLDatabase::SetUserPassword(const std::string& value) { setProperty(m_userPassword, value, "PWD"); }

void TmySQLDatabase::SetPort(uint32_t value)
{
    if (m_port == value) return;
    checkInactive();
    m_port = value;
    m_params.SetValue("Port", std::to_string(value));
}

void TmySQLDatabase::SetConnectionTimeout(uint32_t value)
{
    if (m_connectionTimeout == value) return;
    checkInactive();
    m_connectionTimeout = value;
    m_params.SetValue("TIMEOUT", std::to_string(value));
}

void TmySQLDatabase::SetConnectOptions(TConnectOptions value)
{
    if (m_connectOptions == value) return;
    checkInactive();
    m_connectOptions = value;
}

void TmySQLDatabase::SetParams(const TStringList& params)
{
    checkInactive();
    m_params.Assign(params.Lines());
}

void TmySQLDatabase::SetKeepConnection(bool on)
{
    if (m_keepConnection == on) return;
    m_keepConnection = on;
    if (!on && m_usageCount == 0) disconnect();
}

void TmySQLDatabase::SetExclusive(bool on)
{
    checkInactive();
    m_exclusive = on;
}

void TmySQLDatabase::SetReadOnly(bool on)
{
    checkInactive();
    m_readOnly = on;
}

TmySQLEngine& TmySQLDatabase::Engine()
{
    if (!m_engine) {
        try {
            m_engine = std::make_unique<TmySQLEngine>();
        } catch (const std::bad_alloc&) {
            raiseFor({}, "Engine not Initialize");
        }
        m_engine->MultiThreaded = m_multiThreaded;
    }
    return *m_engine;
}

void TmySQLDatabase::connect()
{
    if (BeforeConnect) BeforeConnect(*this);
    TmySQLEngine& engine = Engine();
    engine.MultiThreaded = m_multiThreaded;

    if (m_loginPrompt) {
        TStringList login;
        if (OnLogin) {
            OnLogin(*this, login);
        } else {
            std::string user = m_params.Values("UID"), password;
            if (!loginDialog() || !loginDialog()(m_databaseName, user, password))
                raiseFor({}, "Cannot connect to database '" + m_databaseName + "'");
            login.SetValue("UID", user);
            login.SetValue("PWD", password);
        }
        m_params.SetValue("UID", login.Values("UID"));
        m_params.SetValue("PWD", login.Values("PWD"));
    }

    TStringList params(m_params);
    std::unique_ptr<TNativeConnect> native;
    uint16_t code = engine.Guard([&] {
        native = std::make_unique<TNativeConnect>(m_connectOptions, m_multiThreaded);
        engine.LastObject = native.get();
        native->Connect(params);
    });
    if (code != 0) {
        native.reset();
        engine.Check(code);
    }
    ServerCharsetIndex = native->ProbeCharset();
    m_native = std::move(native);
    if (AfterConnect) AfterConnect(*this);
}

void TmySQLDatabase::disconnect()
{
    if (!m_native) return;
    if (BeforeDisconnect) BeforeDisconnect(*this);
    for (TmySQLDataSet* ds : std::vector<TmySQLDataSet*>(m_dataSets))
        ds->connectionClosing();
    for (TmySQLDataSet* ds : std::vector<TmySQLDataSet*>(m_clients))
        if (std::find(m_dataSets.begin(), m_dataSets.end(), ds) == m_dataSets.end()) ds->connectionClosing();
    m_native.reset();
    m_clients.clear();
    m_usageCount = 0;
    if (AfterDisconnect) AfterDisconnect(*this);
}

void TmySQLDatabase::RegisterClient(TmySQLDataSet* dataSet)
{
    if (!Connected()) connect();
    ++m_usageCount;
    m_clients.push_back(dataSet);
}

void TmySQLDatabase::UnregisterClient(TmySQLDataSet* dataSet)
{
    auto it = std::find(m_clients.begin(), m_clients.end(), dataSet);
    if (it == m_clients.end()) return;
    m_clients.erase(it);
    if (m_usageCount > 0) --m_usageCount;
    if (m_usageCount == 0 && !m_keepConnection) disconnect();
}

void TmySQLDatabase::AttachDataSet(TmySQLDataSet* dataSet)
{
    if (std::find(m_dataSets.begin(), m_dataSets.end(), dataSet) == m_dataSets.end()) m_dataSets.push_back(dataSet);
}

void TmySQLDatabase::DetachDataSet(TmySQLDataSet* dataSet)
{
    m_dataSets.erase(std::remove(m_dataSets.begin(), m_dataSets.end(), dataSet), m_dataSets.end());
}

void TmySQLDatabase::BeginTransaction()
{
    if (!Connected()) raiseFor(m_name, "Cannot perform this operation on a closed database");
    if (m_native->InTransaction) return;
    m_native->InTransaction = true;
    m_native->Isolation = m_transIsolation;
    Engine().Run([&] { m_native->Transaction("BEGIN"); });
}

void TmySQLDatabase::CommitTransaction()
{
    if (!Connected()) raiseFor(m_name, "Cannot perform this operation on a closed database");
    Engine().Run([&] { m_native->Transaction("COMMIT"); });
    m_native->InTransaction = false;
}

void TmySQLDatabase::RollbackTransaction()
{
    if (!Connected()) raiseFor(m_name, "Cannot perform this operation on a closed database");
    m_native->InTransaction = false;
    Engine().Run([&] { m_native->Transaction("ROLLBACK"); });
}

bool TmySQLDatabase::IsInTransaction() const { return m_native && m_native->InTransaction; }

uint64_t TmySQLDatabase::ExecuteDirect(const std::string& sql)
{
    if (!Connected()) connect();
    uint64_t affected = 0;
    Engine().Run([&] {
        m_native->Query(sql);
        affected = m_native->Client().AffectedRows();
    });
    return affected;
}

std::vector<TStatementOutcome> TmySQLDatabase::ExecuteBatch(const std::vector<std::string>& statements)
{
    if (!Connected()) connect();
    std::vector<TStatementOutcome> outcomes;
    Engine().Run([&] { outcomes = m_native->RunBatch(statements); });
    return outcomes;
}

void TmySQLDatabase::RaiseFailure(const TStatementOutcome& outcome)
{
    if (outcome.ok) return;
    Engine().Run([&] { throw EmySQLException(outcome.errorCode, outcome.errorText, outcome.kind); });
}

std::string TmySQLDatabase::ServerVersion() const
{
    return m_native ? m_native->Client().ServerVersion() : std::string();
}

bool TmySQLDatabase::Encrypted() const { return m_native && m_native->Client().Encrypted(); }
std::string TmySQLDatabase::TlsVersion() const { return m_native ? m_native->Client().TlsVersion() : std::string(); }
std::string TmySQLDatabase::TlsCipher() const { return m_native ? m_native->Client().TlsCipher() : std::string(); }

uint64_t TmySQLDatabase::RoundTrips() const { return m_native ? m_native->Client().RoundTrips() : 0; }
