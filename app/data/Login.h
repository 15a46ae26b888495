#pragma once
// Logging in: the user check against Users, the one global_settings row, and the connection's
// packet limit.

#include <QString>

#include <optional>

class EmySQLDatabaseError;

namespace vt::app {
class Session;
}

namespace vt::app::data::login {

// The stored role of the account with this name and password; nothing when no account
// matches. The row is read by name and its password checked in the client: an Argon2id hash is
// verified; a password an older client stored as typed is accepted once and replaced by its
// hash before this returns.
std::optional<QString> userRole(const Session& session, const QString& userName, const QString& password);

// Per-user server accounts: the role of the Users row with exactly this name (the server has
// checked the password); nothing when there is no row.
std::optional<QString> storedRole(const Session& session, const QString& userName);
// Sets the password of the connection's own server account (SET PASSWORD, the text escaped).
void setOwnServerPassword(const Session& session, const QString& password);
// Server error numbers of a refused account (wrong name or password) and of a session whose
// password has expired and must be changed before any other statement.
inline constexpr int kAccessDenied = 1045;
inline constexpr int kPasswordExpired = 1820;

struct GlobalSettings {
    QString commonDir;
    QString attachments;
    QString documents;
    bool saveAsFiles = false;  // SaveAsFiles compared as a number is greater than 0
};
// The first global_settings row; nothing when the table is empty.
std::optional<GlobalSettings> globalSettings(const Session& session);

// Server error number of a refused "set max_allowed_packet": today's servers keep the
// session's packet limit read-only, and their own limit then applies.
inline constexpr int kPacketLimitReadOnly = 1621;
// True for the refusal that leaves the server's own packet limit in force.
bool isReadOnlyPacketLimit(const EmySQLDatabaseError& error);

// Sets the connection's packet limit to 16,000,000 bytes. Returns empty when the server took
// it, or the server's message when it keeps its own limit read-only; any other failure
// propagates and ends the login.
QString setPacketLimit(const Session& session);

}  // namespace vt::app::data::login
