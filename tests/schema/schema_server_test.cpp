// The shared database schema as the set-up scripts create it on the test server, and the
// upgrade of a database made by the previous release.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <vector>

#include "TestServer.h"
#include "data/Schema.h"

#include <string>

using vt::test::runSql;

namespace {
// The schema version this source tree creates, as the server prints it.
const std::string kVersionText = std::to_string(vt::app::data::schema::kVersion);
}  // namespace

TEST(Schema, LoadsWithGlobalSettingsRowAndAdminAccount) {
    const std::string db = vt::test::freshVeltranaDatabase("schema");
    EXPECT_EQ(runSql("select count(*) from global_settings", db), "1\n");
    EXPECT_EQ(runSql("select Username, Role from Users", db), "ADMIN\tADMIN\n");
    // The eleven tables of the application, history, the search's text table and schema_version.
    EXPECT_EQ(runSql("select count(*) from information_schema.tables where table_schema = '" + db + "'"),
              "14\n");
}

TEST(Schema, DocumentInsertedWithTheClientsColumnsReadsBackTheDefaults)
{
    const std::string db = vt::test::freshVeltranaDatabase("schema");
    // The columns the client writes when it creates a document.
    runSql("insert into Requirements (hash, Level, ParentID, RequirementName, Created, Owner, modified, modifiedBy) "
           "values (4711, 2, 1, 'Topic', now(), 'ADMIN', now(), 'ADMIN')",
           db);
    EXPECT_EQ(runSql("select Version, Status, Priority, Messages, Attachments from requirements where hash = 4711", db),
              "1\tSubmitted\tUnassigned\t0\t0\n");
    // A category inserted with only its project and name has a NULL description.
    runSql("insert into Catagories (ProjectID, CatagoryName) values (1, 'Plans')", db);
    EXPECT_EQ(runSql("select Description is null from catagories", db), "1\n");
}

TEST(Schema, TableNamesResolveInAnyLetterCase)
{
    const std::string db = vt::test::freshVeltranaDatabase("schema");
    runSql("insert into Req_Objects (RequirementID) values (1)", db);
    for (const char* spelling : {"Req_objects", "Req_Objects", "req_objects", "REQ_OBJECTS"})
        EXPECT_EQ(runSql(std::string("select count(*) from ") + spelling, db), "1\n") << spelling;
}

TEST(Schema, MsgStateSharesNoColumnNameWithMessagesBeyondTheJoinKeys)
{
    const std::string db = vt::test::freshVeltranaDatabase("schema");
    const std::string shared =
        runSql("select lower(a.column_name) from information_schema.columns a join information_schema.columns b "
               "on lower(a.column_name) = lower(b.column_name) and b.table_schema = a.table_schema "
               "where a.table_schema = '" +
               db +
               "' and lower(a.table_name) = 'msg_state' "
               "and lower(b.table_name) = 'req_messages' order by 1");
    EXPECT_EQ(shared, "msgid\nrequirementid\n");
}

TEST(Schema, UnicodeNamesRoundTripAndCompareWithoutCase)
{
    const std::string db = vt::test::freshVeltranaDatabase("schema");
    runSql("insert into Projects (ProjectName) values ('Ünïcödé Café')", db);
    EXPECT_EQ(runSql("select ProjectName from projects where projectname = 'ÜNÏCÖDÉ CAFÉ'", db), "Ünïcödé Café\n");
}

