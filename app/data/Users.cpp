#include "data/Users.h"

#include "data/SqlText.h"
#include "session/Passwords.h"
#include "session/Session.h"

#include "db/TmySQLQuery.h"

namespace vt::app::data::users {

namespace {

void execute(const Session& session, const std::string& statement)
{
    auto query = session.newQuery();
    query->SetSQL(statement);
    query->Execute();
}

void executeQuietly(const Session& session, const std::string& statement)
{
    try {
        execute(session, statement);
    } catch (...) {
        // Undoing after a failure: the failure is the error to report, not this one.
    }
}

// Runs the Users change and then the account procedure in one transaction. The procedures
// check the caller before their account statement, so a refusal rolls the row change back;
// an account statement that fails has committed the row change (the server commits before
// it), and undo then reverses it explicitly.
void withAccount(const Session& session, const std::string& rowChange, const std::string& call, const std::string& undo)
{
    execute(session, "START TRANSACTION");
    bool changed = false;
    try {
        execute(session, rowChange);
        changed = true;
        execute(session, call);
    } catch (...) {
        executeQuietly(session, "ROLLBACK");
        if (changed && !undo.empty()) executeQuietly(session, undo);
        throw;
    }
    execute(session, "COMMIT");
}

}  // namespace

bool isMasterAccount(const QString& userName) { return userName.toUpper() == QLatin1String("ADMIN"); }

QString roleOf(const QString& storedRole)
{
    return storedRole.toUpper() == QLatin1String("ADMIN") ? QStringLiteral("ADMIN") : QStringLiteral("USER");
}

bool nameInUse(const Session& session, const QString& userName)
{
    auto query = session.newQuery();
    query->SetSQL("select * from users where (Username = " + sqlQuoted(userName) + ")");
    query->Open();
    const bool found = query->RecordCount() > 0;
    query->Close();
    return found;
}

void create(const Session& session, const QString& userName, const QString& password, const Profile& profile)
{
    // With server accounts the server keeps the password; the row keeps none.
    const bool accounts = session.perUserAccounts();
    const std::string insert = "insert into Users (UserName, password, FirstName, LastName, email, Position, "
                               "Role, Created) values (" +
                               sqlQuoted(userName) + "," + sqlQuoted(accounts ? QString() : passwords::hash(password)) +
                               "," + sqlQuoted(profile.firstName) + "," + sqlQuoted(profile.lastName) + "," +
                               sqlQuoted(profile.email) + "," + sqlQuoted(profile.position) + "," +
                               sqlQuoted(profile.role.toUpper()) + ",now())";
    if (!accounts) {
        execute(session, insert);
        return;
    }
    // The name was free before (checked by the caller), so a row left by a failed account
    // statement is this one.
    withAccount(session, insert, "CALL vt_account_create(" + sqlQuoted(userName) + "," + sqlQuoted(password) + ")",
                "delete from users where Username = " + sqlQuoted(userName));
}

void updateProfile(const Session& session, const QString& userName, const Profile& profile)
{
    execute(session, "Update Users set Firstname=" + sqlQuoted(profile.firstName) +
                         ", Lastname=" + sqlQuoted(profile.lastName) + ", email=" + sqlQuoted(profile.email) +
                         ", Position=" + sqlQuoted(profile.position) + ", role=" + sqlQuoted(profile.role.toUpper()) +
                         " where ucase(Username)=" + sqlQuoted(userName.toUpper()));
}

void setPassword(const Session& session, const QString& userName, const QString& password)
{
    if (session.perUserAccounts()) {
        // A one-time password: the server expires it, the user chooses a new one at login.
        execute(session, "CALL vt_account_password(" + sqlQuoted(userName) + "," + sqlQuoted(password) + ")");
        return;
    }
    execute(session, "Update Users set password=" + sqlQuoted(passwords::hash(password)) +
                         " where ucase(Username)=" + sqlQuoted(userName.toUpper()));
}

void remove(const Session& session, const QString& userName)
{
    const std::string remove = "delete from users where username = " + sqlQuoted(userName);
    if (!session.perUserAccounts()) {
        execute(session, remove);
        return;
    }
    withAccount(session, remove, "CALL vt_account_drop(" + sqlQuoted(userName) + ")", std::string());
}

void replaceLegacyPassword(const Session& session, const QString& storedName, const QString& legacy,
                           const QString& password)
{
    // Compared as binary so that only the exact value read is replaced.
    execute(session, "Update Users set password=" + sqlQuoted(passwords::hash(password)) +
                         " where Username=" + sqlQuoted(storedName) + " and binary password=" + sqlQuoted(legacy));
}

}  // namespace vt::app::data::users
