// Failover on a real 3-node cluster on loopback (scripts/galera-cluster.sh, started by the
// galera_start fixture). The cases run in this order in one process, as each leaves the
// cluster smaller: node 1 frozen between commands (stopped without closing anything; the
// client leaves it within the ping's wait, then it is resumed and rejoins); node 1 killed
// between commands (reads and saves go on on node 2); a change
// whose connection dies after sending (the outcome is reported unknown, the row checked);
// node 2 killed inside a transaction (reported lost), which leaves node 3 without quorum,
// and a node without quorum is skipped like one that does not answer.

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "db/DbSettings.h"
#include "db/TNativeConnect.h"
#include "db/TmySQLEngine.h"
#include "protocol/TMysqlClient.h"
#include "protocol/TMysqlResult.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string clusterDir() { return std::getenv("VT_GALERA_DIR") ? std::getenv("VT_GALERA_DIR") : ""; }

std::vector<unsigned> clusterPorts()
{
    std::ifstream in(clusterDir() + "/ports");
    std::vector<unsigned> ports;
    for (unsigned p; in >> p;)
        ports.push_back(p);
    return ports;
}

std::string node(unsigned port) { return "127.0.0.1:" + std::to_string(port); }

TStringList params(const std::string& hosts, const std::string& database = "")
{
    return TStringList{"Host=" + hosts, "Port=3306",  "TIMEOUT=30",
                       "UID=vttest",    "PWD=vttest", "DatabaseName=" + database};
}

void signalNode(int n, int signal)
{
    std::ifstream in(clusterDir() + "/n" + std::to_string(n) + ".pid");
    long pid = 0;
    ASSERT_TRUE(in >> pid) << "no pid file of node " << n;
    ASSERT_EQ(::kill(pid_t(pid), signal), 0);
}

// Waits until every thread of node n is stopped: a SIGSTOP reaches a process's threads one by
// one, and a thread still running could answer one more command.
bool nodeStopped(int n)
{
    std::ifstream in(clusterDir() + "/n" + std::to_string(n) + ".pid");
    long pid = 0;
    if (!(in >> pid)) return false;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    for (int attempt = 0; attempt < 200; ++attempt) {
        bool all = true;
        for (const auto& task : std::filesystem::directory_iterator(tasks)) {
            std::ifstream stat(task.path() / "stat");
            std::string line;
            std::getline(stat, line);
            const size_t close = line.rfind(')');
            if (close == std::string::npos || close + 2 >= line.size() ||
                (line[close + 2] != 'T' && line[close + 2] != 't'))
                all = false;
        }
        if (all) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

void killNode(int n)
{
    signalNode(n, SIGKILL);
    std::remove((clusterDir() + "/n" + std::to_string(n) + ".pid").c_str());
}

std::string value(TNativeConnect& c, const std::string& sql)
{
    std::unique_ptr<TMysqlResult> r = c.Query(sql);
    if (!r || r->RowCount() == 0) return "(no row)";
    r->Seek(0);
    const char* v = r->FieldValue(0);
    return v ? v : "NULL";
}

std::string failure(TNativeConnect& c, const std::string& sql)
{
    try {
        c.Query(sql);
    } catch (const EmySQLException& e) {
        return std::to_string(e.ClientError()) + " " + e.Text();
    }
    return "no failure";
}

long long msSince(Clock::time_point t)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

class GaleraCluster : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_ports = clusterPorts();
        if (m_ports.size() != 3) {
            if (std::system("bash " VT_SCRIPTS_DIR "/galera-cluster.sh available") != 0)
                GTEST_SKIP() << "the Galera library (Debian package galera-4) or rsync is not installed: "
                                "no cluster to test failover on";
            FAIL() << "the galera_start fixture did not start the cluster in '" << clusterDir() << "'";
        }
        m_list = node(m_ports[0]) + "," + node(m_ports[1]) + "," + node(m_ports[2]);
    }
    std::vector<unsigned> m_ports;
    std::string m_list;
};