namespace {

std::string readText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

const char* const kTables[] = {"Users",      "global_settings", "Projects",    "ProjectMembers",
                               "Catagories", "Requirements",    "Req_objects", "Req_messages",
                               "msg_state",  "Attachments",     "activity_Log"};

// A database of the previous release, with rows in every table: quotes, backslashes,
// multibyte text, NULLs, binary bytes, and two equal rows where nothing prevents them.
std::string previousReleaseDatabase()
{
    const std::string db = vt::test::freshDatabase("upgrade");
    runSql(readText(SCHEMA_FIXTURE_DIR "/schema-v1.sql"), db);
    runSql(readText(vt::test::sqlDir() + "/initial-data.sql"), db);
    runSql("INSERT INTO Users VALUES ('O\\'B\\\\X', 'p\\'w', 'Zoë', NULL, 'a\\tb@x', 'Grüße 😀', 'USER', "
           "'2026-01-02 03:04:05', NULL);"
           "INSERT INTO global_settings VALUES ('C:\\\\share\\\\', NULL, '/docs/ü', 1);"
           "INSERT INTO Projects VALUES (7, 'Proj \\'1\\' -- /*', 'line\\nnext', NULL, 'O\\'B\\\\X');"
           "INSERT INTO ProjectMembers VALUES ('O\\'B\\\\X', 7), ('O\\'B\\\\X', 7), (NULL, NULL), ('ADMIN', 7);"
           "INSERT INTO Catagories VALUES (3, 7, '日本語', NULL);"
           "INSERT INTO Requirements VALUES (10, 4711, 2, 3, 'Topic \\\\\\'', now(), 'ADMIN', NULL, NULL, 1.5, "
           "'<b>', NULL, 1, 0);"
           "INSERT INTO Req_objects VALUES (1, 10, X'00275C0AFF00');"
           "INSERT INTO Req_messages VALUES (5, 'Re: \\'q\\'', 'ADMIN', NULL, '2026-01-02 03:04:05', 10, 99, 0, 7);"
           "INSERT INTO msg_state VALUES (10, 5, 'O\\'B\\\\X', 1), (10, 5, 'O\\'B\\\\X', 1), (NULL, NULL, NULL, NULL);"
           "INSERT INTO Attachments VALUES (2, 10, 'http://x/?a=\\'1\\'&b=\\\\', NULL, 'ADMIN', NULL, 0);"
           "INSERT INTO activity_Log VALUES ('UPD_DOC', 'ADMIN', '2026-01-02 03:04:05', 7, 3, 10, 0),"
           "('UPD_DOC', 'ADMIN', '2026-01-02 03:04:05', 7, 3, 10, 0), ('DISC_POST', NULL, NULL, 7, 3, 10, 5);",
           db);
    return db;
}

// Every row of every table as the client sees it ("select *"), lines sorted per table.
std::string contents(const std::string& db)
{
    std::string all;
    for (const char* table : kTables) {
        std::istringstream rows(runSql(std::string("select * from ") + table, db));
        std::vector<std::string> lines;
        for (std::string line; std::getline(rows, line);)
            lines.push_back(line);
        std::sort(lines.begin(), lines.end());
        all += std::string("== ") + table + "\n";
        for (const std::string& line : lines)
            all += line + "\n";
    }
    return all + runSql("select hex(Document) from Req_objects", db);
}

// The definition of every table, without the counters that depend on the rows.
std::string structure(const std::string& db)
{
    std::string all;
    for (const char* table : kTables)
        all += runSql(std::string("show create table ") + table, db);
    all += runSql("show create table schema_version", db);
    all += runSql("show create table Req_revisions", db);
    all += runSql("show create table search_body_text", db);
    return std::regex_replace(all, std::regex(" AUTO_INCREMENT=[0-9]+"), "");
}

struct ScriptRun {
    int status;
    std::string output;
};

ScriptRun upgrade(const std::string& db)
{
    const std::string cmd = "bash " + vt::test::sqlDir() + "/../scripts/setup-db.sh --upgrade --socket " +
                            vt::test::testServer().socket + " --database " + db + " 2>&1";
    ScriptRun run{-1, {}};
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return run;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;)
        run.output.append(buf, n);
    run.status = pclose(p);
    return run;
}

}  // namespace

TEST(Schema, EveryTableHasAPrimaryKeyAndTheVersionRow)
{
    const std::string db = vt::test::freshVeltranaDatabase("schema");
    EXPECT_EQ(runSql("select lower(t.table_name) from information_schema.tables t where t.table_schema = '" + db +
                     "' and not exists (select 1 from information_schema.table_constraints c where "
                     "c.table_schema = t.table_schema and c.table_name = t.table_name and "
                     "c.constraint_type = 'PRIMARY KEY')"),
              "");
    EXPECT_EQ(runSql("select VersionID, Version from schema_version", db), "1\t" + kVersionText + "\n");
    // The added keys are invisible: inserts without a column list and "select *" stay as they were.
    runSql("insert into msg_state values (10, 5, 'BOB', 1); insert into ProjectMembers values ('BOB', 1);"
           "insert into activity_Log values ('UPD_DOC', 'BOB', now(), 1, 1, 10, 0)",
           db);
    EXPECT_EQ(runSql("select * from msg_state", db), "10\t5\tBOB\t1\n");
    EXPECT_EQ(runSql("select * from ProjectMembers", db), "BOB\t1\n");
    EXPECT_EQ(runSql("select * from global_settings", db), "\t\t\t0\n");
}

