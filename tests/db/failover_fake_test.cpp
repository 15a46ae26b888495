// A list of servers against scripted fake servers: servers that refuse, stay silent or are
// not ready are skipped; a statement refused for want of quorum, or one whose connection is
// found dead, runs on the next server with the session's settings made again; a change whose
// answer is lost is reported as of unknown outcome, and a lost transaction as lost.

#include <gtest/gtest.h>

#include <chrono>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "FakeServer.h"
#include "db/DbErrors.h"
#include "db/DbSettings.h"
#include "db/TNativeConnect.h"
#include "db/TmySQLEngine.h"
#include "protocol/TMysqlClient.h"
#include "protocol/TMysqlResult.h"

using namespace fake;

namespace {

constexpr uint16_t NoCompress = 0xA0AD & ~32;
const GreetingOptions kPlain = [] {
    GreetingOptions o;
    o.capabilities = NoCompress;
    return o;
}();

uint32_t closedPort()
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    close(fd);
    return ntohs(a.sin_port);
}

std::string resultSet(const std::vector<std::string>& columns, const std::vector<std::vector<std::string>>& rows)
{
    uint8_t seq = 1;
    std::string s = packet(seq++, lengthCoded(columns.size()));
    for (const auto& c : columns)
        s += packet(seq++, columnPayload("", c, 253, 64));
    s += packet(seq++, eofPayload());
    for (const auto& r : rows) {
        std::string payload;
        for (const auto& v : r)
            payload += lengthCodedString(v);
        s += packet(seq++, payload);
    }
    s += packet(seq++, eofPayload());
    return s;
}

std::string readiness(const char* value) { return resultSet({"Variable_name", "Value"}, {{"wsrep_ready", value}}); }

// A node's opening: handshake, then the readiness probe answered with value ("" for a server
// that has no such status); a node that is not ready is then asked whether it is a cluster
// node at all (wsrepOn).
FakeServer& node(FakeServer& s, const char* value, const char* wsrepOn = "ON")
{
    s.handshake(kPlain).expect();
    s.send(*value ? readiness(value) : resultSet({"Variable_name", "Value"}, {}));
    if (*value && std::string(value) != "ON")
        s.expect().send(resultSet({"Variable_name", "Value"}, {{"wsrep_on", wsrepOn}}));
    return s;
}

std::string address(uint32_t port) { return "127.0.0.1:" + std::to_string(port); }

TStringList params(const std::string& hosts)
{
    return TStringList{"Host=" + hosts, "Port=3306", "TIMEOUT=1", "UID=alice", "PWD=secret"};
}

std::vector<std::string> queries(FakeServer& s)
{
    std::vector<std::string> out;
    for (const Received& r : s.received())
        if (!r.payload.empty() && r.payload[0] == 3) out.push_back(r.payload.substr(1));
    return out;
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

TEST(ServerListConnect, SkipsRefusingSilentAndNotReadyServers)
{
    FakeServer silent, notReady, ready;
    silent.pause(2500);
    node(notReady, "OFF");
    node(ready, "ON");
    silent.start();
    notReady.start();
    ready.start();
    {
        TNativeConnect c(0, false);
        const auto started = std::chrono::steady_clock::now();
        c.Connect(params(address(closedPort()) + ", " + address(silent.port()) + "," + address(notReady.port()) + "," +
                         address(ready.port())));
        // The silent server costs the connect timeout (1 s here), no more.
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(2400));
        EXPECT_EQ(c.CurrentServer(), 3u);
        EXPECT_EQ(c.PortNumber(), int(ready.port()));
        EXPECT_EQ(queries(notReady),
                  (std::vector<std::string>{"SHOW STATUS LIKE 'wsrep_ready'", "SHOW VARIABLES LIKE 'wsrep_on'"}));
    }
    silent.finish();
}

TEST(ServerListConnect, ServerThatIsNoClusterNodeIsReady)
{
    // Without cluster support there is no status; with it but switched off, the status says
    // OFF and wsrep_on says OFF as well.
    FakeServer plain, wsrepOff;
    node(plain, "");
    node(wsrepOff, "OFF", "OFF");
    plain.start();
    wsrepOff.start();
    {
        TNativeConnect c(0, false);
        c.Connect(params(address(closedPort()) + "," + address(plain.port())));
        EXPECT_EQ(c.CurrentServer(), 1u);
        TNativeConnect d(0, false);
        d.Connect(params(address(wsrepOff.port()) + "," + address(plain.port())));
        EXPECT_EQ(d.CurrentServer(), 0u);
    }
    EXPECT_EQ(queries(wsrepOff),
              (std::vector<std::string>{"SHOW STATUS LIKE 'wsrep_ready'", "SHOW VARIABLES LIKE 'wsrep_on'"}));
}

TEST(ServerListConnect, NoServerReadyNamesEach)
{
    FakeServer notReady;
    node(notReady, "OFF");
    notReady.start();
    const uint32_t refused = closedPort();
    TNativeConnect c(0, false);
    try {
        c.Connect(params(address(refused) + "," + address(notReady.port())));
        FAIL() << "connected";
    } catch (const EmySQLException& e) {
        EXPECT_EQ(e.ClientError(), 2003);
        EXPECT_NE(e.Text().find("No server of the list answered and was ready"), std::string::npos) << e.Text();
        EXPECT_NE(e.Text().find(address(refused) + ": Can't connect"), std::string::npos) << e.Text();
        EXPECT_NE(e.Text().find(address(notReady.port()) + ": not ready (wsrep_ready is OFF)"), std::string::npos)
            << e.Text();
    }
}

