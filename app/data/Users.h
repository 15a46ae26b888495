#pragma once
// User accounts: the administration's list, creating and editing accounts, setting passwords
// and deleting accounts (the master account ADMIN stays). Passwords reach the table only as
// Argon2id hashes (session/Passwords.h). With per-user server accounts the server keeps the
// passwords instead: create, set password and delete also call the database's account
// procedures (a refused one leaves the Users rows as they were), and no hash is written.

#include <QString>

namespace vt::app {
class Session;
}

namespace vt::app::data::users {

// The administration grid's statement, opened live so that a row can be deleted through it.
inline constexpr const char* kListSql = "select Role,Username, Firstname,Lastname,Email,Position from users";

// The master account "ADMIN", in any letter case: it can be neither deleted nor demoted.
bool isMasterAccount(const QString& userName);
// "USER" or "ADMIN" for a stored role: anything that is not ADMIN in upper case counts as USER.
QString roleOf(const QString& storedRole);

struct Profile {
    QString firstName;
    QString lastName;
    QString email;
    QString position;
    QString role;  // "USER" or "ADMIN"
};

// Whether an account has exactly this name, as the server compares names.
bool nameInUse(const Session& session, const QString& userName);
// A new account with the password hashed and Created set to the server's current time.
void create(const Session& session, const QString& userName, const QString& password, const Profile& profile);
// Profile and role of the account whose upper-case name is the upper-case userName.
void updateProfile(const Session& session, const QString& userName, const Profile& profile);
// Stores the hash of password for the account whose upper-case name is the upper-case userName.
void setPassword(const Session& session, const QString& userName, const QString& password);
// Deletes the account with this name as stored.
void remove(const Session& session, const QString& userName);

// Replaces a password an older client stored as typed (legacy) by the hash of password, on the
// account named storedName as stored, unless its password has changed meanwhile.
void replaceLegacyPassword(const Session& session, const QString& storedName, const QString& legacy,
                           const QString& password);

}  // namespace vt::app::data::users