TEST(SchemaUpgrade, PreviousReleaseIsUpgradedOnceKeepingEveryRow)
{
    const std::string db = previousReleaseDatabase();
    const std::string before = contents(db);
    ASSERT_NE(before.find("Grüße 😀"), std::string::npos);

    const ScriptRun first = upgrade(db);
    ASSERT_EQ(first.status, 0) << first.output;
    EXPECT_NE(first.output.find("upgraded from schema version 1 to " + kVersionText), std::string::npos)
        << first.output;
    EXPECT_EQ(contents(db), before);
    EXPECT_EQ(runSql("select Version from schema_version", db), kVersionText + "\n");
    EXPECT_EQ(structure(db), structure(vt::test::freshVeltranaDatabase("schema")));
    // The equal rows kept apart by their new keys.
    EXPECT_EQ(runSql("select count(distinct MemberID) from ProjectMembers where ProjectID = 7 and UserName = "
                     "'O\\'B\\\\X'",
                     db),
              "2\n");

    const ScriptRun second = upgrade(db);
    ASSERT_EQ(second.status, 0) << second.output;
    EXPECT_NE(second.output.find("at schema version " + kVersionText + " already"), std::string::npos)
        << second.output;
    EXPECT_EQ(contents(db), before);
    EXPECT_EQ(runSql("select VersionID, Version from schema_version", db), "1\t" + kVersionText + "\n");
}

// The server commits each step on its own: a run that stopped after some steps, before the
// version row, is finished by the next run.
TEST(SchemaUpgrade, RunThatStoppedHalfWayIsFinishedByTheNextRun)
{
    const std::string db = previousReleaseDatabase();
    const std::string before = contents(db);
    runSql("ALTER TABLE global_settings ADD COLUMN SettingsID INT NOT NULL AUTO_INCREMENT INVISIBLE FIRST, "
           "ADD PRIMARY KEY (SettingsID);"
           "ALTER TABLE msg_state ADD COLUMN StateID INT NOT NULL AUTO_INCREMENT INVISIBLE FIRST, "
           "ADD PRIMARY KEY (StateID);"
           "CREATE TABLE schema_version (VersionID TINYINT NOT NULL, Version INT NOT NULL, PRIMARY KEY (VersionID))",
           db);
    const ScriptRun run = upgrade(db);
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("from schema version 1 to " + kVersionText), std::string::npos) << run.output;
    EXPECT_EQ(contents(db), before);
    EXPECT_EQ(structure(db), structure(vt::test::freshVeltranaDatabase("schema")));
}

TEST(SchemaUpgrade, NewerSchemaIsLeftAlone)
{
    const std::string db = vt::test::freshVeltranaDatabase("schema");
    const std::string newer = std::to_string(vt::app::data::schema::kVersion + 1);
    runSql("update schema_version set Version = " + newer, db);
    const std::string before = structure(db);
    const ScriptRun run = upgrade(db);
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.output.find("schema version " + newer + ", newer than version " + kVersionText), std::string::npos)
        << run.output;
    EXPECT_EQ(structure(db), before);
    EXPECT_EQ(runSql("select Version from schema_version", db), newer + "\n");
}

// Every document of an upgraded database starts at revision 1 with no history, and the
// first save through the new column keeps the version it replaced.
TEST(SchemaUpgrade, DocumentsStartAtRevisionOneWithAnEmptyHistory)
{
    const std::string db = previousReleaseDatabase();
    runSql("INSERT INTO Requirements VALUES (11, 1, 3, 10, 'Below', NULL, 'ADMIN', NULL, NULL, 1.0, NULL, NULL, 0, 0)",
           db);
    const ScriptRun run = upgrade(db);
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(runSql("select RequirementID, Revision from Requirements order by RequirementID", db), "10\t1\n11\t1\n");
    EXPECT_EQ(runSql("select count(*) from Req_revisions", db), "0\n");
    // The body bytes of the v1 row go into history unchanged.
    runSql("insert into Req_revisions (RequirementID, Revision, RequirementName, Document, DocSize) "
           "select r.RequirementID, r.Revision, r.RequirementName, o.Document, length(o.Document) "
           "from Requirements r left join Req_objects o on o.RequirementID = r.RequirementID "
           "where r.RequirementID = 10",
           db);
    EXPECT_EQ(runSql("select Revision, RequirementName, hex(Document), DocSize from Req_revisions", db),
              "1\tTopic \\\\'\t00275C0AFF00\t6\n");
}

