// Live results on the test server: every change of a row becomes one statement on the table
// the query reads, checked through the trace hook, followed by the query run again and the
// cursor placed as the user left it.

#include <gtest/gtest.h>

#include "DbTestHelpers.h"
#include "db/DateTimeUtil.h"
#include "db/DbErrors.h"
#include "db/TmySQLQuery.h"

using namespace dbtest;
using vt::test::freshDatabase;
using vt::test::runSql;

namespace {

class LiveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FormatSettings().DecimalSeparator = ',';  // statements must not follow these
        FormatSettings().DateSeparator = '.';
        FormatSettings().TimeSeparator = '_';
        m_name = freshDatabase("dblive");
        m_db = connectTo(m_name);
    }
    std::unique_ptr<TmySQLQuery> live(const std::string& sql, bool requestLive = true)
    {
        auto q = std::make_unique<TmySQLQuery>("mySQLQuery1");
        q->SetDatabase(m_db.get());
        q->SetRequestLive(requestLive);
        q->SetSQL(sql);
        q->Open();
        return q;
    }
    std::string sql(const std::string& statement) { return runSql(statement, m_name); }
    // The statements the trace saw, the re-run query included.
    static std::vector<std::string> sent(const TraceRecorder& trace) { return trace.statements(); }

    FormatGuard m_formats;
    std::string m_name;
    std::unique_ptr<TmySQLDatabase> m_db;
};

// The literal of every field type, as an assignment and read back after the re-run.
TEST_F(LiveTest, EveryFieldTypeIsWrittenInItsLiteralForm)
{
    sql("create table lt (id int not null primary key, si smallint, bi bigint, fl double,"
        " de decimal(10,2), d date, t time, dt datetime, vc varchar(40), st set('a','b','c'),"
        " yn enum('Y','N'), tf enum('T','F'), tx text, tb tinyblob) default charset=latin1;"
        "insert into lt (id) values (1)");
    struct Case {
        const char* field;
        Variant value;
        const char* literal;  // as the UPDATE carries it
        const char* stored;   // as the server then holds it
    } cases[] = {
        {"si", Variant(-2), "-2", "-2"},
        {"bi", Variant::Int64(5000000000LL), "5000000000", "5000000000"},
        {"fl", Variant(-1234.25), "-1234.25", "-1234.25"},
        {"de", Variant(12.5), "12.5", "12.50"},
        {"d", Variant::DateTime(EncodeDate(2004, 1, 15)), "'2004-01-15'", "2004-01-15"},
        {"d", Variant::DateTime(0), "'0000-00-00'", "0000-00-00"},
        {"t", Variant::DateTime(EncodeTime(13, 5, 9)), "'13:05:09'", "13:05:09"},
        {"t", Variant::DateTime(0), "'00:00:00'", "00:00:00"},
        {"dt", Variant::DateTime(EncodeDate(2004, 1, 15) + EncodeTime(13, 5, 9)), "'2004-01-15 13:05:09'",
         "2004-01-15 13:05:09"},
        {"dt", Variant::DateTime(0.5), "'0000-00-00 00:00:00'", "0000-00-00 00:00:00"},
        {"vc", Variant("O'B\\x \"q\""), "'O\\'B\\\\x \\\"q\\\"'", "O'B\\\\x \"q\""},
        {"vc", Variant(std::string("cut\0here", 8)), "'cut'", "cut"},
        {"vc", Variant(""), "''", ""},
        {"st", Variant("a,c"), "5", "a,c"},
        {"st", Variant("c,b"), "6", "b,c"},
        {"yn", Variant(false), "'n'", "N"},
        {"yn", Variant(true), "'y'", "Y"},
        {"tf", Variant(true), "'t'", "T"},
        {"tf", Variant(false), "'f'", "F"},
        {"tx", Variant("line\nnext 'q'"), "'line\\nnext \\'q\\''", "line\\nnext 'q'"},
        {"tb", Variant(std::string("a\0b", 3)), "'a\\0b'", "a\\0b"},
        {"vc", Variant::Null(), "NULL", "NULL"},
    };
    auto q = live("select * from lt");
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.field) + " " + c.literal);
        TraceRecorder trace;
        q->Edit();
        q->FieldByName(c.field).SetValue(c.value);
        q->Post();
        EXPECT_EQ(sent(trace), (std::vector<std::string>{"UPDATE `lt` SET `" + std::string(c.field) + "`=" + c.literal +
                                                             " WHERE `id`=1",
                                                         "select * from lt\r\n"}));
        EXPECT_EQ(sql(std::string("select ") + c.field + " from lt"), std::string(c.stored) + "\n");
    }
    // A blob value longer than the column's declared length is refused before it is sent.
    TraceRecorder trace;
    q->Edit();
    q->FieldByName("tb").SetValue(Variant(std::string(256, 'x')));
    try {
        q->Post();
        ADD_FAILURE() << "a 256-byte value went into a TINYBLOB";
    } catch (const EmySQLDatabaseError& e) {
        EXPECT_EQ(e.ErrorCode(), 1001);
        EXPECT_NE(std::string(e.what()).find("Image size exceeds maximum blob field size"), std::string::npos);
    }
    EXPECT_TRUE(sent(trace).empty());
    q->Cancel();
}

