#pragma once
// Projects: the project list of the navigator. Project creation, details and membership
// statements belong here too.

#include <QStringList>

namespace vt::app {
class Session;
}

namespace vt::app::data::projects {

// Names of the projects a user sees, newest (highest ProjectID) first: every project when
// everyProject is set (administrators), otherwise those the user is a member of.
QStringList projectNames(const Session& session, const QString& userName, bool everyProject);

} // namespace vt::app::data::projects