TEST_F(GaleraCluster, NodeFrozenBetweenCommandsIsLeftWithinThePingWait)
{
    {
        TNativeConnect setup(0, false);
        setup.Connect(params(m_list));
        setup.Query("create database if not exists galtest");
        setup.Query("create table galtest.frozen (id int primary key, n int not null) engine=InnoDB");
        setup.Query("insert into galtest.frozen values (1, 10), (2, 20)");
    }
    TNativeConnect c(0, false);
    c.Connect(params(m_list, "galtest"));
    c.Client().SetPingAfterIdle(0);  // the next command comes after a pause: it is pinged
    ASSERT_EQ(c.CurrentServer(), 0u);
    EXPECT_EQ(value(c, "select n from frozen where id = 1"), "10");

    // Stopped, node 1 neither answers nor closes: its connections and its port stay open.
    signalNode(1, SIGSTOP);
    ASSERT_TRUE(nodeStopped(1));
    auto started = Clock::now();
    EXPECT_EQ(value(c, "select n from frozen where id = 2"), "20");
    const long long readMs = msSince(started);
    EXPECT_EQ(c.CurrentServer(), 1u);
    started = Clock::now();
    c.Query("update frozen set n = n + 1 where id = 2");
    const long long saveMs = msSince(started);
    std::printf("failover: node 1 frozen; the next read answered on node 2 after %lld ms, a save after %lld ms\n",
                readMs, saveMs);
    // The ping's 2 s (the cluster's pause runs meanwhile), not the 20 s read timeout.
    EXPECT_LT(readMs, 3500);
    EXPECT_LT(saveMs, 1500);
    EXPECT_EQ(value(c, "select n from frozen where id = 2"), "21");

    // Resumed, node 1 finds itself out of the group and rejoins; the cases below need it.
    signalNode(1, SIGCONT);
    TNativeConnect first(0, false);
    std::string size, ready;
    started = Clock::now();
    do {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        try {
            if (!first.IsOpen()) first.Connect(params(node(m_ports[0])));
            size = value(first, "select variable_value from information_schema.global_status "
                                "where variable_name = 'wsrep_cluster_size'");
            ready = value(first, "select variable_value from information_schema.global_status "
                                 "where variable_name = 'wsrep_ready'");
        } catch (const std::exception&) {
            size.clear();
        }
    } while ((size != "3" || ready != "ON") && msSince(started) < 60000);
    std::printf("failover: node 1 resumed; it was back in the cluster after %lld ms\n", msSince(started));
    ASSERT_EQ(size, "3") << "node 1 did not rejoin";
    ASSERT_EQ(ready, "ON");
    first.Query("SET SESSION wsrep_sync_wait=1");
    EXPECT_EQ(value(first, "select n from galtest.frozen where id = 2"), "21");
}

TEST_F(GaleraCluster, NodeKilledBetweenCommandsReadsAndSavesGoOnOnTheNext)
{
    {
        TNativeConnect setup(0, false);
        setup.Connect(params(m_list));
        setup.Query("create database if not exists galtest");
        setup.Query("create table galtest.t (id int primary key, n int not null, note varchar(40)) engine=InnoDB");
        setup.Query("insert into galtest.t values (1, 10, 'first'), (2, 20, 'second'), (3, 30, 'third')");
    }
    TNativeConnect c(0, false);
    c.Connect(params(m_list, "galtest"));
    c.Query("SET NAMES utf8mb4");
    ASSERT_EQ(c.CurrentServer(), 0u);
    EXPECT_EQ(value(c, "select note from t where id = 1"), "first");

    killNode(1);
    auto started = Clock::now();
    EXPECT_EQ(value(c, "select note from t where id = 2"), "second");
    const long long readMs = msSince(started);
    EXPECT_EQ(c.CurrentServer(), 1u);
    EXPECT_EQ(c.Failovers(), 1);
    // The session's settings came along, and reads wait for what the cluster committed.
    EXPECT_EQ(value(c, "select @@session.wsrep_sync_wait"), "1");
    EXPECT_EQ(value(c, "select @@session.character_set_client"), "utf8mb4");

    started = Clock::now();
    c.Query("update t set note = 'saved' where id = 1");
    const long long saveMs = msSince(started);
    std::printf("failover: node 1 killed; the next read answered on node 2 after %lld ms, a save after %lld ms\n",
                readMs, saveMs);
    // The client moves at once (a refused connect returns at once); the read on the new node
    // then waits (wsrep_sync_wait) until the cluster has declared node 1 lost: about 1.3 s
    // with the test cluster's group timeouts, far below the read timeout. The bound leaves
    // room for a loaded machine and fails when the client waits out a connect timeout (4 s).
    EXPECT_LT(readMs, 3500);

    TNativeConnect other(0, false);
    other.Connect(params(node(m_ports[2]), "galtest"));
    other.Query("SET SESSION wsrep_sync_wait=1");
    EXPECT_EQ(value(other, "select note from t where id = 1"), "saved");
}

