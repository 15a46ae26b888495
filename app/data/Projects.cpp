#include "data/Projects.h"

#include "data/SqlText.h"
#include "session/Session.h"

#include "db/TField.h"
#include "db/TmySQLQuery.h"

#include <string>

namespace vt::app::data::projects {

namespace {

// Every row's value of a text column, in the order returned.
QStringList column(const Session& session, const std::string& statement, const char* name)
{
    auto query = session.newQuery();
    query->SetSQL(statement);
    query->Open();
    QStringList values;
    const int rows = query->RecordCount();
    for (int i = 0; i < rows; ++i) {
        values << textOf(*query, name);
        query->Next();
    }
    query->Close();
    return values;
}

void execute(const Session& session, const std::string& statement)
{
    auto query = session.newQuery();
    query->SetSQL(statement);
    query->Execute();
}

}  // namespace

QStringList projectNames(const Session& session, const QString& userName, bool everyProject)
{
    if (everyProject)
        return column(session, "SELECT projects.ProjectID,projects.projectName FROM projects order by ProjectID DESC",
                      "ProjectName");
    return column(session,
                  "SELECT projects.ProjectID,projects.projectName FROM projectmembers,projects "
                  "WHERE (projectmembers.username = " +
                      sqlQuoted(userName) +
                      ") and (projects.projectid = projectmembers.projectID) order by ProjectID DESC",
                  "ProjectName");
}

qint32 projectId(const Session& session, const QString& name)
{
    auto query = session.newQuery();
    query->SetSQL("select ProjectID from Projects where projectname =" + sqlQuoted(name));
    query->Open();
    const qint32 id = query->RecordCount() > 0 ? query->FieldByName("ProjectID").AsInteger() : 0;
    query->Close();
    return id;
}

std::optional<ProjectInfo> projectInfo(const Session& session, qint32 id)
{
    auto query = session.newQuery();
    query->SetSQL("Select * from Projects where ProjectID = " + std::to_string(id));
    query->Open();
    std::optional<ProjectInfo> info;
    if (query->RecordCount() > 0)
        info =
            ProjectInfo{textOf(*query, "ProjectName"), textOf(*query, "Description"), textOf(*query, "ProjectManager")};
    query->Close();
    return info;
}

void saveProjectInfo(const Session& session, qint32 id, const QString& name, const QString& description)
{
    execute(session, "Update Projects set ProjectName = " + sqlQuoted(name) +
                         ", Description = " + sqlQuoted(description) + " where ProjectID = " + std::to_string(id));
}

void setProjectManager(const Session& session, qint32 id, const QString& manager)
{
    execute(session,
            "Update Projects set projectManager = " + sqlQuoted(manager) + " where ProjectID = " + std::to_string(id));
}

QStringList memberNames(const Session& session, qint32 projectId)
{
    return column(session,
                  "select * from ProjectMembers where projectID=" + std::to_string(projectId) + " order by username",
                  "username");
}

QStringList userNames(const Session& session)
{
    return column(session, "select * from users order by username", "username");
}

void addMember(const Session& session, qint32 projectId, const QString& userName)
{
    execute(session, "insert into ProjectMembers (UserName,ProjectID) values (" + sqlQuoted(userName) + "," +
                         std::to_string(projectId) + ")");
}

void removeMember(const Session& session, qint32 projectId, const QString& userName)
{
    execute(session, "delete from ProjectMembers where (UserName=" + sqlQuoted(userName) +
                         ") and (ProjectID=" + std::to_string(projectId) + ")");
}

}  // namespace vt::app::data::projects
