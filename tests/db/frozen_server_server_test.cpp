// A list of two servers whose first stops answering without closing anything (a frozen proxy
// in front of the test server, standing for a stopped process, a machine switched off or a
// cut cable), the second being the test server itself. A statement preceded by a ping finds
// the silence within the ping's short wait and runs on the second server; one sent without a
// ping waits out the read timeout, then a change reports its outcome unknown and a read moves
// on. The command after that goes straight to the second server, and a pipelined batch of
// which nothing was sent runs whole on the second server. The figures are printed.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "CutProxy.h"
#include "TestServer.h"
#include "db/DbErrors.h"
#include "db/TNativeConnect.h"
#include "db/TmySQLEngine.h"
#include "protocol/TMysqlClient.h"
#include "protocol/TMysqlResult.h"

using vt::test::CutProxy;

namespace {

using Clock = std::chrono::steady_clock;

long long msSince(Clock::time_point t)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
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

class FrozenServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_db = vt::test::freshDatabase("vt_frozen");
        sql("CREATE TABLE t (id INT PRIMARY KEY, n INT NOT NULL) ENGINE=InnoDB;"
            "INSERT INTO t VALUES (1, 10), (2, 20), (3, 30), (4, 40)");
        m_proxy = std::make_unique<CutProxy>(static_cast<uint16_t>(vt::test::testServer().port));
        ASSERT_NE(m_proxy->port(), 0);
    }

    std::string sql(const std::string& statement) { return vt::test::runSql(statement, m_db); }

    // Connected through the proxy first; timeout is the TIMEOUT setting (the read timeout of a
    // list is at most 20 s, the ping's at most 2 s).
    std::unique_ptr<TNativeConnect> connect(int timeout)
    {
        const vt::test::TestServer& server = vt::test::testServer();
        auto c = std::make_unique<TNativeConnect>(0, false);
        c->Connect(TStringList{"Host=127.0.0.1:" + std::to_string(m_proxy->port()) +
                                   ",127.0.0.1:" + std::to_string(server.port),
                               "Port=3306", "TIMEOUT=" + std::to_string(timeout), "UID=" + server.user,
                               "PWD=" + server.password, "DatabaseName=" + m_db});
        c->Query("SET NAMES utf8mb4");
        EXPECT_EQ(c->CurrentServer(), 0u);
        return c;
    }

    std::string m_db;
    std::unique_ptr<CutProxy> m_proxy;
};

