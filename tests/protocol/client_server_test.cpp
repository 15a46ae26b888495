// The protocol client against the private MariaDB test server.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "TestServer.h"
#include "protocol/MysqlFunctions.h"
#include "protocol/TMysqlClient.h"

using vt::test::runSql;
using vt::test::testServer;

namespace {

struct Connection {
    TMysqlClient c;
    explicit Connection(bool compress = true, const std::string& db = "")
    {
        c.SetPreferCompression(compress);
        c.SetConnectTimeout(10);
        const auto& s = testServer();
        connected = c.Connect(s.host, s.user, s.password, db, s.port, 0);
    }
    bool connected = false;

    // Runs a statement that returns rows; fails the test when it does not.
    std::unique_ptr<TMysqlResult> rows(std::string_view sql, bool store = true)
    {
        bool ok = false;
        auto r = c.Query(sql, store, ok);
        EXPECT_TRUE(ok) << sql << ": " << c.ErrorText();
        EXPECT_NE(r, nullptr) << sql << ": " << c.ErrorText();
        return r;
    }
    void exec(std::string_view sql)
    {
        bool ok = false;
        auto r = c.Query(sql, true, ok);
        EXPECT_TRUE(ok) << sql << ": " << c.ErrorText();
        EXPECT_EQ(r, nullptr) << sql;
    }
    std::string value(std::string_view sql)
    {
        auto r = rows(sql);
        if (!r || !r->FieldValue(0)) return "<null>";
        r->FetchLengths();
        return std::string(r->FieldValue(0), r->FieldLength(0));
    }
};

class BothCompressions : public testing::TestWithParam<bool> {};

std::string modeName(const testing::TestParamInfo<bool>& info) { return info.param ? "Compressed" : "Plain"; }

}  // namespace

INSTANTIATE_TEST_SUITE_P(ServerClient, BothCompressions, testing::Values(true, false), modeName);

TEST_P(BothCompressions, LoginWithTheSha1ScrambleAndRunStatements)
{
    Connection k(GetParam());
    ASSERT_TRUE(k.connected) << k.c.ErrorText();
    EXPECT_EQ(bool(k.c.ClientFlags() & MysqlFlags::CLIENT_COMPRESS), GetParam());
    EXPECT_FALSE(k.c.ServerVersion().empty());
    EXPECT_EQ(k.c.RoundTrips(), 1u) << "one authentication packet";
    std::string db = vt::test::freshDatabase("pcore_stmt");
    ASSERT_TRUE(k.c.SelectDatabase(db)) << k.c.ErrorText();
    EXPECT_EQ(k.c.Database(), db);
    k.exec("create table t (id int auto_increment primary key, name varchar(40), body blob)");
    k.exec("insert into t (name, body) values ('one', 'x'), ('two', NULL), ('three', '')");
    EXPECT_EQ(k.c.AffectedRows(), 3u);
    EXPECT_EQ(k.c.InsertId(), 1u);
    k.exec("insert into t (name) values ('four')");
    EXPECT_EQ(k.c.InsertId(), 4u);

    auto r = k.rows("select id, name, body from t order by id");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->RowCount(), 4);
    EXPECT_EQ(k.c.AffectedRows(), 4u);
    EXPECT_EQ(r->FieldDef(0)->Name, "id");
    EXPECT_EQ(r->FieldDef(0)->Table, "t");
    EXPECT_EQ(r->FieldDef(0)->FieldType, MysqlType::LONG);
    EXPECT_TRUE(IsPrimaryKey(r->FieldDef(0)));
    EXPECT_TRUE(IsAutoIncrement(r->FieldDef(0)));
    EXPECT_TRUE(IsBlob(r->FieldDef(2)));
    EXPECT_EQ(r->FieldDef(1)->MaxLength, 5u);
    r->Seek(2);
    EXPECT_STREQ(r->FieldValue(1), "three");
    int cols[] = {1};
    std::string keys[] = {"TWO"};
    EXPECT_EQ(r->Locate(cols, keys, 1, true), 1);
}

