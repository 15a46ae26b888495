#include "data/Projects.h"

#include "data/Outline.h"
#include "data/SqlText.h"
#include "session/Session.h"
#include "session/TextCodec.h"

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

std::string projectListSql(const QString& userName, bool everyProject)
{
    if (everyProject) return "SELECT projects.ProjectID,projects.projectName FROM projects order by ProjectID DESC";
    return "SELECT projects.ProjectID,projects.projectName FROM projectmembers,projects "
           "WHERE (projectmembers.username = " +
           sqlQuoted(userName) + ") and (projects.projectid = projectmembers.projectID) order by ProjectID DESC";
}

// Whether the statement returns a row.
bool found(const Session& session, const std::string& statement)
{
    auto query = session.newQuery();
    query->SetSQL(statement);
    query->Open();
    const bool any = query->RecordCount() > 0;
    query->Close();
    return any;
}

}  // namespace

QStringList projectNames(const Session& session, const QString& userName, bool everyProject)
{
    return column(session, projectListSql(userName, everyProject), "ProjectName");
}

std::vector<ProjectEntry> projectList(const Session& session, const QString& userName, bool everyProject)
{
    auto query = session.newQuery();
    query->SetSQL(projectListSql(userName, everyProject));
    query->Open();
    std::vector<ProjectEntry> entries;
    const int rows = query->RecordCount();
    for (int i = 0; i < rows; ++i) {
        entries.push_back({query->FieldByName("ProjectID").AsInteger(), textOf(*query, "ProjectName")});
        query->Next();
    }
    query->Close();
    return entries;
}

qint32 openableProjectId(const Session& session, const QString& name, const QString& userName, bool everyProject)
{
    if (everyProject) return projectId(session, name);
    auto query = session.newQuery();
    query->SetSQL("select projects.ProjectID from projectmembers,projects where (projects.projectname =" +
                  sqlQuoted(name) + ") and (projectmembers.username = " + sqlQuoted(userName) +
                  ") and (projects.projectid = projectmembers.projectID)");
    query->Open();
    const qint32 id = query->RecordCount() > 0 ? query->FieldByName("ProjectID").AsInteger() : 0;
    query->Close();
    return id;
}

bool mayOpenProject(const Session& session, qint32 id, const QString& userName, bool everyProject)
{
    if (id <= 0) return false;
    if (everyProject) return found(session, "select ProjectID from Projects where ProjectID = " + std::to_string(id));
    return found(session, "select projects.ProjectID from projectmembers,projects where (projects.ProjectID = " +
                              std::to_string(id) + ") and (projectmembers.username = " + sqlQuoted(userName) +
                              ") and (projects.projectid = projectmembers.projectID)");
}

bool nameTaken(const Session& session, const QString& name, qint32 exceptId)
{
    return found(session, "select ProjectID from Projects where (projectname =" + sqlQuoted(name) +
                              ") and (ProjectID <> " + std::to_string(exceptId) + ")");
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

const ProjectTemplate& projectTemplate(int number)
{
    // The runs of spaces inside some names are part of them: they decide the order in which
    // the outline, sorted by name, shows the categories.
    static const ProjectTemplate templates[kProjectTemplates] = {
        {QStringLiteral("Empty Project"), QStringLiteral("Create a new Empty Project:"), {}},
        {QStringLiteral("Business Plan "),
         QStringLiteral("Create a new Business Plan:"),
         {QStringLiteral("1.0 Executive Summary"), QStringLiteral("1.1   Highlights"), QStringLiteral("1.2   Mission"),
          QStringLiteral("1.3   Keys to Success"), QStringLiteral("2.0 Objectives"),
          QStringLiteral("3.0 Company Summary"), QStringLiteral("4.0 Products & Services"),
          QStringLiteral("5.0 Market Analysis Summary"), QStringLiteral("6.0 Management Summary"),
          QStringLiteral("7.0 Financial Plan"), QStringLiteral("Suggestion Box")}},
        {QStringLiteral("Concept - Brainstorming"),
         QStringLiteral("Create a new Concept Plan:"),
         {QStringLiteral("1. Executive Summary"), QStringLiteral("2. Objectives"), QStringLiteral("3. Concept"),
          QStringLiteral("FeedBack - Discussions")}},
        {QStringLiteral("Marketing Plan"),
         QStringLiteral("Create a new Marketing:"),
         {QStringLiteral("1. Executive Summary"), QStringLiteral("2. Situation Analysis"),
          QStringLiteral("3. Marketing Strategy"), QStringLiteral("4. Financials, Budgets & Forcasts"),
          QStringLiteral("5. Controls"), QStringLiteral("Suggestion Box")}},
        {QStringLiteral("Software Project"),
         QStringLiteral("Create a new Software Project Plan:"),
         {QStringLiteral("1. Business Summary"), QStringLiteral("1.1    Highlights"),
          QStringLiteral("1.2    Product Objectives"), QStringLiteral("2. User Requirements"),
          QStringLiteral("3. Functional Requirements"), QStringLiteral("4. Design Requirements"),
          QStringLiteral("5. Tasks"), QStringLiteral("6. Test Scenarios"), QStringLiteral("Information Technology"),
          QStringLiteral("Suggestion Box")}},
    };
    return templates[number >= 0 && number < kProjectTemplates ? number : 0];
}

void insertProject(const Session& session, const QString& name, const QString& description, const QString& manager)
{
    auto query = session.newQuery();
    query->SetSQL("insert into Projects (ProjectName, Description, createdate, ProjectManager) "
                  "\r\nvalues (:Name, :Description, :created, :ProjectManager)");
    query->ParamByName("Name").SetAsString(bytesFromText(name));
    query->ParamByName("Description").SetAsMemo(bytesFromText(description));
    query->ParamByName("created").SetAsDateTime(currentDateTime());
    query->ParamByName("ProjectManager").SetAsString(bytesFromText(manager));
    query->Execute();
}

void deleteProject(const Session& session, qint32 projectId)
{
    for (qint32 category : outline::categoryIds(session, projectId))
        outline::deleteSubDocuments(session, outline::Below::Category, category);
    execute(session, "delete from Catagories where ProjectID = " + std::to_string(projectId));
    execute(session, "delete from Projects where ProjectID = " + std::to_string(projectId));
}

}  // namespace vt::app::data::projects
