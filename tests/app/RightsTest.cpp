// The role rules: administrator, project manager, document owner, and who may manage a project.

#include "session/Rights.h"

#include <gtest/gtest.h>

using namespace vt::app;

TEST(Rights, NamesAndRolesCompareAfterUpperCasing)
{
    enum Rule { Administrator, ProjectManager, DocumentOwner };
    struct Case {
        Rule rule;
        const char* user;   // the role for Administrator, the current user otherwise
        const char* other;  // the project's manager or the document's owner
        bool allowed;
    };
    const Case cases[] = {
        {Administrator, "ADMIN", "", true},
        {Administrator, "admin", "", true},  // stored in lower case: still an administrator
        {Administrator, "Admin", "", true},
        {Administrator, "USER", "", false},
        {Administrator, "", "", false},
        {Administrator, "ADMIN ", "", false},  // no trimming: the role is compared whole
        {Administrator, "ADMINISTRATOR", "", false},
        {ProjectManager, "BOB", "BOB", true},
        {ProjectManager, "BOB", "bob", true},      // manager stored in lower case
        {ProjectManager, "CHLOÉ", "chloé", true},  // upper-casing beyond ASCII
        {ProjectManager, "BOB", "BOBBY", false},
        {ProjectManager, "ADMIN", "BOB", false},  // administrators are not managers by name
        {ProjectManager, "", "", false},          // nobody logged in manages nothing
        {DocumentOwner, "ALICE", "alice", true},
        {DocumentOwner, "ALICE", "BOB", false},
        {DocumentOwner, "", "", false},
    };
    for (const Case& c : cases) {
        const QString user = QString::fromUtf8(c.user), other = QString::fromUtf8(c.other);
        bool allowed = false;
        switch (c.rule) {
        case Administrator: allowed = rights::isAdministrator(user); break;
        case ProjectManager: allowed = rights::isProjectManager(user, other); break;
        case DocumentOwner: allowed = rights::isDocumentOwner(user, other); break;
        }
        EXPECT_EQ(allowed, c.allowed) << c.rule << " '" << c.user << "' '" << c.other << "'";
    }
}

TEST(Rights, ProjectIsManagedByAdministratorsAndItsManager)
{
    struct Case {
        const char* role;
        bool manager;
        bool allowed;
    };
    const Case cases[] = {{"USER", false, false}, {"USER", true, true}, {"admin", false, true}, {"ADMIN", true, true}};
    for (const Case& c : cases)
        EXPECT_EQ(rights::mayManageProject(QString::fromUtf8(c.role), c.manager), c.allowed)
            << c.role << " " << c.manager;
}
