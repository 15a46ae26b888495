// Queries and datasets on the test server: the field list built from every column type,
// row conversion, navigation, blobs, the statements a query sends (probes included),
// parameters and the failures of open and execute.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <thread>

#include "DbTestHelpers.h"
#include "db/DateTimeUtil.h"
#include "db/DbErrors.h"
#include "db/TmySQLQuery.h"

using namespace dbtest;
using vt::test::freshDatabase;
using vt::test::freshVeltranaDatabase;
using vt::test::runSql;

namespace {

class QueryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FormatSettings().DecimalSeparator = ',';
        FormatSettings().DateSeparator = '-';
        FormatSettings().ShortDateFormat = "yyyy/mm/dd";
        FormatSettings().LongTimeFormat = "hh:nn:ss";
    }
    void useDatabase(const std::string& name)
    {
        m_name = name;
        m_db = connectTo(name);
    }
    std::unique_ptr<TmySQLQuery> query(const std::string& sql, const std::string& component = {})
    {
        auto q = std::make_unique<TmySQLQuery>(component);
        q->SetDatabase(m_db.get());
        q->SetSQL(sql);
        return q;
    }
    FormatGuard m_formats;
    std::string m_name;
    std::unique_ptr<TmySQLDatabase> m_db;
};

// Column lengths of a latin1 table are counted in characters, as the field rules expect.
const char* kTypesTable =
    "create table types (id int not null auto_increment primary key, si smallint, ti tinyint unsigned,"
    " mi mediumint, bi bigint, yr year, fl float, db double, de decimal(10,2), dt datetime,"
    " ts timestamp null default null, d date, t time, vc varchar(255), vc300 varchar(300), ch char(10),"
    " en enum('Y','N'), en3 enum('T','F','X'), st set('a','b'), tx text, bl blob, lb longblob,"
    " vb varbinary(10), iu int unsigned) engine=InnoDB default charset=latin1;"
    "insert into types values (1, -2, 200, -300000, 5000000000, 2004, 0.5, -1234.25, 12.50,"
    " '2004-01-15 13:05:09', '2004-01-15 13:05:09', '2004-01-15', '13:05:09', 'hello', 'long text',"
    " 'abc', 'N', 'X', 'a,b', 'memo text', 'bytes', '', 'vb', 7);"
    "insert into types (id) values (2);";