TEST_F(GaleraCluster, ChangeWhoseConnectionDiesAfterSendingHasUnknownOutcome)
{
    TNativeConnect c(0, false);
    c.Connect(params(m_list, "galtest"));
    ASSERT_EQ(c.CurrentServer(), 1u);  // node 1 is gone
    const std::string id = value(c, "select connection_id()");

    // Another session holds the row, so the change waits on the server once sent; then the
    // client's connection ends, as when its node dies.
    TNativeConnect holder(0, false);
    holder.Connect(params(node(m_ports[1]), "galtest"));
    holder.Query("start transaction");
    holder.Query("select n from t where id = 3 for update");
    std::thread killer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        TNativeConnect admin(0, false);
        admin.Connect(params(node(m_ports[1])));
        admin.Query("kill connection " + id);
    });
    const std::string failed = failure(c, "update t set n = n + 1 where id = 3");
    killer.join();
    holder.Query("rollback");
    EXPECT_EQ(failed.substr(0, 5), "2013 ") << failed;
    EXPECT_NE(failed.find("whether it was stored is unknown"), std::string::npos) << failed;
    // It was not run a second time: the row holds its first value, and the next command works.
    EXPECT_EQ(value(c, "select n from t where id = 3"), "30");
}

TEST_F(GaleraCluster, NodeKilledInTransactionIsReportedLostAndNodeWithoutQuorumIsSkipped)
{
    TNativeConnect c(0, false);
    c.Connect(params(m_list, "galtest"));
    ASSERT_EQ(c.CurrentServer(), 1u);
    TNativeConnect onThird(0, false);
    onThird.Connect(params(node(m_ports[2]), "galtest"));

    c.Query("start transaction");
    c.Query("update t set n = 21 where id = 2");
    killNode(2);
    const std::string failed = failure(c, "update t set n = 22 where id = 2");
    EXPECT_NE(failed.find("lost inside a transaction"), std::string::npos) << failed;
    EXPECT_EQ(c.CurrentServer(), 1u);
    c.Query("rollback");

    // Node 3 alone has no quorum: it still answers, but is not ready and refuses tables.
    const auto started = Clock::now();
    std::string ready;
    do {
        std::unique_ptr<TMysqlResult> r = onThird.Query("show status like 'wsrep_ready'");
        r->Seek(0);
        ready = r->FieldValue(1);
    } while (ready == "ON" && msSince(started) < 15000 &&
             (std::this_thread::sleep_for(std::chrono::milliseconds(200)), true));
    ASSERT_EQ(ready, "OFF");
    EXPECT_EQ(value(onThird, "select 1"), "1");
    EXPECT_NE(failure(onThird, "select n from t where id = 2").find("1047"), std::string::npos);

    const std::string none = failure(c, "select n from t where id = 2");
    EXPECT_NE(none.find(node(m_ports[2]) + ": not ready (wsrep_ready is OFF)"), std::string::npos) << none;
    TNativeConnect fresh(0, false);
    try {
        fresh.Connect(params(m_list, "galtest"));
        ADD_FAILURE() << "connected to a node without quorum";
    } catch (const EmySQLException& e) {
        EXPECT_NE(e.Text().find(node(m_ports[2]) + ": not ready"), std::string::npos) << e.Text();
    }
}

}  // namespace
