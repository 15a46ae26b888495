#include "data/Discussions.h"

#include "data/ActivityLog.h"
#include "data/CheckedChange.h"
#include "data/SqlText.h"
#include "session/Session.h"

#include "db/TField.h"
#include "db/TmySQLQuery.h"

#include <QRandomGenerator>

#include <algorithm>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace vt::app::data::discussions {

std::vector<UnreadMessage> unreadMessages(const Session& session, qint32 projectId, const QString& userName)
{
    auto query = session.newQuery();
    query->SetSQL("Select req_messages.msgID,req_messages.requirementID,ProjectID,Name,Subject,Created "
                  "FROM req_messages, msg_state where projectID=" +
                  std::to_string(projectId) + " and msg_state.username=" + sqlQuoted(userName) +
                  " and msg_state.state = 1 and (msg_state.msgID=req_messages.msgID)");
    query->Open();
    std::vector<UnreadMessage> found;
    const int rows = query->RecordCount();
    for (int i = 0; i < rows; ++i) {
        found.push_back(UnreadMessage{query->FieldByName("msgID").AsInteger(),
                                      query->FieldByName("requirementID").AsInteger(), textOf(*query, "Name"),
                                      textOf(*query, "Subject"), textOf(*query, "Created")});
        query->Next();
    }
    query->Close();
    return found;
}

namespace {

std::vector<TMyRec> messages(const Session& session, const std::string& sql, bool withParent, bool withCut = false)
{
    auto query = session.newQuery();
    query->SetSQL(sql);
    query->Open();
    std::vector<TMyRec> found;
    const int rows = query->RecordCount();
    for (int i = 0; i < rows; ++i) {
        TMyRec rec;
        rec.msgID = query->FieldByName("msgID").AsInteger();
        if (withParent) rec.ParentID = query->FieldByName("parentid").AsInteger();
        rec.Name = textOf(*query, "name");
        rec.Subject = textOf(*query, "Subject");
        rec.Created = textOf(*query, "Created");
        rec.msg = textOf(*query, "msg");
        rec.state = query->FieldByName("state").AsInteger();
        if (withCut) rec.msgCut = query->FieldByName("msgCut").AsInteger() != 0;
        found.push_back(std::move(rec));
        query->Next();
    }
    query->Close();
    return found;
}

}  // namespace

std::vector<TMyRec> threads(const Session& session, qint32 documentId, const QString& userName)
{
    return messages(
        session,
        "select req_messages.msgID,name,Subject,Created,msg,msg_state.state from req_messages,msg_state "
        "where (msg_state.msgID=req_messages.msgID) and (ParentID = 0 ) and (req_messages.RequirementID = " +
            std::to_string(documentId) + ") and (msg_state.username=" + sqlQuoted(userName) + ")",
        false);
}

std::vector<TMyRec> replies(const Session& session, qint32 msgId, qint32 documentId, const QString& userName)
{
    return messages(session,
                    "select req_messages.msgID,parentid,name,Subject,Created,msg,msg_state.state from "
                    "req_messages,msg_state where (msg_state.msgID=req_messages.msgID) and (ParentID = " +
                        std::to_string(msgId) + ") and (req_messages.RequirementID = " + std::to_string(documentId) +
                        ") and (msg_state.username=" + sqlQuoted(userName) + ")",
                    true);
}

std::vector<TMyRec> documentMessages(const Session& session, qint32 documentId, const QString& userName)
{
    const std::string preview = std::to_string(kBodyPreview);
    return messages(session,
                    "select req_messages.msgID,parentid,name,Subject,Created,left(msg, " + preview +
                        ") as msg,char_length(msg) > " + preview +
                        " as msgCut,msg_state.state from req_messages,msg_state where "
                        "(msg_state.msgID=req_messages.msgID) and (req_messages.RequirementID = " +
                        std::to_string(documentId) + ") and (msg_state.username=" + sqlQuoted(userName) + ")",
                    true, true);
}

QString messageBody(const Session& session, qint32 msgId)
{
    auto query = session.newQuery();
    query->SetSQL("select msg from req_messages where msgID = " + std::to_string(msgId));
    query->Open();
    const QString body = query->RecordCount() > 0 ? textOf(*query, "msg") : QString();
    query->Close();
    return body;
}