TEST_P(BothCompressions, NullEmptyAndZeroBytesAreKeptApart)
{
    Connection k(GetParam());
    ASSERT_TRUE(k.connected) << k.c.ErrorText();
    for (bool store : {true, false}) {
        auto r = k.rows("select NULL, '', unhex('610062'), 'plain'", store);
        ASSERT_NE(r, nullptr);
        r->FetchLengths();
        EXPECT_EQ(r->FieldValue(0), nullptr);
        ASSERT_NE(r->FieldValue(1), nullptr);
        EXPECT_STREQ(r->FieldValue(1), "");
        EXPECT_EQ(r->FieldLength(0), 0u);
        EXPECT_EQ(r->FieldLength(1), 0u);
        EXPECT_EQ(r->FieldLength(2), 3u);
        EXPECT_EQ(std::string(r->FieldValue(2), 3), std::string("a\0b", 3));
        EXPECT_STREQ(r->FieldValue(3), "plain");
    }
}

TEST_P(BothCompressions, LargeValuesRoundTrip)
{
    Connection k(GetParam());
    ASSERT_TRUE(k.connected) << k.c.ErrorText();
    std::string db = vt::test::freshDatabase("pcore_big");
    ASSERT_TRUE(k.c.SelectDatabase(db));
    k.exec("create table b (id int primary key, v longblob)");
    std::string value(3 * 1024 * 1024, '\0');
    for (size_t i = 0; i < value.size(); ++i)
        value[i] = char((i * 7919) >> 3);
    k.exec("insert into b values (1, '" + EscapeString(value) + "')");
    auto r = k.rows("select v, length(v) from b");
    ASSERT_NE(r, nullptr);
    r->FetchLengths();
    ASSERT_EQ(r->FieldLength(0), value.size());
    EXPECT_TRUE(std::string(r->FieldValue(0), value.size()) == value);
    EXPECT_STREQ(r->FieldValue(1), std::to_string(value.size()).c_str());
}

TEST_P(BothCompressions, LargestStatementIsSentAndOneByteMoreIsRefused)
{
    Connection k(GetParam());
    ASSERT_TRUE(k.connected) << k.c.ErrorText();
    const std::string head = "select 'fits' /*", tail = "*/";
    // Payload = command byte + statement = 16,777,214 bytes.
    std::string sql = head + std::string(16777213 - head.size() - tail.size(), 'f') + tail;
    EXPECT_EQ(k.value(sql), "fits");
    sql.insert(head.size(), 1, 'f');
    bool ok = true;
    EXPECT_EQ(k.c.Query(sql, true, ok), nullptr);
    EXPECT_FALSE(ok);
    EXPECT_EQ(k.c.ErrorCode(), 2020);
    EXPECT_TRUE(k.c.Connected()) << "nothing was sent";
    EXPECT_EQ(k.value("select 'after'"), "after");
}

TEST_P(BothCompressions, LargestRowIsReadAndOneByteMoreIsRefused)
{
    Connection k(GetParam());
    ASSERT_TRUE(k.connected) << k.c.ErrorText();
    // A row of one value of n bytes has a payload of n + 4 (its length takes 4 bytes).
    EXPECT_EQ(k.value("select length(v) from (select repeat('a', 16777210) as v) x"), "16777210");
    auto r = k.rows("select repeat('a', 16777210)");
    ASSERT_NE(r, nullptr);
    r->FetchLengths();
    EXPECT_EQ(r->FieldLength(0), 16777210u);
    bool ok = false;
    r = k.c.Query("select repeat('a', 16777211)", true, ok);
    EXPECT_EQ(r, nullptr);
    EXPECT_EQ(k.c.ErrorCode(), 2020);
    EXPECT_EQ(k.value("select 'reconnected'"), "reconnected");
}

