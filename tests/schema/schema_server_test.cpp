// The shared database schema as the set-up scripts create it on the test server.
#include <gtest/gtest.h>

#include "TestServer.h"

using vt::test::runSql;

TEST(Schema, LoadsWithGlobalSettingsRowAndAdminAccount) {
    const std::string db = vt::test::freshVeltranaDatabase("schema");
    EXPECT_EQ(runSql("select count(*) from global_settings", db), "1\n");
    EXPECT_EQ(runSql("select Username, Role from Users", db), "ADMIN\tADMIN\n");
    EXPECT_EQ(runSql("select count(*) from information_schema.tables where table_schema = '" + db + "'"),
              "11\n");
}

TEST(Schema, DocumentInsertedWithTheClientsColumnsReadsBackTheDefaults) {
    const std::string db = vt::test::freshVeltranaDatabase("schema");
    // The columns the client writes when it creates a document.
    runSql("insert into Requirements (hash, Level, ParentID, RequirementName, Created, Owner, modified, modifiedBy) "
           "values (4711, 2, 1, 'Topic', now(), 'ADMIN', now(), 'ADMIN')", db);
    EXPECT_EQ(runSql("select Version, Status, Priority, Messages, Attachments from requirements where hash = 4711", db),
              "1\tSubmitted\tUnassigned\t0\t0\n");
    // A category inserted with only its project and name has a NULL description.
    runSql("insert into Catagories (ProjectID, CatagoryName) values (1, 'Plans')", db);
    EXPECT_EQ(runSql("select Description is null from catagories", db), "1\n");
}

TEST(Schema, TableNamesResolveInAnyLetterCase) {
    const std::string db = vt::test::freshVeltranaDatabase("schema");
    runSql("insert into Req_Objects (RequirementID) values (1)", db);
    for (const char* spelling : {"Req_objects", "Req_Objects", "req_objects", "REQ_OBJECTS"})
        EXPECT_EQ(runSql(std::string("select count(*) from ") + spelling, db), "1\n") << spelling;
}

TEST(Schema, MsgStateSharesNoColumnNameWithMessagesBeyondTheJoinKeys) {
    const std::string db = vt::test::freshVeltranaDatabase("schema");
    const std::string shared = runSql(
        "select lower(a.column_name) from information_schema.columns a join information_schema.columns b "
        "on lower(a.column_name) = lower(b.column_name) and b.table_schema = a.table_schema "
        "where a.table_schema = '" + db + "' and lower(a.table_name) = 'msg_state' "
        "and lower(b.table_name) = 'req_messages' order by 1");
    EXPECT_EQ(shared, "msgid\nrequirementid\n");
}

TEST(Schema, UnicodeNamesRoundTripAndCompareWithoutCase) {
    const std::string db = vt::test::freshVeltranaDatabase("schema");
    runSql("insert into Projects (ProjectName) values ('Ünïcödé Café')", db);
    EXPECT_EQ(runSql("select ProjectName from projects where projectname = 'ÜNÏCÖDÉ CAFÉ'", db), "Ünïcödé Café\n");
}
