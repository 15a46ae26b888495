// The access layer against what an attacker or real data sends: comment markers and quotes
// inside values, hostile bytes through every statement path, readers and fields used after
// close, values beyond their type's range, names and numbers from outside, and a connection
// lost inside a transaction.

#include <gtest/gtest.h>

#include <cmath>

#include "DbTestHelpers.h"
#include "db/DateTimeUtil.h"
#include "db/DbErrors.h"
#include "db/SqlText.h"
#include "db/TmySQLQuery.h"

using namespace dbtest;
using vt::test::freshDatabase;
using vt::test::runSql;

namespace {

class SafetyTest : public ::testing::Test {
protected:
    void useDatabase(const std::string& prefix)
    {
        m_name = freshDatabase(prefix);
        m_db = connectTo(m_name);
    }
    std::unique_ptr<TmySQLQuery> query(const std::string& sql)
    {
        auto q = std::make_unique<TmySQLQuery>();
        q->SetDatabase(m_db.get());
        q->SetSQL(sql);
        return q;
    }
    int count(const std::string& sql)
    {
        auto q = query(sql);
        q->Open();
        return q->RecordCount();
    }
    std::string m_name;
    std::unique_ptr<TmySQLDatabase> m_db;
};

std::vector<std::string> hostileValues()
{
    return {"'",
            "\"",
            "\\",
            std::string("a\0b", 3),
            std::string(1, '\0'),
            "\x1a",
            "/*",
            "*/",
            "x/*",
            "*/y",
            "-- c",
            "# c",
            "a--b#c",
            ":p",
            "::",
            ":'p'",
            "?",
            "`",
            "\\'",
            "'\\",
            "x' or '1'='1",
            "Ünïcödé Café",
            "line 1 -- a\r\nline 2 # b\nline 3",
            "\t\r\n",
            "",
            std::string(70000, 'q'),
            std::string(40000, '\'') + std::string(40000, '\\')};
}

}  // namespace

TEST_F(SafetyTest, CommentMarkersInsideValuesNeitherLogInNorDropColumns)
{
    useDatabase("safe_cm");
    runSql("create table users (Username varchar(40), password varchar(40));"
           "insert into users values ('ADMIN', 'ADMIN');"
           "create table c (id int primary key, a varchar(20), b varchar(20));"
           "insert into c values (1, 'old', 'old');",
           m_name);
    // The login statement with the user name ADMIN/* and the password */ finds no row.
    const std::string login = "select * from users where (Username = '" + EscapeText("ADMIN/*") +
                              "') and (password = '" + EscapeText("*/") + "')";
    EXPECT_EQ(count(login), 0);
    EXPECT_EQ(count("select * from users where (Username = 'ADMIN') and (password = 'ADMIN')"), 1);

    auto update = query("update c set a='x/*', b='*/y' where id = 1");
    update->Execute();
    EXPECT_EQ(update->RowsAffected(), 1);
    EXPECT_EQ(runSql("select a, b from c", m_name), "x/*\t*/y\n");
}

TEST_F(SafetyTest, HostileValuesRoundTripByteExactThroughEveryStatementPath)
{
    useDatabase("safe_hv");
    runSql("create table h (id int primary key, v longblob)", m_name);
    int id = 0;
    for (const std::string& value : hostileValues()) {
        const std::string shown = value.substr(0, 40);
        // 1. Composed text, escaped, run by Execute.
        auto insert = query("insert into h (id, v) values (" + std::to_string(++id) + ", '" + EscapeText(value) + "')");
        insert->Execute();
        EXPECT_EQ(insert->RowsAffected(), 1) << shown;
        // 2. A parameter (text) and 3. a parameter (bytes), rendered by the query.
        auto byText = query("insert into h (id, v) values (:id, :v)");
        byText->ParamByName("id").SetValue(++id);
        byText->ParamByName("v").SetValue(Variant(value));
        byText->Execute();
        EXPECT_EQ(byText->RowsAffected(), 1) << shown;
        auto byBlob = query("insert into h (id, v) values (:id, :v)");
        byBlob->ParamByName("id").SetValue(++id);
        byBlob->ParamByName("v").SetAsBlob(value);
        byBlob->Execute();
        EXPECT_EQ(byBlob->RowsAffected(), 1) << shown;

        // Read back by a composed, escaped condition (opened) and by a parameter: exactly the
        // three rows just stored, each holding the value byte for byte.
        auto found = query("select id, v from h where v = '" + EscapeText(value) + "' and id > " +
                           std::to_string(id - 3) + " order by id");
        found->Open();
        ASSERT_EQ(found->RecordCount(), 3) << shown;
        for (; !found->Eof(); found->Next())
            EXPECT_EQ(found->OpenBlobReader("v")->ReadAll(), value) << shown;
        auto byParam = query("select count(*) as n from h where v = :v and id > :low");
        byParam->ParamByName("v").SetValue(Variant(value));
        byParam->ParamByName("low").SetValue(id - 3);
        byParam->Open();
        EXPECT_EQ(byParam->FieldByName("n").AsInteger(), 3) << shown;
    }
    EXPECT_EQ(count("select * from h"), id) << "no statement touched other rows";
}