TEST_F(QueryTest, EveryColumnTypeMapsToItsField)
{
    useDatabase(freshDatabase("dbq"));
    runSql(kTypesTable, m_name);
    auto q = query("select * from types order by id");
    q->Open();
    ASSERT_EQ(q->RecordCount(), 2);
    struct Expect {
        const char* name;
        TFieldType type;
        int size;
        const char* text;  // first row
        bool nullInRow2;   // Value() of the second row is null
    } expected[] = {
        {"id", ftAutoInc, 0, "1", false},
        {"si", ftSmallint, 0, "-2", true},
        {"ti", ftWord, 0, "200", true},
        {"mi", ftInteger, 0, "-300000", true},
        {"bi", ftLargeint, 0, "5000000000", true},
        {"yr", ftInteger, 0, "2004", true},
        {"fl", ftFloat, 0, "0,5", true},
        {"db", ftFloat, 0, "-1234,25", true},
        {"de", ftFloat, 0, "12,5", true},
        {"dt", ftDateTime, 0, "2004-01-15 13:05:09", true},
        {"ts", ftDateTime, 0, "2004-01-15 13:05:09", true},
        {"d", ftDate, 0, "2004-01-15", true},
        {"t", ftTime, 0, "13:05:09", true},
        {"vc", ftString, 255, "hello", true},
        {"vc300", ftMemo, 0, "long text", false},
        {"ch", ftString, 10, "abc", true},
        {"en", ftBoolean, 0, "False", true},
        {"en3", ftString, 1, "X", true},
        {"st", ftString, 3, "a,b", true},
        {"tx", ftMemo, 0, "memo text", false},
        {"bl", ftBlob, 0, "bytes", false},
        {"lb", ftBlob, 0, "", false},
        {"vb", ftString, 10, "vb", true},
        {"iu", ftInteger, 0, "7", true},
    };
    ASSERT_EQ(q->FieldCount(), static_cast<int>(std::size(expected)));
    for (size_t i = 0; i < std::size(expected); ++i) {
        const auto& e = expected[i];
        TField& f = q->Fields(static_cast<int>(i));
        EXPECT_EQ(f.FieldName(), e.name);
        EXPECT_EQ(FieldTypeName(f.DataType()), std::string(FieldTypeName(e.type))) << e.name;
        EXPECT_EQ(f.Size(), e.size) << e.name;
        EXPECT_EQ(f.FieldNo(), static_cast<int>(i) + 1);
        EXPECT_EQ(q->FieldByName(e.name).AsString(), e.text) << e.name;
        EXPECT_FALSE(f.IsNull()) << e.name;
    }
    // Typed values of the first row.
    EXPECT_EQ(q->FieldValues("bi").Kind(), VarKind::Int64);
    EXPECT_EQ(q->FieldValues("si").Kind(), VarKind::Integer);
    EXPECT_EQ(q->FieldValues("de").AsFloat(), 12.5);
    EXPECT_EQ(q->FieldValues("dt").AsDateTime(), EncodeDate(2004, 1, 15) + EncodeTime(13, 5, 9));
    EXPECT_EQ(q->FieldValues("t").AsDateTime(), EncodeTime(13, 5, 9));
    EXPECT_EQ(q->FieldValues("en").Kind(), VarKind::Boolean);
    EXPECT_EQ(q->FieldByName("ID").AsInteger(), 1);  // names compare without regard to case
    EXPECT_TRUE(q->FieldByName("id").Required() == false);

    q->Next();
    for (const auto& e : expected) {
        TField& f = q->FieldByName(e.name);
        EXPECT_EQ(f.Value().IsNull(), e.nullInRow2) << e.name;
        if (!e.nullInRow2 && f.IsBlob()) {
            EXPECT_EQ(f.Value().AsString(), "") << e.name;
            EXPECT_TRUE(f.IsNull()) << e.name;  // the column is NULL, the value reads as empty text
        }
        if (e.nullInRow2) {
            EXPECT_EQ(f.AsString(), "") << e.name;
        }
    }
    // A NULL integer reads as 0 through AsInteger; a NULL VARCHAR is null, a NULL TEXT is "".
    EXPECT_EQ(q->FieldByName("mi").AsInteger(), 0);
    EXPECT_TRUE(q->FieldValues("vc").IsNull());
    EXPECT_EQ(q->FieldValues("tx").Kind(), VarKind::String);
    EXPECT_EQ(q->FieldValues("tx").AsString(), "");
}

TEST_F(QueryTest, RequiredFollowsNotNullWithoutDefault)
{
    useDatabase(freshDatabase("dbq"));
    runSql("create table r (id int not null primary key, a int not null, b int not null default 3, c varchar(10) null);"
           "create table ai (i int not null auto_increment primary key);"
           "create table bi (k bigint not null auto_increment primary key);"
           "insert into r (id, a) values (1, 1); insert into ai values (1); insert into bi values (1);",
           m_name);
    auto q = query("select id, a, b, c, i, k from r, ai, bi");
    q->Open();
    struct Case {
        const char* name;
        bool required;
    } cases[] = {{"id", true}, {"a", true}, {"b", false}, {"c", false}, {"i", false}, {"k", false}};
    for (const auto& c : cases)
        EXPECT_EQ(q->FieldByName(c.name).Required(), c.required) << c.name;
    EXPECT_EQ(q->FieldByName("i").DataType(), ftAutoInc);
    EXPECT_EQ(q->FieldByName("k").DataType(), ftLargeint);
}

