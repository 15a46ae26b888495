#include "data/Discussions.h"

#include "data/SqlText.h"
#include "session/Session.h"

#include "db/TField.h"
#include "db/TmySQLQuery.h"

#include <string>

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

}  // namespace vt::app::data::discussions
