// Per-user accounts: the server enforces who may do what. Each rule as a case: a user without
// the right runs a statement through the connection component under their own server account
// and the server refuses it (or it finds nothing to read or change); the same statement run by
// a user with the right succeeds. Every statement runs in a transaction that is rolled back, so
// the cases share one fixture.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <unistd.h>

#include "DbTestHelpers.h"
#include "PerUserDatabase.h"
#include "db/DbErrors.h"
#include "db/TField.h"
#include "db/TNativeConnect.h"
#include "db/TmySQLQuery.h"

using namespace dbtest;

namespace {

constexpr int kNothing = 0;    // no error, but no row read or changed
constexpr int kSignal = 1644;  // a rule of the triggers or procedures
constexpr int kCheck = 1369;   // a write outside what the view shows
constexpr int kDenied = 1142;  // no right on the table at all

std::string replaced(std::string text, const std::map<std::string, std::string>& values)
{
    for (const auto& [key, value] : values)
        for (size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + value.size()))
            text.replace(at, key.size(), value);
    return text;
}

std::unique_ptr<TmySQLDatabase> logIn(const std::string& database, const std::string& name,
                                      const std::string& password)
{
    auto db = connectTo(database, false);
    db->SetUserName(name);
    db->SetUserPassword(password);
    db->SetConnectOptions(connectOption(coSSL));
    db->Params().SetValue("TLSCA", vt::test::testServer().caFile);
    db->SetConnected(true);
    return db;
}

struct Outcome {
    int error = 0;      // the server's error number, 0 when none
    int64_t rows = 0;   // rows read or changed
    std::string text;   // the error's text
};

// Runs a statement: rows read for SELECT, rows changed otherwise.
Outcome run(TmySQLDatabase& db, const std::string& sql)
{
    Outcome out;
    TmySQLQuery q;
    q.SetDatabase(&db);
    q.SQL().SetText(sql);
    try {
        if (sql.rfind("select", 0) == 0) {
            q.Open();
            out.rows = q.RecordCount();
            q.Close();
        } else {
            q.ExecSQL();
            out.rows = q.RowsAffected();
        }
    } catch (const EmySQLDatabaseError& e) {
        out.error = e.ServerError() ? e.ServerError() : e.ErrorCode();
        out.text = e.what();
    }
    return out;
}

Outcome runRolledBack(TmySQLDatabase& db, const std::string& sql)
{
    run(db, "START TRANSACTION");
    Outcome out = run(db, sql);
    run(db, "ROLLBACK");
    return out;
}