TEST_F(SafetyTest, BlobReadersAndFieldsOutliveCloseWithoutReadingFreedMemory)
{
    useDatabase("safe_uac");
    const std::string body(100000, 'b');
    runSql("create table d (id int primary key, name varchar(20), Document longblob);"
           "insert into d values (1, 'first', repeat('b', 100000)), (2, 'second', 'two');",
           m_name);
    auto q = query("select * from d order by id");
    q->Open();
    auto reader = q->OpenBlobReader("Document");
    auto partial = q->OpenBlobReader("Document");
    char head[10];
    ASSERT_EQ(partial->Read(head, sizeof head), sizeof head);
    TField& name = q->FieldByName("name");
    TField& document = q->FieldByName("Document");
    EXPECT_EQ(name.AsString(), "first");

    q->Close();
    // Readers keep the value they were opened on.
    EXPECT_EQ(reader->ReadAll(), body);
    EXPECT_EQ(partial->ReadAll(), body.substr(10));
    // A field of the closed dataset reads as closed.
    EXPECT_THROW(name.AsString(), EDatabaseError);
    EXPECT_THROW(name.Value(), EDatabaseError);
    EXPECT_THROW(q->OpenBlobReader(document), EDatabaseError);

    // Reopened with the same columns, the kept reference reads the new rows again.
    q->Open();
    auto again = q->OpenBlobReader("Document");
    q->Next();
    EXPECT_EQ(name.AsString(), "second");
    EXPECT_EQ(again->ReadAll(), body) << "the reader stays on the row it was opened on";
    // Reopened on another statement, and even after the query is gone.
    auto second = q->OpenBlobReader("Document");
    q->SetSQL("select 'x' as other");
    q->Open();
    EXPECT_THROW(name.AsString(), EDatabaseError);
    q.reset();
    EXPECT_EQ(second->ReadAll(), "two");
}

TEST_F(SafetyTest, ValuesBeyondTheirRangeRaiseInsteadOfReadingWrong)
{
    useDatabase("safe_rng");
    runSql("create table n (big bigint, dbl double, ubig bigint unsigned, t time);"
           "insert into n values (5000000000, 1e308, 18446744073709551615, '838:59:59');",
           m_name);
    auto q = query("select * from n");
    q->Open();  // the row with the largest BIGINT UNSIGNED opens
    EXPECT_THROW(q->FieldByName("big").AsInteger(), EVariantError);
    EXPECT_THROW(q->FieldValues("big").AsInteger(), EVariantError);
    EXPECT_EQ(q->FieldByName("big").AsLargeInt(), 5000000000LL);
    EXPECT_THROW(q->FieldByName("dbl").AsInteger(), EVariantError);
    EXPECT_THROW(q->FieldByName("dbl").AsLargeInt(), EVariantError);
    EXPECT_EQ(q->FieldByName("ubig").AsString(), "18446744073709551615");
    EXPECT_THROW(q->FieldByName("ubig").Value(), EConvertError);
    EXPECT_DOUBLE_EQ(q->FieldByName("t").AsDateTime(), (838 * 3600 + 59 * 60 + 59) / 86400.0);
}

TEST_F(SafetyTest, TimeValuesReadAsTheirNumberOfDays)
{
    useDatabase("safe_time");
    struct Case {
        const char* text;
        double days;
    } cases[] = {
        {"13:05:09", EncodeTime(13, 5, 9, 0)},
        {"00:00:00", 0},
        {"23:59:59", EncodeTime(23, 59, 59, 0)},
        {"24:00:00", 1},
        {"100:00:00", 100 / 24.0},
        {"838:59:59", (838 * 3600 + 59 * 60 + 59) / 86400.0},
        {"-838:59:59", -(838 * 3600 + 59 * 60 + 59) / 86400.0},
        {"-00:00:01", -1 / 86400.0},
    };
    runSql("create table t (id int primary key, v time)", m_name);
    int id = 0;
    for (const Case& c : cases)
        runSql("insert into t values (" + std::to_string(++id) + ", '" + c.text + "')", m_name);
    auto q = query("select v from t order by id");
    q->Open();
    for (const Case& c : cases) {
        ASSERT_FALSE(q->Eof()) << c.text;
        EXPECT_NEAR(q->FieldByName("v").AsDateTime(), c.days, 1e-9) << c.text;
        q->Next();
    }
    // Malformed texts raise the time error instead of reading a wrong value.
    for (const char* bad : {"", "12", "ab:cd:ef", "12:61:00", "12:00:60", "-:00:00"})
        EXPECT_THROW(TimeFromColumnText(bad), EConvertError) << bad;
}