TEST_F(QueryTest, NamesAreMadeUniqueAndEmptyOrNullExpressionsHaveNoField)
{
    useDatabase(freshDatabase("dbq"));
    runSql("create table a (id int); insert into a values (7);", m_name);
    auto q = query("select x.id, y.id, x.id as ID, '' as e, null as n, 'v' as s from a x, a y", "mySQLQuery2");
    q->Open();
    ASSERT_EQ(q->FieldCount(), 4);
    EXPECT_EQ(q->Fields(0).FieldName(), "id");
    EXPECT_EQ(q->Fields(1).FieldName(), "id_1");
    EXPECT_EQ(q->Fields(2).FieldName(), "ID_2");
    EXPECT_EQ(q->Fields(3).FieldName(), "s");
    EXPECT_TRUE(q->Fields(3).Calculated());
    for (const char* missing : {"e", "n", "nothing"}) {
        try {
            q->FieldByName(missing);
            ADD_FAILURE() << missing;
        } catch (const EDatabaseError& e) {
            EXPECT_EQ(std::string(e.what()), std::string("mySQLQuery2: Field '") + missing + "' not found");
        }
    }
}

TEST_F(QueryTest, ZeroDatesAndTimestampForms)
{
    useDatabase(freshDatabase("dbq"));
    runSql("set sql_mode=''; create table z (dt datetime, ts timestamp null default null, d date);"
           "insert into z values ('0000-00-00 00:00:00', '0000-00-00 00:00:00', '0000-00-00');"
           "insert into z values ('2004-01-15 13:05:09', '2004-01-15 13:05:09', '2004-01-15');",
           m_name);
    auto q = query("select dt, ts, d from z");
    q->Open();
    EXPECT_EQ(q->FieldValues("dt").AsDateTime(), 0);  // 1899-12-30 00:00:00
    EXPECT_EQ(q->FieldValues("d").AsDateTime(), 0);
    EXPECT_EQ(q->FieldValues("ts").AsDateTime(), EncodeDate(1, 1, 1));
    q->Next();
    const double stamp = EncodeDate(2004, 1, 15) + EncodeTime(13, 5, 9);
    EXPECT_EQ(q->FieldValues("ts").AsDateTime(), stamp);
    EXPECT_EQ(q->FieldValues("dt").AsDateTime(), stamp);
}

TEST_F(QueryTest, OpeningSendsTheStatementAndItsProbesInOrder)
{
    useDatabase(freshDatabase("dbq"));
    // Both columns NOT NULL: each gets a DESCRIBE probe.
    runSql("create table users (Username varchar(60) not null primary key, Role varchar(10) not null);"
           "insert into users values ('ADMIN', 'ADMIN');",
           m_name);
    TraceRecorder trace;
    auto q = query("select Role, Username from users");
    uint64_t trips = m_db->RoundTrips();
    q->Open();
    EXPECT_EQ(trace.statements(),
              (std::vector<std::string>{"select Role, Username from users\r\n", "SHOW INDEX FROM `users`",
                                        "DESCRIBE `users` 'Role'", "DESCRIBE `users` 'Username'"}));
    // The statement and the three probes: a connection that has just answered needs no ping.
    EXPECT_EQ(m_db->RoundTrips() - trips, 4u);
    EXPECT_EQ(q->RecordCount(), 1);
    EXPECT_EQ(q->FieldByName("username").AsString(), "ADMIN");
    // A prepared query opened again pays only for its statement.
    q->Close();
    trace.clear();
    q->Open();
    EXPECT_EQ(trace.statements(), std::vector<std::string>{"select Role, Username from users\r\n"});
    // Assigning the text again prepares anew, and another query on the same table is a new
    // statement too: the connection answered the probes of this table already.
    q->SetSQL("select Role, Username from users");
    auto other = query("select Username from users where Role = 'ADMIN'");
    for (TmySQLQuery* each : {q.get(), other.get()}) {
        trace.clear();
        trips = m_db->RoundTrips();
        each->Open();
        EXPECT_EQ(m_db->RoundTrips() - trips, 1u) << "the statement alone";
        EXPECT_EQ(trace.statements().size(), 1u);
        EXPECT_EQ(each->FieldByName("Username").Required(), true) << "the kept answers still apply";
        each->Close();
    }
    // A new connection asks again; with a ping before every statement, the probes can be given
    // their pings back.
    PingAfterIdleMs = 0;
    m_db->SetConnected(false);
    m_db->SetConnected(true);
    PingAfterIdleMs = 5000;
    trace.clear();
    PingBeforeProbes = true;
    trips = m_db->RoundTrips();
    q->Open();
    PingBeforeProbes = false;
    EXPECT_EQ(m_db->RoundTrips() - trips, 8u);
    EXPECT_EQ(trace.statements().size(), 4u);
    EXPECT_EQ(trace.events.front().first, TraceOp::Prepare);
}