class PerUserRights : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_db = vt::test::perUserVeltranaDatabase("vt_rights");
        s_tag = "R" + std::to_string(getpid()) + "_";
        const std::string t = s_tag;
        // Two projects. P1: managed by ANNA; members ANNA, BEN, DORA, EVE. P2: CARL's alone. BOSS
        // is an administrator and member of neither. D1 is ANNA's, D3 BEN's with DORA's D2 below
        // it, D9 CARL's in P2. M1 is ANNA's message on D1, M9 CARL's on D9.
        vt::test::runSql(replaced(R"(
INSERT INTO Users (Username, Role) VALUES ('{T}BOSS', 'ADMIN'), ('{T}ANNA', 'USER'), ('{T}BEN', 'USER'),
  ('{T}CARL', 'USER'), ('{T}DORA', 'USER'), ('{T}EVE', 'USER');
INSERT INTO Projects (ProjectID, ProjectName, ProjectManager) VALUES (1, 'P1', '{T}ANNA'), (2, 'P2', '{T}CARL');
INSERT INTO ProjectMembers (UserName, ProjectID) VALUES ('{T}ANNA', 1), ('{T}BEN', 1), ('{T}DORA', 1), ('{T}EVE', 1), ('{T}CARL', 2);
INSERT INTO Catagories (CatagoryID, ProjectID, CatagoryName) VALUES (1, 1, 'C1'), (2, 2, 'C2');
INSERT INTO Requirements (RequirementID, Level, ParentID, RequirementName, Owner, modifiedBy) VALUES
  (1, 2, 1, 'D1', '{T}ANNA', '{T}ANNA'), (2, 3, 3, 'D2', '{T}DORA', '{T}DORA'), (3, 2, 1, 'D3', '{T}BEN', '{T}BEN'),
  (9, 2, 2, 'D9', '{T}CARL', '{T}CARL');
INSERT INTO Req_objects (RequirementID, Document) VALUES (1, 'body one'), (9, 'body nine');
INSERT INTO Req_revisions (RequirementID, Revision, SavedBy) VALUES (1, 1, '{T}ANNA'), (9, 1, '{T}CARL');
INSERT INTO search_body_text (RequirementID, BodyText) VALUES (1, 'alpha'), (9, 'zebrawords nine');
INSERT INTO Req_messages (msgID, Subject, Name, msg, RequirementID, ParentID, ProjectID) VALUES
  (1, 'S1', '{T}ANNA', 'm1', 1, 0, 1), (9, 'S9', '{T}CARL', 'm9', 9, 0, 2), (2, 'S2', '{T}BEN', 'm2', 1, 0, 2);
INSERT INTO msg_state (RequirementID, msgID, username, state) VALUES (1, 1, '{T}ANNA', 1), (1, 1, '{T}BEN', 1),
  (9, 9, '{T}CARL', 1);
INSERT INTO Attachments (RequirementID, Link, Owner) VALUES (1, 'http://one', '{T}ANNA'), (9, 'http://nine', '{T}CARL');
INSERT INTO activity_Log (Note, ModifiedBy, ProjectID, DocumentID, msgID) VALUES ('UPD_DOC', '{T}ANNA', 1, 1, 0),
  ('UPD_DOC', '{T}CARL', 2, 9, 0);
)",
                                  {{"{T}", t}}),
                         s_db.store);
        for (const char* who : {"BOSS", "ANNA", "BEN", "CARL", "DORA", "EVE"}) {
            vt::test::createUserAccount(s_db, t + who, std::string("pw-") + who);
            s_sessions[who] = logIn(s_db.name, t + who, std::string("pw-") + who);
        }
    }
    static void TearDownTestSuite()
    {
        s_sessions.clear();
        vt::test::dropPerUserDatabase(s_db);
    }

    static std::string sql(const std::string& text)
    {
        return replaced(text, {{"{T}", s_tag}, {"{STORE}", s_db.store}});
    }

    static vt::test::PerUserDatabase s_db;
    static std::string s_tag;
    static std::map<std::string, std::unique_ptr<TmySQLDatabase>> s_sessions;
};

vt::test::PerUserDatabase PerUserRights::s_db;
std::string PerUserRights::s_tag;
std::map<std::string, std::unique_ptr<TmySQLDatabase>> PerUserRights::s_sessions;

}  // namespace