TEST_P(BothCompressions, UnbufferedResultBlocksCommandsUntilDestroyed)
{
    Connection k(GetParam());
    ASSERT_TRUE(k.connected) << k.c.ErrorText();
    auto r = k.rows("select seq from mysql.seq_1_to_1000", false);
    ASSERT_NE(r, nullptr);
    EXPECT_FALSE(r->Buffered());
    EXPECT_STREQ(r->FieldValue(0), "1");
    r->Next();
    r->Next();
    EXPECT_STREQ(r->FieldValue(0), "3");
    EXPECT_EQ(r->RecNo(), 2);
    bool ok = true;
    EXPECT_EQ(k.c.Query("select 1", true, ok), nullptr);
    EXPECT_EQ(k.c.ErrorCode(), 2014);
    EXPECT_EQ(k.c.ErrorText(), "Commands out of sync;  You can't run this command now");
    r.reset();
    EXPECT_EQ(k.c.AffectedRows(), 3u);
    EXPECT_EQ(k.value("select 'usable'"), "usable");

    r = k.rows("select seq from mysql.seq_1_to_500", false);
    ASSERT_NE(r, nullptr);
    int64_t n = 0;
    while (!r->Eof()) {
        ++n;
        r->Next();
    }
    EXPECT_EQ(n, 500);
    EXPECT_EQ(r->RowCount(), 500);
    EXPECT_EQ(k.value("select 'ended'"), "ended") << "the end of the rows frees the connection";
}

TEST(ServerClient, LoginWithAPre41PasswordAccount)
{
    auto [a, b] = HashPasswordOld("oldpw");
    char hash[17];
    std::snprintf(hash, sizeof hash, "%08x%08x", a, b);
    runSql("DROP USER IF EXISTS 'pcore_old'@'%'");
    runSql(std::string("CREATE USER 'pcore_old'@'%' IDENTIFIED VIA mysql_old_password USING '") + hash + "'");
    runSql("GRANT SELECT ON *.* TO 'pcore_old'@'%'");
    for (bool compress : {true, false}) {
        TMysqlClient c;
        c.SetPreferCompression(compress);
        const auto& s = testServer();
        ASSERT_TRUE(c.Connect(s.host, "pcore_old", "oldpw", "", s.port, 0)) << c.ErrorText();
        EXPECT_EQ(c.RoundTrips(), 2u) << "the server asked for the pre-4.1 scramble";
        bool ok = false;
        auto r = c.Query("select current_user()", true, ok);
        ASSERT_NE(r, nullptr) << c.ErrorText();
        EXPECT_STREQ(r->FieldValue(0), "pcore_old@%");
        TMysqlClient wrong;
        EXPECT_FALSE(wrong.Connect(s.host, "pcore_old", "other", "", s.port, 0));
        EXPECT_EQ(wrong.ErrorCode(), 1045);
        // Told to refuse the old scramble, the client gives up where the server asks for it.
        TMysqlClient strict;
        strict.SetRefuseOldScramble(true);
        EXPECT_FALSE(strict.Connect(s.host, "pcore_old", "oldpw", "", s.port, 0));
        EXPECT_EQ(strict.ErrorCode(), 2049) << strict.ErrorText();
        EXPECT_FALSE(strict.Connected());
    }
}

TEST(ServerClient, WrongPasswordGivesTheServersAccessDenied)
{
    TMysqlClient c;
    const auto& s = testServer();
    EXPECT_FALSE(c.Connect(s.host, s.user, "wrong", "", s.port, 0));
    EXPECT_EQ(c.ErrorCode(), 1045);
    EXPECT_EQ(c.ErrorText().rfind("Access denied for user 'vttest'@", 0), 0u) << c.ErrorText();
    EXPECT_FALSE(c.Connected());
}

