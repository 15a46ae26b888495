#pragma once
// Discussions: the message tree of a document, posting and replying, and each member's read
// state of each message (msg_state).

#include <QString>

#include <vector>

namespace vt::app {
class Session;
}

namespace vt::app::data::discussions {

// One unread message of the user (an entry of the navigator's unread list).
struct UnreadMessage {
    qint32 msgID = 0;
    qint32 RequirementID = 0;
    QString Name;  // the poster
    QString Subject;
    QString Created;  // date and time as local text
};
// The user's unread messages of a project, in the order the server returns them.
std::vector<UnreadMessage> unreadMessages(const Session& session, qint32 projectId, const QString& userName);

}  // namespace vt::app::data::discussions