TEST_F(PerUserRights, EachRuleRefusesTheUserWithoutTheRightAndLetsTheOneWithIt)
{
    const struct {
        const char* rule;
        const char* refused;  // the user without the right
        int error;            // what the server answers them (kNothing: no row read or changed)
        const char* allowed;  // a user with the right, nullptr when nobody has it
        const char* statement;
    } cases[] = {
        // Projects one is not a member of, with everything in them.
        {"read a project", "BEN", kNothing, "CARL", "select * from Projects where ProjectID = 2"},
        {"read its categories", "BEN", kNothing, "CARL", "select * from catagories where ProjectID = 2"},
        {"read its documents", "BEN", kNothing, "CARL", "select * from Requirements where RequirementID = 9"},
        {"read its bodies", "BEN", kNothing, "CARL", "select Document from req_objects where RequirementID = 9"},
        {"read its messages", "BEN", kNothing, "CARL", "select * from Req_Messages where RequirementID = 9"},
        {"read its attachments", "BEN", kNothing, "CARL", "select * from attachments where requirementID = 9"},
        {"read its members", "BEN", kNothing, "CARL", "select * from projectmembers where projectID = 2"},
        {"read its revisions", "BEN", kNothing, "CARL", "select * from Req_revisions where RequirementID = 9"},
        {"search its text", "BEN", kNothing, "CARL",
         "select RequirementID from search_body_text where MATCH(BodyText, BodyPairs) AGAINST ('zebrawords' IN "
         "BOOLEAN MODE)"},
        {"read its activity", "BEN", kNothing, "CARL", "select * from activity_Log where ProjectID = 2"},
        {"read another's read states", "DORA", kNothing, "BEN",
         "select * from msg_state where username = '{T}BEN'"},
        {"an administrator reads every project", "BEN", kNothing, "BOSS",
         "select count(*) from Requirements where RequirementID in (1, 9) having count(*) = 2"},
        {"change a document there", "BEN", kNothing, "CARL",
         "Update Requirements set attachments = 1 where RequirementID = 9"},
        {"delete a body there", "BEN", kNothing, "CARL", "delete from Req_Objects where RequirementID = 9"},
        {"add a category there", "BEN", kCheck, "CARL",
         "Insert into Catagories (ProjectID,CatagoryName) Values (2,'New Catagory')"},
        {"add a body there", "BEN", kCheck, "CARL",
         "insert into Req_objects (RequirementID, Document) values (9, 'x')"},
        {"add a document there", "BEN", kSignal, "CARL",
         "insert into Requirements (Level, ParentID, RequirementName, Owner, modifiedBy) values (2, 2, 'x', "
         "'{T}CARL', '{T}CARL')"},
        {"move a document there", "BEN", kSignal, "BOSS",
         "Update Requirements set level=2, Parentid=2 where requirementID=3"},
        // Project names are unique across every project, those one cannot see included.
        {"rename a project onto another's name", "ANNA", 1062, nullptr,
         "Update Projects set ProjectName = 'p2 ' where ProjectID = 1"},
        {"a new project of a name in use", "BEN", 1062, nullptr,
         "insert into Projects (ProjectName, ProjectManager) values ('P2', '{T}BEN')"},
        // Roles, profiles, users and settings.
        {"change a role", "BEN", kSignal, "BOSS", "Update Users set role='ADMIN' where Username='{T}BEN'"},
        {"change another's profile", "BEN", kSignal, "BOSS",
         "Update Users set Firstname='x' where ucase(Username)='{T}ANNA'"},
        {"add a user", "BEN", kSignal, "BOSS", "insert into Users (UserName, Role) values ('{T}NEW', 'ADMIN')"},
        {"delete a user", "BEN", kSignal, "BOSS", "delete from users where username = '{T}DORA'"},
        {"change the settings", "BEN", kSignal, "BOSS", "update global_settings set commondir = 'x'"},
        // Documents one does not own.
        {"rename a document", "BEN", kSignal, "ANNA",
         "Update Requirements set Requirementname = 'x' where RequirementID = 1"},
        {"give a document away", "BEN", kSignal, "ANNA", "Update Requirements set owner = '{T}BEN' where RequirementID = 1"},
        {"delete a document", "DORA", kSignal, "BEN", "delete from Requirements where RequirementID = 3"},
        {"delete a document below one's own", "EVE", kSignal, "BEN",
         "delete from Requirements where RequirementID = 2"},
        {"the manager deletes any document", "EVE", kSignal, "ANNA",
         "delete from Requirements where RequirementID = 2"},
        {"save under another's name", "BEN", kSignal, "ANNA",
         "Update Requirements set modified=now(),modifiedBy='{T}ANNA' where RequirementID = 3"},
        // Projects one does not manage.
        {"delete a project", "BEN", kSignal, "ANNA", "delete from Projects where ProjectID = 1"},
        {"delete a category", "BEN", kSignal, "ANNA", "delete from Catagories where CatagoryID = 1"},
        {"edit the project", "BEN", kSignal, "ANNA",
         "Update Projects set ProjectName = 'x', Description = 'y' where ProjectID = 1"},
        {"choose its manager", "BEN", kSignal, "ANNA",
         "Update Projects set projectManager = '{T}BEN' where ProjectID = 1"},
        {"add a member", "BEN", kSignal, "ANNA",
         "insert into ProjectMembers (UserName,ProjectID) values ('{T}CARL',1)"},
        {"remove a member", "BEN", kSignal, "ANNA",
         "delete from ProjectMembers where (UserName='{T}DORA') and (ProjectID=1)"},
        {"create a project for another manager", "BEN", kSignal, "ANNA",
         "insert into Projects (ProjectName, ProjectManager) values ('P3', '{T}ANNA')"},
        {"create a project under a number of one's choosing", "BEN", kSignal, "BOSS",
         "insert into Projects (ProjectID, ProjectName, ProjectManager) values (50, 'P50', '{T}BEN')"},
        // Messages, read states and activity only as oneself.
        {"post as another", "BEN", kSignal, "ANNA",
         "insert into Req_messages (Subject, Name, msg, created, RequirementID, hash, ParentID, ProjectID) values "
         "('s', '{T}ANNA','m',now(),1,5,0,1)"},
        {"log a save as another", "BEN", kSignal, "ANNA",
         "Insert into activity_Log (Note,ModifiedBy,ModifyDate,ProjectID,CatagoryID,DocumentID,msgID) Values "
         "('UPD_DOC','{T}ANNA',now(),1,1,1,0)"},
        {"notify of another's message", "BEN", kSignal, "ANNA",
         "Insert into msg_state (RequirementID , msgID,username,state) Values (1,1,'{T}DORA',1)"},
        {"log a notice of another's message", "BEN", kSignal, "ANNA",
         "Insert into activity_Log (Note,ModifiedBy,ModifyDate,ProjectID,CatagoryID,DocumentID,msgID) Values "
         "('DISC_POST','{T}DORA',now(),1,1,1,1)"},
        // The same as one statement for every member, as a post writes them.
        {"notify the members of another's message at once", "BEN", kSignal, "ANNA",
         "Insert into msg_state (RequirementID, msgID, username, state) select 1, 1, UserName, 1 from ProjectMembers "
         "where ProjectID = 1"},
        {"log the notices of another's message at once", "BEN", kSignal, "ANNA",
         "Insert into activity_Log (Note,ModifiedBy,ModifyDate,ProjectID,CatagoryID,DocumentID,msgID) select "
         "'DISC_POST', upper(UserName), now(), 1, 1, 1, 1 from ProjectMembers where ProjectID = 1"},
        {"notify users beyond the message's project at once", "ANNA", kSignal, nullptr,
         "Insert into msg_state (RequirementID, msgID, username, state) select 1, 1, Username, 1 from Users"},
        {"mark another's read state", "ANNA", kSignal, "BEN",
         "Update msg_state set state = 2 where msgID = 1 and username = '{T}BEN'"},
        {"add an attachment as another", "BEN", kSignal, "ANNA",
         "Insert into Attachments (RequirementID,Link,Description,Owner,Created,Filetype) Values "
         "(1,'l','d','{T}ANNA',now(),0)"},
        {"delete another project's activity", "BEN", kNothing, "CARL", "delete from activity_Log where ProjectID = 2"},
        // Routes past the views' filters: a duplicate key names any row, REPLACE deletes one.
        {"move another project's category by a duplicate key", "BEN", kSignal, "BOSS",
         "insert into Catagories (CatagoryID, ProjectID, CatagoryName) values (2, 1, 'x') "
         "on duplicate key update ProjectID = 1"},
        {"take another project's document by a duplicate key", "BEN", kSignal, nullptr,
         "insert into Requirements (RequirementID, Level, ParentID, Owner, modifiedBy) values "
         "(9, 2, 1, '{T}BEN', '{T}BEN') on duplicate key update ParentID = 1"},
        {"take another project's body by a duplicate key", "BEN", kSignal, nullptr,
         "insert into Req_objects (ObjectID, RequirementID) values (2, 1) on duplicate key update RequirementID = 1"},
        {"replace another project's attachment", "BEN", kSignal, nullptr,
         "replace into Attachments (AttachID, RequirementID, Owner, Link) values (2, 1, '{T}BEN', 'x')"},
        {"replace another project's activity", "BEN", kSignal, nullptr,
         "replace into activity_Log (LogID, Note, ModifiedBy, ProjectID, DocumentID, msgID) values "
         "(2, 'UPD_DOC', '{T}BEN', 1, 1, 0)"},
        {"change a category's id", "BEN", kSignal, "BOSS", "Update Catagories set CatagoryID = 100 where CatagoryID = 1"},
        {"rename oneself to a look-alike name", "BEN", kSignal, nullptr,
         "Update Users set Username = '{T}BÉN' where Username = '{T}BEN'"},
        {"notify a non-member by a message's own project id", "BEN", kSignal, nullptr,
         "Insert into msg_state (RequirementID , msgID,username,state) Values (1,2,'{T}CARL',1)"},
        // Authentication data and the tables behind the views: nobody.
        {"read the server's accounts", "BOSS", kDenied, nullptr, "select * from mysql.global_priv"},
        {"read the store", "BOSS", kDenied, nullptr, "select * from `{STORE}`.Users"},
        {"write the store", "BOSS", kDenied, nullptr, "update `{STORE}`.Users set Role = 'ADMIN'"},
        {"read a password", "BOSS", kNothing, nullptr, "select * from Users where password <> ''"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rule);
        const std::string statement = sql(c.statement);
        const Outcome refused = runRolledBack(*s_sessions.at(c.refused), statement);
        EXPECT_EQ(refused.error, c.error) << refused.text;
        if (c.error == kNothing) {
            EXPECT_EQ(refused.rows, 0);
        }
        if (c.allowed) {
            const Outcome allowed = runRolledBack(*s_sessions.at(c.allowed), statement);
            EXPECT_EQ(allowed.error, 0) << allowed.text;
            EXPECT_GT(allowed.rows, 0);
        }
    }
    // Nothing of it stayed.
    EXPECT_EQ(vt::test::runSql("SELECT count(*) FROM Requirements", s_db.store), "4\n");
    EXPECT_EQ(vt::test::runSql("SELECT group_concat(Role ORDER BY Username) FROM Users WHERE Username LIKE '" +
                                   s_tag + "%'",
                               s_db.store),
              "USER,USER,ADMIN,USER,USER,USER\n");
}

