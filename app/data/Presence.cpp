#include "data/Presence.h"

#include "data/SqlText.h"
#include "session/Session.h"

#include "db/TmySQLQuery.h"

#include <string>

namespace vt::app::data::presence {

namespace {

const char* const kOnline = "lastpollrequest > (DATE_SUB(now(),INTERVAL '5' MINUTE))";

// The assignments of the editing columns. The server assigns from left to right, each seeing
// the ones before: EditingSince is decided while EditingDocument still holds the old value.
std::string editingAssignments(qint32 document)
{
    if (document <= 0) return "EditingSince=NULL,EditingDocument=NULL";
    const std::string id = std::to_string(document);
    return "EditingSince=if(EditingDocument<=>" + id + ",coalesce(EditingSince,now()),now()),EditingDocument=" + id;
}

std::vector<OnlineUser> readUsers(TmySQLQuery& query)
{
    std::vector<OnlineUser> users;
    const int rows = query.RecordCount();
    for (int i = 0; i < rows; ++i) {
        OnlineUser user;
        user.name = textOf(query, "username");
        const TField& document = query.FieldByName("EditingDocument");
        const TField& since = query.FieldByName("EditingSince");
        if (!document.IsNull() && !since.IsNull() && document.AsInteger() > 0) {
            user.editingDocument = document.AsInteger();
            user.editingSince = since.AsDateTime();
        }
        users.push_back(std::move(user));
        query.Next();
    }
    query.Close();
    return users;
}

}  // namespace

void stamp(const Session& session, const QString& userName, qint32 editingDocument)
{
    auto query = session.newQuery();
    query->SetSQL("Update Users set lastPollRequest=now()," + editingAssignments(editingDocument) +
                  " where ucase(Username)=" + sqlQuoted(userName));
    query->Execute();
}

void setEditing(const Session& session, const QString& userName, qint32 editingDocument)
{
    auto query = session.newQuery();
    query->SetSQL("Update Users set " + editingAssignments(editingDocument) +
                  " where ucase(Username)=" + sqlQuoted(userName));
    query->Execute();
}

std::vector<OnlineUser> onlineUsers(const Session& session)
{
    // The editing columns are invisible to "select *": they are named.
    auto query = session.newQuery();
    query->SetSQL(std::string("select *, EditingDocument, EditingSince from users where ") + kOnline +
                  " order by username");
    query->Open();
    return readUsers(*query);
}

QStringList usersOnline(const Session& session)
{
    QStringList names;
    for (const OnlineUser& user : onlineUsers(session))
        names << user.name;
    return names;
}

std::vector<OnlineUser> editorsOf(const Session& session, qint32 requirementId)
{
    auto query = session.newQuery();
    query->SetSQL("select Username, EditingDocument, EditingSince from users where EditingDocument = " +
                  std::to_string(requirementId) + " and " + kOnline + " order by username");
    query->Open();
    return readUsers(*query);
}

}  // namespace vt::app::data::presence
