// A project's outline read on a node of the 3-node cluster on loopback (scripts/galera-cluster.sh,
// started by the galera_app fixture) after another node wrote it: two statements whatever its
// depth, the same tree as node by node, and the session's limit of recursive steps as it was.

#include "ClusterNodes.h"
#include "TestServer.h"

#include "data/Outline.h"
#include "session/Session.h"

#include "db/DbSettings.h"
#include "db/TField.h"
#include "db/TmySQLQuery.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

using namespace vt::app;

using vt::test::clusterDir;
using vt::test::clusterPorts;
using vt::test::fileText;
using vt::test::onNode;

namespace {

std::string recursionLimit(const Session& session)
{
    auto query = session.newQuery();
    query->SetSQL("select @@max_recursive_iterations as steps");
    query->Open();
    const std::string steps = query->FieldByName("steps").AsString();
    query->Close();
    return steps;
}

}  // namespace

TEST(ClusterOutline, ADeepOutlineWrittenOnOneNodeReadsOnAnotherInTwoStatements)
{
    const std::vector<unsigned> ports = clusterPorts();
    if (ports.size() != 3) {
        if (std::system("bash " VT_SCRIPTS_DIR "/galera-cluster.sh available") != 0)
            GTEST_SKIP() << "the Galera library (Debian package galera-4) or rsync is not installed";
        FAIL() << "the galera_app fixture did not start the cluster in '" << clusterDir() << "'";
    }
    // Written on node 2, read on node 3 (another test of the fixture kills node 1). A chain of
    // 3,000 below "Top" goes past the server's default of 1,000 recursive steps; beside it two
    // documents whose parents lead round in a circle, which hang nowhere.
    onNode(2, "CREATE DATABASE vtoutline CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci");
    onNode(2, fileText(vt::test::sqlDir() + "/schema.sql") + fileText(vt::test::sqlDir() + "/initial-data.sql"),
           "vtoutline");
    onNode(2,
           "INSERT INTO Projects (ProjectID, ProjectName) VALUES (7, 'P');"
           "INSERT INTO Catagories (CatagoryID, ProjectID, CatagoryName) VALUES (3, 7, 'C'), (4, 7, 'b');"
           "INSERT INTO Requirements (RequirementID, Level, ParentID, RequirementName) VALUES (10, 2, 3, 'Top'),"
           "(11, 2, 3, 'Beside'), (12, 2, 4, 'Alone'), (20, 3, 21, 'Loop a'), (21, 3, 20, 'Loop b');"
           "INSERT INTO Requirements (RequirementID, Level, ParentID, RequirementName) SELECT 1000 + seq, 3, "
           "IF(seq = 1, 10, 999 + seq), concat('Link ', seq) FROM seq_1_to_3000",
           "vtoutline");
    // Node 3 answers once it has applied everything the cluster committed before.
    EXPECT_EQ(onNode(3, "SET SESSION wsrep_sync_wait=1; select count(*) from Requirements", "vtoutline"), "3005\n");

    Session session;
    session.connect({"vtoutline", QString("127.0.0.1:%1").arg(ports[2]), "vttest", "vttest", false, {}});
    const std::string limit = recursionLimit(session);
    int statements = 0;
    SetTraceHook([&](TraceOp op, const std::string& text) {
        if (op == TraceOp::Execute && text.rfind("SHOW", 0) != 0 && text.rfind("DESCRIBE", 0) != 0) ++statements;
    });
    const auto tree = data::outline::loadOutline(session, 7);
    SetTraceHook({});
    EXPECT_EQ(statements, 2);
    EXPECT_EQ(recursionLimit(session), limit) << "the limit is lifted for the outline's statement only";
    EXPECT_TRUE(tree == data::outline::loadOutlineByNode(session, 7));

    ASSERT_EQ(tree.size(), 2u);
    EXPECT_EQ(tree[0].record.CatagoryName, "b");
    ASSERT_EQ(tree[1].children.size(), 2u);
    EXPECT_EQ(tree[1].children[0].record.RequirementName, "Beside");
    int depth = 1;
    const data::outline::DocumentNode* at = &tree[1].children[1];
    for (; !at->children.empty(); at = &at->children.front()) {
        ASSERT_EQ(at->children.size(), 1u);
        ++depth;
    }
    EXPECT_EQ(depth, 1 + 3000);
    EXPECT_EQ(at->record.RequirementName, "Link 3000");
    onNode(2, "DROP DATABASE vtoutline");
}
