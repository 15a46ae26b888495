#include "data/Presence.h"

#include "data/SqlText.h"
#include "session/Session.h"

#include "db/TmySQLQuery.h"

namespace vt::app::data::presence {

void stamp(const Session& session, const QString& userName)
{
    auto query = session.newQuery();
    query->SetSQL("Update Users set lastPollRequest=now() where ucase(Username)=" + sqlQuoted(userName));
    query->Execute();
}

QStringList usersOnline(const Session& session)
{
    auto query = session.newQuery();
    query->SetSQL("select * from users where lastpollrequest > "
                  "(DATE_SUB(now(),INTERVAL '5' MINUTE)) order by username");
    query->Open();
    QStringList names;
    const int rows = query->RecordCount();
    for (int i = 0; i < rows; ++i) {
        names << textOf(*query, "username");
        query->Next();
    }
    query->Close();
    return names;
}

}  // namespace vt::app::data::presence