TEST_F(FrozenServer, PingedStatementRunsOnTheNextServerWithinThePingWait)
{
    // The list's full read timeout (20 s): only the ping's wait is spent on the frozen server.
    struct Case {
        const char* name;
        const char* statement;
        const char* check;  // what the row holds afterwards: a change done once
        const char* expected;
    } cases[] = {
        {"read", "select n from t where id = 1", "select n from t where id = 1", "10"},
        {"change", "update t set n = n + 1 where id = 2", "select n from t where id = 2", "21"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        std::unique_ptr<TNativeConnect> c = connect(30);
        c->Client().SetPingAfterIdle(0);  // a ping before every statement
        m_proxy->Freeze(true);
        const auto started = Clock::now();
        c->Query(k.statement);
        const long long ms = msSince(started);
        std::printf("frozen server: a pinged %s answered on the next server after %lld ms\n", k.name, ms);
        EXPECT_GE(ms, 1500);  // the ping's wait, not a refusal
        EXPECT_LT(ms, 3000);
        EXPECT_EQ(c->CurrentServer(), 1u);
        EXPECT_EQ(c->Failovers(), 1);
        EXPECT_EQ(value(*c, "select @@session.character_set_client"), "utf8mb4");
        EXPECT_EQ(value(*c, k.check), k.expected);
        m_proxy->Freeze(false);
    }
}

TEST_F(FrozenServer, NextCommandASecondAfterTheLastAnswerIsPingedWithTheProgramsSettings)
{
    // The program's idle window (5 s for one server) is 1 s with a list: a user's next command
    // is pinged and leaves the frozen server within the ping's wait.
    std::unique_ptr<TNativeConnect> c = connect(30);
    EXPECT_EQ(c->Client().PingAfterIdle(), 1000);
    EXPECT_EQ(value(*c, "select n from t where id = 1"), "10");
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    m_proxy->Freeze(true);
    const auto started = Clock::now();
    EXPECT_EQ(value(*c, "select n from t where id = 2"), "20");
    const long long ms = msSince(started);
    std::printf("frozen server: the next command 1.1 s after the last answer answered after %lld ms\n", ms);
    EXPECT_LT(ms, 3000);
    EXPECT_EQ(c->CurrentServer(), 1u);
}

TEST_F(FrozenServer, PipelinedBatchOfWhichNothingWasSentRunsWholeOnTheNextServer)
{
    // As a document save starts: the transaction's start and its first change in one batch.
    std::unique_ptr<TNativeConnect> c = connect(30);
    c->Client().SetPingAfterIdle(0);
    m_proxy->Freeze(true);
    const auto started = Clock::now();
    const std::vector<TStatementOutcome> outcomes =
        c->RunBatch({"START TRANSACTION", "update t set n = n + 1 where id = 1", "COMMIT"});
    const long long ms = msSince(started);
    std::printf("frozen server: a pipelined batch ran on the next server after %lld ms\n", ms);
    ASSERT_EQ(outcomes.size(), 3u);
    for (const TStatementOutcome& o : outcomes)
        EXPECT_TRUE(o.ok) << o.errorCode << " " << o.errorText;
    EXPECT_EQ(outcomes[1].rowsAffected, 1u);
    EXPECT_LT(ms, 3000);
    EXPECT_EQ(c->CurrentServer(), 1u);
    EXPECT_EQ(sql("select n from t where id = 1"), "11\n");
}

TEST_F(FrozenServer, UnpingedStatementWaitsTheReadTimeoutThenTheNextCommandGoesOnAtOnce)
{
    // Sent moments after an answer, a statement goes without a ping and waits the read
    // timeout (3 s here). A change then has an unknown outcome and is not run again; a read
    // runs on the next server. The command after it does not wait on the frozen server again.
    struct Case {
        const char* name;
        const char* statement;
        bool outcomeUnknown;
    } cases[] = {
        {"change", "update t set n = n + 1 where id = 3", true},
        {"read", "select n from t where id = 3", false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        std::unique_ptr<TNativeConnect> c = connect(3);
        c->Client().SetPingAfterIdle(60000);
        EXPECT_EQ(value(*c, "select 1"), "1");
        m_proxy->Freeze(true);
        auto started = Clock::now();
        const std::string failed = failure(*c, k.statement);
        const long long ms = msSince(started);
        if (k.outcomeUnknown) {
            EXPECT_EQ(failed.substr(0, 5), "2013 ") << failed;
            EXPECT_NE(failed.find("whether it was stored is unknown"), std::string::npos) << failed;
            EXPECT_EQ(c->LastFailureKind(), FailureKind::OutcomeUnknown);
            EXPECT_EQ(c->CurrentServer(), 0u);
        } else {
            EXPECT_EQ(failed, "no failure");
            EXPECT_EQ(c->CurrentServer(), 1u);
        }
        EXPECT_GE(ms, 2500);
        EXPECT_LT(ms, 4500);
        started = Clock::now();
        // The frozen server never passed the change on, and it was not run a second time.
        EXPECT_EQ(value(*c, "select n from t where id = 3"), "30");
        const long long nextMs = msSince(started);
        std::printf("frozen server: an unpinged %s failed or moved on after %lld ms; the next read answered "
                    "after %lld ms\n",
                    k.name, ms, nextMs);
        EXPECT_LT(nextMs, 1000);  // no connect timeout spent on the frozen server
        EXPECT_EQ(c->CurrentServer(), 1u);
        EXPECT_EQ(c->Failovers(), 1);
        // The proxy's connection is dropped with the test; the frozen statement never runs.
        m_proxy = std::make_unique<CutProxy>(static_cast<uint16_t>(vt::test::testServer().port));
        EXPECT_EQ(sql("select n from t where id = 3"), "30\n");
    }
}

TEST_F(FrozenServer, TransactionOnAFrozenServerIsReportedLostWithinThePingWait)
{
    std::unique_ptr<TNativeConnect> c = connect(30);
    c->Client().SetPingAfterIdle(0);
    c->Query("start transaction");
    c->Query("update t set n = 41 where id = 4");
    m_proxy->Freeze(true);
    const auto started = Clock::now();
    const std::string failed = failure(*c, "update t set n = 42 where id = 4");
    const long long ms = msSince(started);
    EXPECT_NE(failed.find("lost inside a transaction"), std::string::npos) << failed;
    EXPECT_EQ(c->LastFailureKind(), FailureKind::TransactionLost);
    EXPECT_LT(ms, 3000);
    EXPECT_EQ(c->CurrentServer(), 0u);  // a transaction never moves
    c->Query("rollback");
    const auto next = Clock::now();
    EXPECT_EQ(value(*c, "select n from t where id = 4"), "40");
    const long long nextMs = msSince(next);
    std::printf("frozen server: a transaction reported lost after %lld ms; the next read answered after %lld ms\n", ms,
                nextMs);
    EXPECT_LT(nextMs, 1000);
    EXPECT_EQ(c->CurrentServer(), 1u);
}

}  // namespace