// The search's step: the text table and the FULLTEXT indexes, found with two-letter words and
// stop words, on the rows the previous release left; a run that stopped after some indexes is
// finished by the next.
TEST(SchemaUpgrade, SearchIndexesFindTheRowsOfThePreviousRelease)
{
    const std::string db = previousReleaseDatabase();
    runSql("INSERT INTO Requirements (RequirementID, Level, ParentID, RequirementName) VALUES (11, 2, 3, 'UI about');"
           "INSERT INTO Req_messages (Subject, msg) VALUES ('QA', 'was it')",
           db);
    // Stopped half-way: the text table and one index exist already.
    runSql("CREATE TABLE search_body_text (RequirementID INT NOT NULL, BodyText LONGTEXT NULL, BodyPairs LONGTEXT "
           "NULL, PRIMARY KEY (RequirementID), FULLTEXT KEY ft_search_body (BodyText, BodyPairs)) ENGINE=InnoDB "
           "DEFAULT CHARSET=utf8mb4",
           db);
    const ScriptRun run = upgrade(db);
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(structure(db), structure(vt::test::freshVeltranaDatabase("schema")));
    EXPECT_EQ(runSql("select RequirementID from Requirements where match(RequirementName) against ('+ui +about' in "
                     "boolean mode)",
                     db),
              "11\n");
    EXPECT_EQ(
        runSql("select Subject from Req_messages where match(Subject, msg) against ('+qa +was' in boolean mode)", db),
        "QA\n");
    EXPECT_EQ(
        runSql("select count(*) from Attachments where match(Link, Description) against ('+http' in boolean mode)", db),
        "1\n");
}

// The editing columns of Users arrive empty on every kept row (nobody is editing), stay out of
// "SELECT *", and a run that stopped after adding them, before its version row, is finished
// by the next run without a second ALTER.
TEST(SchemaUpgrade, EditingColumnsArriveEmptyOnEveryUserAndTheStepRunsAgain)
{
    const std::string db = previousReleaseDatabase();
    const std::string before = contents(db);
    ASSERT_EQ(upgrade(db).status, 0);
    EXPECT_EQ(runSql("select count(*), count(EditingDocument), count(EditingSince) from Users", db), "2\t0\t0\n");
    runSql("update Users set EditingDocument = 10, EditingSince = '2026-01-02 03:04:05' where Username = 'ADMIN'", db);
    EXPECT_EQ(runSql("select Username, EditingDocument, EditingSince from Users where EditingDocument is not null", db),
              "ADMIN\t10\t2026-01-02 03:04:05\n");
    EXPECT_EQ(contents(db), before);

    runSql("update schema_version set Version = 2", db);
    const ScriptRun again = upgrade(db);
    ASSERT_EQ(again.status, 0) << again.output;
    EXPECT_NE(again.output.find("from schema version 2 to " + kVersionText), std::string::npos) << again.output;
    EXPECT_EQ(runSql("select Username, EditingDocument from Users where EditingDocument is not null", db),
              "ADMIN\t10\n");
    EXPECT_EQ(structure(db), structure(vt::test::freshVeltranaDatabase("schema")));
}

// The index Recent Updates reads the newest saves by arrives on the kept log with every row
// kept; a run that stopped after adding it, before its version row, is finished without a
// second ALTER, and one that stopped before adds it.
TEST(SchemaUpgrade, RecentUpdatesIndexArrivesOnTheKeptLogAndTheStepRunsAgain)
{
    const std::string db = previousReleaseDatabase();
    const std::string before = contents(db);
    const std::string index =
        "select group_concat(column_name order by seq_in_index) from information_schema.statistics "
        "where table_schema = database() and lower(table_name) = 'activity_log' and "
        "index_name = 'NoteProjectDate'";
    ASSERT_EQ(upgrade(db).status, 0);
    EXPECT_EQ(runSql(index, db), "Note,ProjectID,ModifyDate\n");
    EXPECT_EQ(contents(db), before);
    EXPECT_EQ(runSql("select count(*) from activity_Log force index (NoteProjectDate) where Note = 'UPD_DOC'", db),
              "2\n");

    for (const bool indexThere : {true, false}) {
        SCOPED_TRACE(indexThere ? "stopped after the index" : "stopped before the index");
        if (!indexThere) runSql("ALTER TABLE activity_Log DROP KEY NoteProjectDate", db);
        runSql("update schema_version set Version = 5", db);
        const ScriptRun again = upgrade(db);
        ASSERT_EQ(again.status, 0) << again.output;
        EXPECT_NE(again.output.find("from schema version 5 to " + kVersionText), std::string::npos) << again.output;
        EXPECT_EQ(runSql(index, db), "Note,ProjectID,ModifyDate\n");
        EXPECT_EQ(contents(db), before);
        EXPECT_EQ(structure(db), structure(vt::test::freshVeltranaDatabase("schema")));
    }
}