TEST(ServerClient, SelectingAMissingDatabaseFails)
{
    Connection k;
    ASSERT_TRUE(k.connected) << k.c.ErrorText();
    EXPECT_FALSE(k.c.SelectDatabase("pcore_no_such_db"));
    EXPECT_EQ(k.c.ErrorCode(), 1049);
    EXPECT_EQ(k.c.ErrorText(), "Unknown database 'pcore_no_such_db'");
    EXPECT_TRUE(k.c.Connected());
    EXPECT_EQ(k.c.Database(), "");

    TMysqlClient c;
    const auto& s = testServer();
    EXPECT_FALSE(c.Connect(s.host, s.user, s.password, "pcore_no_such_db", s.port, 0));
    EXPECT_EQ(c.ErrorCode(), 1049);
}

TEST(ServerClient, ConnectionKilledByTheServerIsReestablishedByTheNextQuery)
{
    for (bool compress : {true, false}) {
        Connection k(compress), killer;
        ASSERT_TRUE(k.connected && killer.connected);
        std::string id = k.value("select connection_id()");
        killer.exec("kill " + id);
        EXPECT_EQ(k.value("select 'again'"), "again") << k.c.ErrorText();
        EXPECT_NE(k.value("select connection_id()"), id);
    }
}

TEST(ServerClient, LocalFileRequestIsRefusedAndTheConnectionStaysUsable)
{
    Connection k;
    ASSERT_TRUE(k.connected) << k.c.ErrorText();
    std::string db = vt::test::freshDatabase("pcore_local");
    ASSERT_TRUE(k.c.SelectDatabase(db));
    k.exec("create table l (line text)");
    bool ok = true;
    EXPECT_EQ(k.c.Query("load data local infile '/etc/hostname' into table l", true, ok), nullptr);
    EXPECT_FALSE(ok);
    EXPECT_NE(k.c.ErrorText().find("/etc/hostname"), std::string::npos) << k.c.ErrorText();
    EXPECT_EQ(k.value("select count(*) from l"), "0");
}

TEST(ServerClient, ThreadSafeClientSerializesQueriesFromTwoThreads)
{
    Connection k;
    ASSERT_TRUE(k.connected) << k.c.ErrorText();
    k.c.SetThreadSafe(true);
    std::atomic<int> good{0};
    auto work = [&](int base) {
        for (int i = 0; i < 100; ++i) {
            bool ok = false;
            auto r = k.c.Query("select " + std::to_string(base + i), true, ok);
            if (r && r->FieldValue(0) && std::string(r->FieldValue(0)) == std::to_string(base + i)) ++good;
        }
    };
    std::thread t1(work, 1000), t2(work, 5000);
    t1.join();
    t2.join();
    EXPECT_EQ(good.load(), 200);
    k.c.SetThreadSafe(false);
    EXPECT_FALSE(k.c.ThreadSafe());
}

TEST(ServerClient, PortBeyondTheTcpRangeIsRefusedInsteadOfWrapping)
{
    TMysqlClient c;
    const auto& s = testServer();
    // The server's port plus 65536 would wrap to the server's port.
    EXPECT_FALSE(c.Connect(s.host, s.user, s.password, "", s.port + 65536, 0));
    EXPECT_EQ(c.ErrorCode(), 2003);
    EXPECT_FALSE(c.Connected());
    EXPECT_TRUE(c.Connect(s.host, s.user, s.password, "", s.port, 0)) << c.ErrorText();
}

