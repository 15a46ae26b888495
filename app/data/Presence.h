#pragma once
// Presence: every poll stamps the user's row with the server's time and lists the users whose
// stamp is less than five minutes old (both judged by the server's clock).

#include <QStringList>

namespace vt::app {
class Session;
}

namespace vt::app::data::presence {

// Stamps lastPollRequest of the user, whose name is compared in upper case on both sides.
void stamp(const Session& session, const QString& userName);

// User names whose last stamp is strictly later than five minutes ago, in the server's order
// of user names.
QStringList usersOnline(const Session& session);

}  // namespace vt::app::data::presence
