// The connection component on the test server: connect and its probe, properties while
// connected, login refusal, events, ExecuteDirect, transactions, usage count and detaching.

#include <gtest/gtest.h>

#include <climits>

#include "db/DbErrors.h"
#include "DbTestHelpers.h"
#include "db/TmySQLQuery.h"

using namespace dbtest;
using vt::test::freshDatabase;
using vt::test::runSql;

namespace {

TEST(ServerConnect, LearnsVersionAndCharsetThroughOneProbe) {
    std::string name = freshDatabase("dbconn");
    TraceRecorder trace;
    ServerVersionNumber = 0;
    ServerCharsetIndex = 99;
    auto db = connectTo(name);
    EXPECT_TRUE(db->Connected());
    ASSERT_GE(trace.events.size(), 2u);
    EXPECT_EQ(trace.events[0].first, TraceOp::Connect);
    EXPECT_EQ(trace.statements(), std::vector<std::string>{"SHOW VARIABLES"});
    // "5.5.5-10.11.x-MariaDB-..." is far beyond 32 bits.
    EXPECT_EQ(db->ServerVersion().rfind("5.5.5-", 0), 0u) << db->ServerVersion();
    EXPECT_EQ(ServerVersionNumber, INT32_MAX);
    // Today's servers have no variable named exactly character_set.
    EXPECT_EQ(ServerCharsetIndex, 0);
    db->SetConnected(false);
    EXPECT_EQ(trace.events.back().first, TraceOp::Disconnect);
}

TEST(ServerConnect, PropertiesWhileConnected) {
    std::string name = freshDatabase("dbconn");
    auto db = connectTo(name);
    const auto params = db->Params().Lines();
    TraceRecorder trace;
    // The same values again and connecting again change nothing.
    db->SetHost(db->Host());
    db->SetDatabaseName(name);
    db->SetUserName(db->UserName());
    db->SetUserPassword(db->UserPassword());
    db->SetConnected(true);
    EXPECT_TRUE(trace.events.empty());
    struct Change {
        const char* what;
        std::function<void()> apply;
    } changes[] = {
        {"Host", [&] { db->SetHost("otherhost"); }},
        {"DatabaseName", [&] { db->SetDatabaseName("other"); }},
        {"Port", [&] { db->SetPort(1); }},
        {"Params", [&] { db->Params().SetValue("Host", "x"); }},
        {"SetParams", [&] { db->SetParams(TStringList{"Port=1"}); }},
        {"Exclusive", [&] { db->SetExclusive(false); }},
        {"ReadOnly", [&] { db->SetReadOnly(false); }},
    };
    for (const auto& c : changes) {
        try {
            c.apply();
            ADD_FAILURE() << c.what;
        } catch (const EDatabaseError& e) {
            EXPECT_STREQ(e.what(), "mySQLDatabase1: Cannot perform this operation on an open database") << c.what;
        }
    }
    EXPECT_EQ(db->Host(), vt::test::testServer().host);
    EXPECT_EQ(db->Params().Lines(), params);
    EXPECT_TRUE(db->Connected());
}

TEST(ServerConnect, RefusedLoginsComposeTheServerMessage) {
    struct Case {
        std::string password, database;
        const char* prefix;
    } cases[] = {
        {"wrong", "", "mySQL Error Code: (1045)\r\nAccess denied for user 'vttest'@"},
        {vt::test::testServer().password, "no_such_db_x", "mySQL Error Code: (1049)\r\nUnknown database 'no_such_db_x'"},
    };
    for (const auto& c : cases) {
        auto db = connectTo(c.database, false);
        db->SetUserPassword(c.password);
        const auto params = db->Params().Lines();
        try {
            db->SetConnected(true);
            ADD_FAILURE() << c.prefix;
        } catch (const EmySQLDatabaseError& e) {
            EXPECT_EQ(e.ErrorCode(), 1001);
            EXPECT_EQ(std::string(e.what()).rfind(c.prefix, 0), 0u) << e.what();
        }
        EXPECT_FALSE(db->Connected());
        EXPECT_EQ(db->Params().Lines(), params);
    }
}

TEST(ServerConnect, EventsAroundConnectAndDisconnect) {
    std::string name = freshDatabase("dbconn");
    auto db = connectTo(name, false);
    std::vector<std::string> seen;
    db->BeforeConnect = [&](TmySQLDatabase& d) { seen.push_back(d.Connected() ? "before+" : "before-"); };
    db->AfterConnect = [&](TmySQLDatabase& d) { seen.push_back(d.Connected() ? "after+" : "after-"); };
    db->BeforeDisconnect = [&](TmySQLDatabase& d) { seen.push_back(d.Connected() ? "bdis+" : "bdis-"); };
    db->AfterDisconnect = [&](TmySQLDatabase& d) { seen.push_back(d.Connected() ? "adis+" : "adis-"); };
    db->SetConnected(true);
    db->SetConnected(false);
    EXPECT_EQ(seen, (std::vector<std::string>{"before-", "after+", "bdis+", "adis-"}));
}

TEST(ServerConnect, ExecuteDirectAndTransactions) {
    std::string name = freshDatabase("dbconn");
    runSql("create table t (a int) engine=InnoDB", name);
    auto db = connectTo(name);
    EXPECT_EQ(db->ExecuteDirect("insert into t values (1),(2),(3)"), 3u);
    TraceRecorder trace;
    db->BeginTransaction();
    db->BeginTransaction();  // already open: nothing sent
    EXPECT_TRUE(db->IsInTransaction());
    db->ExecuteDirect("delete from t");
    db->RollbackTransaction();
    EXPECT_FALSE(db->IsInTransaction());
    EXPECT_EQ(runSql("select count(*) from t", name), "3\n");
    db->BeginTransaction();
    db->ExecuteDirect("delete from t where a = 1");
    db->CommitTransaction();
    EXPECT_EQ(runSql("select count(*) from t", name), "2\n");
    EXPECT_EQ(trace.statements(), (std::vector<std::string>{"BEGIN", "delete from t", "ROLLBACK", "BEGIN",
                                                           "delete from t where a = 1", "COMMIT"}));
    try {
        db->ExecuteDirect("delete from missing");
        FAIL();
    } catch (const EmySQLDatabaseError& e) {
        EXPECT_EQ(std::string(e.what()), "mySQL Error Code: (1146)\r\nTable '" + name + ".missing' doesn't exist");
    }
}

TEST(ServerConnect, DisconnectClosesAttachedQueries) {
    std::string name = freshDatabase("dbconn");
    runSql("create table t (a int); insert into t values (1),(2)", name);
    auto db = connectTo(name, false);
    TmySQLQuery q1, q2;
    q1.SetDatabase(db.get());
    q2.SetDatabase(db.get());
    q1.SetSQL("select * from t");
    q2.SetSQL("select a from t where a = 2");
    q1.Open();  // connects on demand
    q2.Open();
    EXPECT_TRUE(db->Connected());
    EXPECT_EQ(db->UsageCount(), 2);
    q1.Close();
    EXPECT_TRUE(q1.Prepared());
    db->SetConnected(false);
    EXPECT_FALSE(q1.Active());
    EXPECT_FALSE(q2.Active());
    EXPECT_FALSE(q1.Prepared());
    EXPECT_FALSE(q2.Prepared());
    EXPECT_EQ(db->UsageCount(), 0);
    // Opening again reconnects.
    q2.Open();
    EXPECT_EQ(q2.FieldByName("a").AsInteger(), 2);
}

TEST(ServerConnect, WithoutKeepConnectionTheLastReleaseDisconnects) {
    std::string name = freshDatabase("dbconn");
    runSql("create table t (a int); insert into t values (1)", name);
    auto db = connectTo(name, false);
    db->SetKeepConnection(false);
    {
        TmySQLQuery q;
        q.SetDatabase(db.get());
        q.SetSQL("select * from t");
        q.Open();
        q.Close();
        EXPECT_TRUE(db->Connected());  // still prepared
        q.UnPrepare();
        EXPECT_FALSE(db->Connected());
        q.Open();
        EXPECT_TRUE(db->Connected());
    }
    EXPECT_FALSE(db->Connected());  // freeing the query released the connection
}

TEST(ServerConnect, DestroyingTheComponentDetachesQueries) {
    std::string name = freshDatabase("dbconn");
    auto db = connectTo(name);
    TmySQLQuery q;
    q.SetDatabase(db.get());
    q.SetSQL("select 1 as one");
    q.Open();
    db.reset();
    EXPECT_FALSE(q.Active());
    EXPECT_EQ(q.Database(), nullptr);
    try {
        q.Open();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "() property Database is not set!");
    }
}

} // namespace
