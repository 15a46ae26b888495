#pragma once
// The activity log and notifications: a row per document save and per member notified of a
// post, the unread messages of the user and the latest changes in the user's projects.

#include <QString>

#include <string>

namespace vt::app {
class Session;
}

namespace vt::app::data::activitylog {

// Writes an activity_Log row with the server's time (the user name upper-cased); for the note
// "DISC_POST" also the user's unread msg_state row of the message.
void LogActivity(const Session& session, const QString& note, const QString& userName, qint32 projectId,
                 qint32 catagoryId, qint32 documentId, qint32 msgId);
// The notices of a new message to every member of its project: a "DISC_POST" activity_Log
// row and an unread msg_state row per member, the name upper-cased by the server. Two
// statements, whatever the number of members. A member listed twice, or under names that differ
// in letter case alone, gets one row of each; a member who has a row of the message already
// gets no second one.
// `alongside` are statements that travel with the notices, before them in the same round trip;
// they run again after a lost answer, so each must leave the same rows when it does.
void notifyMembers(const Session& session, qint32 projectId, qint32 catagoryId, qint32 documentId, qint32 msgId,
                   const std::vector<std::string>& alongside = {});
// The activity_Log row's statement of LogActivity alone, to travel with others. With
// onlyInTransaction it changes nothing unless a transaction is open (see
// documents::saveRevision).
std::string activityStatement(const QString& note, const QString& userName, qint32 projectId, qint32 catagoryId,
                              qint32 documentId, qint32 msgId, bool onlyInTransaction = false);

// Who deleted the document, from its latest "DEL_DOC" record (written by "Delete Document");
// empty when none is recorded (for example a document deleted with the one above it).
QString deletedBy(const Session& session, qint32 documentId);

// The twenty latest document saves in the projects the user (parameter "username") is a member
// of, newest first: the statement of the Recent Updates grid, whose live table is activity_log.
// It selects the row's key LogID (not shown), so that a delete names exactly the chosen row.
extern const char* const kRecentUpdatesSql;

}  // namespace vt::app::data::activitylog
