// A discussion message posted through the program's data module on a 3-node cluster on
// loopback (scripts/galera-cluster.sh, started by the galera_app fixture), while the node the
// program is connected to dies: the node runs the insert, and is killed before its answer
// reaches the program. The data module finds the message again on the next node and ends with
// it stored exactly once, every member notified once.

#include "CutProxy.h"
#include "ClusterNodes.h"
#include "TestServer.h"

#include "data/Discussions.h"
#include "session/Session.h"

#include "db/TField.h"
#include "db/TmySQLQuery.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>

using namespace vt::app;
using vt::test::CutProxy;

using vt::test::clusterDir;
using vt::test::clusterPorts;
using vt::test::fileText;
using vt::test::onNode;

namespace {

void killNode(int n)
{
    const std::string file = clusterDir() + "/n" + std::to_string(n) + ".pid";
    long pid = 0;
    std::ifstream(file) >> pid;
    if (pid > 0) ::kill(pid_t(pid), SIGKILL);
    std::remove(file.c_str());
}

}  // namespace

TEST(ClusterPost, NodeKilledAfterRunningThePostEndsWithTheMessageStoredOnce)
{
    const std::vector<unsigned> ports = clusterPorts();
    if (ports.size() != 3) {
        if (std::system("bash " VT_SCRIPTS_DIR "/galera-cluster.sh available") != 0)
            GTEST_SKIP() << "the Galera library (Debian package galera-4) or rsync is not installed";
        FAIL() << "the galera_app fixture did not start the cluster in '" << clusterDir() << "'";
    }
    onNode(1, "CREATE DATABASE vtcluster CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci");
    onNode(1, fileText(vt::test::sqlDir() + "/schema.sql") + fileText(vt::test::sqlDir() + "/initial-data.sql"),
           "vtcluster");
    onNode(1,
           "INSERT INTO Projects (ProjectID, ProjectName) VALUES (7, 'P');"
           "INSERT INTO Catagories (CatagoryID, ProjectID, CatagoryName) VALUES (3, 7, 'C');"
           "INSERT INTO Requirements (RequirementID, Level, ParentID, RequirementName) VALUES (10, 2, 3, 'D');"
           "INSERT INTO ProjectMembers (UserName, ProjectID) VALUES ('ALICE', 7), ('BOB', 7)",
           "vtcluster");

    // Node 1 is reached through the proxy, which lets the insert run there and kills the node
    // once its answer is in, before the program reads it.
    CutProxy proxy(static_cast<uint16_t>(ports[0]));
    ASSERT_NE(proxy.port(), 0);
    Session session;
    session.connect({"vtcluster",
                     QString("127.0.0.1:%1,127.0.0.1:%2,127.0.0.1:%3").arg(proxy.port()).arg(ports[1]).arg(ports[2]),
                     "vttest", "vttest"});
    session.CurrentUser = "ALICE";
    session.CurrentProjectID = 7;
    session.CurrentCatagoryID = 3;
    session.CurrentDocumentID = 10;
    ASSERT_EQ(data::discussions::threads(session, 10, "ALICE").size(), 0u);

    proxy.Arm("insert into Req_messages", CutProxy::Cut::AfterAnswer, [] { killNode(1); });
    const auto started = std::chrono::steady_clock::now();
    const auto posted = data::discussions::PostDiscussionMessage(session, "Bericht", "it's done", 0);
    const long long ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count();
    std::printf("failover: node 1 killed after running a post; the post ended on node 2 after %lld ms\n", ms);
    EXPECT_EQ(proxy.Cuts(), 1);
    {
        auto query = session.newQuery();
        query->SetSQL("select @@port as port");
        query->Open();
        EXPECT_EQ(query->FieldByName("port").AsInteger(), int(ports[1])) << "the post did not end on node 2";
    }

    // Read on node 3, which waits for everything the cluster has committed.
    const std::string wait = "SET SESSION wsrep_sync_wait=1;";
    EXPECT_EQ(onNode(3, wait + "select msgID, Subject, hash from Req_messages", "vtcluster"),
              std::to_string(posted.msgId) + "\tBericht\t" + std::to_string(posted.tag) + "\n");
    EXPECT_EQ(onNode(3,
                     wait + "select username, count(*) from msg_state where msgID = " + std::to_string(posted.msgId) +
                         " group by username order by username",
                     "vtcluster"),
              "ALICE\t1\nBOB\t1\n");
    const auto shown = data::discussions::threads(session, 10, "ALICE");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].msgID, posted.msgId);
}