TEST_F(QueryTest, ProbeAnswersAreAskedAgainAfterTheConnectionIsReestablished)
{
    useDatabase(freshDatabase("dbq"));
    runSql("create table p (id int not null primary key)", m_name);
    auto q = query("select id from p");
    q->Open();
    const std::string id = [&] {
        auto c = query("select connection_id() as c");
        c->Open();
        return c->FieldByName("c").AsString();
    }();
    // The server drops the connection; the next statement reconnects silently.
    runSql("kill " + id);
    TraceRecorder trace;
    auto again = query("select id from p");
    again->Open();
    EXPECT_EQ(trace.statements(),
              (std::vector<std::string>{"select id from p\r\n", "SHOW INDEX FROM `p`", "DESCRIBE `p` 'id'"}));
}

TEST_F(QueryTest, NavigationOverTheStoredRows)
{
    useDatabase(freshDatabase("dbq"));
    runSql("create table n (a int); insert into n values (1),(2),(3);", m_name);
    auto q = query("select a from n order by a");
    q->Open();
    EXPECT_EQ(q->RecordCount(), 3);
    EXPECT_TRUE(q->Bof());
    EXPECT_FALSE(q->Eof());
    std::vector<int> seen;
    while (!q->Eof()) {
        seen.push_back(q->FieldByName("a").AsInteger());
        q->Next();
    }
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3}));
    // Moving past the last row leaves it current.
    EXPECT_EQ(q->RecNo(), 3);
    EXPECT_EQ(q->FieldByName("a").AsInteger(), 3);
    q->Prior();
    EXPECT_EQ(q->FieldByName("a").AsInteger(), 2);
    EXPECT_FALSE(q->Eof());
    q->Prior();
    q->Prior();
    EXPECT_TRUE(q->Bof());
    EXPECT_EQ(q->RecNo(), 1);
    q->Last();
    EXPECT_TRUE(q->Eof());
    EXPECT_EQ(q->FieldByName("a").AsInteger(), 3);
    q->First();
    EXPECT_EQ(q->FieldByName("a").AsInteger(), 1);
    q->SetRecNo(2);
    EXPECT_EQ(q->FieldByName("a").AsInteger(), 2);
    EXPECT_EQ(q->RecordCount(), 3);

    auto empty = query("select a from n where a > 10");
    empty->Open();
    EXPECT_EQ(empty->RecordCount(), 0);
    EXPECT_TRUE(empty->Eof());
    EXPECT_TRUE(empty->FieldByName("a").IsNull());
    empty->Close();
    try {
        empty->RecordCount();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Cannot perform this operation on a closed dataset");
    }
}

