#pragma once
// The session: the one connection component of the program, the login state every window reads,
// the short-lived queries on that connection, and logging in and off. It has no widgets; the
// windows ask it, and follow log-in and log-off through the observers they register.

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TmySQLDatabase;
class TmySQLQuery;

namespace vt::app {

class InstanceFiles;

// The connection fields of the login dialog.
struct ConnectionValues {
    QString database;
    QString host;  // "host[:port]", or several separated by commas
    QString user;
    QString password;
    bool requireTls = false;  // encrypted and verified, or no connection
    QString tlsCaFile;        // verifies the server; empty: the system's store
    // Per-user server accounts: the login's name and password are the server account's,
    // user/password above are ignored, TLS is required and the pre-4.1 scramble refused.
    bool perUser = false;
};

class Session {
public:
    Session();
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Login state.
    QString AppTitle;
    QString CurrentUser;
    QString UserRole;
    qint32 CurrentProjectID = 0;
    qint32 CurrentDocumentID = 0;
    qint32 CurrentCatagoryID = 0;
    bool IsProjectManager = false;
    bool NewSubDocument = false;
    QString ProgramFolder;
    QString WorkFolder;
    QString CommonDir;
    QString DocumentsFolder;
    bool StoreDocumentsAsFiles = false;

    // Folder used as the program's folder instead of the executable's (tests point it at a
    // scratch folder). Empty: the folder of the running program.
    static QString programFolderOverride;

    // The state after start-up: title, user, role, ids and flags reset, folders set again.
    // The shared settings (CommonDir, DocumentsFolder, StoreDocumentsAsFiles) and
    // NewSubDocument are kept.
    void resetLoginState();

    // The path in WorkFolder of this program instance's own temporary file for name
    // ("TempReq.rvf"): instances started from one folder never share one.
    QString tempFilePath(const QString& name) const;

    // The connection shared by every query of the program, and a new short-lived query on it.
    TmySQLDatabase& connection() { return *m_connection; }
    const TmySQLDatabase& connection() const { return *m_connection; }
    std::unique_ptr<TmySQLQuery> newQuery() const;
    // Runs statements together on the connection: they travel in one round trip (a very long
    // one on its own) and are answered in order. After every answer is read, the first
    // failure raises as that statement alone would have. The rows each statement changed.
    std::vector<uint64_t> runTogether(const std::vector<std::string>& statements) const;

    // Sets the connection's database, host (and port), user and password, in this order, and
    // connects; an open connection stays as it is (and refuses a changed value).
    void connect(const ConnectionValues& values);
    // The open connection is encrypted, with this TLS version ("TLSv1.3") and cipher; false and
    // empty when it is not or no connection is open.
    bool encrypted() const;
    QString tlsVersion() const;
    QString tlsCipher() const;

    enum class LoginResult { LoggedIn, UnknownUser, NoGlobalSettings, WrongSchemaVersion, PasswordExpired };
    // Takes the user name (upper-cased) as CurrentUser, connects with values, checks the
    // database's schema version, the user and password, reads the shared settings and sets the
    // packet limit; on success enters the logged-in state and tells the observers. Server and
    // connection errors propagate.
    // With values.perUser the typed name and password authenticate to the server instead (a
    // new connection for every log-in; 1045 is UnknownUser), the role is read from the Users
    // row, and an account whose password has expired (1820) gives PasswordExpired with the
    // connection left open for changeOwnPassword.
    LoginResult logIn(const ConnectionValues& values, const QString& userName, const QString& password);
    // Why the last log-in refused the database's schema version; empty when it did not.
    const QString& schemaRefusal() const { return m_schemaRefusal; }
    // Why the server kept its own packet limit at the last log-in; empty when it took ours.
    const QString& packetLimitNote() const { return m_packetLimitNote; }
    // Where the connection goes, for the status bar: the server as "host:port" and the
    // database name.
    QString connectedServer() const;
    QString connectedDatabase() const;
    // Per-user mode: sets the server account's own password (also an expired one); the
    // connection is closed afterwards so that the next log-in authenticates with it.
    void changeOwnPassword(const QString& newPassword);
    // Closes the connection of a log-in that did not finish (a password change cancelled).
    void abandonLogin();
    // The last log-in used per-user server accounts.
    bool perUserAccounts() const { return m_perUser; }
    // Resets the login state and tells the observers; the connection stays open.
    void logOff();

    // Observers, called in the order registered; an exception ends the log-in or log-off
    // that called them.
    void whenLoggedIn(std::function<void()> observer);
    void whenLoggedOff(std::function<void()> observer);

    // A user is logged in from a successful log-in until Log Off. Commands that act for the
    // user test this when they run: a window may still be reached after Log Off.
    bool isLoggedIn() const { return m_isLoggedIn; }
    // The logged-in user is an administrator.
    bool isAdministrator() const;

private:
    std::unique_ptr<TmySQLDatabase> m_connection;
    QString m_packetLimitNote;
    QString m_schemaRefusal;
    bool m_isLoggedIn = false;
    bool m_perUser = false;
    std::vector<std::function<void()>> m_loggedIn;
    std::vector<std::function<void()>> m_loggedOff;
    std::unique_ptr<InstanceFiles> m_instanceFiles;
};

}  // namespace vt::app