std::vector<ShownMessage> threadOrder(std::vector<TMyRec> messages)
{
    // Indexes of each message's replies by parent id, in the order given.
    std::unordered_map<qint32, std::vector<size_t>> repliesTo;
    for (size_t i = 0; i < messages.size(); ++i)
        repliesTo[messages[i].ParentID].push_back(i);

    // A work list instead of recursion: a chain of replies may be as long as the discussion.
    // An id is placed when it is first pushed, so no message shows twice and a reply chain
    // cannot lead back to a message already in the tree (message 0 is both a thread and
    // the parent every thread names).
    std::unordered_set<qint32> placed;
    std::vector<std::pair<size_t, int>> pending;  // message index, level
    auto pushReplies = [&](qint32 parentId, int level) {
        const auto it = repliesTo.find(parentId);
        if (it == repliesTo.end()) return;
        const size_t before = pending.size();
        for (size_t index : it->second)
            if (placed.insert(messages[index].msgID).second) pending.emplace_back(index, level);
        std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(before), pending.end());
    };
    pushReplies(0, 0);

    std::vector<ShownMessage> shown;
    shown.reserve(placed.size());
    while (!pending.empty()) {
        const auto [index, level] = pending.back();
        pending.pop_back();
        const qint32 id = messages[index].msgID;
        shown.push_back(ShownMessage{std::move(messages[index]), std::min(level, kMaxThreadLevel - 1)});
        pushReplies(id, level + 1);
    }
    return shown;
}

void markRead(const Session& session, qint32 msgId, const QString& userName)
{
    auto query = session.newQuery();
    query->SetSQL("Update msg_state set state = 2 where msgID = " + std::to_string(msgId) +
                  " and username = " + sqlQuoted(userName));
    query->Execute();
}

qint32 drawTag() { return static_cast<qint32>(QRandomGenerator::global()->bounded(100000)); }

qint32 FindMessageID(const Session& session, const QString& subject, qint32 tag)
{
    auto query = session.newQuery();
    query->SetSQL("select msgID from req_messages where subject =" + sqlQuoted(subject) +
                  " and Hash = " + std::to_string(tag));
    query->Open();
    const qint32 id = query->RecordCount() > 0 ? query->FieldByName("msgID").AsInteger() : 0;
    query->Close();
    return id;
}

PostResult PostDiscussionMessage(const Session& session, const QString& subject, const QString& text, qint32 parentId)
{
    PostResult result;
    result.tag = drawTag();
    const std::string documentId = std::to_string(session.CurrentDocumentID);
    const std::string tag = std::to_string(result.tag);
    const std::string parent = std::to_string(parentId);
    const std::string projectId = std::to_string(session.CurrentProjectID);
    result.msgId = insertChecked(
        [&] {
            auto query = session.newQuery();
            query->SetSQL("insert into Req_messages (Subject, Name, msg, created, RequirementID, hash, ParentID, "
                          "ProjectID) values (" +
                          sqlQuoted(subject) + ", " + sqlQuoted(session.CurrentUser) + "," + sqlQuoted(text) +
                          ",now()," + documentId + "," + tag + "," + parent + "," + projectId + ")");
            query->Execute();
            // The id of this very insert: a search by (subject, tag) could find an older message.
            return static_cast<qint32>(query->InsertId());
        },
        [&]() -> std::optional<qint32> {
            // The answer was lost: the message is the one with this tag and everything the
            // insert wrote (the server's time aside).
            auto query = session.newQuery();
            query->SetSQL("select msgID from req_messages where hash = " + tag + " and RequirementID = " + documentId +
                          " and ParentID = " + parent + " and ProjectID = " + projectId +
                          " and Name = " + sqlQuoted(session.CurrentUser) + " and Subject = " + sqlQuoted(subject) +
                          " and msg = " + sqlQuoted(text) + " order by msgID desc limit 1");
            query->Open();
            std::optional<qint32> id;
            if (query->RecordCount() > 0) id = query->FieldByName("msgID").AsInteger();
            query->Close();
            return id;
        });
    const std::string flag = "Update Requirements set messages = 1 where RequirementID=" + documentId;
    if (result.msgId <= 0) {
        auto query = session.newQuery();
        query->SetSQL(flag);
        query->Execute();
        return result;
    }

    {
        // Names compare without regard to letter case, as the members' rows of the notices do.
        auto query = session.newQuery();
        query->SetSQL("select 1 as found from ProjectMembers where ProjectID = " + projectId +
                      " and upper(UserName) collate utf8mb4_bin = upper(" + sqlQuoted(session.CurrentUser) +
                      ") limit 1");
        query->Open();
        result.authorIsMember = query->RecordCount() > 0;
        query->Close();
    }
    // The document's flag travels with the notices: setting it again changes nothing.
    activitylog::notifyMembers(session, session.CurrentProjectID, session.CurrentCatagoryID, session.CurrentDocumentID,
                               result.msgId, {flag});
    return result;
}

}  // namespace vt::app::data::discussions
