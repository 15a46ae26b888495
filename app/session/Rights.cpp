#include "session/Rights.h"

namespace vt::app::rights {

namespace {
bool sameName(const QString& a, const QString& b) { return a.toUpper() == b.toUpper(); }
}  // namespace

bool isAdministrator(const QString& userRole) { return sameName(userRole, QStringLiteral("ADMIN")); }

bool isProjectManager(const QString& currentUser, const QString& projectManager)
{
    return !currentUser.isEmpty() && sameName(currentUser, projectManager);
}

bool isDocumentOwner(const QString& currentUser, const QString& documentOwner)
{
    return !currentUser.isEmpty() && sameName(currentUser, documentOwner);
}

bool mayManageProject(const QString& userRole, bool isProjectManager)
{
    return isAdministrator(userRole) || isProjectManager;
}

QString userAdministrationRefusal() { return QStringLiteral("You must have Admin rights to Add New Users"); }

QString loggedOffRefusal() { return QStringLiteral("You are logged off. Log in to do this."); }

}  // namespace vt::app::rights