TEST_F(QueryTest, BlobsReadBackByteForByte)
{
    useDatabase(freshVeltranaDatabase("dbq"));
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    all += std::string("\0\0'\"\\", 5);
    const std::string path = ::testing::TempDir() + "/dbq_blob.rvf";
    {
        std::ofstream(path, std::ios::binary) << all;
    }
    auto ins = query("insert into Req_objects (RequirementID, Document) values (:RequirementID,:Document)");
    EXPECT_EQ(ins->PreparedText(), "insert into Req_objects (RequirementID, Document) values (?,?)\r\n");
    ins->ParamByName("RequirementID").SetValue(1);
    ins->ParamByName("Document").LoadValueFromFile(path, ftBlob);
    ins->Execute();
    EXPECT_EQ(ins->AffectedRowCount(), 1);
    ins->ParamByName("RequirementID").SetValue(2);
    ins->ParamByName("Document").SetAsBlob("");
    ins->Execute();
    ins->ParamByName("RequirementID").SetValue(3);
    ins->ParamByName("Document").SetValue(Variant::Null());
    ins->Execute();

    auto q = query("select RequirementID, Document from Req_objects order by RequirementID");
    q->Open();
    TField& doc = q->FieldByName("Document");
    EXPECT_EQ(doc.DataType(), ftBlob);
    auto reader = q->OpenBlobReader(doc);
    EXPECT_EQ(reader->Size(), static_cast<int64_t>(all.size()));
    // Read in pieces; the end yields 0 bytes.
    std::string got;
    char buf[100];
    size_t n;
    while ((n = reader->Read(buf, sizeof buf)) > 0)
        got.append(buf, n);
    EXPECT_EQ(got, all);
    EXPECT_EQ(reader->Read(buf, sizeof buf), 0u);
    EXPECT_EQ(q->OpenBlobReader("Document")->ReadAll(), all);  // from the row's cache
    EXPECT_EQ(doc.AsString(), all);
    q->Next();
    EXPECT_EQ(q->OpenBlobReader(doc)->Size(), 0);
    EXPECT_FALSE(doc.IsNull());
    q->Next();
    EXPECT_EQ(q->OpenBlobReader(doc)->Size(), 0);
    EXPECT_TRUE(doc.IsNull());
    EXPECT_EQ(doc.Value().Kind(), VarKind::String);
    EXPECT_THROW(q->OpenBlobReader("RequirementID"), EVariantError);
    std::remove(path.c_str());
}

TEST_F(QueryTest, ParameterStatementTextIsRenderedExactly)
{
    useDatabase(freshVeltranaDatabase("dbq"));
    const std::string path = ::testing::TempDir() + "/dbq_three.rvf";
    {
        std::ofstream(path, std::ios::binary) << std::string("a\0'", 3);
    }
    auto ins = query("insert into Req_objects (RequirementID, Document) values (:RequirementID,:Document)");
    ins->ParamNamed("RequirementID").SetValue(5);
    ins->ParamNamed("Document").LoadValueFromFile(path, ftBlob);
    TraceRecorder trace;
    ins->Execute();
    EXPECT_EQ(trace.statements(), std::vector<std::string>{std::string(
                                      "insert into Req_objects (RequirementID, Document) values (5,'a\\0\\'')")});
    EXPECT_EQ(runSql("select hex(Document) from Req_objects where RequirementID = 5", m_name), "610027\n");
    // A new text keeps value and type of a parameter of the same name.
    ins->SetSQL("select RequirementID from Req_objects where RequirementID = :requirementid");
    EXPECT_EQ(ins->ParamCount(), 1);
    EXPECT_EQ(ins->Params()[0].Name(), "RequirementID");
    EXPECT_EQ(ins->Params()[0].DataType(), ftInteger);
    ins->Open();
    EXPECT_EQ(ins->RecordCount(), 1);
    std::remove(path.c_str());
}

