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

}  // namespace vt::app::rights