// Delete by the key the table offers; without one, by every column of the table (memo
// columns included) and only one row.
TEST_F(LiveTest, DeleteNamesTheRowByItsKeyAndKeepsTheRowNumber)
{
    sql("create table pk (id int not null primary key, name varchar(20));"
        "create table uq (code varchar(10) null, name varchar(20), unique key (code));"
        "create table nokey (a int, b varchar(10), c text);"
        "create table nk (a int, m text); create table other (a int, z int);"
        "insert into nk values (1,'p'),(1,'q'); insert into other values (1,7);"
        "create table mk (name varchar(300) not null primary key) default charset=latin1;"
        "insert into mk values ('O\\'B\\\\X'),('z');"
        "insert into pk values (1,'one'),(2,'two'),(3,'three');"
        "insert into uq values ('a','one'),(null,'two'),('c','three');"
        "insert into nokey values (1,'x','p'),(1,'x','q'),(2,NULL,'r')");
    struct Case {
        const char* select;
        int recNo;              // the row deleted
        const char* statement;  // the delete sent
        const char* remaining;  // the table afterwards
        int recNoAfter;
    } cases[] = {
        {"select id, name from pk order by id", 2, "DELETE FROM `pk` WHERE `id`=2", "1\n3\n", 2},
        {"select id, name from pk order by id", 2, "DELETE FROM `pk` WHERE `id`=3", "1\n", 1},  // was last
        {"select name, code from uq order by name", 3, "DELETE FROM `uq` WHERE `code` IS NULL", "a\nc\n",
         2},  // was last
        // A key longer than 255 characters reaches the client as a memo: still a text condition.
        {"select name from mk order by name", 1, "DELETE FROM `mk` WHERE `name`='O\\'B\\\\X'", "z\n", 1},
        // Rows that differ only in a memo column: the chosen one goes, not the first stored.
        {"select * from nokey order by a, b, c", 2, "DELETE FROM `nokey` WHERE `a`=1 AND `b`='x' AND `c`='q' LIMIT 1",
         "1\tx\tp\n2\tNULL\tr\n", 2},
        {"select * from nokey order by a, b, c", 2,
         "DELETE FROM `nokey` WHERE `a`=2 AND `b` IS NULL AND `c`='r' LIMIT 1", "1\tx\tp\n", 1},
        // In a join only the columns of the table deleted from name the row.
        {"select nk.a, nk.m, other.z from nk, other where nk.a = other.a order by nk.m", 2,
         "DELETE FROM `nk` WHERE `a`=1 AND `m`='q' LIMIT 1", "1\tp\n", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.statement);
        auto q = live(c.select);
        q->SetRecNo(c.recNo);
        TraceRecorder trace;
        q->Delete();
        EXPECT_EQ(sent(trace), (std::vector<std::string>{c.statement, std::string(c.select) + "\r\n"}));
        EXPECT_EQ(q->RecNo(), c.recNoAfter);
        EXPECT_FALSE(q->Eof());
        const std::string table = std::string(c.statement).substr(13, std::string(c.statement).find('`', 13) - 13);
        const std::string first = table == "nokey" ? "a, b, c"
                                  : table == "nk"  ? "a, m"
                                  : table == "uq"  ? "code"
                                  : table == "mk"  ? "name"
                                                   : "id";
        EXPECT_EQ(sql("select " + first + " from " + table + " order by 1"), c.remaining);
    }
    // Deleting the only row leaves an empty result at its end.
    sql("delete from pk where id <> 1");
    auto q = live("select id from pk");
    q->Delete();
    EXPECT_EQ(q->RecordCount(), 0);
    EXPECT_TRUE(q->Eof());
    EXPECT_THROW(q->Delete(), EDatabaseError);
}