TEST_F(SafetyTest, PortsOutsideTheTcpRangeAreRefused)
{
    for (int port : {-1, 65536, 117631}) {
        auto db = connectTo("", false);
        db->Params().SetValue("Port", std::to_string(port));
        try {
            db->SetConnected(true);
            FAIL() << port;
        } catch (const EDatabaseError& e) {
            EXPECT_EQ(std::string(e.what()), "Invalid port number " + std::to_string(port) + ": a port is 1 to 65535");
        }
        EXPECT_FALSE(db->Connected()) << port;
    }
}

TEST_F(SafetyTest, ColumnProbesQuoteNamesFromTheServer)
{
    useDatabase("safe_probe");
    // A quote, a LIKE wildcard, a back quote: each probe names exactly its own column. Both
    // columns have defaults, so neither is required; "axb" comes first and would answer a
    // probe of a_b if "_" were a wildcard.
    runSql("create table `we``ird` (axb int not null, `a_b` enum('Y','N') not null default 'N',"
           " `it's` int not null default 0) default charset=latin1",
           m_name);
    runSql("insert into `we``ird` (axb) values (1)", m_name);
    auto q = query("select `a_b`, `it's`, axb from `we``ird`");
    q->Open();
    EXPECT_EQ(q->FieldByName("a_b").DataType(), ftBoolean) << "allowed values Y,N were read";
    EXPECT_FALSE(q->FieldByName("a_b").Required());
    EXPECT_FALSE(q->FieldByName("it's").Required());
    EXPECT_TRUE(q->FieldByName("axb").Required());
}

TEST_F(SafetyTest, ColumnProbeOfANameWithABackslashNamesOnlyThatColumn)
{
    useDatabase("safe_probe_bs");
    // "ab" comes first and has no default; a probe of a\b whose backslash reached the LIKE
    // pattern unescaped would match "ab" and mark a\b required.
    runSql("create table t (ab int not null, `a\\b` int not null default 0, `a%` int not null default 0)", m_name);
    auto q = query("select ab, `a\\b`, `a%` from t");
    q->Open();
    EXPECT_TRUE(q->FieldByName("ab").Required());
    EXPECT_FALSE(q->FieldByName("a\\b").Required());
    EXPECT_FALSE(q->FieldByName("a%").Required());
}

TEST(ParamsList, PositionsOutOfRangeAreRefused)
{
    TStringList list;
    list.Assign({"Port=3306", "TIMEOUT=30"});
    EXPECT_THROW(list.Insert(3, "x"), EListError);
    EXPECT_THROW(list.Insert(-1, "x"), EListError);
    EXPECT_THROW(list.Delete(2), EListError);
    EXPECT_THROW(list.Delete(-1), EListError);
    EXPECT_THROW(list.Set(2, "x"), EListError);
    EXPECT_THROW((void)list[2], EListError);
    list.Insert(2, "end");
    list.Delete(0);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list[1], "end");
}

TEST_F(SafetyTest, ConnectionLostInsideATransactionFailsInsteadOfReconnecting)
{
    useDatabase("safe_tx");
    runSql("create table w (id int primary key) engine=InnoDB", m_name);
    auto idQuery = query("select connection_id() as id");
    idQuery->Open();
    const std::string connectionId = idQuery->FieldByName("id").AsString();
    idQuery->Close();

    m_db->BeginTransaction();
    query("insert into w values (1)")->Execute();
    runSql("kill " + connectionId);
    EXPECT_THROW(query("insert into w values (2)")->Execute(), EmySQLDatabaseError);
    EXPECT_THROW(m_db->CommitTransaction(), EmySQLDatabaseError) << "COMMIT must not report success";
    EXPECT_EQ(runSql("select count(*) from w", m_name), "0\n");
    // Rolling back acknowledges the loss; later statements connect again.
    m_db->RollbackTransaction();
    EXPECT_FALSE(m_db->IsInTransaction());
    query("insert into w values (3)")->Execute();
    EXPECT_EQ(runSql("select id from w", m_name), "3\n");

    // Outside a transaction a lost connection is still replaced silently.
    idQuery->Open();
    runSql("kill " + idQuery->FieldByName("id").AsString());
    idQuery->Close();
    query("insert into w values (4)")->Execute();
    EXPECT_EQ(runSql("select count(*) from w", m_name), "2\n");
}
