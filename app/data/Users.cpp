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
    execute(session, "insert into Users (UserName, password, FirstName, LastName, email, Position, "
                     "Role, Created) values (" +
                         sqlQuoted(userName) + "," + sqlQuoted(passwords::hash(password)) + "," +
                         sqlQuoted(profile.firstName) + "," + sqlQuoted(profile.lastName) + "," +
                         sqlQuoted(profile.email) + "," + sqlQuoted(profile.position) + "," +
                         sqlQuoted(profile.role.toUpper()) + ",now())");
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
    execute(session, "Update Users set password=" + sqlQuoted(passwords::hash(password)) +
                         " where ucase(Username)=" + sqlQuoted(userName.toUpper()));
}

void remove(const Session& session, const QString& userName)
{
    execute(session, "delete from users where username = " + sqlQuoted(userName));
}

void replaceLegacyPassword(const Session& session, const QString& storedName, const QString& legacy,
                           const QString& password)
{
    // Compared as binary so that only the exact value read is replaced.
    execute(session, "Update Users set password=" + sqlQuoted(passwords::hash(password)) +
                         " where Username=" + sqlQuoted(storedName) + " and binary password=" + sqlQuoted(legacy));
}

}  // namespace vt::app::data::users
