#include "session/Session.h"

#include "data/Login.h"
#include "data/Schema.h"
#include "platform/Cleanup.h"
#include "session/Rights.h"
#include "session/TextCodec.h"

#include "db/DbErrors.h"
#include "db/TmySQLDatabase.h"
#include "db/TmySQLQuery.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cstdint>

namespace vt::app {

QString Session::programFolderOverride;

namespace {

QString withSeparator(QString folder)
{
    if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    return folder;
}

// The refusal of a database whose schema version is not the program's, or empty.
QString refusalOfSchema(int found)
{
    const int known = data::schema::kVersion;
    if (found > known)
        return QStringLiteral("The database has schema version %1, newer than version %2 that this program "
                              "knows. Use a newer version of Veltrana.")
            .arg(found)
            .arg(known);
    if (found < known)
        return QStringLiteral("The database has schema version %1, older than version %2 that this program "
                              "needs. Upgrade it with scripts/setup-db.sh --upgrade on the database server.")
            .arg(found)
            .arg(known);
    return QString();
}

}  // namespace

Session::Session() : m_connection(std::make_unique<TmySQLDatabase>("mySQLDatabase1"))
{
    m_connection->SetParams(TStringList{"Port=3306", "TIMEOUT=30", "max_allowed_packet=16M"});
    resetLoginState();
}

// The connection goes with the session: it closes the queries still attached to it.
Session::~Session() = default;

void Session::resetLoginState()
{
    AppTitle = QStringLiteral("Veltrana");
    CurrentUser.clear();
    UserRole = QStringLiteral("USER");
    CurrentProjectID = 0;
    CurrentDocumentID = 0;
    CurrentCatagoryID = 0;
    IsProjectManager = false;

    ProgramFolder =
        withSeparator(programFolderOverride.isEmpty() ? QCoreApplication::applicationDirPath() : programFolderOverride);
    // Temporary files go to the program's folder; where that is not writable (an installed
    // program), to a folder of the user's own so that they never fail.
    WorkFolder = ProgramFolder;
    if (!QFileInfo(ProgramFolder).isWritable()) {
        const QString own = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
        QDir().mkpath(own);
        WorkFolder = withSeparator(own);
    }
    if (!m_instanceFiles || m_instanceFiles->folder() != WorkFolder)
        m_instanceFiles = std::make_unique<InstanceFiles>(WorkFolder);
}

QString Session::tempFilePath(const QString& name) const { return m_instanceFiles->path(name); }

std::unique_ptr<TmySQLQuery> Session::newQuery() const
{
    auto query = std::make_unique<TmySQLQuery>();
    query->SetDatabase(m_connection.get());
    return query;
}

std::vector<uint64_t> Session::runTogether(const std::vector<std::string>& statements) const
{
    const std::vector<TStatementOutcome> outcomes = m_connection->ExecuteBatch(statements);
    std::vector<uint64_t> changed;
    changed.reserve(outcomes.size());
    for (const TStatementOutcome& each : outcomes) {
        m_connection->RaiseFailure(each);
        changed.push_back(each.rowsAffected);
    }
    return changed;
}

void Session::connect(const ConnectionValues& values)
{
    // The server field may carry a port ("host:port"); without one the design port applies.
    // A list of servers ("a:3306, b") goes to the access layer whole: it tries them in order
    // and reports a bad entry.
    QString host = values.host.trimmed();
    uint32_t port = 3306;
    if (const qsizetype colon = host.lastIndexOf(QLatin1Char(':'));
        !host.contains(QLatin1Char(',')) && colon > 0 && host.indexOf(QLatin1Char(':')) == colon) {
        bool ok = false;
        const uint portValue = host.mid(colon + 1).toUInt(&ok);
        if (ok && portValue > 0 && portValue < 65536) {
            port = portValue;
            host.truncate(colon);
        }
    }
    TmySQLDatabase& db = *m_connection;
    db.SetDatabaseName(bytesFromText(values.database));
    db.SetHost(bytesFromText(host));
    db.SetPort(port);
    db.SetUserName(bytesFromText(values.user));
    db.SetUserPassword(bytesFromText(values.password));
    db.SetConnectOptions(values.requireTls || values.perUser ? connectOption(coSSL) : TConnectOptions(0));
    if (const std::string ca = bytesFromText(values.tlsCaFile); db.Params().Values("TLSCA") != ca)
        db.Params().SetValue("TLSCA", ca);
    if (const std::string secure = values.perUser ? "1" : ""; db.Params().Values("SECUREAUTH") != secure)
        db.Params().SetValue("SECUREAUTH", secure);
    db.SetConnected(true);
}

bool Session::encrypted() const { return m_connection->Encrypted(); }
QString Session::tlsVersion() const { return QString::fromStdString(m_connection->TlsVersion()); }
QString Session::tlsCipher() const { return QString::fromStdString(m_connection->TlsCipher()); }
QString Session::connectedServer() const
{
    return textFromBytes(m_connection->Host()) + QLatin1Char(':') + QString::number(m_connection->Port());
}

QString Session::connectedDatabase() const { return textFromBytes(m_connection->DatabaseName()); }

Session::LoginResult Session::logIn(const ConnectionValues& values, const QString& userName, const QString& password)
{
    m_isLoggedIn = false;
    CurrentUser = userName.toUpper();
    m_perUser = values.perUser;
    if (values.perUser) {
        // Every log-in authenticates its own account: a connection of the previous user is
        // never reused. Accounts are named in upper case, as user names are stored; passwords
        // are upper case too, as the login field types them.
        ConnectionValues own = values;
        own.user = CurrentUser;
        own.password = password.toUpper();
        m_connection->SetConnected(false);
        try {
            connect(own);
        } catch (const EmySQLDatabaseError& error) {
            if (error.ServerError() == data::login::kAccessDenied) return LoginResult::UnknownUser;
            throw;
        }
    } else {
        connect(values);
    }

    // A newer schema may have changed what this program reads and writes; an older one lacks
    // what it relies on. Either way nothing more is read or written.
    int version = 0;
    try {
        version = data::schema::version(*this);
    } catch (const EmySQLDatabaseError& error) {
        if (values.perUser && error.ServerError() == data::login::kPasswordExpired) return LoginResult::PasswordExpired;
        throw;
    }
    m_schemaRefusal = refusalOfSchema(version);
    if (!m_schemaRefusal.isEmpty()) return LoginResult::WrongSchemaVersion;

    // In per-user mode the server has checked the password; the row gives the role.
    const std::optional<QString> role =
        values.perUser ? data::login::storedRole(*this, userName) : data::login::userRole(*this, userName, password);
    if (!role) return LoginResult::UnknownUser;
    UserRole = role->toUpper();

    const std::optional<data::login::GlobalSettings> settings = data::login::globalSettings(*this);
    if (!settings) return LoginResult::NoGlobalSettings;
    CommonDir = settings->commonDir;
    DocumentsFolder = settings->documents;
    StoreDocumentsAsFiles = settings->saveAsFiles;

    m_packetLimitNote = data::login::setPacketLimit(*this);

    m_isLoggedIn = true;
    for (const auto& observer : m_loggedIn)
        observer();
    return LoginResult::LoggedIn;
}

void Session::changeOwnPassword(const QString& newPassword)
{
    data::login::setOwnServerPassword(*this, newPassword);
    m_connection->SetConnected(false);
}

void Session::abandonLogin()
{
    m_isLoggedIn = false;
    m_connection->SetConnected(false);
}

void Session::logOff()
{
    m_isLoggedIn = false;
    resetLoginState();
    for (const auto& observer : m_loggedOff)
        observer();
}

void Session::whenLoggedIn(std::function<void()> observer) { m_loggedIn.push_back(std::move(observer)); }

void Session::whenLoggedOff(std::function<void()> observer) { m_loggedOff.push_back(std::move(observer)); }

bool Session::isAdministrator() const { return m_isLoggedIn && rights::isAdministrator(UserRole); }

}  // namespace vt::app
