#pragma once
// Projects: the project list of the navigator, the lookup by name, the details of the project
// panel and the project's members.

#include <QStringList>

#include <optional>
#include <vector>

namespace vt::app {
class Session;
}

namespace vt::app::data::projects {

// Names of the projects a user sees, newest (highest ProjectID) first: every project when
// everyProject is set (administrators), otherwise those the user is a member of.
QStringList projectNames(const Session& session, const QString& userName, bool everyProject);

struct ProjectEntry {
    qint32 id = 0;
    QString name;
};
// The same projects with their ids, in the same order.
std::vector<ProjectEntry> projectList(const Session& session, const QString& userName, bool everyProject);

// The project of this name that the user may open: any project when everyProject is set
// (administrators), otherwise one the user is a member of. 0 when there is none. Names compare
// as the server compares them (without regard to case and trailing spaces).
qint32 openableProjectId(const Session& session, const QString& name, const QString& userName, bool everyProject);
// Whether the user may open the project with this id (it exists, and the user is a member
// unless everyProject is set).
bool mayOpenProject(const Session& session, qint32 id, const QString& userName, bool everyProject);
// Whether a project other than exceptId has this name, compared as the server compares names;
// the test that keeps project names unique.
bool nameTaken(const Session& session, const QString& name, qint32 exceptId);

// The id of the first project the server returns with this name; 0 when there is none.
qint32 projectId(const Session& session, const QString& name);

struct ProjectInfo {
    QString name;
    QString description;
    QString manager;
};
// The project's row; nothing when there is no such project.
std::optional<ProjectInfo> projectInfo(const Session& session, qint32 id);

// Stores name and description of the project.
void saveProjectInfo(const Session& session, qint32 id, const QString& name, const QString& description);
// Stores the project's manager as given.
void setProjectManager(const Session& session, qint32 id, const QString& manager);

// The project's member names as stored, ordered by name.
QStringList memberNames(const Session& session, qint32 projectId);
// Every account's user name, ordered by name.
QStringList userNames(const Session& session);
void addMember(const Session& session, qint32 projectId, const QString& userName);
void removeMember(const Session& session, qint32 projectId, const QString& userName);

// A template of "New Project": the menu item, the create dialog's heading and the categories
// the new project starts with, in the order they are inserted.
struct ProjectTemplate {
    QString menuText;
    QString heading;
    QStringList categories;
};
// Templates 0 (empty) to 4; any other number gives the empty one.
const ProjectTemplate& projectTemplate(int number);
constexpr int kProjectTemplates = 5;

// Stores a new project managed by `manager`, created now.
void insertProject(const Session& session, const QString& name, const QString& description, const QString& manager);

// Deletes the project with every category and every document below them. Its members and its
// activity records stay.
void deleteProject(const Session& session, qint32 projectId);

}  // namespace vt::app::data::projects