// A change must hit exactly its row: any other count is an error naming it, raised after the
// query ran again so that the result shows what the server holds.
TEST_F(LiveTest, ChangeThatAffectsOtherThanOneRowIsAnErrorNamingTheCount)
{
    sql("create table uq (code varchar(10) null, name varchar(20), unique key (code));"
        "insert into uq values ('a','one'),(null,'two'),(null,'three');"
        "create table pk (id int not null primary key, name varchar(20));"
        "insert into pk values (1,'one'),(2,'two'),(3,'three')");
    const auto expectError = [](const std::function<void()>& change, const std::string& message) {
        try {
            change();
            ADD_FAILURE() << "no error: " << message;
        } catch (const EDatabaseError& e) {
            EXPECT_EQ(std::string(e.what()), message);
        }
    };
    // A unique key may hold NULL twice: "code IS NULL" takes both rows.
    auto q = live("select code, name from uq order by name");
    q->SetRecNo(2);  // three
    expectError([&] { q->Delete(); }, "mySQLQuery1: Delete of a row of `uq` affected 2 rows instead of 1");
    EXPECT_EQ(q->RecordCount(), 1);
    EXPECT_EQ(sql("select name from uq"), "one\n");

    // Another connection deleted the rows shown: the delete and the update find nothing.
    auto p = live("select id, name from pk order by id");
    sql("delete from pk where id in (1, 2)");
    expectError([&] { p->Delete(); }, "mySQLQuery1: Delete of a row of `pk` affected 0 rows instead of 1");
    ASSERT_EQ(p->RecordCount(), 1);
    sql("update pk set id = 4 where id = 3");
    p->Edit();
    p->FieldByName("name").SetValue(Variant("x"));
    expectError([&] { p->Post(); }, "mySQLQuery1: Update of a row of `pk` affected 0 rows instead of 1");
    EXPECT_EQ(sql("select id, name from pk"), "4\tthree\n");

    // An update that finds its row but changes nothing in it is no error.
    auto r = live("select id, name from pk");
    r->Edit();
    r->FieldByName("name").SetValue(Variant("three"));
    EXPECT_NO_THROW(r->Post());
    EXPECT_EQ(r->FieldByName("name").AsString(), "three");
}

TEST_F(LiveTest, KeyColumnNotSelectedRefusesEveryChangeAndSendsNothing)
{
    sql("create table pk (id int not null primary key, name varchar(20)); insert into pk values (1,'one')");
    auto q = live("select name from pk");
    const std::function<void()> changes[] = {
        [&] { q->Delete(); },
        [&] {
            q->Edit();
            q->FieldByName("name").SetValue(Variant("x"));
            q->Post();
        },
    };
    for (const auto& change : changes) {
        TraceRecorder trace;
        try {
            change();
            ADD_FAILURE() << "a change went through without its key";
        } catch (const EmySQLDatabaseError& e) {
            EXPECT_EQ(e.ErrorCode(), 10003);
            EXPECT_NE(std::string(e.what()).find("Invalid record structure."), std::string::npos);
        }
        EXPECT_TRUE(sent(trace).empty());
        q->Cancel();
    }
    EXPECT_EQ(sql("select name from pk"), "one\n");
}

// An update names its row by the old key values and finds the row again by the new ones.
TEST_F(LiveTest, UpdateSendsOnlyAssignedFieldsAndFollowsTheRow)
{
    sql("create table pk (id int not null primary key, name varchar(20), note varchar(20));"
        "insert into pk values (1,'a','n1'),(2,'b','n2'),(3,'c','n3')");
    auto q = live("select * from pk order by name");
    q->SetRecNo(1);
    TraceRecorder trace;
    q->Edit();
    q->FieldByName("name").SetValue(Variant("z"));
    q->FieldByName("id").SetValue(Variant(7));
    EXPECT_EQ(q->FieldByName("name").AsString(), "z");  // the new value shows while editing
    q->Post();
    EXPECT_EQ(sent(trace), (std::vector<std::string>{"UPDATE `pk` SET `id`=7, `name`='z' WHERE `id`=1",
                                                     "select * from pk order by name\r\n"}));
    EXPECT_EQ(q->RecNo(), 3);  // moved to the end by the order
    EXPECT_EQ(q->FieldByName("id").AsInteger(), 7);

    // Nothing assigned, or cancelled: nothing is sent and the values are those of the row.
    trace.clear();
    q->Edit();
    q->Post();
    q->Edit();
    q->FieldByName("note").SetValue(Variant("dropped"));
    q->Cancel();
    EXPECT_TRUE(sent(trace).empty());
    EXPECT_EQ(q->FieldByName("note").AsString(), "n1");

    // The server refuses (duplicate key): its error, and the query is not run again.
    q->SetRecNo(1);
    q->Edit();
    q->FieldByName("id").SetValue(Variant(7));
    try {
        q->Post();
        ADD_FAILURE() << "duplicate key accepted";
    } catch (const EmySQLDatabaseError& e) {
        EXPECT_EQ(e.ServerError(), 1062);
    }
    EXPECT_EQ(sent(trace), std::vector<std::string>{"UPDATE `pk` SET `id`=7 WHERE `id`=2"});
    q->Cancel();
}