// Deleting a category takes its documents and every row of theirs along, also rows the deleting
// user could not see or delete one by one, so nothing is left that nobody could reach. Members
// and activity stay, as in the shared mode.
TEST_F(PerUserRights, DeletingACategoryTakesEveryRowBelowAlong)
{
    EXPECT_EQ(run(*s_sessions.at("ANNA"), "delete from Catagories where CatagoryID = 1").error, 0);
    const std::string count = "SELECT concat_ws(' ', (SELECT count(*) FROM Requirements), (SELECT count(*) FROM "
                              "Req_objects), (SELECT count(*) FROM Req_messages), (SELECT count(*) FROM msg_state), "
                              "(SELECT count(*) FROM Attachments), (SELECT count(*) FROM Req_revisions), "
                              "(SELECT count(*) FROM search_body_text), (SELECT count(*) FROM ProjectMembers), "
                              "(SELECT count(*) FROM activity_Log))";
    EXPECT_EQ(vt::test::runSql(count, s_db.store), "1 1 1 1 1 1 1 5 2\n");
}

// A user changes their own presence and editing columns (the program's poll) but no role.
TEST_F(PerUserRights, OwnRowTakesThePresenceStampButNoRole)
{
    auto& ben = *s_sessions.at("BEN");
    EXPECT_EQ(runRolledBack(ben, sql("Update Users set lastPollRequest=now(), EditingDocument = 3, EditingSince = now() "
                                     "where ucase(Username)='{T}BEN'"))
                  .rows,
              1);
    EXPECT_EQ(runRolledBack(ben, sql("Update Users set lastPollRequest=now(), role = 'admin' where "
                                     "ucase(Username)='{T}BEN'"))
                  .error,
              kSignal);
}

