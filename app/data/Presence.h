#pragma once
// Presence: every poll stamps the user's row with the server's time and lists the users whose
// stamp is less than five minutes old (both judged by the server's clock). The same stamp
// carries which document the user is changing, so that the others see who is editing what.

#include <QStringList>

#include <vector>

namespace vt::app {
class Session;
}

namespace vt::app::data::presence {

// Stamps lastPollRequest of the user, whose name is compared in upper case on both sides, and
// in the same statement the document the user is changing (0: none). EditingSince keeps its
// time while the document stays the same and takes the server's time when it changes.
void stamp(const Session& session, const QString& userName, qint32 editingDocument = 0);

// Marks at once that the user started (document > 0) or stopped (0) changing a document,
// without touching the presence stamp (a user who logged off must not look online).
void setEditing(const Session& session, const QString& userName, qint32 editingDocument);

// A user who polled within the last five minutes, with the document being changed (0: none)
// and since when (days since 1899-12-30, server time; 0 when none).
struct OnlineUser {
    QString name;
    qint32 editingDocument = 0;
    double editingSince = 0;
};
// Users whose last stamp is strictly later than five minutes ago, in the server's order of
// user names.
std::vector<OnlineUser> onlineUsers(const Session& session);
// Only their names.
QStringList usersOnline(const Session& session);

// The online users changing the document, in the server's order of user names.
std::vector<OnlineUser> editorsOf(const Session& session, qint32 requirementId);

}  // namespace vt::app::data::presence