TEST_F(QueryTest, OpenAndExecuteFailures)
{
    useDatabase(freshDatabase("dbq"));
    runSql("create table u (a int, b int unsigned); insert into u values (1, 4294967295);", m_name);

    // An UPDATE runs, then the open reports that it gave no rows.
    auto q = query("update u set a = 2");
    try {
        q->Open();
        FAIL();
    } catch (const ENoResultSet& e) {
        EXPECT_STREQ(e.what(), "Error creating cursor handle");
    }
    EXPECT_FALSE(q->Active());
    EXPECT_EQ(runSql("select a from u", m_name), "2\n");

    // A second Execute of the same parameterless query sends an empty statement.
    auto ex = query("update u set a = 3");
    ex->Execute();
    EXPECT_EQ(ex->AffectedRowCount(), 1);
    try {
        ex->Execute();
        FAIL();
    } catch (const EmySQLDatabaseError& e) {
        EXPECT_EQ(std::string(e.what()), "mySQL Error Code: (1065)\r\nQuery was empty");
    }

    // Server errors keep the query prepared and inactive.
    auto missing = query("select * from missing");
    try {
        missing->Open();
        FAIL();
    } catch (const EmySQLDatabaseError& e) {
        EXPECT_EQ(e.ErrorCode(), 1001);
        EXPECT_EQ(std::string(e.what()), "mySQL Error Code: (1146)\r\nTable '" + m_name + ".missing' doesn't exist");
    }
    EXPECT_FALSE(missing->Active());
    EXPECT_TRUE(missing->Prepared());

    // An INT UNSIGNED beyond 32 bits: the row opens (values convert when read), and reading
    // that value raises; its text is still shown.
    auto big = query("select b from u");
    big->Open();
    EXPECT_TRUE(big->Active());
    try {
        big->FieldValues("b");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'4294967295' is not a valid integer value");
    }
    EXPECT_THROW(big->FieldByName("b").AsInteger(), EConvertError);
}

TEST_F(QueryTest, MisuseMessagesCarryTheComponentName)
{
    useDatabase(freshDatabase("dbq"));
    struct Case {
        std::function<void()> act;
        const char* message;
    };
    TmySQLQuery named("SelectRTFQuery");
    TmySQLQuery noDb("InsertRTFQuery");
    noDb.SetSQL("select 1");
    named.SetDatabase(m_db.get());
    Case cases[] = {
        {[&] { named.Open(); }, "SelectRTFQuery: No SQL statement available"},
        {[&] { named.Execute(); }, "SelectRTFQuery: No SQL statement available"},
        {[&] {
             named.SetSQL("select :a");
             named.ParamByName("b");
         },
         "SelectRTFQuery: Parameter 'b' not found"},
        {[&] {
             named.SetSQL("select 1 as a");
             named.SetParamCheck(false);
             named.SetSQL("select :b as a");
             named.Params().Add("c");
             named.Open();
         },
         "SelectRTFQuery: Parameter 'b' not found"},
        {[&] {
             named.SetParamCheck(true);
             named.SetSQL("select 1 as a");
             named.Open();
             named.Execute();
         },
         "SelectRTFQuery: Cannot perform this operation on an open dataset"},
        {[&] { noDb.Open(); }, "(InsertRTFQuery) property Database is not set!"},
        {[&] { noDb.Execute(); }, "Property Database not set!"},
    };
    for (const auto& c : cases) {
        try {
            c.act();
            ADD_FAILURE() << c.message;
        } catch (const EDatabaseError& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
    }
    EXPECT_TRUE(named.Active());
}

TEST_F(QueryTest, CommentsAndColonsInTheSentText)
{
    useDatabase(freshDatabase("dbq"));
    runSql("create table one (k int); insert into one values (1);", m_name);
    TraceRecorder trace;
    auto q = query("select 'a::b' as x, 1 as y # gone\r\nfrom one -- stays on the last line");
    q->Open();
    auto p = query("select 'a:b' as x, 5 #c\r\n   as y");
    p->Open();
    auto r = query("select  :v   as z # one line keeps its hash");
    r->ParamByName("v").SetValue(Variant::Int64(7));
    r->Open();
    EXPECT_EQ(trace.statements()[0], "select 'a::b' as x, 1 as y \r\nfrom one -- stays on the last line\r\n");
    EXPECT_EQ(q->FieldByName("x").AsString(), "a::b");
    EXPECT_EQ(p->FieldByName("y").AsInteger(), 5);
    EXPECT_EQ(r->StatementText(), "select '7' as z # one line keeps its hash");
    EXPECT_EQ(r->FieldByName("z").AsString(), "7");
}

TEST_F(QueryTest, ReadTextIsConvertedBetweenDifferingCharsets)
{
    useDatabase(freshDatabase("dbq"));
    runSql("create table c (v varbinary(10), b blob); insert into c values (0xE0, 0xE0);", m_name);
    const uint8_t savedClient = ClientCharsetIndex();
    ServerCharsetIndex = 15;    // windows-1251
    SetClientCharsetIndex(43);  // KOI8-R
    auto q = query("select v, b from c");
    q->Open();
    EXPECT_EQ(q->FieldByName("v").AsString(), "\xC1");
    EXPECT_EQ(q->FieldByName("b").AsString(), "\xE0");
    ServerCharsetIndex = 0;
    SetClientCharsetIndex(savedClient);
    q->Close();
    q->Open();
    EXPECT_EQ(q->FieldByName("v").AsString(), "\xE0");
}

TEST_F(QueryTest, MasterDataSetFillsUnassignedParameters)
{
    useDatabase(freshDatabase("dbq"));
    runSql("create table m (id int, name varchar(20)); insert into m values (1,'one'),(2,'two');", m_name);
    auto master = query("select 2 as id");
    master->Open();
    auto detail = query("select name from m where id = :id");
    detail->SetDataSource(master.get());
    detail->Open();
    EXPECT_EQ(detail->FieldByName("name").AsString(), "two");
    EXPECT_FALSE(detail->ParamByName("id").Bound());
    detail->Close();
    detail->ParamByName("id").SetValue(1);
    detail->Open();
    EXPECT_EQ(detail->FieldByName("name").AsString(), "one");
}

}  // namespace

