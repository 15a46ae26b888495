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

// One message of a document's discussion as the user sees it (the record of a tree node).
struct TMyRec {
    qint32 msgID = 0;
    qint32 ParentID = 0;  // filled for replies
    QString Name;         // the author
    QString Subject;
    QString Created;   // the text form of the date and time
    QString msg;       // the body
    qint32 state = 0;  // the user's msg_state: 1 unread, 2 read
    // msg holds only the body's first kBodyPreview characters (documentMessages); the whole
    // body is read with messageBody when the message is shown.
    bool msgCut = false;
};
// The threads (messages with parent 0) of a document that the user has a read state for, in
// the order the server returns them.
std::vector<TMyRec> threads(const Session& session, qint32 documentId, const QString& userName);
// The replies to message msgId of a document that the user has a read state for.
std::vector<TMyRec> replies(const Session& session, qint32 msgId, qint32 documentId, const QString& userName);
// The characters of a body documentMessages reads: a tree of many long messages would
// otherwise hold every body whole, though only the one selected is shown.
constexpr int kBodyPreview = 2000;
// Every message of a document that the user has a read state for, replies included, in the
// order the server returns them: the whole discussion in one statement, each body cut to
// kBodyPreview characters (msgCut set where it was longer).
std::vector<TMyRec> documentMessages(const Session& session, qint32 documentId, const QString& userName);
// The whole body of a message; empty when the message is gone.
QString messageBody(const Session& session, qint32 msgId);

// The deepest level the discussion tree shows (a thread's first message is at level 1).
constexpr int kMaxThreadLevel = 32;

// A message of the discussion tree and the level it is shown at (0 for a thread).
struct ShownMessage {
    TMyRec rec;
    int level = 0;
};
// The messages in the tree's display order (a thread, then each reply followed by its own
// replies, siblings in the order given). Threads are the messages with parent 0. A message
// shows once: of several rows with its id the first counts. A message no chain of parents
// leads to from a thread (its parent missing, on another document, without the user's read
// state, or a loop) is left out. Replies deeper than kMaxThreadLevel are shown at that level,
// beneath their ancestor one level up, in display order, so every reply stays in view.
std::vector<ShownMessage> threadOrder(std::vector<TMyRec> messages);

// Marks the message read for the user.
void markRead(const Session& session, qint32 msgId, const QString& userName);

// A random tag from 0 to 99999 that finds a just-inserted message again with its subject.
qint32 drawTag();
// The first message with this subject and tag; 0 when there is none.
qint32 FindMessageID(const Session& session, const QString& subject, qint32 tag);

struct PostResult {
    qint32 tag = 0;
    qint32 msgId = 0;  // 0: the message was stored but the server reported no id
    // The author is a member of the project, so the message shows in the author's own list.
    bool authorIsMember = false;
};
// Stores a message of the session's user on the session's current document and project
// (parent 0 for a new thread), sets the document's messages flag, takes the new message's id
// from the insert and gives every member of the project its unread state and "DISC_POST"
// record (activitylog::notifyMembers: one of each per member, in the order the project lists
// its members), in the same few statements whatever the number of members. Nobody is notified
// when the server reports no id.
PostResult PostDiscussionMessage(const Session& session, const QString& subject, const QString& text, qint32 parentId);

}  // namespace vt::app::data::discussions