// User Administration's procedures, called by an administrator's account, make, renew and drop
// accounts whose names hold quotes, backslashes, comment markers, '@' and multibyte text; each
// such user logs in with a one-time password, must change it (1820 until then), and then has the
// rights of an ordinary user.
TEST_F(PerUserRights, AdministratorManagesAccountsWithHostileNames)
{
    auto& boss = *s_sessions.at("BOSS");
    const auto quoted = [](const std::string& text) { return "'" + vt::test::sqlLiteralBody(text) + "'"; };
    for (const std::string suffix : {"O'NEIL", "BACK\\SLASH", "DASH -- #/*X*/", "ZO\xc3\x8b\xe4\xb8\xad", "AT@HOST"}) {
        const std::string name = s_tag + suffix;
        SCOPED_TRACE(name);
        ASSERT_EQ(run(boss, "insert into Users (UserName, Role, Created) values (" + quoted(name) + ", 'USER', now())")
                      .error,
                  0);
        ASSERT_EQ(run(boss, "insert into ProjectMembers (UserName,ProjectID) values (" + quoted(name) + ",1)").error, 0);
        const Outcome made = run(boss, "CALL vt_account_create(" + quoted(name) + ",'ONCE')");
        ASSERT_EQ(made.error, 0) << made.text;

        auto user = logIn(s_db.name, name, "ONCE");
        EXPECT_EQ(run(*user, "select 1").error, 1820);
        EXPECT_EQ(run(*user, "SET PASSWORD = PASSWORD('LATER')").error, 0);
        EXPECT_EQ(run(*user, "select * from Projects").rows, 1);
        EXPECT_EQ(run(*user, "Update Users set role='ADMIN' where Username=" + quoted(name)).error, kSignal);
        user.reset();

        EXPECT_EQ(run(boss, "CALL vt_account_password(" + quoted(name) + ",'AGAIN')").error, 0);
        EXPECT_EQ(run(*logIn(s_db.name, name, "AGAIN"), "select 1").error, 1820);

        EXPECT_EQ(run(boss, "delete from users where username = " + quoted(name)).error, 0);
        EXPECT_EQ(run(boss, "CALL vt_account_drop(" + quoted(name) + ")").error, 0);
        int error = 0;
        try {
            logIn(s_db.name, name, "AGAIN");
        } catch (const EmySQLDatabaseError& e) {
            error = e.ServerError();
        }
        EXPECT_TRUE(error == 1045 || error == 1698) << error;  // access denied
    }
}