TEST_F(QueryTest, ABatchGivesEachStatementItsOutcomeAndALostTransactionIsNeverRunAgain)
{
    useDatabase(freshDatabase("dbq_batch"));
    runSql("create table t (id int primary key, v varchar(10)) engine=InnoDB", m_name);
    TraceRecorder trace;
    m_db->ExecuteDirect("select 1");
    const uint64_t trips = m_db->RoundTrips();
    const std::vector<std::string> first = {"start transaction", "insert into t values (1, 'a'), (2, 'b')",
                                            "insert into t values (1, 'dup')", "update t set v = 'B' where id = 2"};
    std::vector<TStatementOutcome> o = m_db->ExecuteBatch(first);
    EXPECT_EQ(m_db->RoundTrips() - trips, 1u);
    EXPECT_EQ(trace.statements(), (std::vector<std::string>{"select 1", first[0], first[1], first[2], first[3]}));
    ASSERT_EQ(o.size(), 4u);
    EXPECT_TRUE(o[0].ok && o[1].ok && o[3].ok);
    EXPECT_EQ(o[1].rowsAffected, 2u);
    EXPECT_EQ(o[3].rowsAffected, 1u);
    EXPECT_FALSE(o[2].ok);
    EXPECT_EQ(o[2].errorCode, 1062);
    try {
        m_db->RaiseFailure(o[2]);
        ADD_FAILURE() << "a failed outcome raises";
    } catch (const EmySQLDatabaseError& e) {
        EXPECT_EQ(e.ServerError(), 1062);
        EXPECT_NE(std::string(e.what()).find("Duplicate entry"), std::string::npos) << e.what();
    }
    m_db->RaiseFailure(o[0]);  // a success raises nothing

    // The connection is killed while the transaction is open: the next batch is not sent to
    // a new connection, and says the transaction was lost.
    auto q = query("select connection_id() as Id");
    q->Open();
    const std::string connection = q->FieldByName("Id").AsString();
    q->Close();
    connectTo(m_name)->ExecuteDirect("kill connection " + connection);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    o = m_db->ExecuteBatch({"insert into t values (3, 'c')", "commit"});
    ASSERT_EQ(o.size(), 2u);
    for (const TStatementOutcome& each : o) {
        EXPECT_FALSE(each.ok);
        EXPECT_NE(each.errorText.find("lost inside a transaction"), std::string::npos) << each.errorText;
    }
    m_db->RollbackTransaction();
    auto rows = query("select count(*) as N from t");
    rows->Open();
    EXPECT_EQ(rows->FieldByName("N").AsInteger(), 0) << "nothing of the transaction was stored";
}