// Only key is a blob prefix: no condition can name the row, so neither an UPDATE nor a DELETE
// goes out at all.
TEST_F(LiveTest, ChangeWithoutAConditionIsRefusedAndSendsNothing)
{
    sql("create table bk (b blob, n int, unique key (b(10))); insert into bk values ('k1',1),('k2',2)");
    auto q = live("select b, n from bk");
    TraceRecorder trace;
    q->Edit();
    q->FieldByName("n").SetValue(Variant(9));
    try {
        q->Post();
        ADD_FAILURE() << "update without WHERE accepted";
    } catch (const EDatabaseError& e) {
        EXPECT_NE(std::string(e.what()).find("Update refused"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(sent(trace).empty());
    EXPECT_EQ(q->EditState(), TmySQLDataSet::State::Edit);  // the user may still cancel
    q->Cancel();
    EXPECT_THROW(q->Delete(), EDatabaseError);
    EXPECT_TRUE(sent(trace).empty());
    EXPECT_EQ(sql("select n from bk order by n"), "1\n2\n");
}

TEST_F(LiveTest, InsertLeavesNullFieldsToTheServerAndLandsOnTheNewRow)
{
    sql("create table ai (id int not null auto_increment primary key, name varchar(20) not null,"
        " note varchar(20) default 'dflt'); insert into ai (name) values ('m'),('z')");
    auto q = live("select * from ai order by name");
    TraceRecorder trace;
    q->Append();
    q->FieldByName("name").SetValue(Variant("a'b"));
    q->Post();
    EXPECT_EQ(sent(trace), (std::vector<std::string>{"INSERT INTO `ai` (name) VALUES ('a\\'b')",
                                                     "select * from ai order by name\r\n"}));
    EXPECT_EQ(q->ChangeInsertId(), 3u);
    EXPECT_EQ(q->RecNo(), 1);  // found by the insert id, first by the order
    EXPECT_EQ(q->FieldByName("note").AsString(), "dflt");

    // A required field left empty is refused before anything is sent.
    trace.clear();
    q->Insert();
    q->FieldByName("note").SetValue(Variant("x"));
    try {
        q->Post();
        ADD_FAILURE() << "required field left empty";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(std::string(e.what()), "mySQLQuery1: Field 'name' must have a value");
    }
    EXPECT_TRUE(sent(trace).empty());
    q->Cancel();
}

TEST_F(LiveTest, ReadOnlyResultRefusesEditInsertAndDelete)
{
    sql("create table pk (id int not null primary key); insert into pk values (1)");
    auto q = live("select id from pk", false);
    TraceRecorder trace;
    for (const auto& change :
         {std::function<void()>([&] { q->Edit(); }), std::function<void()>([&] { q->Insert(); })}) {
        try {
            change();
            ADD_FAILURE();
        } catch (const EDatabaseError& e) {
            EXPECT_EQ(std::string(e.what()), "mySQLQuery1: Cannot modify a read-only dataset");
        }
    }
    try {
        q->Delete();
        ADD_FAILURE();
    } catch (const EmySQLDatabaseError& e) {
        EXPECT_EQ(e.ErrorCode(), 10763);
        EXPECT_NE(std::string(e.what()).find("Table is read only."), std::string::npos);
    }
    EXPECT_TRUE(sent(trace).empty());
    EXPECT_EQ(sql("select count(*) from pk"), "1\n");
}

}  // namespace
