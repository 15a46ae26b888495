#include "data/Projects.h"

#include "data/SqlText.h"
#include "session/Session.h"

#include "db/TmySQLQuery.h"

namespace vt::app::data::projects {

QStringList projectNames(const Session& session, const QString& userName, bool everyProject)
{
    auto query = session.newQuery();
    if (everyProject)
        query->SetSQL("SELECT projects.ProjectID,projects.projectName FROM projects order by ProjectID DESC");
    else
        query->SetSQL("SELECT projects.ProjectID,projects.projectName FROM projectmembers,projects "
                      "WHERE (projectmembers.username = " + sqlQuoted(userName)
                      + ") and (projects.projectid = projectmembers.projectID) order by ProjectID DESC");
    query->Open();
    QStringList names;
    const int rows = query->RecordCount();
    for (int i = 0; i < rows; ++i) {
        names << textOf(*query, "ProjectName");
        query->Next();
    }
    query->Close();
    return names;
}

} // namespace vt::app::data::projects