namespace {
// Ends the connection with this id from another connection and waits until the server has
// dropped it.
void killConnection(const std::string& id)
{
    runSql("KILL " + id);
    for (int i = 0; i < 200; ++i) {
        if (runSql("select count(*) from information_schema.processlist where id = " + id).find('0') == 0) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}
}  // namespace

// The server kills the connection between two statements: once while the ping before the
// next statement is skipped (recently used) and once after the idle window (pinged). The next
// statement runs exactly once on a new connection; inside a transaction the loss is reported
// and nothing reconnects until the owner does.
TEST_P(BothCompressions, ConnectionKilledByTheServerRunsTheNextStatementOnce)
{
    const std::string db = vt::test::freshDatabase("vt_kill");
    runSql("create table t (a int)", db);
    for (bool idle : {false, true}) {
        SCOPED_TRACE(idle ? "idle" : "recently used");
        Connection k(GetParam(), db);
        ASSERT_TRUE(k.connected) << k.c.ErrorText();
        k.c.SetPingAfterIdle(idle ? 50 : 60000);
        const int tag = idle ? 10 : 20;
        k.exec("insert into t values (" + std::to_string(tag) + ")");
        const uint64_t connections = k.c.ConnectionCount();

        killConnection(k.value("select connection_id()"));
        if (idle) std::this_thread::sleep_for(std::chrono::milliseconds(60));
        k.exec("insert into t values (" + std::to_string(tag + 1) + ")");
        EXPECT_EQ(k.c.ConnectionCount(), connections + 1);
        EXPECT_EQ(runSql("select count(*) from t where a = " + std::to_string(tag + 1), db), "1\n");

        // A read after another kill.
        killConnection(k.value("select connection_id()"));
        if (idle) std::this_thread::sleep_for(std::chrono::milliseconds(60));
        EXPECT_EQ(k.value("select count(*) from t where a = " + std::to_string(tag)), "1");

        // Inside a transaction.
        k.exec("start transaction");
        k.exec("insert into t values (" + std::to_string(tag + 2) + ")");
        killConnection(k.value("select connection_id()"));
        if (idle) std::this_thread::sleep_for(std::chrono::milliseconds(60));
        bool ok = true;
        EXPECT_EQ(k.c.Query("insert into t values (" + std::to_string(tag + 3) + ")", true, ok), nullptr);
        EXPECT_FALSE(ok);
        EXPECT_TRUE(k.c.ErrorCode() == 2006 || k.c.ErrorCode() == 2013) << k.c.ErrorCode() << " " << k.c.ErrorText();
        EXPECT_TRUE(k.c.TransactionLost());
        ok = true;
        k.c.Query("commit", true, ok);
        EXPECT_FALSE(ok) << "a commit after the loss must not report success";
        EXPECT_EQ(k.c.ErrorCode(), 2006);
        EXPECT_EQ(runSql("select count(*) from t where a in (" + std::to_string(tag + 2) + "," +
                             std::to_string(tag + 3) + ")",
                         db),
                  "0\n");
        // The owner connects again explicitly.
        EXPECT_TRUE(k.c.Reconnect()) << k.c.ErrorText();
        EXPECT_FALSE(k.c.TransactionLost());
        EXPECT_EQ(k.value("select count(*) from t"), idle ? "4" : "2");
    }
    EXPECT_EQ(runSql("select count(*) from t", db), "4\n");
    runSql("drop database " + db);
}

TEST_P(BothCompressions, PipelinedStatementsAnswerInOrderAndAnErrorInTheMiddleLeavesTheConnectionUsable)
{
    Connection k(GetParam());
    ASSERT_TRUE(k.connected) << k.c.ErrorText();
    ASSERT_TRUE(k.c.SelectDatabase(vt::test::freshDatabase("pcore_pipe"))) << k.c.ErrorText();
    k.exec("create table t (id int auto_increment primary key, v varchar(20))");
    const uint64_t before = k.c.RoundTrips();
    std::vector<TMysqlBatchAnswer> a;
    EXPECT_FALSE(k.c.QueryBatch({"insert into t (v) values ('one'), ('two')", "insert into t (id, v) values (1, 'dup')",
                                 "select v from t order by id desc", "update t set v = 'ONE' where id = 1",
                                 "insert into t (v) values ('three')"},
                                a));
    EXPECT_EQ(k.c.RoundTrips() - before, 1u);
    ASSERT_EQ(a.size(), 5u);
    EXPECT_TRUE(a[0].Succeeded());
    EXPECT_EQ(a[0].AffectedRows, 2u);
    EXPECT_EQ(a[0].InsertId, 1u);
    EXPECT_EQ(a[1].ErrorCode, 1062) << a[1].ErrorText;
    ASSERT_TRUE(a[2].Succeeded() && a[2].Result) << a[2].ErrorText;
    EXPECT_EQ(a[2].Result->RowCount(), 2) << "the refused insert changed nothing";
    EXPECT_STREQ(a[2].Result->FieldValue(0), "two");
    EXPECT_TRUE(a[3].Succeeded());
    EXPECT_EQ(a[3].AffectedRows, 1u);
    EXPECT_TRUE(a[4].Succeeded());
    EXPECT_EQ(a[4].InsertId, 3u);
    EXPECT_EQ(k.c.ErrorCode(), 1062);
    EXPECT_EQ(k.value("select group_concat(v order by id) from t"), "ONE,two,three");
}

TEST_P(BothCompressions, PipelinedGroupsFollowTheLimitBehindReadsAndLargeStatementsArriveWhole)
{
    Connection k(GetParam());
    ASSERT_TRUE(k.connected) << k.c.ErrorText();
    ASSERT_TRUE(k.c.SelectDatabase(vt::test::freshDatabase("pcore_pipe_big"))) << k.c.ErrorText();
    k.exec("create table b (id int primary key, v longblob)");
    const size_t limit = 64 * 1024;
    k.c.SetPipelineLimit(limit);
    // A statement of exactly n bytes storing a value of known length; n 0 stands for a read.
    const std::string read = "select count(*) from b";
    auto statement = [&](int id, size_t n) {
        if (n == 0) return read;
        const std::string head = "insert into b values (" + std::to_string(id) + ", '";
        return head + std::string(n - head.size() - 2, char('a' + id % 26)) + "')";
    };
    const size_t mb3 = 3 * 1024 * 1024;
    struct Case {
        const char* name;
        std::vector<size_t> sizes;
        uint64_t roundTrips;
    } cases[] = {
        {"changes of any length travel together", {100, mb3, limit + 1, 100}, 1},
        {"behind a read, exactly the limit", {0, limit / 2, limit / 2}, 1},
        {"behind a read, one byte over the limit", {0, limit / 2, limit / 2 + 1}, 2},
        {"a read in the middle bounds what follows it", {limit, 0, limit - read.size() + 1, 100}, 2},
        {"a read in the middle, exactly the limit behind it", {limit, 0, limit - read.size(), 0}, 1},
        {"a long statement behind a read", {0, mb3, 0}, 2},
    };
    int id = 0;
    for (const Case& c : cases) {
        k.exec("delete from b");
        std::vector<std::string> statements;
        size_t valueBytes = 0;
        size_t rows = 0;
        for (size_t n : c.sizes) {
            statements.push_back(statement(++id, n));
            if (n == 0) continue;
            ++rows;
            valueBytes += statements.back().size() - statements.back().find('\'') - 3;
            ASSERT_EQ(statements.back().size(), n);
        }
        const uint64_t before = k.c.RoundTrips();
        std::vector<TMysqlBatchAnswer> a;
        EXPECT_TRUE(k.c.QueryBatch(statements, a)) << c.name << ": " << k.c.ErrorText();
        EXPECT_EQ(k.c.RoundTrips() - before, c.roundTrips) << c.name;
        // Each read counts the rows stored before it.
        size_t stored = 0;
        for (size_t i = 0; i < a.size(); ++i) {
            if (c.sizes[i] != 0) {
                ++stored;
                continue;
            }
            ASSERT_TRUE(a[i].Result) << c.name;
            EXPECT_STREQ(a[i].Result->FieldValue(0), std::to_string(stored).c_str()) << c.name;
        }
        auto r = k.rows("select count(*), coalesce(sum(length(v)), 0) from b");
        ASSERT_NE(r, nullptr);
        EXPECT_STREQ(r->FieldValue(0), std::to_string(rows).c_str()) << c.name;
        EXPECT_STREQ(r->FieldValue(1), std::to_string(valueBytes).c_str()) << c.name;
    }
}
