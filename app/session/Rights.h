#pragma once
// The role rules, in one place. Names and roles are compared after upper-casing both sides.
// Each command tests its rule when it runs and shows its own refusal message.

#include <QString>

namespace vt::app::rights {

// The role "ADMIN" (in any letter case) marks an administrator.
bool isAdministrator(const QString& userRole);

// The user is the project's manager (Projects.ProjectManager).
bool isProjectManager(const QString& currentUser, const QString& projectManager);

// The user is the document's owner (the owner shown on the document's Details page).
bool isDocumentOwner(const QString& currentUser, const QString& documentOwner);

// Administrator or manager of the current project: deleting the project or its categories,
// managing its members.
bool mayManageProject(const QString& userRole, bool isProjectManager);

// The refusal of the user administration commands to anyone but an administrator.
QString userAdministrationRefusal();
// The refusal of a command that acts for the user, reached after Log Off.
QString loggedOffRefusal();

}  // namespace vt::app::rights