// What the procedures refuse, each with the server's error and without touching any account.
TEST_F(PerUserRights, AccountProceduresRefuse)
{
    auto& boss = *s_sessions.at("BOSS");
    const std::string tooLong = s_tag + std::string(129 - s_tag.size(), 'L');
    const std::string emoji = s_tag + "\xf0\x9f\x98\x80";
    for (const std::string& name : {tooLong, emoji})
        run(boss, "insert into Users (UserName) values ('" + name + "')");
    const struct {
        const char* what;
        const char* who;
        std::string statement;
        const char* reason;
    } cases[] = {
        {"an ordinary user creates", "BEN", "CALL vt_account_create('{T}EVE','X')", "Only an administrator"},
        {"an ordinary user renews", "BEN", "CALL vt_account_password('{T}ANNA','X')", "Only an administrator"},
        {"an ordinary user drops", "BEN", "CALL vt_account_drop('{T}ANNA')", "Only an administrator"},
        {"no Users row", "BOSS", "CALL vt_account_create('{T}NOBODY','X')", "for a user of Veltrana only"},
        {"an account exists", "BOSS", "CALL vt_account_create('{T}ANNA','X')", "exists already"},
        {"a look-alike of a user's name", "BOSS", "CALL vt_account_create('{T}BÉN','X')", "for a user of Veltrana only"},
        {"no password", "BOSS", "CALL vt_account_password('{T}ANNA','')", "needs a password"},
        {"129 characters", "BOSS", "CALL vt_account_create('" + tooLong + "','X')", "1 to 128 characters"},
        {"beyond the plane", "BOSS", "CALL vt_account_create('" + emoji + "','X')", "Basic Multilingual Plane"},
        {"the master account", "BOSS", "CALL vt_account_drop('ADMIN')", "master account"},
        {"an administrative account", "BOSS", "CALL vt_account_password('root','X')", "no server account"},
        {"dropping root", "BOSS", "CALL vt_account_drop('root')", "no server account"},
    };
    // The accounts the cases name (other tests make and drop accounts of their own meanwhile;
    // the per-user app suites also make ADMIN's account anew for each database they set up, so
    // the refusal to drop that one is checked by its text alone).
    const std::string accounts = "SELECT count(*) FROM mysql.global_priv WHERE User LIKE '" + s_tag +
                                 "%' OR User = 'root'";
    const std::string before = vt::test::runSql(accounts);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome out = run(*s_sessions.at(c.who), sql(c.statement));
        EXPECT_EQ(out.error, kSignal);
        EXPECT_NE(out.text.find(c.reason), std::string::npos) << out.text;
    }
    EXPECT_EQ(vt::test::runSql(accounts), before);
    EXPECT_EQ(run(*logIn(s_db.name, s_tag + "ANNA", "pw-ANNA"), "select 1").error, 0) << "ANNA's password stays";
}