TEST(ServerListConnect, BadListIsRefusedBeforeConnecting)
{
    TNativeConnect c(0, false);
    try {
        c.Connect(params("db1, db2:70000"));
        FAIL() << "connected";
    } catch (const EDatabaseError& e) {
        EXPECT_NE(std::string(e.what()).find("\"db2:70000\""), std::string::npos) << e.what();
    }
}

TEST(ServerListFailover, NoQuorumMovesOnWithSessionSettingsAndSyncWait)
{
    FakeServer a, b;
    node(a, "ON")
        .expect()
        .send(packet(1, okPayload()))
        .expect()
        .send(packet(1, errorPayload(1047, "WSREP has not yet prepared node for application use")));
    node(b, "ON")
        .expect()
        .send(packet(1, okPayload()))
        .expect()
        .send(packet(1, okPayload()))
        .expect()
        .send(resultSet({"Topic"}, {{"a topic"}}));
    a.start();
    b.start();
    {
        TNativeConnect c(0, false);
        c.Connect(params(address(a.port()) + "," + address(b.port())));
        c.Query("SET NAMES utf8mb4");
        auto result = c.Query("select Topic from Requirements where RequirementID = 1");
        ASSERT_TRUE(result);
        EXPECT_EQ(result->RowCount(), 1);
        EXPECT_EQ(c.CurrentServer(), 1u);
        EXPECT_EQ(c.Failovers(), 1);
    }
    a.finish();
    b.finish();
    EXPECT_FALSE(a.failed());
    EXPECT_FALSE(b.failed());
    EXPECT_EQ(queries(b), (std::vector<std::string>{"SHOW STATUS LIKE 'wsrep_ready'", "SET SESSION wsrep_sync_wait=1",
                                                    "SET NAMES utf8mb4",
                                                    "select Topic from Requirements where RequirementID = 1"}));
}

TEST(ServerListFailover, LostAnswerOfAChangeIsUnknownUnlessRepeatable)
{
    // A hangs up after each of two changes has been sent: the increment is not run again (its
    // outcome is unknown); the assignment of a constant by key is run again on B.
    FakeServer a, b;
    node(a, "ON").expect().closeConnection();
    node(b, "ON").expect().send(packet(1, okPayload())).expect().send(packet(1, okPayload(1)));
    a.start();
    b.start();
    {
        TNativeConnect c(0, false);
        c.Connect(params(address(a.port()) + "," + address(b.port())));
        const std::string increment = "update users set Messages = Messages + 1 where UserName = 'A'";
        const std::string failed = failure(c, increment);
        EXPECT_EQ(failed.substr(0, 5), "2013 ") << failed;
        EXPECT_NE(failed.find("whether it was stored is unknown"), std::string::npos) << failed;
        // The next statement finds A gone and runs on B.
        c.Query("update Requirements set Topic = 'x' where RequirementID = 3");
        EXPECT_EQ(c.CurrentServer(), 1u);
        EXPECT_EQ(c.Client().AffectedRows(), 1u);
    }
    a.finish();
    b.finish();
    EXPECT_EQ(queries(a), (std::vector<std::string>{"SHOW STATUS LIKE 'wsrep_ready'",
                                                    "update users set Messages = Messages + 1 where UserName = 'A'"}));
    EXPECT_EQ(queries(b), (std::vector<std::string>{"SHOW STATUS LIKE 'wsrep_ready'", "SET SESSION wsrep_sync_wait=1",
                                                    "update Requirements set Topic = 'x' where RequirementID = 3"}));
}

TEST(ServerListFailover, ConnectionLostInTransactionIsReportedNotRetried)
{
    FakeServer a, b;
    constexpr uint16_t InTransaction = 1 | 2;  // in a transaction, autocommit as before
    node(a, "ON").expect().send(packet(1, okPayload(0, 0, InTransaction))).expect().closeConnection();
    node(b, "ON").expect().send(packet(1, okPayload())).expect().send(resultSet({"n"}, {{"1"}}));
    a.start();
    b.start();
    {
        TNativeConnect c(0, false);
        c.Connect(params(address(a.port()) + "," + address(b.port())));
        c.Query("START TRANSACTION");
        const std::string failed = failure(c, "update Requirements set Topic = 'x' where RequirementID = 3");
        EXPECT_NE(failed.find("lost inside a transaction"), std::string::npos) << failed;
        EXPECT_EQ(c.CurrentServer(), 0u);
        // Later statements fail the same way until the transaction is rolled back.
        EXPECT_NE(failure(c, "select 1").find("lost inside a transaction"), std::string::npos);
        c.Query("ROLLBACK");
        auto result = c.Query("select 1");
        ASSERT_TRUE(result);
        EXPECT_EQ(c.CurrentServer(), 1u);
    }
    a.finish();
    b.finish();
    EXPECT_EQ(queries(b), (std::vector<std::string>{"SHOW STATUS LIKE 'wsrep_ready'", "SET SESSION wsrep_sync_wait=1",
                                                    "select 1"}));
}

TEST(ServerListFailover, ConflictIsRetriedOnTheSameServer)
{
    FakeServer a;
    node(a, "ON")
        .expect()
        .send(packet(1, errorPayload(1213, "Deadlock found when trying to get lock; try restarting transaction")))
        .expect()
        .send(packet(1, errorPayload(1213, "Deadlock found when trying to get lock; try restarting transaction")))
        .expect()
        .send(packet(1, okPayload(1)));
    a.start();
    {
        TNativeConnect c(0, false);
        c.Connect(params(address(a.port()) + ",127.0.0.1:" + std::to_string(closedPort())));
        c.Query("update Requirements set Topic = 'x' where RequirementID = 3");
        EXPECT_EQ(c.Client().AffectedRows(), 1u);
        EXPECT_EQ(c.Failovers(), 0);
    }
    a.finish();
    EXPECT_EQ(queries(a).size(), 4u);
}

}  // namespace