// The walks that place or delete the documents below a category or document go past the
// server's default of 1,000 recursive steps, which would end them silently: a category moved to
// another project takes a chain 1,500 deep along, and deleting it deletes the whole chain.
TEST_F(PerUserRights, WalksBelowACategoryReachPastAThousandLevels)
{
    vt::test::runSql(sql("INSERT INTO Catagories (CatagoryID, ProjectID, CatagoryName) VALUES (50, 1, 'Deep');"
                         "INSERT INTO Requirements (RequirementID, Level, ParentID, RequirementName, Owner, modifiedBy) "
                         "SELECT seq, IF(seq = 1001, 2, 3), IF(seq = 1001, 50, seq - 1), CONCAT('Step', seq), "
                         "'{T}ANNA', '{T}ANNA' FROM seq_1001_to_2500 ORDER BY seq"),
                     s_db.store);
    const std::string chain = "select RequirementID from Requirements where RequirementID between 1001 and 2500";
    EXPECT_EQ(run(*s_sessions.at("ANNA"), chain).rows, 1500);
    EXPECT_EQ(run(*s_sessions.at("BOSS"), "Update Catagories set ProjectID = 2 where CatagoryID = 50").error, 0);
    EXPECT_EQ(run(*s_sessions.at("CARL"), chain).rows, 1500);
    EXPECT_EQ(run(*s_sessions.at("ANNA"), chain).rows, 0);
    EXPECT_EQ(run(*s_sessions.at("CARL"), "delete from Catagories where CatagoryID = 50").error, 0);
    EXPECT_EQ(vt::test::runSql("SELECT count(*) FROM Requirements WHERE RequirementID BETWEEN 1001 AND 2500",
                               s_db.store),
              "0\n");
}
